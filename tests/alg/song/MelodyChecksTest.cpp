// Tests of the melody candidate test, selection, preparation, upbeat and the
// loading sequence, on songs built note by note the way the MIDI reader fills
// them (list = channel).

#include "alg/song/MelodyChecks.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

using namespace korvanta;

namespace {

constexpr int kQuarter = 480;
constexpr int kBar = 4 * kQuarter;
const std::vector<int> kFivePitchClasses = {60, 62, 64, 65, 67, 69, 71};

// A song at 480 ticks per quarter in 4/4, set up as the reader leaves it.
class MelodySong : public testing::Test {
protected:
    void SetUp() override {
        TMeterMap& meter = song.meter();
        meter.wholeTicks = 4 * kQuarter;
        meter.sixteenthTicks = kQuarter / 4;
        meter.shortestNote = kQuarter / 4;
        meter.SetDivision(kQuarter);
        meter.AddMeter(0, 4, 4);
    }

    void addNote(int channel, int ticks, int pitch, int duration = kQuarter) {
        song.notes.AddNote(static_cast<std::uint8_t>(pitch), channel, 0x6400,
                           song.meter().ToPos(ticks), static_cast<std::uint16_t>(duration),
                           static_cast<std::uint8_t>(pitch % 12));
    }

    // One note per step from startTicks on.
    void addMelody(int channel, const std::vector<int>& pitches, int startTicks = 0,
                   int step = kQuarter) {
        for (std::size_t i = 0; i < pitches.size(); ++i)
            addNote(channel, startTicks + static_cast<int>(i) * step, pitches[i], step);
    }

    void addProgram(int channel, int program) {
        TSongEvent e;
        e.type = static_cast<std::uint8_t>(0xC0 | channel);
        e.value = packEventBytes(static_cast<std::uint8_t>(program));
        song.channelEvents.Append(e);
    }

    TSong song;
};

using MelodyCandidate = MelodySong;
using MelodySelection = MelodySong;
using MelodyPreparation = MelodySong;
using MelodyUpbeat = MelodySong;
using MelodyLoading = MelodySong;

// ---- candidate test ----

TEST_F(MelodyCandidate, NeedsSevenNotesAndOtherwiseReportsNinetyTwo) {
    addMelody(4, {60, 62, 64, 65, 67, 69});
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 4));
    EXPECT_EQ(song.notes.error, 92);
    addNote(4, 6 * kQuarter, 71);
    EXPECT_TRUE(IsMelodyCandidate(song.notes, 4));
}

TEST_F(MelodyCandidate, ToleratesTwoSimultaneousOnsetsButNotThree) {
    // Threshold at 480 per quarter: 14 ticks; 10 apart is simultaneous.
    addNote(2, 0, 60);
    addNote(2, 10, 64);
    addMelody(2, {62, 65, 67, 69, 71}, kQuarter);
    EXPECT_TRUE(IsMelodyCandidate(song.notes, 2));

    addNote(3, 0, 60);
    addNote(3, 10, 64);
    addNote(3, 20, 67);
    addMelody(3, {62, 65, 69, 71}, kQuarter);
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 3));
    EXPECT_EQ(song.notes.error, 90);
}

TEST_F(MelodyCandidate, OnsetsFourteenTicksApartAreNotSimultaneous) {
    for (int i = 0; i < 7; ++i)
        addNote(1, i * 14, kFivePitchClasses[i], 14);
    EXPECT_TRUE(IsMelodyCandidate(song.notes, 1));
    song.notes.FreeList(1);
    for (int i = 0; i < 7; ++i)
        addNote(1, i * 13, kFivePitchClasses[i], 13);
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 1));
    EXPECT_EQ(song.notes.error, 90);
}

TEST_F(MelodyCandidate, ThresholdIsAtLeastOneTickAtCoarseResolutions) {
    song.meter().SetDivision(24); // 24 / 32 - 1 would be -1
    addNote(0, 0, 60);
    addNote(0, 0, 64);
    addNote(0, 0, 67);
    addMelody(0, {62, 65, 69, 71}, 24, 24);
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 0));
    EXPECT_EQ(song.notes.error, 90);
}

