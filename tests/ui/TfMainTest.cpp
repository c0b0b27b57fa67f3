// The main window driven as a user would: opening, closing, saving, Recent
// Files, drops, start-up and shutdown. Message boxes and file dialogs are
// fakes; settings live in a temporary INI file; playback goes to a recording
// output on a clock that holds it.

#include "playback/HoldingMidiClock.h"
#include "playback/RecordingOutput.h"
#include "support/FakeMessageSink.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"
#include "ui/FakeFileDialogs.h"
#include "ui/FirstStart.h"
#include "ui/MainWindowFixture.h"
#include "ui/TfSetChn.h"
#include "ui/notes/NotesView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace korvanta::ui {
namespace {

using TfMainTest = MainWindowFixture;

// --- Start-up ----------------------------------------------------------------------

TEST_F(TfMainTest, WithoutSettingsTheProgramAsksForSetupAndWritesNothing) {
    makeWindow();
    EXPECT_FALSE(window->start());
    ASSERT_EQ(messages.count(Kind::Error), 1u);
    EXPECT_EQ(messages.last().text, "Please run setup again");
    window->close();
    EXPECT_FALSE(fs::exists(ini.toStdString()));
}

TEST_F(TfMainTest, FirstStartInstallsTheSettingsAndReadsTheDataFolder) {
    startWindow();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window->folders().installPath, QStringLiteral(KORVANTA_DATA_DIR "/"));
    EXPECT_EQ(window->patchNames()[0], "Acoustic Grand Piano");
    EXPECT_GT(window->styleLibrary().size(), 0u);
    EXPECT_EQ(window->windowTitle(), "   Korvanta Demo");
    EXPECT_FALSE(window->session().hasSong());
    // No song: the song commands are off.
    EXPECT_FALSE(enabled("mnFSave"));
    EXPECT_FALSE(enabled("mnFClose"));
    EXPECT_FALSE(find<QPushButton>("b_Play")->isEnabled());
    EXPECT_EQ(window->playTimerInterval(), TfMain::kIdleTimerMs);
}

TEST_F(TfMainTest, AMissingInstrumentListIsReportedAndNumberedNamesServe) {
    // Data folder without gmi.txt.
    const fs::path data = scratch / "data";
    fs::create_directories(data);
    ASSERT_TRUE(ensureSettingsBase(SettingsLocation::iniFile(ini), messages,
                                   QString::fromStdString(data.string()), path("")));
    makeWindow();
    ASSERT_TRUE(window->start());
    ASSERT_GE(messages.count(Kind::Error), 1u);
    EXPECT_NE(messages.messages().front().text.find("gmi.txt"), std::string::npos);
    EXPECT_EQ(window->patchNames()[0], "1");
    EXPECT_EQ(window->patchNames()[127], "128");
}

TEST_F(TfMainTest, StoredRecentFilesAndPlacementComeBack) {
    install();
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue("Recent Files/MaxNumberFiles", 2);
        s.setValue("Recent Files/File0", "/songs/a&b.mid");
        s.setValue("Recent Files/File1", "/songs/two.kvt");
        s.setValue("Recent Files/File2", "/songs/three.mid");
        s.setValue("DeskTop/Height", 600);
        s.setValue("DeskTop/Width", 900);
        s.setValue("DeskTop/Left", 10);
        s.setValue("DeskTop/Top", 20);
        s.setValue("DeskTop/Maximize", false);
    }
    makeWindow();
    ASSERT_TRUE(window->start());
    EXPECT_EQ(recentCaptions(), (QStringList{"/songs/a&&b.mid", "/songs/two.kvt"}));
    EXPECT_EQ(window->size(), QSize(900, 600));

    // Nothing changed the list: it is not written back (File2 would go).
    window->close();
    EXPECT_EQ(stored("Recent Files/File2").toString(), "/songs/three.mid");
}

