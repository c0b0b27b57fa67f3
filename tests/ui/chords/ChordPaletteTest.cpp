// The chord palette on a harmonized sample tune, driven with the mouse and the
// keyboard as a user would: alignment with the notes view's header, applying,
// muting, the custom chord list, undo, refusals during a play and the chord
// sounds the clicks ask for.

#include "ui/chords/ChordPalette.h"

#include "session/TuneSession.h"
#include "support/FakeTuneQuestions.h"
#include "ui/notes/NotesView.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>
#include <QVBoxLayout>
#include <filesystem>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace korvanta::ui {
namespace {

namespace fs = std::filesystem;
using Part = ChordPalette::Part;
using Sound = std::pair<ChordCode, std::uint8_t>;

const QColor kBlue(0, 0, 255);
const QColor kGrey(128, 128, 128);
const QColor kSelected(10, 201, 163);

class ChordPaletteTest : public ::testing::Test {
protected:
    FakeTuneQuestions questions;
    TuneSession session{questions};
    QWidget window;
    NotesView* view = nullptr;
    ChordPalette* palette = nullptr;
    QLabel name;
    QLabel notes;
    QStatusBar status;
    std::vector<Sound> sounds;

    void SetUp() override {
        questions.minorAnswer = MessageAnswer::No;
        const std::string file =
            (fs::path(KORVANTA_DATA_DIR) / "samples" / "twinkle-twinkle.mid").string();
        ASSERT_TRUE(session.open(file).ok());
        ASSERT_TRUE(session.createAccompaniment(true).ok());
        // The header above the palette, both flush left, as in the main window.
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        view = new NotesView(&window);
        palette = new ChordPalette(session, *view, &window);
        palette->setFixedHeight(240);
        layout->addWidget(view, 1);
        layout->addWidget(palette);
        palette->attach({&name, &notes, &status});
        palette->setChordSound([this](ChordCode c, std::uint8_t s) { sounds.emplace_back(c, s); });
        window.resize(900, 600);
        window.show();
        view->setSong(session.song());
        view->relayout();
        palette->build();
    }

