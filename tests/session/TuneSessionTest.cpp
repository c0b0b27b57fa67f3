// The song flow both programs share: what each operation does to the song,
// what it reports, and that nothing changes while a play runs.
#include "session/TuneSession.h"

#include "alg/song/Keys.h"
#include "styles/StyleChoice.h"
#include "styles/StyleMaster.h"
#include "support/FakeTuneQuestions.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace korvanta;
namespace fs = std::filesystem;

namespace {

std::string sample(const char* name) {
    return (fs::path(KORVANTA_DATA_DIR) / "samples" / name).string();
}

int keyNamed(std::string_view name) {
    for (int key = 0; key < kKeyCount; ++key)
        if (KeyLongName(key) == name) return key;
    return -1;
}

struct Library {
    StyleLibrary styles;
    Library() { styles.load(fs::path(KORVANTA_DATA_DIR) / "Styles"); }
};

struct TuneSessionTest : ::testing::Test {
    FakeTuneQuestions questions;
    Library library;
    TuneSession session{questions, &library.styles};
    fs::path scratch = test::scratchPath("korvanta-session");

    TuneSessionTest() { fs::create_directories(scratch); }
    ~TuneSessionTest() override {
        std::error_code ec;
        fs::remove_all(scratch, ec);
    }
    void openAndCreate(const char* name) {
        ASSERT_TRUE(session.open(sample(name)).ok());
        ASSERT_TRUE(session.createAccompaniment().ok());
    }
};

} // namespace

TEST_F(TuneSessionTest, AMidiFileOpensAsANewMelodyThatWasNeverSaved) {
    const SessionResult r = session.open(sample("twinkle-twinkle.mid"));
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.changes.has(SessionChange::Song));
    EXPECT_EQ(session.kind(), SongKind::Midi);
    EXPECT_TRUE(session.neverSaved());
    EXPECT_EQ(session.song()->changes, SongChange::kNewMelody);
    EXPECT_FALSE(session.unsavedChanges());
    EXPECT_FALSE(session.harmonized());
    EXPECT_EQ(session.song()->channelSettings, &session.mix());
}

TEST_F(TuneSessionTest, FilesThatCannotBeOpenedLeaveNoSongAndSayWhy) {
    SessionResult r = session.open(sample("README.md"));
    EXPECT_EQ(r.status, kStatusLoadFailed);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Can't open file " + sample("README.md"));
    EXPECT_FALSE(session.hasSong());

    r = session.open((scratch / "missing.mid").string());
    EXPECT_EQ(r.status, kStatusLoadFailed);
    EXPECT_FALSE(session.hasSong());
    EXPECT_FALSE(session.readerDiagnostics().empty());
}

TEST_F(TuneSessionTest, SeveralMelodyChannelsAreAskedAbout) {
    // The same tune on channels 2 and 5 (on channel 5 with program 40).
    test::TrackBuilder track;
    track.program(0, 5, 40);
    const int tune[] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (const int channel : {2, 5}) {
        for (const int pitch : tune)
            track.noteOn(0, channel, pitch, 100).noteOff(480, channel, pitch);
    }
    track.endOfTrack();
    const test::Bytes bytes = test::SmfBuilder().header(0, 1, 480).track(track).bytes();
    const fs::path file = scratch / "two.mid";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    SessionResult r = session.open(file.string());
    EXPECT_EQ(r.status, kStatusSeveralChannels);
    EXPECT_TRUE(r.messages.empty()); // cancelling the choice is no error
    EXPECT_FALSE(session.hasSong());
    ASSERT_EQ(questions.offeredChannels.size(), 2u);
    EXPECT_EQ(questions.offeredChannels[0].channel, 2);
    EXPECT_EQ(questions.offeredChannels[0].program, -1);
    EXPECT_EQ(questions.offeredChannels[1].channel, 5);
    EXPECT_EQ(questions.offeredChannels[1].program, 40);

    questions.channel = 5;
    r = session.open(file.string());
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(session.master()->melodyChannel(), 5);
}

