#include "alg/song/TSong.h"

#include "styles/StyleMaster.h"

#include <gtest/gtest.h>

using namespace korvanta;

namespace {

TSongEvent channelEvent(std::uint8_t status, std::uint8_t b0, std::uint8_t b1 = 0) {
    TSongEvent e;
    e.type = status;
    e.value = packEventBytes(b0, b1);
    return e;
}

} // namespace

TEST(TSong, StartsWithTheDefaults) {
    TSong s;
    EXPECT_EQ(s.format, 1);
    EXPECT_EQ(s.ticksPerQuarter, 480);
    EXPECT_EQ(s.chordOctave, 255);
    EXPECT_EQ(s.keyCount(), 0);
    EXPECT_EQ(s.notes.upbeat, -1);
    EXPECT_GE(s.notes.list(kMelodyList).capacity(), 50u);
}

TEST(TSong, QueryMetaFallsBackToDefaults) {
    TSong s;
    s.meter().SetDivision(480);
    s.meter().AddMeter(0, 4, 4);
    EXPECT_EQ(s.QueryMeta(kMetaTempo), 500000);
    EXPECT_EQ(s.QueryMeta(kMetaTempo, 60), 120);
    std::int32_t out[2] = {0, 0};
    s.QueryMeta(kMetaTimeSignature, 0, out);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 4);
    EXPECT_EQ(s.QueryMeta(kMetaKeySignature), 7); // C major
    EXPECT_EQ(s.QueryMeta(0xC3, 0), -1);          // no program on channel 3
}

TEST(TSong, QueryMetaReadsStoredEvents) {
    TSong s;
    s.meter().SetDivision(480);
    s.meter().AddMeter(0, 4, 4);
    s.SetEvent(kMetaTempo, 0, 400000, 0, 0, 0);
    s.SetEvent(kMetaTimeSignature, 0, packEventBytes(6, 8, 24, 8), 0, 0, 0);
    s.SetEvent(kMetaKeySignature, 0, packEventBytes(static_cast<std::uint8_t>(-3), 1), 0, 0, 0);
    s.channelEvents.Append(channelEvent(0xC3, 40));
    s.channelEvents.Append(channelEvent(0xB3, 10, 64));
    s.channelEvents.Append(channelEvent(0xB3, 7, 99));
    EXPECT_EQ(s.QueryMeta(kMetaTempo, 60), 150);
    std::int32_t out[2] = {0, 0};
    s.QueryMeta(kMetaTimeSignature, 0, out);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[1], 8);
    EXPECT_EQ(s.QueryMeta(kMetaKeySignature, 0, out), 16); // three flats, minor: C minor
    EXPECT_EQ(out[0], -3);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(s.QueryMeta(0xC3, 0), 40);
    EXPECT_EQ(s.QueryMeta(0xB3, 7), 99);
}

TEST(TSong, ATempoOfZeroDoesNotDivideByZero) {
    TSong s;
    s.SetEvent(kMetaTempo, 0, 0, 0, 0, 0);
    EXPECT_EQ(s.QueryMeta(kMetaTempo, 60), 120);
}

TEST(TSong, SetEventChangesAnExistingEventOrInsertsFirst) {
    TSong s;
    s.meter().SetDivision(480);
    s.meter().AddMeter(0, 4, 4);
    s.metaEvents.Append(TSongEvent{kMetaKeySignature, {}, 0, 0, 0, 0, 0, 0, {}});
    s.SetEvent(kMetaTempo, 0, 600000, 0, 0, 1920 + 480);
    ASSERT_EQ(s.metaEvents.Count(), 2);
    EXPECT_EQ(s.metaEvents.At(0)->type, kMetaTempo);
    EXPECT_EQ(s.metaEvents.At(0)->position(), (TBarPos{1, 1, 0, 0}));
    EXPECT_EQ(s.metaEvents.TickOf(0), 2400);
    s.SetEvent(kMetaTempo, 0, 700000, 3, 0, 0);
    ASSERT_EQ(s.metaEvents.Count(), 2);
    EXPECT_EQ(s.metaEvents.At(0)->value, 700000u);
    EXPECT_EQ(s.metaEvents.At(0)->value2, 3);
    EXPECT_EQ(s.metaEvents.At(0)->position(), (TBarPos{1, 1, 0, 0})); // position kept
}

TEST(TSong, KeepChannelEventsFiltersAndRenumbers) {
    TSong s;
    s.channelEvents.Append(channelEvent(0xC2, 5));
    s.channelEvents.Append(channelEvent(0xB3, 7, 100));
    s.channelEvents.Append(channelEvent(0xD3, 20));
    s.channelEvents.Append(channelEvent(0xC3, 73));
    s.KeepChannelEvents(3, 0);
    ASSERT_EQ(s.channelEvents.Count(), 3);
    EXPECT_EQ(s.channelEvents.At(0)->type, 0xB0);
    EXPECT_EQ(s.channelEvents.At(1)->type, 0xD0);
    EXPECT_EQ(s.channelEvents.At(2)->type, 0xC0);
    EXPECT_EQ(s.QueryMeta(0xC0, 0), 73);
}

TEST(TSong, FlagsSetClearAndTest) {
    TSong s;
    s.SetFlags(SongChange::kNewMelody | SongChange::kStyle, true);
    EXPECT_TRUE(s.TestFlags(SongChange::kUnsavedMask));
    s.SetFlags(SongChange::kStyle, false);
    EXPECT_FALSE(s.TestFlags(SongChange::kUnsavedMask));
    EXPECT_TRUE(s.TestFlags(SongChange::kNewMelody));
    s.SetFlags(0, true);
    EXPECT_EQ(s.changes, 0);
}

