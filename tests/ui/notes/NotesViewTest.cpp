#include "ui/notes/NotesView.h"

#include "alg/song/PositionText.h"
#include "support/SongGrid.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace korvanta;
using namespace korvanta::ui;

namespace {

// A melody of `bars` bars in the given meter with one note on every beat,
// pitches walking up from C4 (MIDI 60 = C5 in this program's octave count).
std::unique_ptr<TSong> makeSong(int bars, int numerator = 4, int denominator = 4) {
    auto song = std::make_unique<TSong>();
    TMeterMap& meter = song->meter();
    meter.SetDivision(480);
    meter.sixteenthTicks = 120;
    meter.AddMeter(0, static_cast<std::uint8_t>(numerator), static_cast<std::uint8_t>(denominator));
    const int beatTicks = meter.entries()[0].ticksPerBeat;
    for (int bar = 0; bar < bars; ++bar) {
        for (int beat = 0; beat < numerator; ++beat) {
            const auto pitch = static_cast<std::uint8_t>(60 + (bar + beat) % 12);
            song->notes.AddNote(
                pitch, kMelodyList, 0x6400,
                TBarPos{static_cast<std::uint16_t>(bar), static_cast<std::uint8_t>(beat), 0, 0},
                static_cast<std::uint16_t>(beatTicks), pitch % 12);
        }
    }
    meter.barCount = bars;
    song->setBarCount(bars);
    song->notes.length = meter.BarStart(bars);
    song->chordOctave = 5;
    return song;
}

// The window's controls the view writes into.
struct Controls {
    QLabel pitch;
    QLabel position;
    QLineEdit from;
    QLineEdit to;
    QLineEdit fromTo;
    QPushButton loopButton;
    QStatusBar status;
    QLabel* panels[3] = {};

    Controls() {
        loopButton.setCheckable(true);
        fromTo.setProperty("tag", 0);
        for (int i = 0; i < 3; ++i) {
            panels[i] = new QLabel(&status);
            panels[i]->setObjectName(QStringLiteral("stbPanel%1").arg(i));
        }
    }
    NotesStatusControls controls() {
        return {&pitch, &position, &from, &to, &fromTo, &loopButton, &status};
    }
};

class NotesViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(1200 + NotesView::rollLeft(), 400);
        view.attach(controls.controls());
        view.show();
    }

    void load(const TSong* s) { view.setSong(s); }

    // A point of the roll at header x (the view not scrolled unless given).
    QPoint roll(int headerX, int y = 100) const { return view.viewportPointOf(headerX, y); }

    void press(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(view.viewport(), button, {}, at);
    }
    void release(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseRelease(view.viewport(), button, {}, at);
    }
    void dragTo(QPoint at, Qt::MouseButtons buttons = Qt::LeftButton) {
        QMouseEvent move(QEvent::MouseMove, at, view.viewport()->mapToGlobal(at), Qt::NoButton,
                         buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &move);
    }
    void drag(int fromX, int toX) {
        press(roll(fromX));
        dragTo(roll((fromX + toX) / 2));
        dragTo(roll(toX));
        release(roll(toX));
    }

    Controls controls;
    NotesView view;
};

} // namespace

// ---- scales ----

TEST_F(NotesViewTest, CommonTimeGivesThirtyPixelsABeat) {
    const auto song = makeSong(8);
    load(song.get());
    EXPECT_EQ(view.pixelsPerBeat(), 30);
    EXPECT_EQ(view.pixelsPerBar(), 120);
    EXPECT_DOUBLE_EQ(view.pixelsPerTick(), 120.0 / 1920);
    EXPECT_EQ(view.sectionCount(), 8 + NotesView::kExtraBars);
    EXPECT_EQ(view.sectionX(8), 960);
    EXPECT_EQ(view.totalTicks(), 8 * 1920);
}

TEST_F(NotesViewTest, SevenEighthsRoundThePixelsPerBeatDown) {
    const auto song = makeSong(4, 7, 8);
    load(song.get());
    EXPECT_EQ(view.pixelsPerBeat(), 17);
    EXPECT_EQ(view.pixelsPerBar(), 119);
    EXPECT_DOUBLE_EQ(view.pixelsPerTick(), 119.0 / (7 * 240));
}

TEST_F(NotesViewTest, AHugeNumeratorStillGetsOnePixelABeat) {
    const auto song = makeSong(2, 200, 4);
    load(song.get());
    EXPECT_EQ(view.pixelsPerBeat(), 1);
    EXPECT_EQ(view.pixelsPerBar(), 200);
    EXPECT_GT(view.pixelsPerTick(), 0);
    EXPECT_EQ(view.xOfTick(view.tickAtX(100)), 100);
}