TEST_F(MelodyCandidate, StartsAtBothEndsOfTheTickRangeAreComparedWithoutOverflow) {
    // A hostile meter map: bar 1 starts near the top of the 32-bit range and
    // bar 3 near its bottom, so the second note lies 4e9 ticks before the first.
    TMeterMap& meter = song.meter();
    meter.Clear();
    meter.SetDivision(kQuarter);
    meter.AddEntry(TMeterChange{0, 4, 4, {0, 0}, 2000000000, 500000000});
    meter.AddEntry(TMeterChange{1, 4, 4, {0, 0}, -2000000000, 1});
    const TBarPos starts[] = {{1, 0, 0, 0},   {3, 0, 0, 0},   {3, 0, 0, 0},  {3, 0, 0, 100},
                              {3, 0, 0, 200}, {3, 0, 0, 300}, {3, 0, 0, 400}};
    int pitch = 60;
    for (const TBarPos& start : starts) {
        song.notes.AddNote(static_cast<std::uint8_t>(pitch), 0, 0x6400, start, kQuarter,
                           static_cast<std::uint8_t>(pitch % 12));
        pitch += 2;
    }
    // A note that goes back in time is no step forward: with the onset after
    // it, three notes count as sounding together.
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 0));
    EXPECT_EQ(song.notes.error, kStatusNotMonophonic);
}

TEST_F(MelodyCandidate, FailsWithCodeZeroOnLowRegisterOrFewPitchClasses) {
    addMelody(5, {36, 38, 40, 41, 43, 45, 47, 60}); // mostly pitches 36-47
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 5));
    EXPECT_EQ(song.notes.error, 0);

    addMelody(6, {60, 62, 64, 65, 60, 62, 64, 65}); // four pitch classes
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 6));
    EXPECT_EQ(song.notes.error, 0);

    addMelody(7, {48, 50, 52, 53, 55, 57, 59}); // octave 4 is high enough
    EXPECT_TRUE(IsMelodyCandidate(song.notes, 7));
}

TEST_F(MelodyCandidate, EqualOctaveCountsGoToTheOctaveThatGotThereFirst) {
    // The same notes in two orders: octaves 3 and 5 get three notes each, the
    // first note lies in octave 4.
    addMelody(1, {59, 36, 38, 40, 65, 67, 69}); // octave 3 first
    addMelody(2, {59, 65, 67, 69, 36, 38, 40}); // octave 5 first
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 1));
    EXPECT_EQ(song.notes.error, 0);
    EXPECT_TRUE(IsMelodyCandidate(song.notes, 2));
}

TEST_F(MelodyCandidate, TheFirstNoteWinsItsOctaveOnlyWithAClearLead) {
    // The first note is counted last. Here it brings octave 3 level with
    // octave 6, which keeps the lead.
    addMelody(1, {45, 36, 38, 76, 77, 79, 59});
    EXPECT_TRUE(IsMelodyCandidate(song.notes, 1));
    // Here octave 3 already ties octave 6 (which got there first), and the
    // first note puts it ahead.
    addMelody(2, {45, 72, 74, 76, 36, 38, 41});
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 2));
    EXPECT_EQ(song.notes.error, 0);
}

TEST_F(MelodyCandidate, ChannelOutsideTheListsIsNoCandidate) {
    addMelody(0, kFivePitchClasses);
    EXPECT_FALSE(IsMelodyCandidate(song.notes, -1));
    EXPECT_FALSE(IsMelodyCandidate(song.notes, 16));
}

// ---- selection ----

