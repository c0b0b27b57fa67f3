// The style dialog on the shipped library, driven through its controls: the
// pages and their sections, the meter test, clicks and double clicks timed by
// its click timer (driven by the test, never waited for), Reload, odd styles
// from a folder of the test's own, the main window's switch image, and the
// demonstration on a player whose clock the test holds.

#include "ui/dialogs/TfStyle.h"

#include "playback/HoldingMidiClock.h"
#include "playback/RecordingOutput.h"
#include "styles/StyleFiles.h"
#include "styles/StyleMaster.h"
#include "support/FakeMessageSink.h"
#include "support/ScratchPath.h"
#include "ui/dialogs/StyleAudition.h"
#include "ui/dialogs/StyleThumbnail.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace korvanta::ui {
namespace {

namespace fs = std::filesystem;
using Kind = FakeMessageSink::Kind;

const QString kShippedStyles = QStringLiteral(KORVANTA_DATA_DIR "/Styles");

QColor pixel(const QPixmap& image, int x, int y) {
    return image.toImage().pixelColor(x, y);
}

// The dialog over the shipped library, its pages built, auditions recorded.
struct Rig {
    StyleLibrary library;
    FakeMessageSink messages;
    std::vector<const StyleRecord*> auditions;
    std::unique_ptr<TfStyle> dialog;

    explicit Rig(const QString& folder = kShippedStyles, int numerator = 4, int denominator = 4) {
        library.load(folder.toStdString());
        dialog = std::make_unique<TfStyle>(library, messages);
        dialog->setStylesFolder(folder);
        dialog->setSongMeter(numerator, denominator);
        dialog->setAudition([this](const StyleRecord& style) { auditions.push_back(&style); });
        dialog->buildPages();
        dialog->show();
    }

    StyleThumbnail* thumb(const char* name) const {
        return dialog->findChild<StyleThumbnail*>(QString::fromLatin1(name));
    }
    QTimer* timer() const { return dialog->findChild<QTimer*>(QStringLiteral("clickSITimer")); }
    std::int32_t idOf(const char* name) const {
        std::int32_t id = kNoStyle;
        library.byName(name, &id);
        return id;
    }
    void click(const char* name, Qt::MouseButton button = Qt::LeftButton) const {
        QTest::mouseClick(thumb(name), button);
    }
    // A double click as the window system delivers it: press, release, then a
    // press and a double-click event, and a release.
    void doubleClick(const char* name) const {
        StyleThumbnail* target = thumb(name);
        QWidget* top = target->window();
        // Only the page in front takes the mouse.
        dialog->findChild<QTabWidget*>(QStringLiteral("pgc_Styles"))
            ->setCurrentIndex(styleGroupOf(target->styleId()));
        QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, {},
                           target->mapTo(top, target->rect().center()));
    }
};