TEST_F(NotesViewTest, EmptySongsAndNoSongDivideByNothing) {
    const auto song = makeSong(0);
    load(song.get());
    EXPECT_EQ(view.totalTicks(), 0);
    EXPECT_GT(view.pixelsPerTick(), 0);
    EXPECT_EQ(view.tickAtX(30), 480);
    view.goNext();
    view.goPrevious();
    view.follow(5000);
    EXPECT_EQ(view.sectionCount(), NotesView::kExtraBars);
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    view.viewport()->render(&image);

    load(nullptr);
    EXPECT_EQ(view.sectionCount(), 0);
    EXPECT_FALSE(view.setLoopFromTexts());
    view.viewport()->render(&image);
    drag(10, 400);
    EXPECT_FALSE(view.loopOn());
}

TEST_F(NotesViewTest, MeterChangesWidenTheirSections) {
    auto song = makeSong(4);
    song->meter().AddMeter(2, 3, 4);
    load(song.get());
    EXPECT_EQ(view.sectionX(2), 240);
    EXPECT_EQ(view.sectionX(3), 240 + 90);
    EXPECT_EQ(view.sectionX(4), 240 + 180);
}

TEST_F(NotesViewTest, TicksAndPixelsConvertBothWays) {
    const auto song = makeSong(16);
    load(song.get());
    for (const int x : {0, 1, 29, 30, 119, 120, 1234})
        EXPECT_EQ(view.xOfTick(view.tickAtX(x)), x);
    for (const std::int64_t t : {0, 480, 1920, 1920 * 7 + 960})
        EXPECT_EQ(view.tickAtX(view.xOfTick(t)), t);
    view.setZoom(2);
    EXPECT_EQ(view.pixelsPerBeat(), 60);
    EXPECT_EQ(view.xOfTick(1920), 240);
    view.setZoom(1);
    EXPECT_EQ(view.pixelsPerBar(), 120);
}

TEST_F(NotesViewTest, TheFirstOctaveScrollsIntoViewOnLoad) {
    const auto song = makeSong(4);
    load(song.get());
    EXPECT_EQ(view.verticalScrollBar()->value(), 5 * 12 - 12);
    EXPECT_EQ(view.verticalScrollBar()->maximum(),
              NotesView::kRows - view.rollHeight() / NotesView::kRowHeight);
}

// ---- mouse: cursor and loop ----

TEST_F(NotesViewTest, AShortDragMovesTheCursorAndMakesNoLoop) {
    const auto song = makeSong(16);
    load(song.get());
    QSignalSpy moved(&view, &NotesView::cursorMoved);
    QSignalSpy bars(&view, &NotesView::barSelected);
    drag(250, 250 + 90); // 0.75 of a bar
    EXPECT_FALSE(view.loopOn());
    EXPECT_EQ(view.cursorTick(), view.tickAtX(340));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(0).toLongLong(), view.tickAtX(340));
    ASSERT_EQ(bars.count(), 1);
    EXPECT_EQ(bars.at(0).at(0).toInt(), 2);
    EXPECT_EQ(view.positions().get(PlayPositions::kStart), view.tickAtX(340));
    EXPECT_EQ(view.dragState(), 0);
}

TEST_F(NotesViewTest, AClickOnTheHeaderMovesTheCursor) {
    const auto song = makeSong(16);
    load(song.get());
    const QPoint header = view.viewportPointOf(480, NotesView::kMarkStripHeight + 4);
    press(header);
    release(header);
    EXPECT_EQ(view.cursorTick(), 4 * 1920);
}

TEST_F(NotesViewTest, ALongDragMakesALoopAndRewritesTheTexts) {
    const auto song = makeSong(16);
    load(song.get());
    controls.fromTo.setProperty("tag", 1);
    QSignalSpy loops(&view, &NotesView::loopChanged);
    drag(240, 480);
    ASSERT_TRUE(view.loopOn());
    EXPECT_EQ(view.loopFromTick(), 2 * 1920);
    EXPECT_EQ(view.loopToTick(), 4 * 1920);
    EXPECT_EQ(controls.from.text(), "  3:01:000");
    EXPECT_EQ(controls.to.text(), "  5:01:000");
    EXPECT_EQ(controls.fromTo.text(), "  5:01:000"); // tag set: the loop end
    EXPECT_TRUE(controls.loopButton.isChecked());
    EXPECT_EQ(view.positions().get(PlayPositions::kLoopStart), 2 * 1920);
    EXPECT_EQ(view.positions().get(PlayPositions::kLoopEnd), 4 * 1920);
    ASSERT_EQ(loops.count(), 1);
    EXPECT_TRUE(loops.at(0).at(0).toBool());
    EXPECT_EQ(controls.panels[2]->text(), "0 :: 480");
}

