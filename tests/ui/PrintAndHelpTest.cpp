// The main window's printing and Help menu: the print flow with its dialogs
// answered by the test, the preview's pages, aborting a job, F1, the bug
// report form and the About box.

#include "MainWindowFixture.h"
#include "messages/MsgList.h"
#include "ui/dialogs/TfAbout.h"
#include "ui/dialogs/TfIV.h"
#include "ui/help/HelpTopics.h"
#include "ui/help/HelpWindow.h"
#include "ui/print/PrintDialogs.h"
#include "ui/print/TfPrintPreview.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QWheelEvent>

namespace korvanta::ui {

namespace {

// Answers the print dialogs as a script says and records what was shown.
class FakePrintDialogs final : public PrintDialogs {
public:
    QString pdfPath; // the printer prints into this file; empty: cancel
    std::optional<std::pair<QString, QString>> info; // title, author; empty: Cancel
    std::function<void(TfPrintPreview&)> onPreview;  // what the user does in it
    int printerQuestions = 0;
    int infoQuestions = 0;
    int previews = 0;
    QString infoCaption;

    bool choosePrinter(QPrinter& printer, QWidget*) override {
        ++printerQuestions;
        if (pdfPath.isEmpty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return true;
    }
    bool askCompositionInfo(TfIV& dialog) override {
        ++infoQuestions;
        infoCaption = dialog.windowTitle();
        EXPECT_EQ(dialog.field1(), QString());
        EXPECT_EQ(dialog.field2(), QString());
        if (!info) return false;
        dialog.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(info->first);
        dialog.findChild<QLineEdit*>(QStringLiteral("Edit2"))->setText(info->second);
        return true;
    }
    void showPreview(TfPrintPreview& preview) override {
        ++previews;
        if (onPreview) onPreview(preview);
    }
};

struct PrintAndHelpTest : MainWindowFixture {
    FakePrintDialogs printing;
    std::vector<std::pair<QString, QStringList>> started;
    bool startSucceeds = true;
    QString webBrowser; // what the system offers for web pages
    int aboutShown = 0;
    QString aboutVersion;
    bool aboutHadPicture = false;

    PrintAndHelpTest() {
        configure = [this](MainWindowServices& services) {
            services.printDialogs = &printing;
            services.startProgram = [this](const QString& program, const QStringList& args) {
                started.emplace_back(program, args);
                return startSucceeds;
            };
            services.browserLookup = [this] { return webBrowser; };
            services.showAbout = [this](TfAbout& about) {
                ++aboutShown;
                aboutVersion = about.findChild<QLabel*>(QStringLiteral("l_Version"))->text();
                aboutHadPicture = about.hasPicture();
            };
        };
    }