TEST(TfStyle, BuildsAPianoAndAGuitarPageWithSectionsByBeatsPerBar) {
    Rig rig;
    EXPECT_EQ(rig.dialog->windowTitle(), QStringLiteral("Styles of instrumental accompaniments"));
    auto* pages = rig.dialog->findChild<QTabWidget*>(QStringLiteral("pgc_Styles"));
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 2); // group 2 has no page
    EXPECT_EQ(pages->tabText(0), QStringLiteral("Piano"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("Guitar"));
    EXPECT_EQ(pages->widget(0)->objectName(), QStringLiteral("Piano"));
    EXPECT_NE(qobject_cast<QScrollArea*>(pages->widget(1)), nullptr);
    EXPECT_EQ(pages->widget(0)->findChildren<StyleThumbnail*>().size(), 15);
    EXPECT_EQ(pages->widget(1)->findChildren<StyleThumbnail*>().size(), 16);

    // Piano: 2 beats left, 3 right at the same height, 4 left under the
    // lowest line, 6 right beside it, 12 left again; lines of four.
    const int half = TfStyle::kPageWidth / 2;
    const struct {
        const char* label;
        int x, y;
    } sections[] = {{"l_Stl0_2", 6, 6},
                    {"l_Stl0_3", half + 6, 6},
                    {"l_Stl0_4", 6, 68},
                    {"l_Stl0_6", half + 6, 68},
                    {"l_Stl0_12", 6, 170}};
    for (const auto& s : sections) {
        auto* label = rig.dialog->findChild<QLabel*>(QString::fromLatin1(s.label));
        ASSERT_NE(label, nullptr) << s.label;
        EXPECT_EQ(label->pos(), QPoint(s.x, s.y)) << s.label;
    }
    EXPECT_EQ(rig.dialog->findChild<QLabel*>(QStringLiteral("l_Stl0_3"))->text(),
              QStringLiteral("3 beats per bar"));
    const struct {
        const char* name;
        int x, y;
    } thumbs[] = {{"PianoMarch", 6, 24},
                  {"PianoPolka", 60, 24},
                  {"PianoCutTime", 114, 24},
                  {"PianoWaltz", half + 6, 24},
                  {"PianoWaltzArp", half + 60, 24},
                  {"PianoBallad", 6, 86},
                  {"PianoStride", 168, 86},
                  {"PianoSwing", 6, 126},
                  {"PianoRock", 114, 126},
                  {"Piano6-8Flow", half + 6, 86},
                  {"Piano6-8Jig", half + 60, 86},
                  {"Piano12-8Blues", 6, 188}};
    for (const auto& t : thumbs) {
        StyleThumbnail* thumb = rig.thumb(t.name);
        ASSERT_NE(thumb, nullptr) << t.name;
        EXPECT_EQ(thumb->pos(), QPoint(t.x, t.y)) << t.name;
        EXPECT_EQ(thumb->size(), QSize(50, 36)) << t.name;
    }
    EXPECT_EQ(pages->widget(0)
                  ->findChild<QWidget*>(QStringLiteral("PianoMarch"))
                  ->parentWidget()
                  ->height(),
              188 + 36 + 8);

    StyleThumbnail* waltz = rig.thumb("GuitarWaltz");
    ASSERT_NE(waltz, nullptr);
    EXPECT_EQ(waltz->property("styleId").toInt(), rig.idOf("GuitarWaltz"));
    EXPECT_EQ(styleGroupOf(waltz->styleId()), 1);
    EXPECT_EQ(waltz->toolTip(), QStringLiteral(" GuitarWaltz\n 3 beats per bar\n Meter 3/4"));
    EXPECT_EQ(waltz->cursor().shape(), Qt::PointingHandCursor);

    auto* help = rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Help"));
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(help->isEnabled());
    EXPECT_EQ(rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Import"))->toolTip(),
              QStringLiteral("Import style from midi file"));
}

TEST(TfStyle, InThreeFourOnlyTheFittingStylesAreInColourAndChoosable) {
    Rig rig(kShippedStyles, 3, 4);
    StyleThumbnail* ballad = rig.thumb("PianoBallad");
    StyleThumbnail* waltz = rig.thumb("PianoWaltz");
    EXPECT_FALSE(ballad->fits());
    EXPECT_TRUE(waltz->fits());
    EXPECT_EQ(pixel(ballad->pixmap(), 25, 0), QColor(128, 128, 128));
    EXPECT_EQ(pixel(ballad->pixmap(), 47, 10), QColor(192, 192, 192));
    EXPECT_EQ(pixel(waltz->pixmap(), 25, 0), QColor(165, 130, 90));
    EXPECT_EQ(pixel(waltz->pixmap(), 47, 10), QColor(218, 204, 188));

    rig.click("PianoBallad", Qt::RightButton);
    EXPECT_EQ(rig.dialog->chosenStyle(), kNoStyle);
    ASSERT_EQ(rig.messages.count(Kind::Warning), 1u);
    EXPECT_EQ(rig.messages.last().text, "   Can't apply selected style   ");
    EXPECT_EQ(ballad->outline(), QColor(128, 128, 128));
    // A double click is refused alike.
    rig.doubleClick("PianoBallad");
    EXPECT_EQ(rig.messages.count(Kind::Warning), 2u);
    EXPECT_EQ(rig.dialog->chosenStyle(), kNoStyle);
    EXPECT_FALSE(rig.timer()->isActive());

    rig.click("PianoWaltz", Qt::RightButton);
    EXPECT_EQ(rig.dialog->chosenStyle(), rig.idOf("PianoWaltz"));
    EXPECT_EQ(waltz->outline(), QColor(0, 255, 0));
    EXPECT_EQ(rig.messages.count(Kind::Warning), 2u);
}