TEST_F(MelodySelection, MovesTheChannelIntoTheMelodyListAndFreesTheRest) {
    addMelody(0, {40, 41});
    addMelody(5, {30, 31, 32});
    addMelody(3, {60, 62, 64}, 0);
    addNote(3, kBar + 0, 65, 3 * kQuarter); // long note, ends at 2 bars + 480
    addNote(3, kBar + 480, 67, 240);
    addNote(3, kBar + 720, 69, 240);
    addNote(3, kBar + 960, 71, 120); // last note ends at kBar + 1080
    song.notes.upbeat = 777;         // stale: it belonged to the old melody list

    ASSERT_TRUE(SelectMelody(song.notes, 3));
    const TNotes& n = song.notes;
    ASSERT_EQ(n.Count(kMelodyList), 7);
    for (const TNote& note : n.list(kMelodyList))
        EXPECT_EQ(note.list, 0);
    EXPECT_EQ(n.Note(0, kMelodyList)->pitch, 60);
    EXPECT_EQ(n.Note(6, kMelodyList)->pitch, 71);
    for (int list = 1; list < kNoteListCount; ++list) {
        EXPECT_EQ(n.Count(list), 0);
        EXPECT_EQ(n.list(list).capacity(), 0u);
    }
    EXPECT_EQ(n.pitchMask, 0b101010110101); // C D E F G A B
    EXPECT_EQ(n.pitchClassCount, 7);
    EXPECT_EQ(n.barCount, 2);
    EXPECT_EQ(n.length, kBar + 3 * kQuarter);
    EXPECT_EQ(n.savedLength, static_cast<std::uint32_t>(kBar + 3 * kQuarter));
    EXPECT_EQ(n.upbeat, -1);
}

TEST_F(MelodySelection, ChannelZeroKeepsItsNotesAndRecountsThem) {
    addMelody(0, {60, 64, 67}, kBar);
    addMelody(9, {36, 38});
    song.notes.pitchMask = 0x0FFF; // whatever the reading left
    ASSERT_TRUE(SelectMelody(song.notes, 0));
    EXPECT_EQ(song.notes.Count(kMelodyList), 3);
    EXPECT_EQ(song.notes.Count(9), 0);
    EXPECT_EQ(song.notes.pitchMask, (1 << 0) | (1 << 4) | (1 << 7));
    EXPECT_EQ(song.notes.pitchClassCount, 3);
    EXPECT_EQ(song.notes.barCount, 2);
    EXPECT_EQ(song.notes.length, kBar + 3 * kQuarter);
}

TEST_F(MelodySelection, RefusesAChannelOutsideTheLists) {
    addMelody(0, {60, 62});
    addMelody(4, {60});
    EXPECT_FALSE(SelectMelody(song.notes, 16));
    EXPECT_FALSE(SelectMelody(song.notes, -1));
    EXPECT_EQ(song.notes.Count(kMelodyList), 2);
    EXPECT_EQ(song.notes.Count(4), 1);
}

// ---- preparation ----

TEST_F(MelodyPreparation, MidiModeKeepsOnlyTheMelodyChannelsEventsAsChannelZero) {
    addMelody(3, kFivePitchClasses, 0, kBar / 2);
    addProgram(3, 40);
    addProgram(5, 10);
    EXPECT_EQ(PrepareMelody(song, 3, PrepareMode::MidiFile), 0);
    ASSERT_EQ(song.channelEvents.Count(), 1);
    EXPECT_EQ(song.channelEvents.At(0)->type, 0xC0);
    EXPECT_EQ(song.channelEvents.At(0)->dataByte(0), 40);
}

TEST_F(MelodyPreparation, ProjectModeKeepsEveryChannelEvent) {
    addMelody(0, kFivePitchClasses, 0, kBar / 2);
    addProgram(0, 40);
    addProgram(5, 10);
    EXPECT_EQ(PrepareMelody(song, 0, PrepareMode::ProjectFile), 0);
    EXPECT_EQ(song.channelEvents.Count(), 2);
}

TEST_F(MelodyPreparation, TwoBarsGiveNinetyOneAndNoBarFirstNote) {
    addMelody(2, kFivePitchClasses, 0, kBar / 4 + 10); // ends in bar 1
    EXPECT_EQ(PrepareMelody(song, 2, PrepareMode::MidiFile), 91);
    EXPECT_TRUE(song.barFirstNote().empty());
    EXPECT_EQ(song.barCount, 2);
    EXPECT_EQ(song.barCount2, 2u);
    EXPECT_EQ(song.meter().barCount, 2);
    EXPECT_EQ(song.chordOctave, 255); // not derived
}