TEST_F(NotesViewTest, ABackwardDragMakesAnOrderedLoop) {
    const auto song = makeSong(16);
    load(song.get());
    drag(600, 360);
    ASSERT_TRUE(view.loopOn());
    EXPECT_EQ(view.loopFromTick(), 3 * 1920);
    EXPECT_EQ(view.loopToTick(), 5 * 1920);
    EXPECT_EQ(controls.fromTo.text(), "  4:01:000"); // tag 0: the loop start
}

TEST_F(NotesViewTest, AShortDragKeepsAnEarlierLoop) {
    const auto song = makeSong(16);
    load(song.get());
    drag(240, 480);
    drag(700, 720);
    EXPECT_TRUE(view.loopOn());
    EXPECT_EQ(view.loopFromX(), 240);
    EXPECT_EQ(view.loopToX(), 480);
}

TEST_F(NotesViewTest, TypedLoopPointsAreOrderedAndWidened) {
    const auto song = makeSong(16);
    load(song.get());
    controls.from.setText("6");
    controls.to.setText("2:3");
    ASSERT_TRUE(view.setLoopFromTexts());
    EXPECT_EQ(view.loopFromTick(), 1920 + 960);
    EXPECT_EQ(view.loopToTick(), 5 * 1920);
    EXPECT_EQ(controls.from.text(), "  2:03:000");
    EXPECT_EQ(controls.to.text(), "  6:01:000");
    EXPECT_EQ(view.loopFromX(), view.xOfTick(1920 + 960));

    controls.from.setText("3:1");
    controls.to.setText("3:2"); // a beat apart: less than half a bar
    ASSERT_TRUE(view.setLoopFromTexts());
    EXPECT_EQ(view.loopFromTick(), 2 * 1920);
    EXPECT_EQ(view.loopToTick(), 2 * 1920 + 480 + 960);
    EXPECT_EQ(controls.to.text(), "  3:04:000");
}

TEST_F(NotesViewTest, GarbageLoopTextsStillGiveALoopInsideTheSong) {
    const auto song = makeSong(4);
    load(song.get());
    controls.from.setText("x:!:?");
    controls.to.setText("99999:99:999");
    ASSERT_TRUE(view.setLoopFromTexts());
    EXPECT_EQ(view.loopFromTick(), 0);
    EXPECT_EQ(view.loopToTick(), song->notes.length);
}

TEST_F(NotesViewTest, DeletingLoopPointsMovesTheCursorToTheLoopStart) {
    const auto song = makeSong(16);
    load(song.get());
    drag(240, 480);
    view.restartFlag() = false;
    view.deleteLoopPoints();
    EXPECT_FALSE(view.loopOn());
    EXPECT_EQ(view.cursorTick(), 2 * 1920);
    EXPECT_TRUE(view.restartFlag().load());
    EXPECT_FALSE(controls.loopButton.isChecked());
    EXPECT_EQ(view.positions().get(PlayPositions::kStart), 2 * 1920);
}

TEST_F(NotesViewTest, PlayingBlocksLoopsAndTheScrollBar) {
    const auto song = makeSong(200);
    load(song.get());
    view.setPlaying(true);
    drag(240, 600);
    EXPECT_FALSE(view.loopOn());
    EXPECT_EQ(view.dragState(), 0);
    view.horizontalScrollBar()->setValue(40);
    EXPECT_EQ(view.headerOffset(), 0);
    view.setPlaying(false);
    view.horizontalScrollBar()->setValue(40);
    EXPECT_EQ(view.headerOffset(), 40 * 30);
}