    // A harmonized tune of `bars` bars in the window.
    void openHarmonized(int bars) {
        ASSERT_TRUE(writeBytes(scratch / "long.mid", test::scaleMelody(bars)));
        startWindow(path("long.mid"));
        window->CreateAccompaniment();
        ASSERT_NE(window->session().song(), nullptr);
        ASSERT_GE(window->session().song()->barCount, bars);
    }
};

} // namespace

TEST_F(PrintAndHelpTest, PrintCommandsWaitForAHarmonizedSong) {
    ASSERT_TRUE(writeBytes(scratch / "long.mid", test::scaleMelody(8)));
    startWindow(path("long.mid"));
    for (const char* name : {"mnFPrint", "mnFPrintPrev", "tb_Print", "tb_PrintPr"})
        EXPECT_FALSE(enabled(name)) << name;
    window->CreateAccompaniment();
    for (const char* name : {"mnFPrint", "mnFPrintPrev", "tb_Print", "tb_PrintPr"})
        EXPECT_TRUE(enabled(name)) << name;
    messages.setFallbackAnswer(MessageAnswer::No); // no saving on close
    find<QAction>("mnFClose")->trigger();
    for (const char* name : {"mnFPrint", "mnFPrintPrev", "tb_Print", "tb_PrintPr"})
        EXPECT_FALSE(enabled(name)) << name;
}

TEST_F(PrintAndHelpTest, CancelInTheCompositionInfoShowsAndPrintsNothing) {
    openHarmonized(8);
    find<QAction>("mnFPrintPrev")->trigger();
    EXPECT_EQ(printing.printerQuestions, 0); // the preview skips the print dialog
    EXPECT_EQ(printing.infoQuestions, 1);
    EXPECT_EQ(printing.infoCaption, QStringLiteral("Composition info"));
    EXPECT_EQ(printing.previews, 0);

    printing.pdfPath = path("cancelled.pdf");
    find<QAction>("mnFPrint")->trigger();
    EXPECT_EQ(printing.printerQuestions, 1);
    EXPECT_EQ(printing.infoQuestions, 2);
    EXPECT_FALSE(fs::exists(scratch / "cancelled.pdf"));
}

TEST_F(PrintAndHelpTest, CancellingThePrintDialogAsksNothingMore) {
    openHarmonized(8);
    find<QAction>("mnFPrint")->trigger();
    EXPECT_EQ(printing.printerQuestions, 1);
    EXPECT_EQ(printing.infoQuestions, 0);
}

TEST_F(PrintAndHelpTest, ThePreviewShowsEveryPageUnderEachOther) {
    openHarmonized(400);
    printing.info = std::make_pair(QStringLiteral("Scales"), QString());
    int pages = 0;
    printing.onPreview = [&](TfPrintPreview& preview) {
        EXPECT_EQ(preview.windowTitle(), QStringLiteral("Print preview"));
        pages = preview.pageCount();
        ASSERT_GT(pages, 1);
        int lastBottom = 0;
        for (int p = 1; p <= pages; ++p) {
            auto* image = preview.findChild<QLabel*>(QStringLiteral("imgPP_%1").arg(p));
            ASSERT_NE(image, nullptr) << p;
            EXPECT_EQ(image->x(), 10);
            EXPECT_EQ(image->y(), lastBottom + 10) << p;
            lastBottom = image->y() + image->height();
            // Something is drawn on every page.
            const QImage page = preview.pageImage(p - 1);
            int dark = 0;
            for (int y = 0; y < page.height(); y += 2)
                for (int x = 0; x < page.width(); x += 2)
                    if (qGray(page.pixel(x, y)) < 128) ++dark;
            EXPECT_GT(dark, 100) << p;
        }
        EXPECT_EQ(preview.findChild<QLabel*>(QStringLiteral("imgPP_%1").arg(pages + 1)), nullptr);
        // An A4 page at the screen's resolution.
        const QImage first = preview.pageImage(0);
        EXPECT_NEAR(first.width(), std::lround(preview.logicalDpiY() * 8.27), 2);
        EXPECT_NEAR(first.height(), std::lround(preview.logicalDpiY() * 11.69), 2);

        // The wheel scrolls a tenth of its turn.
        preview.resize(600, 500);
        preview.show();
        QScrollArea* scroll = preview.findChild<QScrollArea*>(QStringLiteral("sb_Preview"));
        QWheelEvent wheel(QPointF(50, 50), scroll->viewport()->mapToGlobal(QPointF(50, 50)),
                          QPoint(), QPoint(0, -240), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(scroll->viewport(), &wheel);
        EXPECT_EQ(scroll->verticalScrollBar()->value(), 24);
    };
    find<QAction>("mnFPrintPrev")->trigger();
    EXPECT_EQ(printing.previews, 1);
    EXPECT_GT(pages, 1);
}

TEST_F(PrintAndHelpTest, PrintingWritesEveryPageThroughThePrinter) {
    openHarmonized(400);
    printing.pdfPath = path("printed.pdf");
    printing.info = std::make_pair(QStringLiteral("My Scales"), QStringLiteral("Me"));
    find<QAction>("mnFPrint")->trigger();
    EXPECT_EQ(printing.previews, 0);
    ASSERT_TRUE(fs::exists(scratch / "printed.pdf"));
    EXPECT_GT(fs::file_size(scratch / "printed.pdf"), 1000u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrintAndHelpTest, PrintInThePreviewAsksForThePrinterFirst) {
    openHarmonized(8);
    printing.info = std::make_pair(QString(), QString());
    printing.onPreview = [&](TfPrintPreview& preview) {
        preview.findChild<QPushButton*>(QStringLiteral("b_Print"))->click();
        EXPECT_EQ(printing.printerQuestions, 1); // cancelled: nothing printed
        printing.pdfPath = path("from-preview.pdf");
        preview.findChild<QPushButton*>(QStringLiteral("b_Print"))->click();
        EXPECT_EQ(printing.printerQuestions, 2);
    };
    find<QAction>("mnFPrintPrev")->trigger();
    EXPECT_TRUE(fs::exists(scratch / "from-preview.pdf"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrintAndHelpTest, EscapeOnPrintAbortsTheJob) {
    openHarmonized(400);
    printing.info = std::make_pair(QString(), QString());
    printing.pdfPath = path("aborted.pdf");
    printing.onPreview = [&](TfPrintPreview& preview) {
        QPushButton* print = preview.findChild<QPushButton*>(QStringLiteral("b_Print"));
        ASSERT_NE(print, nullptr);
        std::vector<int> pagesSeen;
        preview.setBeforePageHook([&](int page) {
            pagesSeen.push_back(page);
            if (page == 1) QTest::keyClick(print, Qt::Key_Escape);
        });
        print->click();
        // Page 0 was printed; the job stopped before page 1.
        EXPECT_EQ(pagesSeen, (std::vector<int>{0, 1}));
        EXPECT_FALSE(preview.printing());
    };
    find<QAction>("mnFPrintPrev")->trigger();
    ASSERT_EQ(messages.count(Kind::Info), 1u);
    EXPECT_EQ(messages.last().text, std::string(kPrintingAborted));
}

TEST_F(PrintAndHelpTest, F1AndTheHelpMenuOpenTheirTopics) {
    startWindow();
    HelpWindow* help = window->helpWindow();
    ASSERT_NE(help, nullptr);
    QTextBrowser* browser = help->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
    ASSERT_NE(browser, nullptr);
    const auto shows = [&](int context) {
        return browser->source().toLocalFile().endsWith(helpTopicFile(context));
    };
    find<QAction>("mnQuickTour")->trigger();
    EXPECT_TRUE(shows(kHelpQuickTour)) << browser->source().toString().toStdString();
    find<QAction>("mnKvtaDemos")->trigger();
    EXPECT_TRUE(shows(kHelpDemos));
    find<QAction>("mnContents")->trigger();
    EXPECT_TRUE(shows(kHelpContents));
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_TRUE(shows(kHelpMainWindow)) << browser->source().toString().toStdString();
}

TEST_F(PrintAndHelpTest, TheBugReportFormOpensInTheBrowserOrNamesTheSite) {
    webBrowser = QStringLiteral("/usr/bin/some-browser");
    startWindow();
    find<QAction>("mnBRF")->trigger();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].first, webBrowser);
    EXPECT_EQ(started[0].second,
              QStringList{QStringLiteral("http://www.korvanta.example/bug_rep_form.html")});
    EXPECT_TRUE(messages.empty());

    // A browser that does not start: the site is named instead.
    startSucceeds = false;
    find<QAction>("mnBRF")->trigger();
    ASSERT_EQ(messages.count(Kind::Info), 1u);
    EXPECT_EQ(messages.last().text, "Visit www.korvanta.example.");
}

TEST_F(PrintAndHelpTest, WithoutABrowserTheBugReportNamesTheSite) {
    startWindow();
    find<QAction>("mnBRF")->trigger();
    EXPECT_TRUE(started.empty());
    ASSERT_EQ(messages.count(Kind::Info), 1u);
    EXPECT_EQ(messages.last().text, "Visit www.korvanta.example.");
}

TEST_F(PrintAndHelpTest, AboutShowsOurPictureAndTheBuildsVersion) {
    startWindow();
    find<QAction>("mnAbout")->trigger();
    EXPECT_EQ(aboutShown, 1);
    EXPECT_TRUE(aboutHadPicture);
    EXPECT_TRUE(aboutVersion.startsWith(QStringLiteral("Version: ")));
    EXPECT_FALSE(aboutVersion.contains(QStringLiteral("95")));
    EXPECT_NE(aboutVersion, QStringLiteral("Version: unknown"));
}

TEST(TfAbout, WithoutItsPictureItStillShowsItsTextsAtAReadableSize) {
    TfAbout about(QStringLiteral("/no/such/About.png"));
    EXPECT_FALSE(about.hasPicture());
    EXPECT_NE(about.findChild<QLabel*>(QStringLiteral("l_Name")), nullptr);
    EXPECT_GE(about.minimumWidth(), 300);
    EXPECT_GE(about.minimumHeight(), 150);
    EXPECT_TRUE(TfAbout::librariesText().startsWith(QStringLiteral("Qt 6.")));
    EXPECT_TRUE(TfAbout::librariesText().contains(QStringLiteral("FluidSynth 2.")));
}

} // namespace korvanta::ui

namespace korvanta::ui {

namespace {

// The access keys ("&F") of visible actions, lower case.
std::vector<QChar> accessKeys(const QList<QAction*>& actions) {
    std::vector<QChar> keys;
    for (const QAction* a : actions) {
        if (!a->isVisible() || a->isSeparator()) continue;
        const QString text = a->text();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < text.size()) keys.push_back(text.at(at + 1).toLower());
    }
    return keys;
}

} // namespace

TEST_F(PrintAndHelpTest, EveryMenuHasDistinctAccessKeys) {
    startWindow();
    const auto unique = [](std::vector<QChar> keys) {
        std::sort(keys.begin(), keys.end());
        return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
    };
    QMenuBar* bar = window->menuBar();
    EXPECT_TRUE(unique(accessKeys(bar->actions())));
    for (QAction* top : bar->actions()) {
        // The drafts of the Harmony menu share "I" and have Ctrl+1 to Ctrl+3.
        if (QMenu* menu = top->menu(); menu && menu->objectName() != QStringLiteral("mnHarm")) {
            EXPECT_TRUE(unique(accessKeys(menu->actions()))) << top->text().toStdString();
        }
    }
    EXPECT_EQ(find<QAction>("mnHDraft3")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_3));
}

} // namespace korvanta::ui