TEST_F(TuneSessionTest, CreatingHarmonizesOnlyWhenSomethingAsksForIt) {
    openAndCreate("greensleeves.mid");
    EXPECT_TRUE(session.harmonized());
    EXPECT_EQ(session.song()->changes, SongChange::kMix | SongChange::kStyle);
    // Nothing changed since: the second press does nothing.
    EXPECT_EQ(session.createAccompaniment().refusal, Refusal::NothingToDo);

    // A draft asks again, after offering to save the changes (No: go on).
    questions.saveAnswer = MessageAnswer::No;
    ASSERT_TRUE(session.applyDraft(2).ok());
    EXPECT_EQ(session.settings().MaxNumCustomChords, 5);
    const SessionResult r = session.createAccompaniment();
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.changes.has(SessionChange::Harmony));
    ASSERT_FALSE(questions.asked.empty());
    EXPECT_EQ(questions.asked.back(), " Save changes to " + sample("greensleeves.mid") + "?");
}

TEST_F(TuneSessionTest, AKeyChosenByHandDecidesTheNextCreation) {
    ASSERT_TRUE(session.open(sample("twinkle-twinkle.mid")).ok());
    // A key by hand replaces the new-melody mark, so creating offers to save first.
    questions.saveAnswer = MessageAnswer::No;
    const int cMajor = keyNamed("C-dur");
    ASSERT_TRUE(session.chooseKey(cMajor).ok());
    EXPECT_EQ(session.song()->changes, SongChange::kKeyByHand | SongChange::kMix);
    EXPECT_FALSE(session.settings().AutoKey);
    ASSERT_TRUE(session.createAccompaniment().ok());
    EXPECT_EQ(session.master()->mainKey(), cMajor);
}

TEST_F(TuneSessionTest, NothingChangesWhileAPlayRuns) {
    openAndCreate("greensleeves.mid");
    const ChordCode before = session.song()->BarChord(2);
    const std::uint8_t octave = session.song()->chordOctave;
    session.setPlaying(true);
    EXPECT_EQ(session.setBarChord(2, 0).refusal, Refusal::Playing);
    EXPECT_EQ(session.applyDraft(3).refusal, Refusal::Playing);
    EXPECT_EQ(session.createAccompaniment(true).refusal, Refusal::Playing);
    EXPECT_EQ(session.switchStyle().refusal, Refusal::Playing);
    EXPECT_EQ(session.setChordOctave(2).refusal, Refusal::Playing);
    EXPECT_EQ(session.open(sample("twinkle-twinkle.mid")).refusal, Refusal::Playing);
    EXPECT_EQ(session.close(false).refusal, Refusal::Playing);
    EXPECT_EQ(session.song()->BarChord(2), before);
    EXPECT_EQ(session.song()->chordOctave, octave);
    // The mix follows a running play.
    EXPECT_TRUE(session.setMuted(1, true).ok());
    EXPECT_TRUE(session.setVolume(1, 40).ok());
    EXPECT_EQ(session.mix().volume(1), 40);
    session.setPlaying(false);
    EXPECT_TRUE(session.setBarChord(2, 0).ok());
    EXPECT_EQ(session.song()->BarChord(2), 0);
}

TEST_F(TuneSessionTest, TheStyleSwitchPutsTheSameStyleBack) {
    openAndCreate("greensleeves.mid");
    ASSERT_TRUE(session.styleShown());
    ASSERT_TRUE(session.styleOn());
    const StyleRecord* style = session.song()->style;
    ASSERT_NE(style, nullptr);
    EXPECT_TRUE(session.switchStyle().changes.has(SessionChange::Style));
    EXPECT_EQ(session.song()->style, nullptr);
    session.switchStyle();
    EXPECT_EQ(session.song()->style, style);
}

TEST_F(TuneSessionTest, ClosingAsksToSaveAndCancelKeepsTheSong) {
    openAndCreate("greensleeves.mid");
    ASSERT_TRUE(session.unsavedChanges());
    questions.saveAnswer = MessageAnswer::Cancel;
    EXPECT_EQ(session.open(sample("twinkle-twinkle.mid")).refusal, Refusal::Cancelled);
    EXPECT_EQ(session.path(), sample("greensleeves.mid"));

    // Yes on a song never saved asks where; the project is written there.
    questions.saveAnswer = MessageAnswer::Yes;
    questions.savePath = (scratch / "green.kvt").string();
    ASSERT_TRUE(session.close(true).ok());
    EXPECT_TRUE(fs::exists(scratch / "green.kvt"));
    EXPECT_EQ(questions.asked.back(), "save as greensleeves");
    EXPECT_FALSE(session.hasSong());
}