TEST_F(TfMainTest, AWindowClosedMaximizedComesBackMaximizedWithItsNormalBounds) {
    startWindow();
    window->show();
    window->setGeometry(40, 50, 900, 600);
    QApplication::processEvents();
    window->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(window->close());
    EXPECT_TRUE(stored("DeskTop/Maximize").toBool());
    EXPECT_EQ(stored("DeskTop/Width").toInt(), 900);
    EXPECT_EQ(stored("DeskTop/Height").toInt(), 600);

    window.reset();
    makeWindow();
    ASSERT_TRUE(window->start());
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(window->placement().width, 900);
}

TEST_F(TfMainTest, AWindowStoredOffEveryScreenComesBackOnOne) {
    install();
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue("DeskTop/Height", 480);
        s.setValue("DeskTop/Width", 640);
        s.setValue("DeskTop/Left", -5000);
        s.setValue("DeskTop/Top", 9000);
        s.setValue("DeskTop/Maximize", false);
    }
    makeWindow();
    ASSERT_TRUE(window->start());
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.intersects(window->geometry()));
    EXPECT_GE(window->x(), screen.left());
    EXPECT_GE(window->y(), screen.top());
}

// --- Opening -------------------------------------------------------------------------

TEST_F(TfMainTest, AFileOnTheCommandLineOpensWithItsKeyMeterTempoAndVolumes) {
    startWindow(sample("twinkle-twinkle.mid"));
    ASSERT_TRUE(window->session().hasSong()) << (messages.empty() ? "" : messages.last().text);
    EXPECT_EQ(window->windowTitle(), "   Korvanta Demo - twinkle-twinkle.mid");
    EXPECT_EQ(find<QLabel>("l_Meter")->text(), "4/4");
    EXPECT_EQ(find<QComboBox>("cb_Key")->currentText(), "C-dur");
    EXPECT_EQ(find<QSlider>("trb_VMel")->value(), 127 - 100);
    EXPECT_FALSE(find<QLineEdit>("t_Tempo")->text().isEmpty());
    EXPECT_FALSE(find<QLabel>("l_MelPatch")->text().isEmpty());
    // Not listed: it came from the command line. A new melody has nothing to save.
    EXPECT_TRUE(recentCaptions().isEmpty());
    EXPECT_FALSE(enabled("mnFSave"));
    EXPECT_FALSE(enabled("tb_Save"));
    EXPECT_TRUE(enabled("mnFSaveAs"));
    EXPECT_TRUE(enabled("mnFClose"));
    EXPECT_FALSE(enabled("mnAStyle"));
    EXPECT_TRUE(find<QPushButton>("b_Play")->isEnabled());
    EXPECT_EQ(window->notesView()->pixelsPerBar(), 120);
}

TEST_F(TfMainTest, AFileWithoutTempoMeterOrKeyShowsTheDefaults) {
    test::TrackBuilder track;
    for (int pitch : {60, 64, 67, 72, 67, 64, 60, 62, 64, 65, 67, 69, 71, 72, 60, 60})
        track.noteOn(0, 0, pitch, 90).noteOff(480, 0, pitch);
    track.endOfTrack();
    writeBytes(scratch / "plain.mid", test::SmfBuilder().header(0, 1, 480).track(track).bytes());
    startWindow(path("plain.mid"));
    ASSERT_TRUE(window->session().hasSong());
    EXPECT_EQ(find<QLineEdit>("t_Tempo")->text(), "120");
    EXPECT_EQ(find<QLabel>("l_Meter")->text(), "4/4");
    EXPECT_EQ(find<QComboBox>("cb_Key")->currentText(), "C-dur");
    EXPECT_EQ(window->playTimerInterval(), 62);
}

TEST_F(TfMainTest, ATempoOfZeroPlaysAtTheDefaultTempo) {
    test::TrackBuilder track;
    track.tempo(0, 0);
    for (int pitch : {60, 64, 67, 72, 67, 64, 60, 62, 64, 65, 67, 69, 71, 72, 60, 60})
        track.noteOn(0, 0, pitch, 90).noteOff(480, 0, pitch);
    track.endOfTrack();
    writeBytes(scratch / "zero.mid", test::SmfBuilder().header(0, 1, 480).track(track).bytes());
    startWindow(path("zero.mid"));
    ASSERT_TRUE(window->session().hasSong());
    EXPECT_EQ(find<QLineEdit>("t_Tempo")->text(), "120");
    EXPECT_EQ(window->playTimerInterval(), 62);
}