TEST_F(MelodyPreparation, FourPitchClassesWarnButPrepareFully) {
    // Bars 0, 2 and 3; bar 1 is a rest.
    addNote(1, 0, 60);
    addNote(1, 480, 62);
    addNote(1, 2 * kBar, 64);
    addNote(1, 2 * kBar + 480, 65);
    addNote(1, 3 * kBar, 60);
    song.changes = 0xFF;
    EXPECT_EQ(PrepareMelody(song, 1, PrepareMode::MidiFile), 92);
    EXPECT_EQ(song.barCount, 4);
    EXPECT_EQ(song.notes.pitchClassCount, 4);
    EXPECT_EQ(song.barFirstNote(), (std::vector<std::int32_t>{0, -1, 2, 4}));
    EXPECT_EQ(song.chordOctave, 4);
    EXPECT_EQ(song.changes, 0xFF); // flags are the loading sequence's business
}

TEST_F(MelodyPreparation, ChordOctaveSitsBelowTheMostUsedOctaveUpToFour) {
    const struct {
        std::vector<int> pitches;
        int chordOctave;
    } cases[] = {
        {{72, 74, 76, 77, 79, 81, 60}, 4},     // octave 6
        {{48, 50, 52, 53, 55, 57, 72}, 3},     // octave 4
        {{96, 98, 100, 101, 103, 105, 72}, 4}, // octave 8 is held at 5 - 1
        {{72, 74, 76, 48, 50, 52, 88}, 3},     // 3 and 3: the lower octave wins
        {{0, 2, 4, 5, 7, 9, 11}, 0},           // octave 0 cannot go lower
    };
    for (const auto& c : cases) {
        TSong fresh;
        fresh.meter() = song.meter();
        for (std::size_t i = 0; i < c.pitches.size(); ++i) {
            const int p = c.pitches[i];
            fresh.notes.AddNote(static_cast<std::uint8_t>(p), 4, 0,
                                fresh.meter().ToPos(static_cast<int>(i) * kBar / 2), 480,
                                static_cast<std::uint8_t>(p % 12));
        }
        PrepareMelody(fresh, 4, PrepareMode::MidiFile);
        EXPECT_EQ(fresh.chordOctave, c.chordOctave) << "first pitch " << c.pitches[0];
    }
}

TEST_F(MelodyPreparation, ShortestNoteIsRaisedToASixtyFourthAndPicksTheGrid) {
    const struct {
        int shortest, raised, grid;
        unsigned quantUnit;
    } cases[] = {
        {15, 30, 60, 1},   // a 128th
        {59, 59, 60, 2},   // just below a 32nd
        {60, 60, 120, 2},  // a 32nd
        {120, 120, 120, 4} // a 16th
    };
    addMelody(0, kFivePitchClasses, 0, kBar / 2);
    for (const auto& c : cases) {
        song.meter().shortestNote = c.shortest;
        PrepareMelody(song, 0, PrepareMode::ProjectFile);
        EXPECT_EQ(song.meter().shortestNote, c.raised);
        EXPECT_EQ(song.meter().gridTicks, c.grid);
        EXPECT_EQ(song.meter().quantUnit, c.quantUnit) << c.shortest;
    }
}

TEST_F(MelodyPreparation, EmptyOrInvalidChannelLeavesTheSongAlone) {
    addMelody(2, kFivePitchClasses);
    addProgram(2, 3);
    EXPECT_EQ(PrepareMelody(song, 7, PrepareMode::MidiFile), kStatusNoNotes);
    EXPECT_EQ(PrepareMelody(song, 16, PrepareMode::MidiFile), kStatusNoNotes);
    EXPECT_EQ(PrepareMelody(song, -1, PrepareMode::MidiFile), kStatusNoNotes);
    EXPECT_EQ(song.notes.Count(2), 7);
    EXPECT_EQ(song.channelEvents.Count(), 1);
}

// ---- upbeat ----

TEST_F(MelodyUpbeat, BelowAnEighthCountsAsNoUpbeat) {
    addNote(0, 100, 60);
    EXPECT_EQ(Upbeat(song.notes, 0), 0);
    addNote(1, 960, 60);
    song.notes.upbeat = -1;
    EXPECT_EQ(Upbeat(song.notes, 1), 960);
    addNote(2, kBar + 240, 60); // measured from its own bar line
    song.notes.upbeat = -1;
    EXPECT_EQ(Upbeat(song.notes, 2), 240);
}

