// The transport and mixer of the main window with the player on a recording
// output and a clock the test holds: play, pause, stop, loop, tempo, volumes,
// mutes, patches and the instrument dialog, and the play's end notices.

#include "ui/MainWindowFixture.h"
#include "ui/chords/ChordPalette.h"
#include "ui/dialogs/TfPatchs.h"
#include "ui/notes/NotesView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <chrono>

namespace korvanta::ui {
namespace {

using std::chrono::microseconds;
using std::chrono::seconds;

struct TransportTest : MainWindowFixture {
    void openTwinkle() {
        startWindow(sample("twinkle-twinkle.mid"));
        ASSERT_TRUE(window->session().hasSong());
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    // Lets queued notices from the player's thread arrive; the deadline only
    // guards against a hang.
    template <typename Done>
    bool settle(Done done) {
        QDeadlineTimer guard(10000);
        while (!done() && !guard.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::yieldCurrentThread();
        }
        return done();
    }
    // Messages sent with a status byte and first data byte.
    int countOf(std::uint8_t status, int data1 = -1) const {
        int n = 0;
        for (const RecordedMessage& m : output.messages()) {
            if ((m.message & 0xFF) != status) continue;
            if (data1 >= 0 && static_cast<int>((m.message >> 8) & 0xFF) != data1) continue;
            ++n;
        }
        return n;
    }
    int lastValueOf(std::uint8_t status, int data1) const {
        int value = -1;
        for (const RecordedMessage& m : output.messages())
            if ((m.message & 0xFF) == status && static_cast<int>((m.message >> 8) & 0xFF) == data1)
                value = static_cast<int>((m.message >> 16) & 0xFF);
        return value;
    }
};

TEST_F(TransportTest, PauseKeepsThePositionAndStopGoesBackToWhereThePlayBegan) {
    openTwinkle();
    clock.holdAt(seconds(2));
    button("b_Play")->click();
    ASSERT_TRUE(window->playing());
    EXPECT_TRUE(button("b_Play")->isChecked());
    clock.waitForHold();
    window->onPlayTimer();
    const std::int64_t at = window->player()->position();
    ASSERT_GT(at, 0);

    // Pause: the cursor stands where the play was.
    button("b_Play")->click();
    EXPECT_FALSE(window->playing());
    EXPECT_FALSE(button("b_Play")->isChecked());
    EXPECT_EQ(window->notesView()->cursorTick(), at);

    // Play again from there, then Stop: the cursor goes back to that start.
    clock.holdAt(seconds(4));
    button("b_Play")->click();
    ASSERT_TRUE(window->playing());
    EXPECT_EQ(window->notesView()->positions().get(PlayPositions::kStart), at);
    clock.waitForHold();
    window->onPlayTimer();
    button("b_Stop")->click();
    EXPECT_FALSE(window->playing());
    EXPECT_EQ(window->notesView()->cursorTick(), at);
}

TEST_F(TransportTest, TheEndOfTheSongResetsTheTransport) {
    openTwinkle();
    button("b_Play")->click(); // the clock lets the whole song play at once
    ASSERT_TRUE(settle([&] { return !window->playing(); }));
    EXPECT_FALSE(button("b_Play")->isChecked());
    EXPECT_GT(countOf(0x90), 0);
    // The window can close again.
    EXPECT_TRUE(window->close());
}

TEST_F(TransportTest, AStaleEndNoticeDoesNotStopANewerPlay) {
    openTwinkle();
    clock.holdAt(microseconds(1));
    button("b_Play")->click();
    button("b_Stop")->click();
    button("b_Play")->click();
    ASSERT_TRUE(window->playing());
    // The first play's notice arrives late.
    emit window->playEnded(1);
    QApplication::processEvents();
    EXPECT_TRUE(window->playing());
    window->stopPlay();
}

TEST_F(TransportTest, AnOutputThatCannotOpenIsReportedAndLeavesTheTransportUsable) {
    openTwinkle();
    output.failOpenWith("no audio device");
    button("b_Play")->click();
    ASSERT_TRUE(settle([&] { return !window->playing(); }));
    ASSERT_TRUE(settle([&] { return messages.count(Kind::Error) > 0; }));
    EXPECT_EQ(messages.last().caption, "Error");
    EXPECT_NE(messages.last().text.find("no audio device"), std::string::npos);
    EXPECT_FALSE(button("b_Play")->isChecked());

    output.failOpenWith(std::nullopt);
    clock.holdAt(microseconds(1));
    button("b_Play")->click();
    EXPECT_TRUE(window->playing());
    window->stopPlay();
}

TEST_F(TransportTest, ALoopPlaysAgainAndTheLoopButtonStaysUpDuringAPlainPlay) {
    openTwinkle();
    // A plain play: pressing Looping leaves it up.
    clock.holdAt(microseconds(1));
    button("b_Play")->click();
    button("b_Play2")->click();
    EXPECT_FALSE(button("b_Play2")->isChecked());
    button("b_Stop")->click();

    // Bars 1-2 as a loop, typed.
    find<QLineEdit>("me_From")->setText(QStringLiteral("1:01:000"));
    find<QLineEdit>("me_To")->setText(QStringLiteral("3:01:000"));
    ASSERT_TRUE(window->notesView()->setLoopFromTexts());
    EXPECT_TRUE(button("b_Play2")->isChecked());
    output.clear();
    // Twinkle plays 100 quarters a minute: two bars take 4.8 s; let 12 s pass.
    clock.holdAt(seconds(12));
    button("b_Play")->click();
    ASSERT_TRUE(window->playing());
    clock.waitForHold();
    const int firstNote = window->session().song()->notes.list(kMelodyList).front().pitch;
    EXPECT_GE(countOf(0x90, firstNote), 2);
    window->stopPlay();

    // Released, the loop goes.
    button("b_Play2")->click();
    EXPECT_FALSE(window->notesView()->loopOn());
}

TEST_F(TransportTest, TheTempoFieldKeepsItsLimits) {
    openTwinkle();
    auto* field = find<QLineEdit>("t_Tempo");
    const QString before = field->text();
    field->setText(QStringLiteral("300"));
    emit field->textEdited(field->text());
    EXPECT_EQ(field->text(), before);
    field->setText(QStringLiteral("96"));
    emit field->textEdited(field->text());
    EXPECT_EQ(window->tempo(), 625000u);
    EXPECT_EQ(find<QScrollBar>("sb_Tempo")->value(), 96);
    // The bar moves the field.
    find<QScrollBar>("sb_Tempo")->setValue(150);
    EXPECT_EQ(field->text(), "150");
    EXPECT_EQ(window->tempo(), 400000u);
}

TEST_F(TransportTest, AVolumeOfZeroIsSentButNotStoredAndPlayChangesReachTheSongAfterwards) {
    openTwinkle();
    const TSong& song = *window->session().song();
    const std::int32_t stored = song.QueryMeta(0xB0 | 1, 7);
    clock.holdAt(seconds(1));
    button("b_Play")->click();
    ASSERT_TRUE(window->playing());
    clock.waitForHold();

    find<QSlider>("trb_VChr")->setValue(127); // the bottom: volume 0
    EXPECT_EQ(lastValueOf(0xB1, 7), 0);
    EXPECT_EQ(window->session().mix().volume(1), 100);
    EXPECT_EQ(song.QueryMeta(0xB0 | 1, 7), stored);

    find<QSlider>("trb_VChr")->setValue(127 - 70);
    EXPECT_EQ(lastValueOf(0xB1, 7), 70);
    EXPECT_EQ(window->session().mix().volume(1), 70);
    EXPECT_EQ(song.QueryMeta(0xB0 | 1, 7), stored); // not while the player reads it
    window->stopPlay();
    EXPECT_EQ(song.QueryMeta(0xB0 | 1, 7), 70);
}

TEST_F(TransportTest, MuteAndSoloStayInStepBetweenThePanelsAndTheInstrumentDialog) {
    openTwinkle();
    find<QAction>("mnAPInstr")->trigger();
    TfPatchs* dialog = window->patchsDialog();
    ASSERT_NE(dialog, nullptr);
    auto* grid = dialog->findChild<QTableWidget*>(QStringLiteral("sg_ChPs"));
    ASSERT_NE(grid, nullptr);
    auto click = [&](int channel, int column) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(channel, column)).center());
    };

