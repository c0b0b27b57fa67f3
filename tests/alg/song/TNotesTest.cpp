#include "alg/song/TNotes.h"

#include <gtest/gtest.h>

using namespace korvanta;

namespace {

// A note store at 480 ticks per quarter in 4/4 with the given melody notes,
// each (bar, beat, duration, pitch).
struct Melody {
    int bar, beat, duration, pitch;
};

TNotes makeNotes(std::initializer_list<Melody> melody) {
    TNotes n(50);
    n.meter.SetDivision(480);
    n.meter.sixteenthTicks = 120;
    n.meter.AddMeter(0, 4, 4);
    for (const Melody& m : melody) {
        n.AddNote(
            static_cast<std::uint8_t>(m.pitch), kMelodyList, 0x6400,
            TBarPos{static_cast<std::uint16_t>(m.bar), static_cast<std::uint8_t>(m.beat), 0, 0},
            static_cast<std::uint16_t>(m.duration), static_cast<std::uint8_t>(m.pitch % 12));
    }
    return n;
}

} // namespace

TEST(TNotes, AppendTracksPitchMaskAndBarCountForTheMelodyOnly) {
    TNotes n = makeNotes({{0, 0, 480, 60}, {0, 1, 480, 64}, {2, 0, 480, 67}});
    EXPECT_EQ(n.pitchMask, (1 << 0) | (1 << 4) | (1 << 7));
    EXPECT_EQ(n.CountPitchClasses(0), 3);
    EXPECT_EQ(n.CountPitchClasses(0b1111), 4);
    EXPECT_EQ(n.barCount, 3);
    n.AddNote(61, 5, 0, TBarPos{7, 0, 0, 0}, 10, 1);
    EXPECT_EQ(n.pitchMask, (1 << 0) | (1 << 4) | (1 << 7)); // other lists leave the mask alone
    EXPECT_EQ(n.barCount, 8);
    EXPECT_EQ(n.Count(5), 1);
    EXPECT_EQ(n.Note(0, 5)->list, 5);
}

TEST(TNotes, GrowsPastItsInitialCapacity) {
    TNotes n(2);
    n.meter.SetDivision(480);
    n.meter.AddMeter(0, 4, 4);
    for (int i = 0; i < 1000; ++i)
        n.AddNote(60, kMelodyList, 0, TBarPos{}, 1, 0);
    EXPECT_EQ(n.Count(kMelodyList), 1000);
    EXPECT_EQ(n.error, 0);
}

TEST(TNotes, OutOfRangeQueriesAnswerNullOrMinusOne) {
    TNotes n = makeNotes({{0, 0, 480, 60}});
    EXPECT_EQ(n.Note(1, kMelodyList), nullptr);
    EXPECT_EQ(n.Note(-1, kMelodyList), nullptr);
    EXPECT_EQ(n.Note(0, 16), nullptr);
    EXPECT_EQ(n.Count(-3), 0);
    EXPECT_EQ(n.StartTick(5, kMelodyList), -1);
    EXPECT_EQ(n.EndTick(5, kMelodyList, 0), -1);
    EXPECT_EQ(n.PitchClassOf(5, -1, kMelodyList), -1);
    EXPECT_EQ(n.PitchClassOf(0, 1, kMelodyList), -1); // exists, but not in bar 1
    EXPECT_EQ(n.PitchClassOf(0, -1, kMelodyList), 0);
    EXPECT_EQ(n.NoteInBar(0, 1, kMelodyList), nullptr);
    EXPECT_NE(n.NoteInBar(0, 0, kMelodyList), nullptr);
    EXPECT_EQ(n.Gap(3, 4, kMelodyList), 0);
}

