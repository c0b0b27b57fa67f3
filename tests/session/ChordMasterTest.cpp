// Tests of the chord master: derived file names, loading MIDI and project
// files with their statuses, the melody-channel choice, harmonization with
// its stamping, the key chosen by hand or by the 96 answer, and the sample
// melodies harmonized the way the program does it.

#include "session/ChordMaster.h"

#include "alg/harmony/ProgressionTables.h"
#include "alg/song/TSongReader.h"
#include "project/ProjectFile.h"
#include "support/MelodyProject.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

using namespace korvanta;
using korvanta::test::SmfBuilder;
using korvanta::test::TrackBuilder;

namespace {

constexpr int kQuarter = 480;
constexpr int kC = 7, kF = 6, kG = 8, kD = 9, kAm = 19;
constexpr int C4 = 60, D4 = 62, E4 = 64, F4 = 65, G4 = 67, Gs4 = 68, A4 = 69, B4 = 71, C5 = 72,
              D5 = 74;

const std::vector<int> kCMajorTune{C4, D4, E4, F4, G4, A4, B4, C5, E4, G4, C5, G4,
                                   F4, A4, G4, E4, D4, G4, B4, D5, C5, G4, E4, C4};
const std::vector<int> kAMinorTune{A4, C5, B4, A4,  E4, Gs4, A4, B4, C5, D5, C5,  B4,
                                   A4, F4, E4, Gs4, A4, B4,  C5, E4, D4, F4, Gs4, A4};

// Quarter notes on a channel, one after another from tick 0.
void addMelody(TrackBuilder& track, int channel, const std::vector<int>& pitches) {
    for (const int p : pitches)
        track.noteOn(0, channel, p, 100).noteOff(kQuarter, channel, p);
}

std::vector<std::uint8_t> tuneFile(const std::vector<int>& pitches, int channel = 0, int keySf = 0,
                                   int keyMi = 0, bool keySignature = false) {
    TrackBuilder track;
    track.timeSig(0, 4, 2);
    if (keySignature) track.keySig(0, keySf, keyMi);
    addMelody(track, channel, pitches);
    track.endOfTrack();
    return SmfBuilder().header(0, 1, kQuarter).track(track).bytes();
}

std::span<const std::byte> bytesOf(const std::vector<std::uint8_t>& bytes) {
    return std::as_bytes(std::span(bytes));
}

int keySignatureOf(const TSong& song, int& mi) {
    std::int32_t out[2] = {0, 0};
    const int key = song.QueryMeta(kMetaKeySignature, 0, out);
    mi = out[1];
    return song.FindEvent(kMetaKeySignature, 0, 0) ? key : -1;
}

std::vector<ChordCode> chordsOf(const ChordMaster& master) {
    std::vector<ChordCode> chords;
    for (int b = 0; master.song() && b < master.song()->barCount; ++b)
        chords.push_back(master.barChord(b));
    return chords;
}

// A file name in the temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& name)
        : m_path(test::scratchPath("korvanta-chordmaster", "-" + name)) {
        std::filesystem::remove(m_path);
    }
    ~TempFile() { std::filesystem::remove(m_path); }
    std::string name() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

// Writes a project holding a melody of the given pitches and durations
// (ticks), one note per quarter, in 4/4.
void writeMelodyProject(const std::string& fileName,
                        const std::vector<std::pair<int, int>>& notes) {
    ASSERT_TRUE(test::writeMelodyProject(fileName, notes));
}

class ChordMasterTest : public testing::Test {
protected:
    HarmonySettings settings = kBuiltInHarmonySettings;
};

} // namespace

// --- Creation ---------------------------------------------------------------

TEST(ChordMasterNames, ExportNameReplacesOnlyALowerCaseMidSuffix) {
    HarmonySettings settings;
    EXPECT_EQ(ChordMaster("song.mid", 0, settings).exportName(), "song_kvta.mid");
    EXPECT_EQ(ChordMaster("song.MID", 0, settings).exportName(), "song.MID_kvta.mid");
    EXPECT_EQ(ChordMaster("song.kvt", 0, settings).exportName(), "song.kvt_kvta.mid");
    EXPECT_EQ(ChordMaster("mid", 0, settings).exportName(), "mid_kvta.mid");
    EXPECT_EQ(ChordMaster(".mid", 0, settings).exportName(), "_kvta.mid");
    EXPECT_EQ(ChordMaster("dir.mid/tune.mid", 0, settings).exportName(), "dir.mid/tune_kvta.mid");
    EXPECT_EQ(ChordMaster("song.mid", 0, settings).reportName(), "song.mid_.rep");
    // Long names are kept whole rather than cut.
    const std::string longName = std::string(200, 'x') + ".mid";
    EXPECT_EQ(ChordMaster(longName, 0, settings).exportName(), std::string(200, 'x') + "_kvta.mid");
}