TEST_F(NotesViewTest, TheMouseShowsPitchAndPosition) {
    const auto song = makeSong(16);
    load(song.get());
    // The row of MIDI note 60 with the rows scrolled to 48.
    const int y =
        NotesView::rollTop() + (NotesView::kRows - 1 - 60 - 48) * NotesView::kRowHeight + 3;
    ASSERT_EQ(view.noteAtY(y), 60);
    dragTo(roll(135, y), Qt::NoButton);
    EXPECT_EQ(controls.pitch.text(), " C5");
    EXPECT_EQ(controls.position.text(),
              QString::fromStdString(positionText(song->meter(), view.tickAtX(135))));
    dragTo(QPoint(2, y), Qt::NoButton); // over the ruler: cleared
    EXPECT_TRUE(controls.pitch.text().isEmpty());
    EXPECT_TRUE(controls.position.text().isEmpty());
}

// ---- auto-scroll ----

TEST_F(NotesViewTest, DraggingPastTheRightEdgeScrollsUntilTheButtonIsUp) {
    const auto song = makeSong(200);
    load(song.get());
    Qt::MouseButtons held = Qt::LeftButton;
    view.setMouseButtonsSource([&held] { return held; });
    press(roll(600));
    dragTo(roll(view.rollWidth() + 40));
    ASSERT_TRUE(view.autoScrollRunning());
    EXPECT_EQ(view.autoScrollStep(), NotesView::kAutoScrollBeats);
    view.autoScrollTick();
    EXPECT_EQ(view.headerOffset(), 2 * 30);
    view.autoScrollTick();
    EXPECT_EQ(view.headerOffset(), 4 * 30);
    held = Qt::NoButton; // released outside the view: no release event
    view.autoScrollTick();
    EXPECT_FALSE(view.autoScrollRunning());
    EXPECT_EQ(view.headerOffset(), 4 * 30);
}

TEST_F(NotesViewTest, ReleaseTakesOneLastScrollStepAndStopsTheTimer) {
    const auto song = makeSong(200);
    load(song.get());
    view.setMouseButtonsSource([] { return Qt::MouseButtons(Qt::LeftButton); });
    press(roll(600));
    const QPoint outside = roll(view.rollWidth() + 40);
    dragTo(outside);
    ASSERT_TRUE(view.autoScrollRunning());
    release(outside);
    EXPECT_FALSE(view.autoScrollRunning());
    EXPECT_EQ(view.headerOffset(), 2 * 30);
    EXPECT_TRUE(view.loopOn());
}

TEST_F(NotesViewTest, LosingFocusStopsTheAutoScroll) {
    const auto song = makeSong(200);
    load(song.get());
    view.setMouseButtonsSource([] { return Qt::MouseButtons(Qt::LeftButton); });
    press(roll(600));
    dragTo(roll(view.rollWidth() + 40));
    ASSERT_TRUE(view.autoScrollRunning());
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(&view, &out);
    EXPECT_FALSE(view.autoScrollRunning());
}

// ---- marks ----

TEST_F(NotesViewTest, InsertingAtOneXTwiceLeavesOneMark) {
    const auto song = makeSong(16);
    load(song.get());
    EXPECT_FALSE(view.markJumpsEnabled());
    view.insertMarkAt(300);
    view.insertMarkAt(300);
    view.insertMarkAt(100);
    EXPECT_EQ(view.markXs(), (std::vector<int>{100, 300}));
    EXPECT_TRUE(view.markJumpsEnabled());
}

TEST_F(NotesViewTest, InsertMarkUsesTheLastPressOrTheCursor) {
    const auto song = makeSong(16);
    load(song.get());
    view.insertMark(); // cursor at 0: half a beat left, but not below 0
    EXPECT_EQ(view.markXs(), (std::vector<int>{0}));
    press(roll(500));
    release(roll(500));
    view.insertMark();
    EXPECT_EQ(view.markXs(), (std::vector<int>{0, 500}));
}

TEST_F(NotesViewTest, DeletingAMarkByIdNeverRemovesAnother) {
    const auto song = makeSong(16);
    load(song.get());
    view.insertMarkAt(300);
    view.insertMarkAt(100);
    view.insertMarkAt(200);
    const std::vector<int> ids = view.markIds(); // sorted by x: 100, 200, 300
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_TRUE(view.deleteMark(ids[1]));
    EXPECT_FALSE(view.deleteMark(ids[1]));
    EXPECT_EQ(view.markXs(), (std::vector<int>{100, 300}));
    view.insertMarkAt(200); // a new mark at the same place gets a new id
    EXPECT_FALSE(view.deleteMark(ids[1]));
    EXPECT_EQ(view.markXs().size(), 3u);
    EXPECT_TRUE(view.deleteMark(ids[0]));
    EXPECT_EQ(view.markXs(), (std::vector<int>{200, 300}));
}