TEST(TNotes, TicksAndGaps) {
    TNotes n = makeNotes({{0, 0, 240, 60}, {0, 2, 480, 62}, {1, 0, 960, 64}});
    n.meter.barCount = 3;
    EXPECT_EQ(n.StartTick(1, kMelodyList), 960);
    EXPECT_EQ(n.EndTick(1, kMelodyList, 0), 1440);
    EXPECT_EQ(n.EndTick(9, kMelodyList, 2), 3 * 1920); // the end of the last bar
    EXPECT_EQ(n.Gap(0, 1, kMelodyList), 720);
    EXPECT_EQ(n.Gap(1, 2, kMelodyList), 480);
    // Past the last note the end of the note store's bars stands in.
    EXPECT_EQ(n.Gap(2, 3, kMelodyList), 2 * 1920 - 1920 - 960);
}

TEST(TNotes, FirstNoteOfBarUsesTheBarTableForTheMelody) {
    TNotes n = makeNotes({{0, 0, 480, 60}, {0, 2, 480, 62}, {2, 0, 480, 64}, {3, 1, 480, 65}});
    // Without the table: the first note whose bar is at least the bar.
    EXPECT_EQ(n.FirstNoteOfBar(1, kMelodyList, false), 2);
    EXPECT_EQ(n.FirstNoteOfBar(4, kMelodyList, false), 4);
    n.barFirstNote = {0, -1, 2, 3};
    EXPECT_EQ(n.FirstNoteOfBar(2, kMelodyList, false), 2);
    EXPECT_EQ(n.FirstNoteOfBar(1, kMelodyList, false), 3); // empty bar: count - 1
    EXPECT_EQ(n.FirstNoteOfBar(1, kMelodyList, true), 2);  // skips to bar 2
}

TEST(TNotes, FindAtTickReturnsTheFirstNoteAtOrAfterTheTick) {
    TNotes n = makeNotes({{0, 0, 480, 60}, {0, 2, 480, 62}, {2, 0, 480, 64}, {3, 1, 480, 65}});
    n.length = 4 * 1920;
    n.barFirstNote = {0, -1, 2, 3};
    const TNote* found = nullptr;
    EXPECT_EQ(n.FindAtTick(0, kMelodyList, &found), 0);
    EXPECT_EQ(found, n.Note(0, kMelodyList));
    EXPECT_EQ(n.FindAtTick(500, kMelodyList), 1);
    EXPECT_EQ(n.FindAtTick(2000, kMelodyList), 2); // empty bar 1 skipped
    EXPECT_EQ(n.FindAtTick(3840 + 1, kMelodyList), 3);
    EXPECT_EQ(n.FindAtTick(5761, kMelodyList), 3);
    EXPECT_EQ(n.FindAtTick(6241, kMelodyList, &found), 4);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(n.FindAtTick(99999, kMelodyList), 4);
}

TEST(TNotes, ResetKeepsAndFreeDropsTheList) {
    TNotes n = makeNotes({{0, 0, 480, 60}});
    n.ResetList(kMelodyList);
    EXPECT_EQ(n.Count(kMelodyList), 0);
    n.AddNote(60, kChordList, 0, TBarPos{}, 1, 0);
    n.FreeList(kChordList);
    EXPECT_EQ(n.Count(kChordList), 0);
    EXPECT_EQ(n.list(kChordList).capacity(), 0u);
}

TEST(TNotes, TicksAtTheEndOfTheRangeSaturateInsteadOfOverflowing) {
    TNotes n(4);
    n.meter.SetDivision(480);
    n.meter.AddMeter(0, 255, 1); // bars of 255 whole notes
    n.AddNote(60, kMelodyList, 0, TBarPos{0xFFFF, 0, 0, 0}, 960, 0);
    n.AddNote(62, kMelodyList, 0, TBarPos{0, 0, 0, 0}, 960, 2);
    EXPECT_EQ(n.StartTick(0, kMelodyList), 2147483647);
    EXPECT_EQ(n.EndTick(0, kMelodyList, 0), 2147483647);
    EXPECT_EQ(n.Gap(1, 0, kMelodyList), 2147483647 - 960);
    EXPECT_LT(n.Gap(0, 1, kMelodyList), 0);
}