TEST(ChordMasterNames, CreationStartsEmpty) {
    HarmonySettings settings;
    const ChordMaster master("tune.mid", 42, settings);
    EXPECT_EQ(master.draftNumbers(), (std::array<int, 3>{1, 2, 3}));
    EXPECT_EQ(master.callerValue(), 42);
    EXPECT_EQ(master.fileName(), "tune.mid");
    EXPECT_EQ(master.status(), kStatusOk);
    EXPECT_FALSE(master.hasSong());
    EXPECT_EQ(master.mainKey(), -1);
    EXPECT_EQ(master.barChord(0), kNoChord);
}

// --- Loading ----------------------------------------------------------------

TEST_F(ChordMasterTest, SingleChannelTuneIsPreparedOnItsChannel) {
    ChordMaster master("tune.mid", 0, settings);
    EXPECT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune, 3))), kStatusOk);
    EXPECT_TRUE(master.melodyPrepared());
    EXPECT_EQ(master.melodyChannel(), 3);
    EXPECT_EQ(master.formatWord(), 0);
    EXPECT_EQ(master.song()->notes.Count(kMelodyList), 24);
    EXPECT_EQ(master.song()->changes, 0);
}

TEST_F(ChordMasterTest, UnreadableFileLeavesNoSongAndHarmonizeReportsIt) {
    ChordMaster master("no-such-folder/none.mid", 0, settings);
    const std::vector<std::uint8_t> garbage{'R', 'I', 'F', 'F', 0, 0, 0, 4};
    EXPECT_EQ(master.loadMidiMemory(bytesOf(garbage)), kStatusLoadFailed);
    EXPECT_FALSE(master.hasSong());
    EXPECT_EQ(master.Harmonize(), kStatusLoadFailed); // tries the file itself
    EXPECT_FALSE(master.hasSong());
}

TEST_F(ChordMasterTest, FailedReloadKeepsTheSongLoadedBefore) {
    ChordMaster master("tune.mid", 0, settings);
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune))), kStatusOk);
    EXPECT_EQ(master.loadMidiMemory({}), kStatusLoadFailed);
    ASSERT_TRUE(master.hasSong());
    EXPECT_EQ(master.Harmonize(), kStatusOk);
}

TEST_F(ChordMasterTest, SeveralMelodyChannelsWaitForTheUsersChoice) {
    TrackBuilder track;
    track.timeSig(0, 4, 2);
    // Two voices in parallel, a third apart: both qualify as a melody.
    for (std::size_t i = 0; i < kCMajorTune.size(); ++i) {
        const int p = kCMajorTune[i];
        track.noteOn(0, 0, p, 100).noteOn(0, 1, p - 4, 100);
        track.noteOff(kQuarter, 0, p).noteOff(0, 1, p - 4);
    }
    track.endOfTrack();
    const auto file = SmfBuilder().header(0, 1, kQuarter).track(track).bytes();

    ChordMaster master("duet.mid", 0, settings);
    EXPECT_EQ(master.loadMidiMemory(bytesOf(file)), kStatusSeveralChannels);
    EXPECT_FALSE(master.melodyPrepared());
    // Without a prepared melody there is nothing to harmonize.
    EXPECT_EQ(master.Harmonize(), kStatusSeveralChannels);
    EXPECT_TRUE(master.song()->barHarmony.empty());

    const MelodyChannelChoice choice = master.melodyChannelChoice();
    ASSERT_EQ(choice.channels.size(), 2u);
    EXPECT_EQ(choice.channels[0].channel, 0);
    EXPECT_EQ(choice.channels[1].channel, 1);
    EXPECT_EQ(choice.status, kStatusSeveralChannels);

    EXPECT_EQ(master.prepareMelodyChannel(1), kStatusOk);
    EXPECT_EQ(master.melodyChannel(), 1);
    EXPECT_EQ(master.song()->notes.list(kMelodyList).front().pitch, C4 - 4);
    // The choice is made: asking again changes nothing.
    EXPECT_EQ(master.prepareMelodyChannel(0), kStatusOk);
    EXPECT_EQ(master.melodyChannel(), 1);
    EXPECT_TRUE(master.melodyChannelChoice().channels.empty());
    EXPECT_EQ(master.Harmonize(), kStatusOk);
}