TEST(TSong, BarHarmonyTakesTheFirstCandidate) {
    TSong s;
    s.setBarCount(3);
    ASSERT_TRUE(s.MakeBarChords());
    s.barChords[0] = TBarChords{2, 1, {0x0700, 0x0800, 0x1300}, 0, 0};
    s.barChords[2] = TBarChords{0, 2, {0x0600, 0x0601}, 0, 0};
    ASSERT_TRUE(s.MakeBarHarmony());
    EXPECT_EQ(s.BarChord(0), 0x0700);
    EXPECT_EQ(s.BarChord(1), -1);
    EXPECT_EQ(s.BarChord(2), -1); // only a second group: no chord
    EXPECT_EQ(s.BarChord(3), -1);
    EXPECT_EQ(s.barHarmony[1].play, 1);
    EXPECT_EQ(s.barHarmony[0].style, -1);

    EXPECT_EQ(s.BarCandidate(0, 1), 0x0800);
    EXPECT_EQ(s.BarCandidate(0, 2), 0x1300); // plain indexes run on into the second group
    EXPECT_EQ(s.BarCandidate(0, -1), 0x1300);
    EXPECT_EQ(s.BarCandidate(0, -2), -1);
    EXPECT_EQ(s.BarCandidate(0, 3), -1);
    EXPECT_EQ(s.BarCandidate(2, -2), 0x0601);
    EXPECT_EQ(s.BarCandidate(7, 0), -1);

    s.SetBarChord(1, 0x0900);
    s.SetBarChord(3, 0x0900); // past the bars: ignored
    s.SetBarPlay(0, 0);
    EXPECT_EQ(s.BarChord(1), 0x0900);
    EXPECT_EQ(s.barHarmony[0].play, 0);

    s.ClampSecondGroups(0);
    EXPECT_EQ(s.barChords[0].extraCount, 0);
    EXPECT_EQ(s.BarCandidate(0, -1), -1);
}

TEST(TSong, ClearAnalysisDropsDerivedData) {
    TSong s;
    s.setBarCount(2);
    s.MakeBarChords();
    s.MakeBarHarmony();
    s.keys.push_back(TKeyEntry{7, 0, 0});
    s.keyStatistics.assign(kKeyStatisticsSize, 0);
    s.text = "comment";
    s.ClearAnalysis();
    EXPECT_TRUE(s.barChords.empty());
    EXPECT_TRUE(s.barHarmony.empty());
    EXPECT_EQ(s.keyCount(), 0);
    EXPECT_TRUE(s.keyStatistics.empty());
    EXPECT_TRUE(s.text.empty());
}

TEST(TSong, MelodyStartTickOfMinusOneIsABarStart) {
    TSong s;
    s.meter().SetDivision(480);
    s.meter().AddMeter(0, 3, 4);
    s.setBarCount(4);
    EXPECT_EQ(s.MelodyStartTick(-1, 2), 2880);
    EXPECT_EQ(s.MelodyStartTick(-1, -1), 4 * 1440);
}

TEST(TSong, BuildChordNotesRendersBlockChordsAboveTheChordOctave) {
    TSong s;
    s.meter().SetDivision(480);
    s.meter().AddMeter(0, 4, 4);
    s.meter().AddMeter(2, 3, 4);
    s.setBarCount(4);
    s.chordOctave = 4;
    s.notes.savedLength = 1000;
    ASSERT_TRUE(s.MakeBarChords());
    ASSERT_TRUE(s.MakeBarHarmony());
    s.SetBarChord(0, 0x0700); // C
    s.SetBarChord(1, 0x0801); // G7
    s.SetBarPlay(1, 0);       // muted: nothing
    s.SetBarChord(2, 0x1300); // Am, in a 3/4 bar
    EXPECT_EQ(BuildChordNotes(s), 6);
    const auto& chord = s.notes.list(kChordList);
    ASSERT_EQ(chord.size(), 6u);
    EXPECT_EQ(chord[0].pitch, 48);
    EXPECT_EQ(chord[1].pitch, 52);
    EXPECT_EQ(chord[2].pitch, 55);
    EXPECT_EQ(chord[0].duration, 1910);
    EXPECT_EQ(chord[0].velocities, kBlockChordVelocities);
    EXPECT_EQ(chord[3].start, (TBarPos{2, 0, 0, 0}));
    EXPECT_EQ(chord[3].pitch, 48 + 9); // A C E
    EXPECT_EQ(chord[4].pitch, 48);
    EXPECT_EQ(chord[5].pitch, 52);
    EXPECT_EQ(chord[3].duration, 1430);
    // The song now ends with the last chord.
    EXPECT_EQ(s.notes.length, 2 * 1920 + 1430);

    // A second build starts afresh; without chords the length is the melody's.
    for (TBarHarmony& h : s.barHarmony)
        h.chord = -1;
    EXPECT_EQ(BuildChordNotes(s), 0);
    EXPECT_EQ(s.notes.length, 1000);
}

TEST(TSong, BuildChordNotesWithoutHarmonyDoesNothing) {
    TSong s;
    EXPECT_EQ(BuildChordNotes(s), 0);
}

TEST(TSong, TempoInBeatsPerMinuteIsRoundedNotCut) {
    EXPECT_EQ(beatsPerMinute(666667), 90); // 89.99...
    EXPECT_EQ(beatsPerMinute(500000), 120);
    EXPECT_EQ(beatsPerMinute(631579), 95); // 94.99...
    EXPECT_EQ(beatsPerMinute(0), 0);
    EXPECT_EQ(beatsPerMinute(-5), 0);
    TSong s;
    s.meter().SetDivision(480);
    s.meter().AddMeter(0, 4, 4);
    s.SetEvent(kMetaTempo, 0, 666667, 0, 0, 0);
    EXPECT_EQ(s.QueryMeta(kMetaTempo, 60), 90);
}