TEST(TfStyle, ADoubleClickChoosesWithoutAuditioning) {
    Rig rig;
    rig.dialog->selectById(rig.idOf("PianoPop"));
    rig.doubleClick("GuitarFolk");
    EXPECT_EQ(rig.dialog->chosenStyle(), rig.idOf("GuitarFolk"));
    EXPECT_EQ(rig.thumb("GuitarFolk")->outline(), QColor(0, 255, 0));
    // The style chosen before is drawn as any other again.
    EXPECT_EQ(rig.thumb("PianoPop")->outline(), QColor(165, 130, 90));
    EXPECT_FALSE(rig.timer()->isActive());
    rig.dialog->clickSITimerTimer(); // a late tick finds nothing to do
    // Two clicks while the click timer runs are a double click too, whatever
    // the system's double-click time.
    rig.click("GuitarBallad");
    rig.click("GuitarBallad");
    EXPECT_EQ(rig.dialog->chosenStyle(), rig.idOf("GuitarBallad"));
    EXPECT_EQ(rig.thumb("GuitarFolk")->outline(), QColor(165, 130, 90));
    EXPECT_FALSE(rig.timer()->isActive());
    EXPECT_TRUE(rig.auditions.empty());
}

TEST(TfStyle, ASingleClickAuditionsOnceTheClickTimeHasPassed) {
    Rig rig;
    rig.click("PianoBossa");
    EXPECT_EQ(rig.thumb("PianoBossa")->outline(), QColor(255, 255, 0));
    ASSERT_TRUE(rig.timer()->isActive());
    EXPECT_EQ(rig.timer()->interval(), TfStyle::kClickMs);
    EXPECT_TRUE(rig.timer()->isSingleShot());
    // A click on another style meanwhile means nothing.
    rig.click("PianoRock");
    EXPECT_EQ(rig.thumb("PianoRock")->outline(), QColor(165, 130, 90));
    EXPECT_TRUE(rig.auditions.empty());

    rig.dialog->clickSITimerTimer();
    ASSERT_EQ(rig.auditions.size(), 1u);
    EXPECT_EQ(rig.auditions[0], &rig.library.byId(rig.idOf("PianoBossa"))->style);
    EXPECT_EQ(rig.thumb("PianoBossa")->outline(), QColor(165, 130, 90));
    EXPECT_FALSE(rig.timer()->isActive());
    EXPECT_EQ(rig.dialog->chosenStyle(), kNoStyle);

    // The chosen style keeps its green outline after its audition.
    rig.click("PianoRock", Qt::RightButton);
    rig.click("PianoRock");
    rig.dialog->clickSITimerTimer();
    EXPECT_EQ(rig.auditions.size(), 2u);
    EXPECT_EQ(rig.thumb("PianoRock")->outline(), QColor(0, 255, 0));
}

TEST(TfStyle, ADoubleClickOnTheChosenStyleClearsTheChoice) {
    Rig rig;
    const std::int32_t swing = rig.idOf("GuitarSwing");
    rig.dialog->selectById(swing);
    EXPECT_EQ(rig.dialog->chosenStyle(), swing);
    EXPECT_EQ(rig.thumb("GuitarSwing")->outline(), QColor(0, 255, 0));
    rig.doubleClick("GuitarSwing");
    EXPECT_EQ(rig.dialog->chosenStyle(), kNoStyle);
    EXPECT_EQ(rig.thumb("GuitarSwing")->outline(), QColor(165, 130, 90));
    // Identifiers the library does not have change nothing.
    rig.dialog->selectById(styleId(1, 999));
    rig.dialog->selectById(-1);
    EXPECT_EQ(rig.dialog->chosenStyle(), kNoStyle);
    EXPECT_TRUE(rig.auditions.empty());
}