// --- Harmonize and stamping ---------------------------------------------

TEST_F(ChordMasterTest, HarmonizedTuneGetsChordsKeySignatureAndComment) {
    ChordMaster master("tune.mid", 0, settings);
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune))), kStatusOk);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.mainKey(), kC);
    EXPECT_EQ(master.keyResult(), kC);
    ASSERT_NE(master.harmonizer(), nullptr);
    EXPECT_EQ(master.harmonizer()->progressionTable(), progression::progressionTableFor(kC));
    const TSong& song = *master.song();
    ASSERT_EQ(song.barHarmony.size(), 6u);
    for (const ChordCode chord : chordsOf(master))
        EXPECT_TRUE(isChordCode(chord)) << chord;
    EXPECT_EQ(song.barHarmony[0].chord, song.barChords[0].codes[0]);
    EXPECT_EQ(song.keyMarks[kC], 4);
    EXPECT_EQ(song.text, "The harmony and all chords have been generated by the Korvanta "
                         "program applying the Tessaly Algorythm.");
    int mi = -1;
    EXPECT_EQ(keySignatureOf(song, mi), kC); // added: the file had none
    EXPECT_EQ(mi, 0);

    // A second run replaces the records with the same result.
    const auto before = chordsOf(master);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(chordsOf(master), before);
}

TEST_F(ChordMasterTest, StampingRewritesTheKeySignatureOfTheFile) {
    ChordMaster master("tune.mid", 0, settings);
    // Written with one sharp, but the melody is in A minor.
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kAMinorTune, 0, 1, 0, true))), kStatusOk);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.mainKey(), kAm);
    // The progressions consulted are those of the key found, not of the signature.
    ASSERT_NE(master.harmonizer(), nullptr);
    EXPECT_EQ(master.harmonizer()->progressionTable(), progression::progressionTableFor(kAm));
    int mi = -1;
    EXPECT_EQ(keySignatureOf(*master.song(), mi), kAm);
    EXPECT_EQ(mi, 1);
    EXPECT_EQ(master.song()->metaEvents.Count(), 2); // time and key signature, no second key
}

TEST_F(ChordMasterTest, AutoKeyOffHarmonizesInTheKeyOfTheSignature) {
    settings.AutoKey = false;
    ChordMaster master("tune.mid", 0, settings);
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune, 0, 1, 0, true))), kStatusOk);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.mainKey(), kG);
}

TEST_F(ChordMasterTest, AnalysisWithoutAKeyKeepsThePreviousHarmony) {
    ChordMaster master("tune.mid", 0, settings);
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune))), kStatusOk);
    ASSERT_EQ(master.Harmonize(), kStatusOk);
    const auto chords = chordsOf(master);
    const auto marks = master.song()->keyMarks;

    settings.MinWT = 1.5f; // no key can pass
    EXPECT_EQ(master.Harmonize(), kStatusKeyUnknown);
    EXPECT_EQ(chordsOf(master), chords);
    EXPECT_EQ(master.mainKey(), kC);
    EXPECT_EQ(master.song()->keyMarks, marks);
    EXPECT_FALSE(master.song()->text.empty());
    EXPECT_TRUE(master.song()->keyStatistics.empty());
}

TEST_F(ChordMasterTest, DraftIIIHarmonizesInTheRelativeKey) {
    ChordMaster master("tune.mid", 0, settings);
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune))), kStatusOk);
    EXPECT_FALSE(master.applyDraft(0));
    EXPECT_FALSE(master.song()->TestFlags(SongChange::kSettings));
    EXPECT_TRUE(master.applyDraft(3));
    EXPECT_TRUE(settings.ApplyPKey);
    EXPECT_TRUE(master.song()->TestFlags(SongChange::kSettings));
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.mainKey(), kAm);

    EXPECT_TRUE(master.applyDraft(2));
    EXPECT_EQ(settings.MaxNumCustomChords, 5);
    EXPECT_FALSE(settings.ApplyPKey);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.mainKey(), kC);
}