TEST_F(TfMainTest, AFileWhoseChannelsAllFailTheMelodyTestSaysSo) {
    // Chords on two channels: no single-voiced melody anywhere.
    test::TrackBuilder track;
    for (int bar = 0; bar < 8; ++bar) {
        for (const int channel : {0, 1}) {
            track.noteOn(0, channel, 60, 90).noteOn(0, channel, 64, 90).noteOn(0, channel, 67, 90);
            track.noteOff(960, channel, 60).noteOff(0, channel, 64).noteOff(0, channel, 67);
        }
    }
    track.endOfTrack();
    writeBytes(scratch / "chords.mid", test::SmfBuilder().header(0, 1, 480).track(track).bytes());
    startWindow();
    window->OpenSong(path("chords.mid"), OpenOrigin::RecentFiles);
    EXPECT_FALSE(window->session().hasSong());
    EXPECT_TRUE(channelQuestions.empty());
    ASSERT_EQ(messages.count(Kind::Error), 1u);
    EXPECT_FALSE(messages.last().text.empty());
}

TEST_F(TfMainTest, OpenFailuresLeaveTheWindowEmptyWithTheirMessages) {
    startWindow(sample("twinkle-twinkle.mid"));
    ASSERT_TRUE(window->session().hasSong());

    // Neither .mid nor .kvt: the previous song is closed all the same.
    fs::copy_file(sample("twinkle-twinkle.mid").toStdString(), scratch / "song.txt");
    window->OpenSong(path("song.txt"), OpenOrigin::RecentFiles);
    EXPECT_FALSE(window->session().hasSong());
    EXPECT_EQ(messages.last().text, "Can't open file " + path("song.txt").toStdString());
    EXPECT_EQ(window->windowTitle(), "   Korvanta Demo ");
    EXPECT_TRUE(find<QLabel>("l_Meter")->text().isEmpty());
    EXPECT_EQ(find<QComboBox>("cb_Key")->currentIndex(), 0);

    // A missing file: the status in the message.
    window->OpenSong(path("missing.mid"), OpenOrigin::RecentFiles);
    EXPECT_EQ(messages.last().text,
              "Can't open file " + path("missing.mid").toStdString() + " \n\r101");
    EXPECT_FALSE(window->session().hasSong());

    // Upper-case extensions open.
    fs::copy_file(sample("twinkle-twinkle.mid").toStdString(), scratch / "SONG.MID");
    window->OpenSong(path("SONG.MID"), OpenOrigin::RecentFiles);
    EXPECT_TRUE(window->session().hasSong());
}

TEST_F(TfMainTest, TheOpenDialogListsTheFileAndCancelLeavesNoSong) {
    startWindow();
    dialogs.openAnswers.push_back(sample("ode-to-joy.mid"));
    find<QAction>("mnFOpen")->trigger();
    ASSERT_TRUE(window->session().hasSong());
    ASSERT_EQ(dialogs.openCalls.size(), 1u);
    EXPECT_EQ(dialogs.openCalls[0].filter, kOpenSongFilter);
    EXPECT_EQ(recentCaptions(), QStringList{sample("ode-to-joy.mid")});

    find<QAction>("mnFOpen")->trigger(); // cancelled
    EXPECT_FALSE(window->session().hasSong());
    EXPECT_TRUE(messages.empty());
    // The dialog started in the folder of the song open then, and again there.
    ASSERT_EQ(dialogs.openCalls.size(), 2u);
    const QString samples = QFileInfo(sample("ode-to-joy.mid")).absolutePath();
    EXPECT_EQ(dialogs.openCalls[1].start, samples);
}