TEST(TfStyle, ClosingWithinTheClickTimeStopsTheTimer) {
    Rig rig;
    rig.click("PianoStride");
    ASSERT_TRUE(rig.timer()->isActive());
    rig.dialog->close();
    EXPECT_FALSE(rig.timer()->isActive());
    rig.dialog->clickSITimerTimer();
    EXPECT_TRUE(rig.auditions.empty());
    // Shown again, it starts afresh.
    rig.dialog->buildPages();
    rig.dialog->show();
    EXPECT_EQ(rig.thumb("PianoStride")->outline(), QColor(165, 130, 90));
    rig.click("PianoStride");
    rig.dialog->clickSITimerTimer();
    EXPECT_EQ(rig.auditions.size(), 1u);
}

TEST(TfStyle, ExecTurnsToTheChosenStylesPageAndOkAndCancelAnswer) {
    Rig rig;
    rig.dialog->hide();
    rig.dialog->selectById(rig.idOf("GuitarRock"));
    bool checked = false;
    QTimer::singleShot(0, rig.dialog.get(), [&] {
        auto* pages = rig.dialog->findChild<QTabWidget*>(QStringLiteral("pgc_Styles"));
        checked =
            pages->currentIndex() == 1 && rig.thumb("GuitarRock")->outline() == QColor(0, 255, 0);
        QTest::mouseClick(rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Ok")),
                          Qt::LeftButton);
    });
    EXPECT_EQ(rig.dialog->exec(), QDialog::Accepted);
    EXPECT_TRUE(checked);
    QTimer::singleShot(0, rig.dialog.get(), [&] {
        QTest::mouseClick(rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Cancel")),
                          Qt::LeftButton);
    });
    EXPECT_EQ(rig.dialog->exec(), QDialog::Rejected);
    EXPECT_EQ(rig.dialog->chosenStyle(), rig.idOf("GuitarRock"));
}

TEST(TfStyle, ImportAndReloadShowOnlyWithAReadableTool) {
    Rig rig;
    auto* import = rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Import"));
    auto* reload = rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Reload"));
    EXPECT_TRUE(import->isHidden());
    const fs::path tool = test::scratchPath("korvanta-tool");
    rig.dialog->setImportTool(QString::fromStdString(tool.string()));
    EXPECT_TRUE(import->isHidden());
    std::ofstream(tool) << "#!/bin/sh\n";
    rig.dialog->setImportTool(QString::fromStdString(tool.string()));
    EXPECT_FALSE(import->isHidden());
    EXPECT_FALSE(reload->isHidden());
    rig.dialog->setImportTool(QString::fromStdString(tool.parent_path().string())); // a folder
    EXPECT_TRUE(reload->isHidden());
    fs::remove(tool);
}

TEST(TfStyle, ReloadReadsTheLibraryAgainAndKeepsWorking) {
    Rig rig;
    const fs::path tool = test::scratchPath("korvanta-tool");
    std::ofstream(tool) << "#!/bin/sh\n";
    rig.dialog->setImportTool(QString::fromStdString(tool.string()));
    QSignalSpy reloaded(rig.dialog.get(), &TfStyle::libraryReloaded);
    rig.dialog->selectById(rig.idOf("PianoPop"));
    rig.click("PianoBallad"); // a click pending across the reload
    QTest::mouseClick(rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Reload")),
                      Qt::LeftButton);
    EXPECT_EQ(reloaded.count(), 1);
    EXPECT_FALSE(rig.timer()->isActive());
    EXPECT_EQ(rig.dialog->chosenStyle(), kNoStyle);
    EXPECT_EQ(rig.library.size(), 31u);
    EXPECT_TRUE(rig.messages.empty());
    rig.doubleClick("PianoBallad");
    EXPECT_EQ(rig.dialog->chosenStyle(), rig.idOf("PianoBallad"));
    EXPECT_EQ(rig.dialog->findChildren<StyleThumbnail*>().size(), 31);

    // A folder without a list: an error, empty pages, and the signal.
    rig.dialog->setStylesFolder(
        QString::fromStdString(test::scratchPath("korvanta-none").string()));
    QTest::mouseClick(rig.dialog->findChild<QPushButton*>(QStringLiteral("b_Reload")),
                      Qt::LeftButton);
    EXPECT_EQ(reloaded.count(), 2);
    EXPECT_EQ(rig.messages.count(Kind::Error), 1u);
    EXPECT_TRUE(rig.dialog->findChildren<StyleThumbnail*>().empty());
    fs::remove(tool);
}