TEST_F(ChordMasterTest, KeyChosenByHandDecidesTheKey) {
    ChordMaster master("tune.mid", 0, settings);
    EXPECT_FALSE(master.setKeyByHand(kD)); // no song yet
    EXPECT_TRUE(settings.AutoKey);
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune))), kStatusOk);
    master.song()->SetFlags(SongChange::kNewMelody, true);
    EXPECT_FALSE(master.setKeyByHand(24));
    EXPECT_TRUE(master.setKeyByHand(kD));
    EXPECT_FALSE(settings.AutoKey);
    EXPECT_EQ(master.song()->changes, SongChange::kKeyByHand | SongChange::kMix);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.mainKey(), kD);
    ASSERT_NE(master.harmonizer(), nullptr);
    EXPECT_EQ(master.harmonizer()->progressionTable(), progression::progressionTableFor(kD));
    int mi = -1;
    EXPECT_EQ(keySignatureOf(*master.song(), mi), kD);

    master.setAutoKey();
    EXPECT_TRUE(settings.AutoKey);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.mainKey(), kC);
}

TEST_F(ChordMasterTest, AmbiguousKeyIsAskedAsTheMajorKeyAndAnswered) {
    // A melody on which the schemes disagree: scheme 0 votes C major, scheme 1
    // A minor, scheme 2 neither, so no key has two votes.
    const std::vector<std::pair<int, int>>& notes = test::kAmbiguousMelody;
    const TempFile file("ambiguous.kvt");
    writeMelodyProject(file.name(), notes);

    for (const bool minor : {true, false}) {
        HarmonySettings own = kBuiltInHarmonySettings;
        ChordMaster master(file.name(), 0, own);
        ASSERT_EQ(master.loadProjectFile(), kStatusOk);
        EXPECT_EQ(master.answerMinorKeyQuestion(minor), kStatusOk); // not asked yet
        EXPECT_EQ(master.Harmonize(), kStatusKeyAmbiguous);
        EXPECT_EQ(master.keyResult(), kC);
        EXPECT_TRUE(master.song()->barHarmony.empty());

        EXPECT_EQ(master.answerMinorKeyQuestion(minor), kStatusOk);
        EXPECT_FALSE(own.AutoKey);
        EXPECT_EQ(master.mainKey(), minor ? kAm : kC);
        EXPECT_EQ(master.keyResult(), minor ? kAm : kC);
        EXPECT_EQ(master.song()->changes, SongChange::kKeyByHand);
        EXPECT_FALSE(master.song()->barHarmony.empty());
    }
}

TEST_F(ChordMasterTest, TwoPitchClassesEndTheAnalysisWithoutHarmony) {
    std::vector<std::pair<int, int>> notes;
    for (int i = 0; i < 16; ++i)
        notes.emplace_back(i % 2 == 0 ? C4 : G4, kQuarter);
    const TempFile file("fifths.kvt");
    writeMelodyProject(file.name(), notes);
    ChordMaster master(file.name(), 0, settings);
    // Prepared, with the warning that the key may not be recognized.
    EXPECT_EQ(master.loadProjectFile(), kStatusKeyNotRecognised);
    EXPECT_TRUE(master.melodyPrepared());
    EXPECT_EQ(master.Harmonize(), kStatusKeyNotRecognised);
    EXPECT_TRUE(master.song()->barHarmony.empty());
    EXPECT_EQ(master.mainKey(), -1);
}

// --- Project files and export -------------------------------------------

TEST_F(ChordMasterTest, ProjectRoundTripKeepsChordsAndKey) {
    const TempFile file("round.kvt");
    std::vector<ChordCode> chords;
    {
        ChordMaster master("tune.mid", 0, settings);
        EXPECT_EQ(master.saveProjectFile(file.name()), kStatusSaveFailed); // no song
        ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kAMinorTune))), kStatusOk);
        ASSERT_EQ(master.Harmonize(), kStatusOk);
        chords = chordsOf(master);
        EXPECT_EQ(master.saveProjectFile(file.name()), kStatusOk);
    }
    HarmonySettings loaded = kBuiltInHarmonySettings;
    loaded.MinTaktBT = 9; // replaced by the project's record
    ChordMaster master(file.name(), 0, loaded);
    EXPECT_EQ(master.loadProjectFile(), kStatusOk);
    EXPECT_EQ(loaded.MinTaktBT, 4);
    EXPECT_EQ(master.formatWord(), ChordMaster::kProjectFormat);
    EXPECT_EQ(master.melodyChannel(), 0);
    EXPECT_EQ(master.mainKey(), kAm);
    EXPECT_EQ(chordsOf(master), chords);
    EXPECT_EQ(master.song()->changes, 0);
}

