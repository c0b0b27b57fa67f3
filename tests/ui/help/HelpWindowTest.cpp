// The help window and the way every window reaches it: pages by context
// number, links, Back and Forward, a missing folder or page, F1 on a widget
// with a topic, and the dialogs' Help buttons, also while a dialog runs
// modally. Each test registers its own help window and destroys it, so the
// other GUI tests see no help.

#include "ui/help/HelpWindow.h"

#include "alg/song/ChannelMixState.h"
#include "support/FakeMessageSink.h"
#include "ui/MainWindowFixture.h"
#include "ui/chords/ChordPalette.h"
#include "ui/dialogs/TfChrMan.h"
#include "ui/dialogs/TfOptions.h"
#include "ui/dialogs/TfPatchs.h"
#include "ui/dialogs/TfStyle.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"
#include "ui/notes/NotesView.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace korvanta::ui {
namespace {

const QString kHelpFolder = QStringLiteral(KORVANTA_DATA_DIR "/help/");

std::string shownFile(const HelpWindow& help) {
    return help.browser()->source().fileName().toStdString();
}

QPushButton* button(const QWidget& window, const char* name) {
    auto* found = window.findChild<QPushButton*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// A click as the window system delivers it: through the window, so a window
// blocked by a modal dialog does not get it.
void systemClick(QWidget* target) {
    QWidget* top = target->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                      target->mapTo(top, target->rect().center()));
}

// Runs a dialog modally, acts on it from inside its event loop, then closes
// it; a guard closes a dialog that was left open.
void runModal(QDialog& dialog, const std::function<void()>& act) {
    bool acted = false;
    QTimer::singleShot(0, &dialog, [&] {
        acted = dialog.isVisible() && QApplication::activeModalWidget() == &dialog;
        act();
        dialog.reject();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, &QDialog::reject);
    guard.start(5000);
    dialog.exec();
    EXPECT_TRUE(acted) << "the dialog was not shown modally";
    EXPECT_TRUE(guard.isActive()) << "the dialog was left open";
}

struct HelpTest : ::testing::Test {
    std::unique_ptr<HelpWindow> help;
    std::vector<QUrl> opened; // links handed to the system

    void makeHelp(const QString& folder = kHelpFolder) {
        help = std::make_unique<HelpWindow>(folder);
        help->setLinkOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        registerHelpWindow(help.get());
    }
};

// --- Topics and pages ---------------------------------------------------------------

TEST(HelpTopics, EveryContextHasItsOwnPageAndAnUnknownOneTheContents) {
    EXPECT_EQ(helpTopicFile(kHelpContents), QStringLiteral("index.html"));
    EXPECT_EQ(helpTopicFile(kHelpQuickTour), QStringLiteral("quicktour.html"));
    EXPECT_EQ(helpTopicFile(kHelpMainWindow), QStringLiteral("mainwindow.html"));
    EXPECT_EQ(helpTopicFile(kHelpStyleDialog), QStringLiteral("style.html"));
    EXPECT_EQ(helpTopicFile(kHelpOptions), QStringLiteral("options.html"));
    EXPECT_EQ(helpTopicFile(kHelpDemos), QStringLiteral("demos.html"));
    for (const int unknown : {0, -1, 3, 9999})
        EXPECT_EQ(helpTopicFile(unknown), QStringLiteral("index.html")) << unknown;

    QStringList files;
    std::vector<int> contexts;
    for (const HelpTopic& topic : helpTopics()) {
        EXPECT_GT(topic.context, 0);
        EXPECT_EQ(helpTopicFile(topic.context), QLatin1String(topic.file));
        files << QLatin1String(topic.file);
        contexts.push_back(topic.context);
    }
    files.removeDuplicates();
    std::sort(contexts.begin(), contexts.end());
    EXPECT_EQ(files.size(), static_cast<qsizetype>(helpTopics().size()));
    EXPECT_EQ(std::adjacent_find(contexts.begin(), contexts.end()), contexts.end());
}

TEST_F(HelpTest, ShowTopicShowsThePageOfEveryContextInOneWindow) {
    makeHelp();
    EXPECT_EQ(help->objectName(), QStringLiteral("HelpWindow"));
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Korvanta Help"));
    EXPECT_TRUE(help->isWindow());
    EXPECT_FALSE(help->isModal());
    EXPECT_EQ(help->browser()->objectName(), QStringLiteral("helpBrowser"));
    EXPECT_FALSE(help->isVisible());

    for (const HelpTopic& topic : helpTopics()) {
        help->showTopic(topic.context);
        EXPECT_EQ(shownFile(*help), topic.file) << topic.context;
        EXPECT_TRUE(help->isVisible());
        // A real page: its title, and no sentence about a missing page.
        EXPECT_FALSE(help->browser()->documentTitle().isEmpty()) << topic.file;
        EXPECT_FALSE(help->browser()->toPlainText().contains(QStringLiteral("not found")));
    }
    help->showTopic(12345);
    EXPECT_EQ(shownFile(*help), "index.html");
    help->showTopic(kHelpOptions);
    help->showContents();
    EXPECT_EQ(shownFile(*help), "index.html");

    // The page shown again: from its top, and no second step back to it.
    help->showContents();
    help->showTopic(kHelpMainWindow);
    QScrollBar* bar = help->browser()->verticalScrollBar();
    bar->setValue(bar->maximum());
    ASSERT_GT(bar->value(), 0);
    help->showTopic(kHelpMainWindow);
    EXPECT_EQ(bar->value(), 0);
    help->browser()->backward();
    EXPECT_EQ(shownFile(*help), "index.html");

    // Requests from anywhere reach this window and no other.
    EXPECT_TRUE(requestHelp(nullptr, kHelpStyleDialog));
    EXPECT_EQ(shownFile(*help), "style.html");
    int helpWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        helpWindows += qobject_cast<HelpWindow*>(w) != nullptr;
    EXPECT_EQ(helpWindows, 1);
}

TEST_F(HelpTest, LinksMoveBetweenPagesAndBackAndForwardRetraceThem) {
    makeHelp();
    QPushButton* back = button(*help, "b_Back");
    QPushButton* forward = button(*help, "b_Forward");
    help->showContents();
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(forward->isEnabled());

    emit help->browser()->anchorClicked(QUrl(QStringLiteral("style.html")));
    EXPECT_EQ(shownFile(*help), "style.html");
    emit help->browser()->anchorClicked(QUrl(QStringLiteral("options.html#output")));
    EXPECT_EQ(help->browser()->source().fileName(), QStringLiteral("options.html"));
    EXPECT_EQ(help->browser()->source().fragment(), QStringLiteral("output"));
    EXPECT_TRUE(back->isEnabled());

    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(shownFile(*help), "style.html");
    EXPECT_TRUE(forward->isEnabled());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(shownFile(*help), "index.html");
    EXPECT_FALSE(back->isEnabled());
    QTest::mouseClick(forward, Qt::LeftButton);
    EXPECT_EQ(shownFile(*help), "style.html");

    QTest::mouseClick(button(*help, "b_Contents"), Qt::LeftButton);
    EXPECT_EQ(shownFile(*help), "index.html");
    EXPECT_TRUE(opened.empty());
}

TEST_F(HelpTest, WebAndMailLinksGoToTheSystemAndThePageStays) {
    makeHelp();
    help->showTopic(kHelpQuickTour);
    const QUrl web(QStringLiteral("https://example.org/korvanta"));
    const QUrl mail(QStringLiteral("mailto:someone@example.org"));
    emit help->browser()->anchorClicked(web);
    emit help->browser()->anchorClicked(mail);
    EXPECT_EQ(opened, (std::vector<QUrl>{web, mail}));
    EXPECT_EQ(shownFile(*help), "quicktour.html");
}

TEST_F(HelpTest, AMissingFolderOrPageIsSaidInTheBrowser) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString gone = scratch.filePath(QStringLiteral("nowhere/help"));
    makeHelp(gone);
    help->showContents();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->toPlainText().trimmed(),
              QStringLiteral("The help pages were not found in %1/.").arg(gone));
    help->showTopic(kHelpOptions);
    EXPECT_TRUE(help->browser()->toPlainText().startsWith(
        QStringLiteral("The help pages were not found in")));