// A 4/4 record of 96 ticks a quarter with the given events.
StyleRecord record(std::vector<PatternEvent> events) {
    StyleRecord s;
    s.setBars(1);
    s.setBaseOctave(4);
    s.setBeatsPerBar(4);
    s.setTimeSignature(4, 4);
    s.ticksPerQuarter = 96;
    s.meters = 0x44;
    s.events = std::move(events);
    s.eventCount = static_cast<std::uint32_t>(s.events.size());
    return s;
}

PatternEvent event(int selector, int octave, int beat, int duration) {
    PatternEvent e;
    e.selector = static_cast<std::int8_t>(selector);
    e.octave = static_cast<std::int8_t>(octave);
    e.beat = static_cast<std::uint8_t>(beat);
    e.duration = static_cast<std::int16_t>(duration);
    e.velocities = 100 << 8 | 64;
    return e;
}

TEST(StyleThumbnail, PlacesEachNoteByItsTimeAndChordTone) {
    // Scale 40 / 384 px a tick. The root at the base octave on beat 3 spans
    // x 22..29 (10 px less 2) at y 16; the seventh an octave lower on beat 1
    // spans x 2..3 (2 px) at y 18.
    const QPixmap image = StyleThumbnail::draw(record({event(1, 4, 2, 96), event(-7, 3, 0, 20)}),
                                               StyleThumbnail::fittingColours());
    const QColor navy(0, 0, 128), card(218, 204, 188);
    EXPECT_EQ(pixel(image, 22, 16), navy);
    EXPECT_EQ(pixel(image, 29, 17), navy);
    EXPECT_EQ(pixel(image, 30, 16), card);
    EXPECT_EQ(pixel(image, 21, 16), card);
    EXPECT_EQ(pixel(image, 22, 15), card);
    EXPECT_EQ(pixel(image, 2, 18), navy);
    EXPECT_EQ(pixel(image, 3, 19), navy);
    EXPECT_EQ(pixel(image, 4, 18), card);
}

TEST(StyleThumbnail, DrawsARecordWhoseFieldsAreAllZero) {
    StyleRecord empty;
    empty.events.push_back(PatternEvent{});
    const QPixmap image = StyleThumbnail::draw(empty, StyleThumbnail::greyColours());
    EXPECT_EQ(image.size(), QSize(50, 36));
    EXPECT_EQ(pixel(image, 25, 0), QColor(128, 128, 128));
    EXPECT_EQ(pixel(image, 25, 30), QColor(192, 192, 192));
}

TEST(TfStyle, StylesOfNoneOrOneBeatAndNoBarsGetTheirSections) {
    const fs::path folder = test::scratchPath("korvanta-styles");
    fs::create_directories(folder);
    StyleRecord zero = record({event(1, 4, 0, 96), event(3, 5, 7, 96)});
    zero.setBeatsPerBar(0);
    zero.setBars(0);
    StyleRecord one = record({event(5, 4, 0, 48)});
    one.setBeatsPerBar(1);
    one.setBars(0);
    StyleList list;
    list.groups[0] = {{styleId(0, 0), {}, "Zero"}, {styleId(0, 1), {}, "One"}};
    list.groups[1] = {{styleId(1, 0), {}, "Four"}};
    ASSERT_TRUE(writeStyleList(folder / kStyleListFileName, list).ok());
    ASSERT_TRUE(writeStyle(styleFilePath(folder, "Zero"), zero).ok());
    ASSERT_TRUE(writeStyle(styleFilePath(folder, "One"), one).ok());
    ASSERT_TRUE(writeStyle(styleFilePath(folder, "Four"), record({event(1, 4, 0, 96)})).ok());

    Rig rig(QString::fromStdString(folder.string()));
    ASSERT_EQ(rig.library.size(), 3u);
    const auto* zeroLabel = rig.dialog->findChild<QLabel*>(QStringLiteral("l_Stl0_0"));
    const auto* oneLabel = rig.dialog->findChild<QLabel*>(QStringLiteral("l_Stl0_1"));
    ASSERT_NE(zeroLabel, nullptr);
    ASSERT_NE(oneLabel, nullptr);
    EXPECT_EQ(zeroLabel->text(), QStringLiteral("0 beats per bar"));
    EXPECT_EQ(oneLabel->pos(), QPoint(TfStyle::kPageWidth / 2 + 6, 6));
    EXPECT_EQ(rig.thumb("Zero")->pos(), QPoint(6, 24));
    EXPECT_EQ(pixel(rig.thumb("Zero")->pixmap(), 2, 16), QColor(0, 0, 128));
    EXPECT_EQ(rig.thumb("One")->pos(), QPoint(TfStyle::kPageWidth / 2 + 6, 24));
    ASSERT_NE(rig.dialog->findChild<QLabel*>(QStringLiteral("l_Stl1_4")), nullptr);
    fs::remove_all(folder);
}