TEST_F(MelodyUpbeat, IsCachedOnceKnownAndStaysUnknownForAnEmptyList) {
    EXPECT_EQ(Upbeat(song.notes, 0), -1);
    EXPECT_EQ(song.notes.upbeat, -1);
    addNote(0, 960, 60);
    EXPECT_EQ(Upbeat(song.notes, 0), 960);
    song.notes.Note(0, 0)->start.beat = 3;
    EXPECT_EQ(Upbeat(song.notes, 0), 960);
    EXPECT_EQ(Upbeat(song.notes, 16), 960); // the cache answers before the list is read
}

// ---- loading sequence ----

TEST_F(MelodyLoading, AGoodSingleChannelIsPreparedAndClearsTheFlags) {
    addMelody(6, kFivePitchClasses, 0, kBar / 2);
    addProgram(6, 19);
    song.changes = SongChange::kNewMelody | SongChange::kMix;
    EXPECT_EQ(loadMelody(song, 0, 6), kStatusOk);
    EXPECT_EQ(song.changes, 0);
    EXPECT_EQ(song.notes.Count(kMelodyList), 7);
    EXPECT_EQ(song.notes.Count(6), 0);
    EXPECT_EQ(song.barCount, 4);
    EXPECT_EQ(song.barFirstNote().size(), 4u);
    EXPECT_EQ(song.chordOctave, 4);
    EXPECT_EQ(song.QueryMeta(0xC0, 0), 19);
}

TEST_F(MelodyLoading, EveryFailureIsANonZeroStatusAndKeepsTheFlags) {
    const struct {
        const char* what;
        std::vector<int> pitches;
        int step;
        Status status;
    } cases[] = {
        {"four pitch classes", {60, 62, 64, 65, 60, 62, 64, 65}, kBar / 2, kStatusMelodyUnsuitable},
        {"low register", {36, 38, 40, 41, 43, 45, 47}, kBar / 2, kStatusMelodyUnsuitable},
        {"six notes", {60, 62, 64, 65, 67, 69}, kBar / 2, kStatusTooFewNotes},
        {"three onsets together", {60, 62, 64, 65, 67, 69, 71}, 5, kStatusNotMonophonic},
        {"two bars", {60, 62, 64, 65, 67, 69, 71}, kQuarter, kStatusTooShort},
    };
    for (const auto& c : cases) {
        TSong fresh;
        fresh.meter() = song.meter();
        for (std::size_t i = 0; i < c.pitches.size(); ++i) {
            const int p = c.pitches[i];
            fresh.notes.AddNote(static_cast<std::uint8_t>(p), 9, 0,
                                fresh.meter().ToPos(static_cast<int>(i) * c.step), 120,
                                static_cast<std::uint8_t>(p % 12));
        }
        fresh.changes = SongChange::kNewMelody;
        EXPECT_EQ(loadMelody(fresh, 0, 9), c.status) << c.what;
        EXPECT_EQ(fresh.changes, SongChange::kNewMelody) << c.what;
    }
}

TEST_F(MelodyLoading, AFileWithoutNotesIsReportedAsSuch) {
    EXPECT_EQ(loadMelody(song, 0, -1), kStatusNoNotes);
    EXPECT_EQ(loadMelody(song, 0, 16), kStatusNoNotes);
    EXPECT_EQ(loadMelody(song, 0, 0), kStatusNoNotes);
}

TEST_F(MelodyLoading, ReaderCodesPassThroughUntouched) {
    addMelody(2, kFivePitchClasses, 0, kBar / 2);
    EXPECT_EQ(loadMelody(song, kStatusSeveralChannels, 2), kStatusSeveralChannels);
    EXPECT_EQ(loadMelody(song, kStatusLoadFailed, 2), kStatusLoadFailed);
    EXPECT_EQ(song.notes.Count(2), 7); // nothing selected
}

TEST_F(MelodyLoading, TheOnlyQualifyingChannelIsTakenWithoutAsking) {
    addMelody(3, kFivePitchClasses, 0, kBar / 2);
    addProgram(3, 73);
    for (int t : {0, 5, 10})
        addNote(5, t, 48 + t); // a chord on channel 5
    addMelody(5, kFivePitchClasses, kQuarter, kBar / 2);
    song.changes = SongChange::kNewMelody;

    const MelodyChannelChoice choice = chooseMelodyChannel(song);
    ASSERT_EQ(choice.channels.size(), 1u);
    EXPECT_EQ(choice.channels[0].channel, 3);
    EXPECT_EQ(choice.channels[0].program, 73);
    EXPECT_EQ(choice.status, kStatusOk);
    EXPECT_EQ(song.notes.Count(kMelodyList), 7);
    EXPECT_EQ(song.notes.Count(5), 0);
    EXPECT_EQ(song.changes, 0);
}