    // A folder with only some of the pages: the missing one is named.
    QFile index(scratch.filePath(QStringLiteral("index.html")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("<html><head><title>Contents</title></head><body><p>Topics</p></body></html>");
    index.close();
    makeHelp(scratch.path());
    help->showContents();
    EXPECT_EQ(help->browser()->toPlainText().trimmed(), QStringLiteral("Topics"));
    help->showTopic(kHelpOptions);
    EXPECT_EQ(
        help->browser()->toPlainText().trimmed(),
        QStringLiteral("The help page options.html was not found in %1/.").arg(scratch.path()));
    // Back still leads to the page that is there.
    help->browser()->backward();
    EXPECT_EQ(help->browser()->toPlainText().trimmed(), QStringLiteral("Topics"));
}

TEST_F(HelpTest, APageTooLargeToBeAHelpPageIsNotRead) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    QFile index(scratch.filePath(QStringLiteral("index.html")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    ASSERT_TRUE(index.resize(HelpWindow::kMaxPageBytes + 1));
    index.close();
    makeHelp(scratch.path());
    help->showContents();
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("is too large to show")))
        << help->browser()->toPlainText().left(200).toStdString();
}

TEST_F(HelpTest, EscapeClosesTheWindowAndTheNextRequestBringsItBack) {
    makeHelp();
    help->showTopic(kHelpDemos);
    ASSERT_TRUE(help->isVisible());
    QTest::keyClick(help->browser(), Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
    EXPECT_TRUE(requestHelp(nullptr, kHelpDemos));
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(shownFile(*help), "demos.html");
}

// --- Contexts and F1 ------------------------------------------------------------------

TEST(HelpContext, AWidgetTakesTheTopicOfItsNearestParentWithOne) {
    QWidget window;
    auto* panel = new QWidget(&window);
    auto* field = new QLineEdit(panel);
    EXPECT_EQ(helpContextOf(field), kHelpMainWindow);
    EXPECT_EQ(helpContextOf(nullptr), kHelpMainWindow);
    setHelpContext(&window, kHelpOptions);
    EXPECT_EQ(helpContextOf(field), kHelpOptions);
    setHelpContext(panel, kHelpDemos);
    EXPECT_EQ(helpContextOf(field), kHelpDemos);
    EXPECT_EQ(helpContextOf(&window), kHelpOptions);
    setHelpContext(panel, 0);
    EXPECT_EQ(helpContextOf(field), kHelpOptions);

    // A window owned by another one (a dialog of the main window) without a
    // topic of its own takes its owner's.
    QWidget dialog(&window, Qt::Dialog);
    EXPECT_EQ(helpContextOf(&dialog), kHelpOptions);
}

TEST_F(HelpTest, F1ShowsTheTopicOfTheWidgetItIsPressedOn) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* plain = new QLineEdit(&window);
    auto* special = new QLineEdit(&window);
    layout->addWidget(plain);
    layout->addWidget(special);
    setHelpContext(&window, kHelpOptions);
    setHelpContext(special, kHelpDemos);
    window.show();

    makeHelp();
    QTest::keyClick(plain, Qt::Key_F1);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(shownFile(*help), "options.html");
    QTest::keyClick(special, Qt::Key_F1);
    EXPECT_EQ(shownFile(*help), "demos.html");
    // With a modifier it is some other command's key.
    QTest::keyClick(plain, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(shownFile(*help), "demos.html");
    // In the help window itself F1 leads to the contents.
    QTest::keyClick(help->browser(), Qt::Key_F1);
    EXPECT_EQ(shownFile(*help), "index.html");
}

TEST_F(HelpTest, F1BeatsAShortcutOnTheSameKeyOnlyWhileHelpIsThere) {
    QWidget window;
    auto* field = new QLineEdit(&window);
    auto* menuHelp = new QAction(&window);
    menuHelp->setShortcut(Qt::Key_F1);
    window.addAction(menuHelp);
    int triggered = 0;
    QObject::connect(menuHelp, &QAction::triggered, [&] { ++triggered; });
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();

    QTest::keyClick(field, Qt::Key_F1);
    ASSERT_EQ(triggered, 1) << "without help the shortcut has the key";
    makeHelp();
    QTest::keyClick(field, Qt::Key_F1);
    EXPECT_EQ(triggered, 1);
    EXPECT_EQ(shownFile(*help), "mainwindow.html");
    help.reset();
    EXPECT_FALSE(helpAvailable());
    QTest::keyClick(field, Qt::Key_F1);
    EXPECT_EQ(triggered, 2);
}

// --- The windows' topics and Help buttons ---------------------------------------------

TEST_F(HelpTest, TheDialogsHelpButtonsFollowTheHelpWindowAndOpenTheirTopics) {
    FakeMessageSink messages;
    StyleLibrary library;
    TfStyle style(library, messages);
    TfOptions options;
    TfChrMan manual;
    const struct {
        QDialog* dialog;
        const char* page;
    } dialogs[] = {
        {&style, "style.html"}, {&options, "options.html"}, {&manual, "manualharmony.html"}};

    for (const auto& d : dialogs)
        EXPECT_FALSE(button(*d.dialog, "b_Help")->isEnabled()) << d.page;
    makeHelp();
    for (const auto& d : dialogs) {
        QPushButton* help_ = button(*d.dialog, "b_Help");
        EXPECT_TRUE(help_->isEnabled()) << d.page;
        QTest::mouseClick(help_, Qt::LeftButton);
        EXPECT_EQ(shownFile(*help), d.page);
        // F1 anywhere in the dialog: the same page.
        help->showContents();
        QTest::keyClick(d.dialog->focusWidget() ? d.dialog->focusWidget() : d.dialog, Qt::Key_F1);
        EXPECT_EQ(shownFile(*help), d.page);
    }
    help.reset();
    for (const auto& d : dialogs)
        EXPECT_FALSE(button(*d.dialog, "b_Help")->isEnabled()) << d.page;
}

TEST_F(HelpTest, HelpAskedForFromAModalDialogCanBeUsedWhileTheDialogRuns) {
    QWidget owner;
    owner.show();
    makeHelp();
    TfChrMan manual(&owner);
    runModal(manual, [&] {
        QTest::mouseClick(button(manual, "b_Help"), Qt::LeftButton);
        ASSERT_TRUE(help->isVisible());
        EXPECT_EQ(shownFile(*help), "manualharmony.html");
        // The window takes clicks although the dialog is modal.
        systemClick(button(*help, "b_Contents"));
        EXPECT_EQ(shownFile(*help), "index.html");
    });
    EXPECT_TRUE(help->isVisible());
    // The dialog is gone: the window belongs to no dialog any more.
    ASSERT_NE(help->windowHandle(), nullptr);
    EXPECT_NE(help->windowHandle()->transientParent(), manual.windowHandle());
    help->showTopic(kHelpDemos);
    EXPECT_EQ(shownFile(*help), "demos.html");
}

TEST_F(HelpTest, F1InTheInstrumentsDialogShowsItsTopic) {
    ChannelMixState mix;
    struct NoEdits : MixEdits {
        void setProgram(int, int) override {}
        void setMuted(int, bool) override {}
        void setSoloed(int, bool) override {}
        void setVolume(int, int) override {}
    } edits;
    TfPatchs patchs(edits);
    patchs.open(mix, numberedPatchNames());
    makeHelp();
    QTest::keyClick(patchs.findChild<QWidget*>(QStringLiteral("sg_ChPs")), Qt::Key_F1);
    EXPECT_EQ(shownFile(*help), "instruments.html");
}

using HelpInMainWindowTest = MainWindowFixture;

TEST_F(HelpInMainWindowTest, F1InTheNotesViewAndTheChordPaletteShowsTheirTopics) {
    startWindow(sample("twinkle-twinkle.mid"));
    window->show();
    window->CreateAccompaniment();
    QPointer<HelpWindow> help = new HelpWindow(kHelpFolder, window.get());
    registerHelpWindow(help);
    EXPECT_EQ(help->parentWidget(), window.get());
    EXPECT_TRUE(help->isWindow());

    QTest::keyClick(window->notesView(), Qt::Key_F1);
    EXPECT_EQ(shownFile(*help), "melody.html");
    QTest::keyClick(window->chordPalette(), Qt::Key_F1);
    EXPECT_EQ(shownFile(*help), "chordpalette.html");
    // Elsewhere in the main window: the main window's page.
    QTest::keyClick(window->findChild<QWidget*>(QStringLiteral("cb_Key")), Qt::Key_F1);
    EXPECT_EQ(shownFile(*help), "mainwindow.html");
    // The window goes with the main window, and with it the help.
    window.reset();
    EXPECT_TRUE(help.isNull());
    EXPECT_FALSE(helpAvailable());
}

} // namespace
} // namespace korvanta::ui