TEST(TfStyle, TheSwitchImageIsTheThumbnailInColourOrGrey) {
    Rig rig(kShippedStyles, 3, 4);
    const std::int32_t ballad = rig.idOf("PianoBallad"); // does not fit 3/4: colours regardless
    const QPixmap on = rig.dialog->thumbnail(ballad, true);
    const QPixmap off = rig.dialog->thumbnail(ballad, false);
    ASSERT_EQ(on.size(), QSize(50, 36));
    EXPECT_EQ(pixel(on, 25, 0), QColor(0, 255, 0));
    EXPECT_EQ(pixel(on, 47, 10), QColor(218, 204, 188));
    EXPECT_EQ(pixel(off, 25, 0), QColor(128, 128, 128));
    EXPECT_EQ(pixel(off, 47, 10), QColor(192, 192, 192));
    // The pattern is drawn in navy when on, grey when off, at the same places.
    const QImage a = on.toImage(), b = off.toImage();
    int navy = 0;
    for (int y = 2; y < 34; ++y)
        for (int x = 2; x < 46; ++x)
            if (a.pixelColor(x, y) == QColor(0, 0, 128)) {
                ++navy;
                EXPECT_EQ(b.pixelColor(x, y), QColor(128, 128, 128)) << x << "," << y;
            }
    EXPECT_GT(navy, 0);
    EXPECT_TRUE(rig.dialog->thumbnail(styleId(2, 999), true).isNull());
}

TEST(StyleAudition, PlaysWithoutBlockingAndRefusesWhileBusy) {
    test::HoldingMidiClock clock;
    RecordingOutput output{clock};
    Player player(output, clock);
    StyleAudition audition(player);
    StyleLibrary library;
    ASSERT_EQ(library.load(kShippedStyles.toStdString()), StyleLibraryStatus::Loaded);
    const StyleRecord& style = library.group(0).front().style;

    clock.holdAt(clock.now()); // time stands still: a blocking play would never return
    ASSERT_TRUE(audition.play(style));
    EXPECT_TRUE(audition.busy());
    EXPECT_FALSE(audition.play(style));
    audition.stop();
    EXPECT_FALSE(audition.busy());

    // Played to its end: every note of the preview, at the style's program.
    clock.release();
    output.clear();
    ASSERT_TRUE(audition.play(style));
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (audition.busy() && std::chrono::steady_clock::now() < guard)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(audition.busy());
    TNotes preview;
    const int notes = BuildPreview(style, preview);
    ASSERT_GT(notes, 0);
    int ons = 0;
    bool program = false;
    for (const RecordedMessage& m : output.messages()) {
        if ((messageStatus(m.message) & 0xF0) == 0x90 && messageData2(m.message) > 0) ++ons;
        if (m.message == packShortMessage(0xC1, style.program(), 0)) program = true;
    }
    EXPECT_EQ(ons, notes);
    EXPECT_TRUE(program);

    StyleRecord unusable = style;
    unusable.ticksPerQuarter = 0;
    EXPECT_FALSE(audition.play(unusable));
    EXPECT_FALSE(audition.busy());
}

} // namespace
} // namespace korvanta::ui