TEST_F(MelodyLoading, SeveralQualifyingChannelsWaitForTheUsersChoice) {
    addMelody(1, kFivePitchClasses, 0, kBar / 2);
    addMelody(4, {72, 74, 76, 77, 79, 81, 83}, 0, kBar / 2);

    const MelodyChannelChoice choice = chooseMelodyChannel(song);
    ASSERT_EQ(choice.channels.size(), 2u);
    EXPECT_EQ(choice.channels[0].channel, 1);
    EXPECT_EQ(choice.channels[0].program, -1);
    EXPECT_EQ(choice.channels[1].channel, 4);
    EXPECT_EQ(choice.status, kStatusSeveralChannels);
    EXPECT_EQ(song.notes.Count(kMelodyList), 0); // nothing prepared yet
    EXPECT_EQ(song.notes.Count(4), 7);

    EXPECT_EQ(prepareChosenMelody(song, 4), kStatusOk);
    EXPECT_EQ(song.notes.Note(0, kMelodyList)->pitch, 72);
    EXPECT_EQ(song.chordOctave, 4);
}

TEST_F(MelodyLoading, SeveralChannelsWithNoneQualifyingEndWithAStatus) {
    addMelody(2, {60, 62, 64}, 0, kBar / 2);
    addMelody(7, {36, 38, 40, 41, 43, 45, 47}, 0, kBar / 2);
    const MelodyChannelChoice choice = chooseMelodyChannel(song);
    EXPECT_TRUE(choice.channels.empty());
    EXPECT_EQ(choice.status, kStatusNoMelodyChannel);
}

TEST_F(MelodyLoading, AChosenChannelThatDoesNotQualifyIsRefused) {
    addMelody(2, {60, 62, 64}, 0, kBar / 2);
    EXPECT_EQ(prepareChosenMelody(song, 2), kStatusTooFewNotes);
    EXPECT_EQ(prepareChosenMelody(song, 16), kStatusNoNotes);
    EXPECT_EQ(prepareChosenMelody(song, -1), kStatusNoNotes);
    EXPECT_EQ(song.notes.Count(2), 3);
}

TEST_F(MelodyLoading, AHarmonizedProjectGetsItsChordList) {
    addMelody(0, kFivePitchClasses, 0, kBar / 2);
    addProgram(4, 1);
    song.setBarCount(4);
    ASSERT_TRUE(song.MakeBarHarmony());
    song.notes.FreeList(kChordList);
    song.changes = SongChange::kMix;
    EXPECT_EQ(loadProjectMelody(song), kStatusOk);
    EXPECT_EQ(song.changes, 0);
    EXPECT_EQ(song.notes.list(kChordList).capacity(), 100u);
    EXPECT_EQ(song.channelEvents.Count(), 1);
}

TEST_F(MelodyLoading, AProjectWithoutHarmonyOrWithAWarningGetsNoChordList) {
    addMelody(0, kFivePitchClasses, 0, kBar / 2);
    EXPECT_EQ(loadProjectMelody(song), kStatusOk);
    EXPECT_EQ(song.notes.list(kChordList).capacity(), 0u);

    TSong plain;
    plain.meter() = song.meter();
    for (int i = 0; i < 8; ++i)
        plain.notes.AddNote(static_cast<std::uint8_t>(60 + i % 4), 0, 0,
                            plain.meter().ToPos(i * kBar / 2), 480,
                            static_cast<std::uint8_t>(i % 4));
    plain.setBarCount(4);
    ASSERT_TRUE(plain.MakeBarHarmony());
    plain.notes.FreeList(kChordList);
    plain.changes = SongChange::kMix;
    EXPECT_EQ(loadProjectMelody(plain), kStatusKeyNotRecognised);
    EXPECT_EQ(plain.changes, SongChange::kMix);
    EXPECT_EQ(plain.notes.list(kChordList).capacity(), 0u);
}

} // namespace