TEST_F(ChordMasterTest, MissingOrBrokenProjectFileGives101) {
    const TempFile file("missing.kvt");
    ChordMaster master(file.name(), 0, settings);
    EXPECT_EQ(master.loadProjectFile(), kStatusLoadFailed);
    EXPECT_FALSE(master.hasSong());
    EXPECT_FALSE(master.projectMessage().empty());
}

TEST_F(ChordMasterTest, ExportWritesTheHarmonizedSongAsMidi) {
    const TempFile file("export.mid");
    ChordMaster master("tune.mid", 0, settings);
    ASSERT_EQ(master.loadMidiMemory(bytesOf(tuneFile(kCMajorTune))), kStatusOk);
    ASSERT_EQ(master.Harmonize(), kStatusOk);
    ASSERT_EQ(master.Export(file.name()), kStatusOk);
    TSong back;
    const MidiLoadResult r = loadMidiFile(back, file.name());
    ASSERT_EQ(r.status, kStatusOk);
    EXPECT_EQ(back.notes.Count(0), master.song()->notes.Count(kMelodyList));
    // The accompaniment on channel 1: one block chord per bar with a chord.
    EXPECT_EQ(back.notes.Count(1), master.song()->notes.Count(kChordList));
    EXPECT_GT(back.notes.Count(1), 0);
}

TEST_F(ChordMasterTest, ExportWithoutAMelodyFails) {
    const TempFile file("export.mid");
    ChordMaster master("tune.mid", 0, settings);
    EXPECT_EQ(master.Export(file.name()), kStatusSaveFailed);
    EXPECT_FALSE(std::filesystem::exists(file.name()));
}

// --- The sample melodies ------------------------------------------------

// Each sample harmonized as the program does it: a single usable channel is
// taken without asking; when the key cannot be recognized the main window
// switches AutoKey off and the key signature of the file decides.
TEST(ChordMasterSamples, EverySampleHarmonizesInAKeyFittingItsNotes) {
    struct Sample {
        const char* name;
        int key;
        bool recognized; // by key analysis, rather than from the signature
    };
    const Sample samples[] = {
        {"twinkle-twinkle", kC, true},
        {"row-row-row-your-boat", kF, true},
        {"greensleeves", kAm, true},
        // The tune never sounds F#, which G major needs (and G major forgives
        // no missing accidental): C major fits all its notes.
        {"frere-jacques", kC, true},
        // Pentatonic or hexatonic tunes without the accidental of their key
        // (F#, B flat, C#): no key is recognized and the signature decides.
        {"amazing-grace", kG, false},
        {"auld-lang-syne", kF, false},
        {"ode-to-joy", kD, false},
    };
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.name);
        HarmonySettings settings = kBuiltInHarmonySettings;
        ChordMaster master(std::string(KORVANTA_DATA_DIR) + "/samples/" + sample.name + ".mid", 0,
                           settings);
        Status status = master.loadMidiFile();
        if (status == kStatusSeveralChannels) status = master.melodyChannelChoice().status;
        ASSERT_EQ(status, kStatusOk);
        status = master.Harmonize();
        EXPECT_EQ(status == kStatusOk || status == kStatusManyKeys, sample.recognized) << status;
        if (status == kStatusKeyUnknown) {
            settings.AutoKey = false;
            status = master.Harmonize();
        }
        EXPECT_TRUE(status == kStatusOk || status == kStatusManyKeys) << status;
        EXPECT_EQ(master.mainKey(), sample.key);
        for (const ChordCode chord : chordsOf(master))
            EXPECT_TRUE(chord == kNoChord || isChordCode(chord));
    }
}

TEST(ChordMasterSamples, HarmonizeLoadsTheFileNamedAtCreation) {
    HarmonySettings settings = kBuiltInHarmonySettings;
    ChordMaster master(std::string(KORVANTA_DATA_DIR) + "/samples/twinkle-twinkle.mid", 0,
                       settings);
    EXPECT_EQ(master.Harmonize(), kStatusOk);
    EXPECT_EQ(master.melodyChannel(), 0);
    EXPECT_EQ(master.formatWord(), 0);
    EXPECT_EQ(master.mainKey(), kC);
    EXPECT_EQ(master.song()->barHarmony.size(), 12u);
}