    // The panel's mute shows in the dialog.
    button("chb_ChrOff")->click();
    EXPECT_TRUE(window->session().mix().muted(1));
    EXPECT_FALSE(find<QSlider>("trb_VChr")->isEnabled());
    EXPECT_EQ(grid->item(1, TfPatchs::kMute)->text(), "M");

    // The dialog's mute of the melody presses the panel's button.
    click(0, TfPatchs::kMute);
    EXPECT_TRUE(window->session().mix().muted(0));
    EXPECT_TRUE(button("chb_MelOff")->isChecked());
    click(0, TfPatchs::kMute);
    EXPECT_FALSE(button("chb_MelOff")->isChecked());

    // Solo of another part goes to the mix.
    click(4, TfPatchs::kSolo);
    EXPECT_TRUE(window->session().mix().soloed(4));

    // Closing the song detaches the dialog.
    ASSERT_TRUE(window->CloseSong(false));
    EXPECT_FALSE(dialog->attached());
}

TEST_F(TransportTest, APatchCaptionOpensTheListAndAChoiceChangesTheInstrument) {
    openTwinkle();
    auto* caption = find<QLabel>("l_ChrPatch");
    auto* list = find<QListWidget>("cb_Patchs");
    window->show();
    QTest::mouseClick(caption, Qt::LeftButton);
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->currentRow(), window->session().mix().program(1));
    QTest::mouseClick(caption, Qt::LeftButton);
    EXPECT_FALSE(list->isVisible());

    QTest::mouseClick(caption, Qt::LeftButton);
    QListWidgetItem* guitar = list->item(24);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(guitar).center());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(window->session().mix().program(1), 24);
    EXPECT_EQ(window->session().song()->QueryMeta(0xC0 | 1, 0), 24);
    EXPECT_EQ(caption->toolTip(), QString::fromStdString(window->patchNames()[24]));
    EXPECT_TRUE(enabled("mnFSave"));
}

} // namespace
} // namespace korvanta::ui