TEST_F(NotesViewTest, RemovingTheLastMarkDisablesJumps) {
    const auto song = makeSong(16);
    load(song.get());
    view.insertMarkAt(300);
    ASSERT_TRUE(view.markJumpsEnabled());
    EXPECT_TRUE(view.deleteMark(view.markIds()[0]));
    EXPECT_FALSE(view.markJumpsEnabled());
    view.goNext(); // no marks: the end of the melody
    EXPECT_EQ(view.cursorTick(), 16 * 1920);
    EXPECT_EQ(view.headerOffset(), 16 * 120 - 2 * 120);
}

TEST_F(NotesViewTest, TheStripMenusDeleteAndToggle) {
    const auto song = makeSong(16);
    load(song.get());
    view.insertMarkAt(300);
    view.insertMarkAt(500);
    const QPoint onMark = view.viewportPointOf(503, 3);
    press(onMark, Qt::RightButton);
    EXPECT_EQ(view.selectedMark(), view.markIds()[1]);
    EXPECT_TRUE(view.markMenu()->isVisible());
    view.markMenu()->findChild<QAction*>("deleteMark")->trigger();
    view.markMenu()->hide();
    EXPECT_EQ(view.markXs(), (std::vector<int>{300}));

    press(view.viewportPointOf(700, 3), Qt::RightButton);
    EXPECT_TRUE(view.stripMenu()->isVisible());
    QAction* jumps = view.stripMenu()->findChild<QAction*>("disableMarkJumps");
    ASSERT_TRUE(jumps);
    EXPECT_FALSE(jumps->isChecked());
    jumps->trigger();
    EXPECT_FALSE(view.markJumpsEnabled());
    jumps->trigger();
    EXPECT_TRUE(view.markJumpsEnabled());
    view.stripMenu()->findChild<QAction*>("insertMark")->trigger();
    EXPECT_EQ(view.markXs(), (std::vector<int>{300, 700}));
    view.stripMenu()->findChild<QAction*>("deleteAllMarks")->trigger();
    view.stripMenu()->hide();
    EXPECT_TRUE(view.markXs().empty());
    EXPECT_FALSE(view.markJumpsEnabled());
    EXPECT_TRUE(jumps->isChecked());
}

TEST_F(NotesViewTest, ANewSongClearsMarksAndLoop) {
    const auto song = makeSong(16);
    load(song.get());
    view.insertMarkAt(300);
    drag(240, 480);
    const auto other = makeSong(8);
    load(other.get());
    EXPECT_TRUE(view.markXs().empty());
    EXPECT_FALSE(view.loopOn());
    EXPECT_EQ(view.cursorTick(), 0);
}

// ---- navigation ----

TEST_F(NotesViewTest, NavigationJumpsBetweenMarks) {
    const auto song = makeSong(16);
    load(song.get());
    view.insertMarkAt(240);
    view.insertMarkAt(600);
    view.goNext();
    EXPECT_EQ(view.cursorTick(), view.tickAtX(240));
    view.goNext();
    EXPECT_EQ(view.cursorTick(), view.tickAtX(600));
    view.goNext(); // no mark right of the cursor: the melody's end
    EXPECT_EQ(view.cursorTick(), 16 * 1920);
    view.goPrevious();
    EXPECT_EQ(view.cursorTick(), view.tickAtX(600));
    view.goPrevious();
    view.goPrevious();
    EXPECT_EQ(view.cursorTick(), 0);
    EXPECT_EQ(view.headerOffset(), 0);
    view.setMarkJumpsDisabled(true);
    view.goNext();
    EXPECT_EQ(view.cursorTick(), 16 * 1920);
}

TEST_F(NotesViewTest, AMarkOutsideTheViewIsBroughtInOneBarFromTheEdge) {
    const auto song = makeSong(100);
    load(song.get());
    view.insertMarkAt(3000);
    view.goNext();
    EXPECT_EQ(view.headerOffset(), 3000 - view.rollWidth() + 120);
}

TEST_F(NotesViewTest, NavigationWithALoopGoesToItsEnds) {
    const auto song = makeSong(100);
    load(song.get());
    controls.from.setText("5");
    controls.to.setText("30");
    ASSERT_TRUE(view.setLoopFromTexts());
    view.goNext();
    EXPECT_EQ(view.cursorTick(), 29 * 1920);
    EXPECT_EQ(view.headerOffset(), 29 * 120 - view.rollWidth() + 120);
    view.goPrevious();
    EXPECT_EQ(view.cursorTick(), 4 * 1920);
    EXPECT_EQ(view.headerOffset(), 4 * 120 - 120);
}