TEST_F(TfMainTest, SeveralMelodyChannelsAskThroughTheChannelChoice) {
    writeBytes(scratch / "two.mid", tuneOnChannels({2, 5}));
    startWindow();
    window->OpenSong(path("two.mid"), OpenOrigin::RecentFiles);
    ASSERT_EQ(channelQuestions.size(), 1u);
    EXPECT_EQ(channelQuestions[0].size(), 2u);
    EXPECT_FALSE(window->session().hasSong()); // cancelled: no message
    EXPECT_TRUE(messages.empty());

    channelAnswer = 5;
    window->OpenSong(path("two.mid"), OpenOrigin::RecentFiles);
    ASSERT_TRUE(window->session().hasSong());
    EXPECT_EQ(window->session().master()->melodyChannel(), 5);

    // The dialog's items: channel and instrument, the first preselected.
    const PatchNames names = numberedPatchNames();
    TfSetChn dialog(channelQuestions[0], names, window.get());
    auto* list = dialog.findChild<QWidget*>(QStringLiteral("cb_CM"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(dialog.selectedChannel(), 2);
    EXPECT_EQ(TfSetChn::itemText(channelQuestions[0][0], names), "2 - Channel");
    EXPECT_EQ(TfSetChn::itemText(channelQuestions[0][1], names), "5 - 41");
    EXPECT_EQ(dialog.windowTitle(), "Select Channel of Melody");
}

TEST_F(TfMainTest, ANewMelodyKeepsTheAccompanimentVolumesOfTheLastSong) {
    startWindow(sample("twinkle-twinkle.mid"));
    find<QSlider>("trb_VChr")->setValue(127 - 50);
    EXPECT_EQ(window->session().mix().volume(kChordList), 50);
    messages.setFallbackAnswer(MessageAnswer::No);
    window->OpenSong(sample("ode-to-joy.mid"), OpenOrigin::RecentFiles);
    ASSERT_TRUE(window->session().hasSong());
    EXPECT_EQ(find<QSlider>("trb_VChr")->value(), 127 - 50);
    EXPECT_EQ(find<QSlider>("trb_VMel")->value(), 127 - 100);
}

TEST_F(TfMainTest, ShowingTheChordOctaveDoesNotChangeTheSong) {
    startWindow(sample("twinkle-twinkle.mid"));
    const int octave = window->session().song()->chordOctave;
    EXPECT_EQ(find<QSpinBox>("cse_ChrOkt")->value(), std::max(octave - 1, 4));
    EXPECT_EQ(window->session().song()->chordOctave, octave);
}

// --- Recent Files ----------------------------------------------------------------------

TEST_F(TfMainTest, RecentFilesMoveToTheTopAndKeepTheirMaximum) {
    startWindow();
    for (const char* name : {"ode-to-joy.mid", "greensleeves.mid", "twinkle-twinkle.mid"}) {
        window->OpenSong(sample(name), OpenOrigin::RecentFiles);
        messages.setFallbackAnswer(MessageAnswer::No);
    }
    const QStringList order{sample("twinkle-twinkle.mid"), sample("greensleeves.mid"),
                            sample("ode-to-joy.mid")};
    EXPECT_EQ(recentCaptions(), order);
    // The top entry stays; the third moves up.
    find<QMenu>("mnRecentFiles")->actions().at(0)->trigger();
    EXPECT_EQ(recentCaptions(), order);
    find<QMenu>("mnRecentFiles")->actions().at(2)->trigger();
    EXPECT_EQ(recentCaptions().first(), sample("ode-to-joy.mid"));
    EXPECT_TRUE(window->session().hasSong());

    // The changed list is written back at close.
    window->close();
    EXPECT_EQ(stored("Recent Files/File0").toString(), sample("ode-to-joy.mid"));
}

TEST(RecentFilesTest, AMaximumOfZeroKeepsTheListEmpty) {
    RecentFiles recent;
    recent.setMaximum(0);
    recent.add(QStringLiteral("/a.mid"));
    EXPECT_TRUE(recent.paths().isEmpty());
    recent.setMaximum(2);
    recent.add(QStringLiteral("/a.mid"));
    recent.add(QStringLiteral("/b.mid"));
    recent.add(QStringLiteral("/c.mid"));
    EXPECT_EQ(recent.paths(), (QStringList{"/c.mid", "/b.mid"}));
    EXPECT_TRUE(recent.changed());
}

// --- Saving --------------------------------------------------------------------------------

TEST_F(TfMainTest, SaveAsksWhereTheFirstTimeThenSavesInPlace) {
    startWindow(sample("twinkle-twinkle.mid"));
    find<QSlider>("trb_VChr")->setValue(127 - 60); // a change to save
    ASSERT_TRUE(enabled("mnFSave"));
    dialogs.saveAnswers.push_back(path("mine")); // typed without extension
    find<QAction>("mnFSave")->trigger();
    ASSERT_EQ(dialogs.saveCalls.size(), 1u);
    EXPECT_EQ(dialogs.saveCalls[0].filter, kProjectFilter);
    EXPECT_TRUE(dialogs.saveCalls[0].start.endsWith("/twinkle-twinkle"));
    EXPECT_TRUE(fs::exists(scratch / "mine.kvt"));
    EXPECT_EQ(window->session().path(), path("mine.kvt").toStdString());
    EXPECT_EQ(window->windowTitle(), "   Korvanta Demo - mine.kvt");
    EXPECT_EQ(recentCaptions().first(), path("mine.kvt"));
    EXPECT_FALSE(enabled("mnFSave"));
    EXPECT_EQ(window->savedKind(), 2);

    // The next change saves without a dialog, in the same file.
    find<QSlider>("trb_VChr")->setValue(127 - 70);
    const auto before = fs::last_write_time(scratch / "mine.kvt");
    find<QAction>("mnFSave")->trigger();
    EXPECT_EQ(dialogs.saveCalls.size(), 1u);
    EXPECT_GE(fs::last_write_time(scratch / "mine.kvt"), before);
    EXPECT_FALSE(window->session().unsavedChanges());

    // Closing now asks nothing.
    ASSERT_TRUE(window->CloseSong(true));
    EXPECT_EQ(messages.count(Kind::Confirm), 0u);
}

TEST_F(TfMainTest, AFailedSaveIsReportedAndChangesNothing) {
    startWindow(sample("twinkle-twinkle.mid"));
    find<QSlider>("trb_VChr")->setValue(127 - 60);
    // A "folder" that is a file: no user can write into it.
    std::ofstream(scratch / "plain-file") << "x";
    dialogs.saveAnswers.push_back(path("plain-file/song.kvt"));
    find<QAction>("mnFSaveAs")->trigger();
    ASSERT_EQ(messages.count(Kind::Error), 1u);
    EXPECT_NE(messages.last().text.find("song.kvt"), std::string::npos);
    EXPECT_EQ(window->session().path(), sample("twinkle-twinkle.mid").toStdString());
    EXPECT_EQ(window->windowTitle(), "   Korvanta Demo - twinkle-twinkle.mid");
    EXPECT_TRUE(recentCaptions().isEmpty());
    EXPECT_TRUE(enabled("mnFSave"));
    EXPECT_EQ(window->savedKind(), 0);
}

TEST_F(TfMainTest, ExportWritesMidiAndLeavesTheDocumentAsItWas) {
    startWindow(sample("twinkle-twinkle.mid"));
    dialogs.saveAnswers.push_back(path("out"));
    find<QAction>("mnFExport")->trigger();
    ASSERT_EQ(dialogs.saveCalls.size(), 1u);
    EXPECT_EQ(dialogs.saveCalls[0].filter, kMidiFilter);
    EXPECT_EQ(dialogs.saveCalls[0].defaultSuffix, "mid");
    EXPECT_TRUE(fs::exists(scratch / "out.mid"));
    EXPECT_EQ(window->savedKind(), 1);
    EXPECT_EQ(window->session().path(), sample("twinkle-twinkle.mid").toStdString());
    EXPECT_TRUE(recentCaptions().isEmpty());
    EXPECT_EQ(window->windowTitle(), "   Korvanta Demo - twinkle-twinkle.mid");
}

TEST_F(TfMainTest, TheSavePromptKeepsTheSongOnCancelAndOnACancelledDialog) {
    startWindow(sample("twinkle-twinkle.mid"));
    find<QSlider>("trb_VChr")->setValue(127 - 60);

    messages.queueAnswer(MessageAnswer::Cancel);
    EXPECT_FALSE(window->CloseSong(true));
    EXPECT_EQ(messages.last().text,
              " Save changes to " + sample("twinkle-twinkle.mid").toStdString() + "?");
    EXPECT_TRUE(window->cancelFlag());
    EXPECT_TRUE(window->session().hasSong());

    // Yes, then Cancel in the dialog: the work is kept, not dropped.
    messages.queueAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(window->CloseSong(true));
    EXPECT_TRUE(window->session().hasSong());

    // Yes and a name: saved, listed, closed.
    messages.queueAnswer(MessageAnswer::Yes);
    dialogs.saveAnswers.push_back(path("kept.kvt"));
    EXPECT_TRUE(window->CloseSong(true));
    EXPECT_TRUE(fs::exists(scratch / "kept.kvt"));
    EXPECT_EQ(recentCaptions().first(), path("kept.kvt"));
    EXPECT_FALSE(window->session().hasSong());
}

TEST_F(TfMainTest, AHarmonizedProjectOpensWithItsStyleOnAndNothingToSave) {
    startWindow(sample("greensleeves.mid"));
    ASSERT_TRUE(window->session().createAccompaniment().ok());
    ASSERT_TRUE(window->session().saveProject(path("green.kvt").toStdString()).ok());
    ASSERT_TRUE(window->CloseSong(false));
    window->OpenSong(path("green.kvt"), OpenOrigin::RecentFiles);
    ASSERT_TRUE(window->session().hasSong());
    EXPECT_TRUE(find<QPushButton>("imgStl")->isVisibleTo(window.get()));
    EXPECT_TRUE(find<QPushButton>("imgStl")->isChecked());
    EXPECT_TRUE(enabled("mnAStyle"));
    EXPECT_FALSE(enabled("mnFSave"));
}

// --- Closing the window ----------------------------------------------------------------

TEST_F(TfMainTest, ClosingTheWindowOffersToSaveAndCancelKeepsItOpen) {
    startWindow(sample("twinkle-twinkle.mid"));
    find<QSlider>("trb_VChr")->setValue(127 - 60);
    window->show();
    messages.queueAnswer(MessageAnswer::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->session().hasSong());
    EXPECT_FALSE(stored("DeskTop/Width").isValid());

    messages.queueAnswer(MessageAnswer::No);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->session().hasSong());
    EXPECT_TRUE(stored("DeskTop/Width").isValid());
    EXPECT_TRUE(stored("Settings/AutoKey").isValid());
}

TEST_F(TfMainTest, ClosingTheWindowDuringAPlayStopsItFirst) {
    startWindow(sample("twinkle-twinkle.mid"));
    clock.holdAt(std::chrono::microseconds(1)); // the play stands still
    window->play();
    ASSERT_TRUE(window->playing());
    EXPECT_FALSE(window->session().open(sample("ode-to-joy.mid").toStdString()).ok());
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->playing());
    EXPECT_FALSE(window->session().hasSong());
}

// --- Drops ---------------------------------------------------------------------------------

TEST_F(TfMainTest, ADroppedSongOpensAndOtherFilesAreRefused) {
    startWindow();
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(sample("README.md"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData song;
    song.setUrls({QUrl::fromLocalFile(sample("ode-to-joy.mid"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &song, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &song, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_TRUE(window->session().hasSong());
    EXPECT_EQ(recentCaptions().first(), sample("ode-to-joy.mid"));
}

} // namespace
} // namespace korvanta::ui