namespace korvanta::ui {
namespace {

TEST_F(TransportTest, SpaceInTheChordPaletteSoundsTheChordAndElsewhereItPlays) {
    openTwinkle();
    window->CreateAccompaniment();
    ChordPalette* palette = window->chordPalette();
    ASSERT_TRUE(palette->built());
    // Shortcuts act only in the active window.
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    palette->setFocus();
    palette->selectBar(1);
    QTest::keyPress(palette, Qt::Key_Space);
    EXPECT_FALSE(window->playing());
    EXPECT_GT(countOf(0x91), 0); // the chord sounds on the chords' channel
    QTest::keyRelease(palette, Qt::Key_Space);

    // Elsewhere Space plays the song.
    window->notesView()->setFocus();
    QTest::keyClick(window->notesView(), Qt::Key_Space);
    EXPECT_TRUE(window->playing());
    window->stopPlay();
}

} // namespace
} // namespace korvanta::ui

namespace korvanta::ui {
namespace {

TEST_F(TransportTest, ASongAtNinetyBeatsAMinuteShowsAndPlaysNinety) {
    // Greensleeves is written at 666,667 microseconds a quarter.
    startWindow(sample("greensleeves.mid"));
    EXPECT_EQ(find<QLineEdit>("t_Tempo")->text(), QStringLiteral("90"));
    EXPECT_EQ(window->tempo(), 60000000u / 90);
}

} // namespace
} // namespace korvanta::ui