    TSong& song() { return *session.masterForUpdate()->song(); }
    ChordCode candidate(int bar, int index) { return song().barChords[bar].codes[index]; }
    QPoint centre(int bar, Part part, int n = 0) {
        return palette->partRect(bar, part, n).center();
    }
    void press(Qt::MouseButton button, int bar, Part part, int n = 0) {
        QTest::mousePress(palette, button, {}, centre(bar, part, n));
        QTest::mouseRelease(palette, button, {}, centre(bar, part, n));
    }
    QString nameOf(ChordCode code) { return QString::fromStdString(ChordName(code)); }
};

TEST_F(ChordPaletteTest, ColumnsLineUpUnderTheHeaderSectionsAndScrollWithIt) {
    ASSERT_TRUE(palette->built());
    ASSERT_EQ(palette->columnCount(), 12);
    auto check = [&] {
        for (int bar = 0; bar < 6; ++bar) {
            const QRect label = palette->partRect(bar, Part::Applied);
            const int headerX = NotesView::rollLeft() + view->sectionX(bar) - view->headerOffset();
            EXPECT_EQ(palette->mapToGlobal(label.topLeft()).x(),
                      view->viewport()->mapToGlobal(QPoint(headerX, 0)).x())
                << "bar " << bar;
            EXPECT_EQ(label.width(), view->sectionX(bar + 1) - view->sectionX(bar) - 1);
        }
    };
    check();
    view->horizontalScrollBar()->setValue(9);
    ASSERT_GT(view->headerOffset(), 0);
    check();
    // The header's extra bars beyond the song have no column.
    EXPECT_GT(view->sectionCount(), 12);
    EXPECT_FALSE(palette->hitAt(QPoint(palette->partRect(11, Part::Applied).right() + 5, 5)));
}

TEST_F(ChordPaletteTest, AColumnShowsTheAppliedChordItsRecommendationsAndTheOtherLabel) {
    // Bar 1 of the tune: C applied, recommended C, Cm and Am.
    const ChordCode applied = song().BarChord(0);
    EXPECT_EQ(palette->appliedText(0), nameOf(applied));
    EXPECT_EQ(palette->buttonText(0, 1), nameOf(candidate(0, 0)).leftJustified(9));
    EXPECT_EQ(palette->buttonText(0, 1).size(), 9);
    EXPECT_EQ(palette->otherText(0), " Other");
    EXPECT_EQ(palette->buttonTextColour(0, 1), kBlue);
    EXPECT_NE(palette->buttonTextColour(0, 2), kBlue);

    const QRect column = palette->partRect(0, Part::Applied);
    const int middle = column.x() + (column.width() + 1) / 2;
    for (int n = 1; n <= 3; ++n) {
        const QRect button = palette->partRect(0, Part::Chord, n);
        EXPECT_EQ(button.size(), QSize(80, 37));
        EXPECT_EQ(button.y(), 29 + (n - 1) * 53);
        EXPECT_EQ(button.x(), middle - 40);
        EXPECT_EQ(palette->hitAt(button.center())->tag, n);
    }
    const QRect other = palette->partRect(0, Part::Other);
    EXPECT_EQ(other, QRect(middle - 27, 190, 54, 17));
    EXPECT_EQ(palette->partRect(0, Part::CustomButton), QRect(other.right() + 1, 190, 20, 20));
    EXPECT_EQ(palette->hitAt(other.center())->tag, 255);
    EXPECT_EQ(palette->hitAt(palette->partRect(3, Part::CustomButton).center())->tag,
              3 * 256 + 101);
    // Bar 4 has a single recommendation.
    EXPECT_TRUE(palette->partRect(3, Part::Chord, 2).isEmpty());
    EXPECT_EQ(ChordPalette::partName(3, Part::Chord, 1), "Chr_3_1");
}

TEST_F(ChordPaletteTest, NarrowColumnsStackGlyphAndTextAndDropTheOtherLabel) {
    view->setZoom(0.5);
    ASSERT_LE(view->sectionX(1) - view->sectionX(0), ChordPalette::kNarrowColumn);
    EXPECT_EQ(palette->partRect(0, Part::Chord, 2).size(), QSize(41, 49));
    EXPECT_TRUE(palette->buttonText(0, 1).startsWith("  "));
    EXPECT_EQ(palette->buttonText(0, 1).size(), 11);
    const QRect other = palette->partRect(0, Part::Other);
    EXPECT_EQ(other.y(), 208);
    // The custom button sits inside the label's right end and wins the hit.
    const QRect custom = palette->partRect(0, Part::CustomButton);
    EXPECT_EQ(custom.right(), other.right());
    EXPECT_EQ(palette->hitAt(custom.center())->part, Part::CustomButton);
}

TEST_F(ChordPaletteTest, ARightClickAppliesAChordThroughTheSession) {
    song().SetFlags(SongChange::kSettings, false);
    QSignalSpy changed(palette, &ChordPalette::chordsChanged);
    press(Qt::RightButton, 1, Part::Chord, 2);
    EXPECT_EQ(song().BarChord(1), candidate(1, 1));
    EXPECT_TRUE(song().TestFlags(SongChange::kSettings));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(palette->appliedText(1), nameOf(candidate(1, 1)));
    EXPECT_EQ(palette->tagOf(1, Part::Applied), 256 + 2);
    EXPECT_EQ(palette->buttonTextColour(1, 2), kBlue);
    EXPECT_NE(palette->buttonTextColour(1, 1), kBlue);

    // A right click on an unchosen " Other" label means no chord at all.
    press(Qt::RightButton, 1, Part::Other);
    EXPECT_EQ(song().BarChord(1), kNoChord);
    EXPECT_EQ(palette->appliedText(1), " - ");
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ChordPaletteTest, MutingTwiceRestoresTheNameAndThePlayFlag) {
    const QString name0 = palette->appliedText(2);
    QSignalSpy changed(palette, &ChordPalette::chordsChanged);
    press(Qt::RightButton, 2, Part::Applied);
    EXPECT_EQ(palette->appliedText(2), "muted");
    EXPECT_EQ(palette->appliedTextColour(2), kGrey);
    EXPECT_EQ(song().barHarmony[2].play, 0);
    press(Qt::RightButton, 2, Part::Applied);
    EXPECT_EQ(palette->appliedText(2), name0);
    EXPECT_NE(palette->appliedTextColour(2), kGrey);
    EXPECT_EQ(song().barHarmony[2].play, 1);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ChordPaletteTest, TheCustomListOffersTheAdditionalChordsAndNoneGoesBack) {
    QListWidget* list = palette->customList();
    press(Qt::LeftButton, 0, Part::CustomButton);
    ASSERT_EQ(palette->customListBar(), 0);
    const int mains = song().barChords[0].mainCount;
    const int extra = song().barChords[0].extraCount;
    ASSERT_EQ(list->count(), 1 + extra);
    EXPECT_EQ(list->item(0)->text(), "None");
    EXPECT_EQ(list->item(2)->text(), nameOf(candidate(0, mains + 1)));
    const QRect other = palette->partRect(0, Part::Other);
    EXPECT_EQ(list->geometry().left(), other.left());
    EXPECT_EQ(list->geometry().bottom(), other.top() - 3);
    EXPECT_EQ(list->height(), (1 + extra) * 13 + 2 * list->frameWidth());

    // A right press chooses the row under the mouse and closes the list.
    QTest::mousePress(list->viewport(), Qt::RightButton, {},
                      list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(palette->customListBar(), -1);
    EXPECT_EQ(palette->otherText(0), list->item(2)->text());
    EXPECT_EQ(palette->tagOf(0, Part::Other), mains + 2);
    EXPECT_EQ(song().BarChord(0), candidate(0, mains + 1));
    EXPECT_NE(palette->buttonTextColour(0, 1), kBlue);

    // "None" with recommendations: the first one is applied again.
    press(Qt::LeftButton, 0, Part::CustomButton);
    ASSERT_EQ(list->currentRow(), 2);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(palette->customListBar(), -1);
    EXPECT_EQ(palette->otherText(0), " Other");
    EXPECT_EQ(song().BarChord(0), candidate(0, 0));
    EXPECT_EQ(palette->buttonTextColour(0, 1), kBlue);
}

TEST_F(ChordPaletteTest, ABarWithoutRecommendationsShowsOnlyItsLabelsAndNoneClearsIt) {
    song().barChords[4].mainCount = 0;
    palette->build();
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(palette->partRect(4, Part::Chord, n).isEmpty());
    EXPECT_FALSE(palette->hitAt(centre(3, Part::Chord, 1) + QPoint(view->sectionX(1), 0)));
    EXPECT_FALSE(palette->partRect(4, Part::Applied).isEmpty());
    EXPECT_FALSE(palette->partRect(4, Part::Other).isEmpty());

    press(Qt::LeftButton, 4, Part::CustomButton);
    ASSERT_EQ(palette->customListBar(), 4);
    QListWidget* list = palette->customList();
    // Every chord of the bar is now an additional one.
    EXPECT_EQ(list->count(), 1 + song().barChords[4].extraCount);
    QTest::mousePress(list->viewport(), Qt::RightButton, {},
                      list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(song().BarChord(4), kNoChord);
    EXPECT_EQ(palette->tagOf(4, Part::Applied), 4 * 256 + 255);
    EXPECT_EQ(palette->appliedText(4), " - ");
}

TEST_F(ChordPaletteTest, EditsUndoAndRedoOneStepEach) {
    const ChordCode before = song().BarChord(5);
    QSignalSpy changed(palette, &ChordPalette::chordsChanged);
    press(Qt::RightButton, 5, Part::Chord, 3);
    press(Qt::RightButton, 5, Part::Applied);
    QUndoStack* undo = palette->undoStack();
    ASSERT_EQ(undo->count(), 2);
    undo->undo();
    EXPECT_EQ(song().barHarmony[5].play, 1);
    EXPECT_EQ(song().BarChord(5), candidate(5, 2));
    undo->undo();
    EXPECT_EQ(song().BarChord(5), before);
    EXPECT_EQ(palette->buttonTextColour(5, 1), kBlue);
    undo->redo();
    EXPECT_EQ(song().BarChord(5), candidate(5, 2));
    EXPECT_EQ(palette->tagOf(5, Part::Applied), 5 * 256 + 3);
    EXPECT_EQ(changed.count(), 5);
    // A new song starts a new history.
    palette->build();
    EXPECT_EQ(undo->count(), 0);
}

TEST_F(ChordPaletteTest, NothingChangesWhilePlaying) {
    press(Qt::RightButton, 6, Part::Chord, 2);
    const ChordCode chord = song().BarChord(6);
    session.setPlaying(true);
    QSignalSpy refused(palette, &ChordPalette::refusedWhilePlaying);
    QSignalSpy changed(palette, &ChordPalette::chordsChanged);

    press(Qt::RightButton, 6, Part::Chord, 3);
    press(Qt::RightButton, 6, Part::Applied);
    palette->selectBar(6);
    QTest::keyClick(palette, Qt::Key_1);
    press(Qt::LeftButton, 6, Part::CustomButton);
    QTest::keyClick(palette->customList(), Qt::Key_Return);
    EXPECT_EQ(refused.count(), 4);
    EXPECT_EQ(song().BarChord(6), chord);
    EXPECT_EQ(song().barHarmony[6].play, 1);
    EXPECT_EQ(palette->buttonTextColour(6, 2), kBlue);

    // Undo is refused too, and the stack stays where it stood.
    palette->undoStack()->undo();
    EXPECT_EQ(refused.count(), 5);
    EXPECT_EQ(palette->undoStack()->index(), 1);
    EXPECT_EQ(song().BarChord(6), chord);
    EXPECT_EQ(changed.count(), 0);

    session.setPlaying(false);
    palette->undoStack()->undo();
    EXPECT_EQ(palette->undoStack()->index(), 0);
    EXPECT_NE(song().BarChord(6), chord);
}

TEST_F(ChordPaletteTest, AuditionSendsOffForThePressedChordWhereverTheMouseWent) {
    QTest::mousePress(palette, Qt::LeftButton, {}, centre(0, Part::Chord, 2));
    QTest::mouseMove(palette, centre(0, Part::Chord, 3));
    QTest::mouseRelease(palette, Qt::LeftButton, {}, centre(0, Part::Chord, 3));
    const std::vector<Sound> pair{{candidate(0, 1), 0x91}, {candidate(0, 1), 0x81}};
    EXPECT_EQ(sounds, pair);

    // A muted label and the unchosen " Other" label stay silent.
    sounds.clear();
    press(Qt::RightButton, 1, Part::Applied);
    press(Qt::LeftButton, 1, Part::Applied);
    press(Qt::LeftButton, 1, Part::Other);
    EXPECT_TRUE(sounds.empty());

    // In the custom list, a press plays its row and the release stops that chord.
    press(Qt::LeftButton, 2, Part::CustomButton);
    QListWidget* list = palette->customList();
    const int mains = song().barChords[2].mainCount;
    QTest::mousePress(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(3)).center());
    const std::vector<Sound> listPair{{candidate(2, mains), 0x91}, {candidate(2, mains), 0x81}};
    EXPECT_EQ(sounds, listPair);
    EXPECT_EQ(palette->customListBar(), 2);
}

TEST_F(ChordPaletteTest, HoverNamesTheChordAndItsNotes) {
    QTest::mouseMove(palette, centre(0, Part::Chord, 1));
    EXPECT_EQ(name.text(), nameOf(candidate(0, 0)));
    // C major at the tune's chord octave 4: C4 E4 G4.
    ASSERT_EQ(candidate(0, 0), makeChordCode(kKeyCMajor, 0));
    EXPECT_EQ(notes.text(), "C4 E4 G4");
    EXPECT_FALSE(status.currentMessage().isEmpty());
    QTest::mouseMove(palette, centre(0, Part::CustomButton));
    EXPECT_TRUE(name.text().isEmpty());
    QTest::mouseMove(palette, centre(0, Part::Chord, 2));
    EXPECT_FALSE(name.text().isEmpty());
    QTest::mouseMove(palette, centre(0, Part::Chord, 2) + QPoint(0, 26));
    EXPECT_TRUE(name.text().isEmpty());
    EXPECT_TRUE(notes.text().isEmpty());
}

TEST_F(ChordPaletteTest, SelectionIgnoresBarsBeyondTheSongAndBeforeBuilding) {
    palette->selectBar(5);
    palette->selectBar(3);
    EXPECT_EQ(palette->appliedBackground(3), kSelected);
    EXPECT_NE(palette->appliedBackground(5), kSelected);
    palette->selectBar(12); // one of the header's extra bars
    palette->selectBar(-1);
    EXPECT_EQ(palette->selectedBar(), 3);
    palette->clear();
    EXPECT_EQ(palette->selectedBar(), -1);
    palette->selectBar(2);
    EXPECT_EQ(palette->selectedBar(), -1);
    EXPECT_FALSE(palette->hitAt(centre(2, Part::Applied)));
}

TEST_F(ChordPaletteTest, TheKeyboardMovesAppliesMutesAndAuditions) {
    palette->setFocus();
    QSignalSpy chosen(palette, &ChordPalette::barChosen);
    QTest::keyClick(palette, Qt::Key_Right);
    QTest::keyClick(palette, Qt::Key_Right);
    QTest::keyClick(palette, Qt::Key_Left);
    EXPECT_EQ(palette->selectedBar(), 0);
    ASSERT_EQ(chosen.count(), 3);
    EXPECT_EQ(chosen.at(1).at(0).toInt(), 1);

    QTest::keyClick(palette, Qt::Key_3);
    EXPECT_EQ(song().BarChord(0), candidate(0, 2));
    QTest::keyPress(palette, Qt::Key_Space);
    QTest::keyRelease(palette, Qt::Key_Space);
    const std::vector<Sound> pair{{candidate(0, 2), 0x91}, {candidate(0, 2), 0x81}};
    EXPECT_EQ(sounds, pair);
    QTest::keyClick(palette, Qt::Key_M);
    EXPECT_EQ(palette->appliedText(0), "muted");
    // Bar 4 has one recommendation: 2 does nothing there.
    palette->selectBar(3);
    const ChordCode chord = song().BarChord(3);
    QTest::keyClick(palette, Qt::Key_2);
    EXPECT_EQ(song().BarChord(3), chord);
}

TEST_F(ChordPaletteTest, ASongClosedBeforeClearLeavesNothingToPaintOrClick) {
    const QPoint button = centre(1, Part::Chord, 1);
    const QPoint label = centre(1, Part::Applied);
    palette->selectBar(1);
    ASSERT_TRUE(session.close(false).ok());
    EXPECT_FALSE(palette->grab().isNull());
    EXPECT_FALSE(palette->hitAt(button));
    QTest::mousePress(palette, Qt::LeftButton, {}, label);
    QTest::mouseRelease(palette, Qt::LeftButton, {}, label);
    QTest::mousePress(palette, Qt::RightButton, {}, button);
    QTest::keyClick(palette, Qt::Key_M);
    QTest::keyPress(palette, Qt::Key_Space);
    EXPECT_TRUE(sounds.empty());
    EXPECT_EQ(palette->undoStack()->count(), 0);
    EXPECT_TRUE(palette->appliedText(1).isEmpty());
}

TEST_F(ChordPaletteTest, TheCustomListStaysOverItsLabelWhenTheHeaderZooms) {
    press(Qt::LeftButton, 4, Part::CustomButton);
    ASSERT_EQ(palette->customListBar(), 4);
    view->setZoom(0.5);
    (void)palette->grab();
    const QRect other = palette->partRect(4, Part::Other);
    EXPECT_EQ(palette->customList()->x(), other.left());
    EXPECT_EQ(palette->customList()->geometry().bottom(), other.top() - 3);
}

TEST_F(ChordPaletteTest, TheCustomButtonClosesAnOpenListWithItsSelectionAndHoverNamesRows) {
    press(Qt::LeftButton, 7, Part::CustomButton);
    QListWidget* list = palette->customList();
    ASSERT_EQ(palette->customListBar(), 7);
    const int mains = song().barChords[7].mainCount;
    // Moves go straight to the list's viewport, as the window system delivers them.
    auto hover = [&](int row) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QMouseEvent move(QEvent::MouseMove, at, list->viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
    };
    hover(3);
    EXPECT_EQ(name.text(), nameOf(candidate(7, mains + 2)));
    hover(0);
    EXPECT_TRUE(name.text().isEmpty());

    list->setCurrentRow(1);
    press(Qt::LeftButton, 7, Part::CustomButton);
    EXPECT_EQ(palette->customListBar(), -1);
    EXPECT_EQ(song().BarChord(7), candidate(7, mains));
    EXPECT_EQ(palette->otherText(7), nameOf(candidate(7, mains)));
}

} // namespace
} // namespace korvanta::ui