TEST_F(TuneSessionTest, SaveTargetsKeepOtherFilesApart) {
    EXPECT_EQ(projectPathBeside("/songs/a.b.kvt"), "/songs/a.b.kvt");
    EXPECT_EQ(projectPathBeside("/songs/a.b.KVT"), "/songs/a.b.KVT");
    EXPECT_EQ(projectPathBeside("/songs/a.b.mid"), "/songs/a.b.kvt");
    EXPECT_EQ(projectPathBeside("/songs/tune"), "/songs/tune.kvt");
    EXPECT_EQ(suggestedSaveName("/songs/a.b.mid"), "a");
    EXPECT_EQ(withDefaultExtension("/songs/x", ".mid"), "/songs/x.mid");
    EXPECT_EQ(withDefaultExtension("/songs/x.kvt", ".mid"), "/songs/x.kvt");
}

TEST_F(TuneSessionTest, ASavedSongHasNothingLeftToAskAbout) {
    openAndCreate("greensleeves.mid");
    ASSERT_TRUE(session.unsavedChanges());
    const std::string project = (scratch / "green.kvt").string();
    const SessionResult saved = session.saveProject(project);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.savedTo, project);
    EXPECT_FALSE(session.unsavedChanges());
    questions.asked.clear();
    ASSERT_TRUE(session.close(true).ok());
    EXPECT_TRUE(questions.asked.empty());
}

TEST_F(TuneSessionTest, YesThenCancellingTheSaveDialogKeepsTheSong) {
    openAndCreate("greensleeves.mid");
    questions.saveAnswer = MessageAnswer::Yes;
    questions.savePath.reset();
    EXPECT_EQ(session.close(true).refusal, Refusal::Cancelled);
    EXPECT_TRUE(session.hasSong());
    EXPECT_TRUE(session.unsavedChanges());
}

TEST_F(TuneSessionTest, YesAlwaysAsksWhereAndAFailedSaveKeepsTheSong) {
    openAndCreate("greensleeves.mid");
    const std::string project = (scratch / "green.kvt").string();
    ASSERT_TRUE(session.saveProject(project).ok());
    session.setVolume(1, 50); // a change to save
    ASSERT_TRUE(session.unsavedChanges());
    questions.saveAnswer = MessageAnswer::Yes;
    questions.savePath = (scratch / "no-such-folder" / "green").string();
    const SessionResult failed = session.close(true);
    EXPECT_EQ(questions.asked.back(), "save as green");
    EXPECT_EQ(failed.refusal, Refusal::Cancelled);
    ASSERT_FALSE(failed.messages.empty());
    EXPECT_NE(failed.messages.front().text.find("green.kvt"), std::string::npos);
    EXPECT_TRUE(session.hasSong());
    EXPECT_EQ(session.path(), project);

    // A name without extension is saved as a project.
    questions.savePath = (scratch / "again").string();
    const SessionResult ok = session.close(true);
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.savedTo, (scratch / "again.kvt").string());
    EXPECT_TRUE(fs::exists(scratch / "again.kvt"));
}

TEST_F(TuneSessionTest, OptionsSettleTheNextCreationAndMarkTheSong) {
    openAndCreate("greensleeves.mid");
    HarmonySettings settings = session.settings();
    settings.MaxNumCustomChords = 2;
    ASSERT_TRUE(session.changeSettings(settings).ok());
    EXPECT_EQ(session.settings().MaxNumCustomChords, 2);
    EXPECT_TRUE(session.song()->TestFlags(SongChange::kSettings));
    session.setPlaying(true);
    EXPECT_EQ(session.changeSettings(kBuiltInHarmonySettings).refusal, Refusal::Playing);
    session.setPlaying(false);
    EXPECT_EQ(session.settings().MaxNumCustomChords, 2);
}

TEST_F(TuneSessionTest, LookingForAStyleKeepsASwitchedOffStyleOff) {
    openAndCreate("greensleeves.mid");
    ASSERT_TRUE(session.styleShown());
    if (!session.styleOn()) session.switchStyle();
    session.switchStyle(); // off
    ASSERT_EQ(session.song()->style, nullptr);
    EXPECT_TRUE(session.findStyleForMeter());
    EXPECT_EQ(session.song()->style, nullptr);
    EXPECT_NE(session.song()->style2, nullptr);
}

TEST_F(TuneSessionTest, AReloadedLibraryGivesTheSongItsStyleAgain) {
    openAndCreate("greensleeves.mid");
    if (!session.styleOn()) session.switchStyle();
    const std::int32_t id = songStyleId(*session.song());
    ASSERT_GE(id, 0);
    library.styles.load(fs::path(KORVANTA_DATA_DIR) / "Styles"); // the old records are gone
    session.libraryReloaded();
    ASSERT_NE(session.song()->style, nullptr);
    EXPECT_EQ(session.song()->style, &library.styles.byId(id)->style);
    EXPECT_EQ(session.song()->style2, session.song()->style);
}