// ---- following the player ----

TEST_F(NotesViewTest, FollowingScrollsWhenTheBarLeavesTheView) {
    const auto song = makeSong(100);
    load(song.get());
    view.setPlaying(true);
    QSignalSpy bars(&view, &NotesView::barSelected);
    view.follow(2 * 1920);
    EXPECT_EQ(view.headerOffset(), 0);
    EXPECT_EQ(controls.panels[1]->text(), "  3:01:000");
    // Bar 10 (x 1200-1320) runs past the right edge of 1200 pixels.
    view.follow(10 * 1920 + 480);
    EXPECT_EQ(view.headerOffset(), 1200 + 30 - 120);
    ASSERT_EQ(bars.count(), 2);
    EXPECT_EQ(bars.at(1).at(0).toInt(), 10);
    // Back to bar 3: left of the view, so it starts at the left edge.
    view.follow(3 * 1920 + 100);
    EXPECT_EQ(view.headerOffset(), 360);
    EXPECT_EQ(view.cursorTick(), 0); // the start position stays
}

// ---- painting ----

TEST_F(NotesViewTest, PaintingLooksOnlyAtTheNotesOfTheWindow) {
    const auto song = makeSong(10000);
    load(song.get());
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    view.viewport()->render(&image);
    const std::int64_t atStart = view.notesVisitedByLastPaint();
    EXPECT_GT(atStart, 0);
    // 1200 pixels are 10 bars of 4 notes; a bar before and one after may be looked at.
    EXPECT_LE(atStart, 12 * 4 + 1);
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    view.viewport()->render(&image);
    EXPECT_GT(view.notesVisitedByLastPaint(), 0);
    EXPECT_LE(view.notesVisitedByLastPaint(), 12 * 4 + 1);
}

TEST_F(NotesViewTest, NotesArePaintedTealOnWhite) {
    const auto song = makeSong(4);
    load(song.get());
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    view.viewport()->render(&image);
    // The first note: C (MIDI 60) from x 0 to 30, on the row of note 60.
    const int y = NotesView::rollTop() + (NotesView::kRows - 1 - 60 - 48) * NotesView::kRowHeight;
    EXPECT_EQ(image.pixelColor(NotesView::rollLeft() + 10, y + 4), QColor(0, 128, 128));
    EXPECT_EQ(image.pixelColor(NotesView::rollLeft() + 10, y + 4 - 16), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(NotesView::rollLeft() + 60, 4), QColor(210, 193, 174));
}

// ---- keyboard and wheel ----

TEST_F(NotesViewTest, KeysScrollByBeatsScreensAndRows) {
    const auto song = makeSong(200);
    load(song.get());
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(view.headerOffset(), 30);
    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_EQ(view.headerOffset(), 30 + view.rollWidth() / 30 * 30);
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.headerOffset(), 0);
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.headerOffset(), view.horizontalScrollBar()->maximum() * 30);
    const int row = view.verticalScrollBar()->value();
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(view.verticalScrollBar()->value(), row - 1);
    QTest::keyClick(&view, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_GT(view.zoom(), 1.0);
    EXPECT_GT(view.pixelsPerBeat(), 30);
}

TEST_F(NotesViewTest, TheWheelScrollsRowsAndZoomsWithControl) {
    const auto song = makeSong(200);
    load(song.get());
    const int row = view.verticalScrollBar()->value();
    const QPoint at = roll(600);
    QWheelEvent down(at, view.viewport()->mapToGlobal(at), {}, {0, -240}, Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &down);
    EXPECT_EQ(view.verticalScrollBar()->value(), row + 2);

    const std::int64_t tickUnderMouse = view.tickAtX(600);
    QWheelEvent zoomIn(at, view.viewport()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &zoomIn);
    EXPECT_GT(view.zoom(), 1.0);
    EXPECT_NEAR(view.tickAtX(600 + view.headerOffset()), tickUnderMouse, 1920 / 30);
}

TEST_F(NotesViewTest, ZoomKeepsMarksAndLoopOnTheirTicks) {
    const auto song = makeSong(100);
    load(song.get());
    view.insertMarkAt(360);
    drag(240, 480);
    view.setZoom(2);
    EXPECT_EQ(view.markXs(), (std::vector<int>{720}));
    EXPECT_EQ(view.loopFromX(), 480);
    EXPECT_EQ(view.loopToX(), 960);
    EXPECT_EQ(view.loopFromTick(), 2 * 1920);
}