TEST_F(TuneSessionTest, MixChangesDuringAPlayReachTheSongWhenItEnds) {
    ASSERT_TRUE(session.open(sample("twinkle-twinkle.mid")).ok());
    const TSong& song = *session.song();
    const auto volumeEvent = [&] { return song.QueryMeta(0xB0 | 1, 7); };
    const auto programEvent = [&] { return song.QueryMeta(0xC0 | 1, 0); };
    const std::int32_t volumeBefore = volumeEvent();
    const std::int32_t programBefore = programEvent();

    session.setPlaying(true);
    ASSERT_TRUE(session.setVolume(1, 60).ok());
    ASSERT_TRUE(session.setProgram(1, 24).ok());
    ASSERT_TRUE(session.setSoloed(0, true).ok());
    EXPECT_EQ(session.mix().volume(1), 60); // the play hears it at once
    EXPECT_EQ(session.mix().program(1), 24);
    EXPECT_TRUE(session.mix().soloed(0));
    EXPECT_EQ(volumeEvent(), volumeBefore); // the song waits
    EXPECT_EQ(programEvent(), programBefore);

    session.setPlaying(false);
    EXPECT_EQ(volumeEvent(), 60);
    EXPECT_EQ(programEvent(), 24);
    EXPECT_TRUE(song.TestFlags(SongChange::kMix));

    // A volume of 0 silences for now and is never stored.
    ASSERT_TRUE(session.setVolume(1, 0).ok());
    EXPECT_EQ(session.mix().volume(1), 60);
    EXPECT_EQ(volumeEvent(), 60);
}

TEST_F(TuneSessionTest, AHarmonizedProjectOpensWithItsStyleOnAndNothingToSave) {
    openAndCreate("greensleeves.mid");
    const std::string project = (scratch / "green.kvt").string();
    ASSERT_TRUE(session.saveProject(project).ok());
    EXPECT_FALSE(session.neverSaved());
    const std::int32_t id = songStyleId(*session.song());

    questions.saveAnswer = MessageAnswer::No;
    ASSERT_TRUE(session.open(project).ok());
    EXPECT_EQ(session.kind(), SongKind::Project);
    EXPECT_TRUE(session.harmonized());
    EXPECT_TRUE(session.styleOn());
    EXPECT_EQ(songStyleId(*session.song()), id);
    EXPECT_EQ(session.song()->changes, 0);
}

TEST_F(TuneSessionTest, ANewMelodyKeepsTheAccompanimentVolumesOfTheLastSong) {
    ASSERT_TRUE(session.open(sample("twinkle-twinkle.mid")).ok());
    session.setVolume(0, 30);
    session.setVolume(1, 50);
    questions.saveAnswer = MessageAnswer::No;
    ASSERT_TRUE(session.open(sample("greensleeves.mid")).ok());
    EXPECT_EQ(session.mix().volume(0), ChannelMixState::kDefaultVolume);
    EXPECT_EQ(session.mix().volume(1), 50);
}

TEST_F(TuneSessionTest, SelectingAStyleBringsItsOctaveAndInstrument) {
    openAndCreate("greensleeves.mid");
    // Any style that fits 6/8 other than the one chosen.
    const std::int32_t current = songStyleId(*session.song());
    std::int32_t other = kNoStyle;
    for (int g = 0; g < kStyleGroupCount && other == kNoStyle; ++g) {
        const auto& group = library.styles.group(g);
        for (std::size_t i = 0; i < group.size(); ++i) {
            const std::int32_t id = styleId(g, static_cast<int>(i));
            if (id != current && MeterSupported(group[i].style.meters, 6, 8)) {
                other = id;
                break;
            }
        }
    }
    ASSERT_NE(other, kNoStyle);
    const StyleRecord& style = library.styles.byId(other)->style;
    const SessionResult r = session.selectStyle(other);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(session.song()->style, &style);
    EXPECT_EQ(session.song()->chordOctave, style.baseOctave());
    EXPECT_EQ(session.mix().program(kChordList), style.program() & 0x7F);
    EXPECT_EQ(songStyleId(*session.song()), other);
    EXPECT_EQ(session.lastChosenStyle(), other);
}
