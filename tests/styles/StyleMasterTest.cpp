#include "styles/StyleMaster.h"

#include "alg/song/ChordVocabulary.h"
#include "alg/song/TSong.h"
#include "styles/StyleTestSupport.h"
#include "support/SongGrid.h"

#include <gtest/gtest.h>
#include <vector>

using namespace korvanta;
using namespace korvanta::test;

namespace {

constexpr std::int16_t kC = 0x0700;  // C major triad
constexpr std::int16_t kF = 0x0600;  // F major triad
constexpr std::int16_t kG7 = 0x0801; // G7
constexpr std::int16_t kAm = 0x1300; // A minor triad

std::vector<TBarHarmony> harmonyOf(std::initializer_list<std::int16_t> chords) {
    std::vector<TBarHarmony> bars;
    for (std::int16_t c : chords) {
        TBarHarmony h;
        h.chord = c;
        h.play = 1;
        bars.push_back(h);
    }
    return bars;
}

// Pitches and start ticks of a list, in order.
struct Placed {
    int pitch;
    std::int32_t start;
    int duration;
    friend bool operator==(const Placed&, const Placed&) = default;
};
std::vector<Placed> placed(const TNotes& notes, int list = kChordList) {
    std::vector<Placed> out;
    for (int i = 0; i < notes.Count(list); ++i)
        out.push_back(
            {notes.Note(i, list)->pitch, notes.StartTick(i, list), notes.Note(i, list)->duration});
    return out;
}

// Bass on the root (octave 3), then third, fifth and the fourth tone above.
StyleRecord fourBeats() {
    return makeStyle(4, 4, {0x44, 0x22},
                     {patternEvent(1, 3, 0, 0, 0, 400, 100), patternEvent(3, 4, 0, 1, 0, 400),
                      patternEvent(5, 4, 0, 2, 0, 400), patternEvent(7, 4, 0, 3, 0, 400)});
}

} // namespace

TEST(MeterSupported, ReadsCodesFromTheLowestByteUntilOnlyZerosRemain) {
    EXPECT_TRUE(MeterSupported(0x2244, 4, 4));
    EXPECT_TRUE(MeterSupported(0x2244, 2, 2));
    EXPECT_FALSE(MeterSupported(0x2244, 3, 4));
    EXPECT_TRUE(MeterSupported(0xC8, 12, 8));
    EXPECT_TRUE(MeterSupported(0x68000034u, 6, 8)); // a zero byte inside the list
    EXPECT_FALSE(MeterSupported(0, 4, 4));
    EXPECT_FALSE(MeterSupported(0x44, 20, 4)); // beyond a byte's reach
}

TEST(ToneMap, NamesChordTonesBySelector) {
    const ToneMap c = makeToneMap(kC);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], -1);
    EXPECT_EQ(c[3], 4);
    EXPECT_EQ(c[4], 7);
    EXPECT_EQ(c[5], 7);
    EXPECT_EQ(c[6], 12); // a triad: the root an octave up
    EXPECT_EQ(c[7], 12);
    const ToneMap g7 = makeToneMap(kG7);
    EXPECT_EQ(g7[1], 7);
    EXPECT_EQ(g7[3], 11);
    EXPECT_EQ(g7[5], 2);
    EXPECT_EQ(g7[7], 5);
    const ToneMap am = makeToneMap(kAm);
    EXPECT_EQ(am[1], 9);
    EXPECT_EQ(am[3], 0);
    EXPECT_EQ(am[5], 4);
    const ToneMap none = makeToneMap(-1);
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(none[static_cast<std::size_t>(s)], -1);
}

TEST(RenderPattern, FollowsEachBarsChordWithTonesAboveTheRoot) {
    TNotes notes;
    useCommonTime(notes.meter);
    notes.CreateList(kChordList, 50);
    StyleRecord twoBars = fourBeats();
    for (PatternEvent e : fourBeats().events) {
        e.bar = 1;
        twoBars.events.push_back(e);
    }
    twoBars.setBars(2);
    const auto harmony = harmonyOf({kF, kG7});
    int bar = 0;
    EXPECT_EQ(RenderPattern(notes, harmony, bar, 2, twoBars, 48, kChordList), 8);
    EXPECT_EQ(bar, 2);
    // F: F2 bass, A3, C4 lifted above F, F4 (the root + 12 on a triad).
    // G7: G2, B3, D4 lifted, F4 lifted (the seventh).
    const std::vector<Placed> want = {{41, 0, 400},    {57, 480, 400},  {60, 960, 400},
                                      {65, 1440, 400}, {43, 1920, 400}, {59, 2400, 400},
                                      {62, 2880, 400}, {65, 3360, 400}};
    EXPECT_EQ(placed(notes), want);
    EXPECT_EQ(notes.Note(2, kChordList)->pitchClass, 0);
    EXPECT_EQ(notes.Note(0, kChordList)->velocities, 100 << 8 | 64);
}

TEST(RenderPattern, CompressesBeatsIntoAShorterMeter) {
    // A 4/4 pattern over a 3/4 bar (ratio 3/4): beat 1 of the pattern splits
    // into beat 0 plus ticks, and so on.
    TNotes notes;
    notes.meter.SetDivision(480);
    notes.meter.AddMeter(0, 3, 4);
    notes.CreateList(kChordList, 50);
    StyleRecord style = fourBeats();
    style.meters = 0x3444;
    int bar = 0;
    RenderPattern(notes, harmonyOf({kC}), bar, 1, style, 48, kChordList);
    ASSERT_EQ(notes.Count(kChordList), 4);
    EXPECT_EQ(notes.StartTick(0, kChordList), 0);
    EXPECT_EQ(notes.StartTick(1, kChordList), 480);
    EXPECT_EQ(notes.StartTick(2, kChordList), 800);
    EXPECT_EQ(notes.StartTick(3, kChordList), 1120);
    EXPECT_EQ(notes.Note(3, kChordList)->start.beat, 2);
    EXPECT_EQ(notes.Note(3, kChordList)->start.tick, 160);
}

TEST(RenderPattern, ScalesPatternTicksToTheSongsDivision) {
    TNotes notes;
    useCommonTime(notes.meter, 96);
    notes.CreateList(kChordList, 50);
    const StyleRecord style = makeStyle(
        4, 4, {0x44}, {patternEvent(1, 4, 0, 1, 240, 720), patternEvent(3, 4, 0, 3, 120, 1)});
    int bar = 0;
    RenderPattern(notes, harmonyOf({kC}), bar, 1, style, 48, kChordList);
    const std::vector<Placed> want = {{48, 96 + 48, 144}, {52, 3 * 96 + 24, 0}};
    // A one-tick pattern note becomes zero ticks at the smaller division and is
    // left out rather than placed without length.
    ASSERT_EQ(notes.Count(kChordList), 1);
    EXPECT_EQ(placed(notes)[0], want[0]);
}

TEST(RenderPattern, StopsBeforeABarThatCannotTakeThePattern) {
    StyleRecord threeBars = fourBeats();
    for (int b = 1; b < 3; ++b) {
        for (PatternEvent e : fourBeats().events) {
            e.bar = static_cast<std::uint16_t>(b);
            threeBars.events.push_back(e);
        }
    }
    threeBars.setBars(3);
    struct Case {
        const char* what;
        std::vector<TBarHarmony> harmony;
        int barCount;
        int wantBar;
        int wantNotes;
    };
    auto silent = harmonyOf({kC, kF, kC});
    silent[1].play = 0;
    const Case cases[] = {
        {"second bar has no chord", harmonyOf({kC, -1, kC}), 3, 1, 4},
        {"second bar does not play", silent, 3, 1, 4},
        {"pattern longer than the song", harmonyOf({kC, kF, kC}), 2, 2, 8},
        {"all bars take it", harmonyOf({kC, kF, kC}), 3, 3, 12},
    };
    for (const Case& c : cases) {
        TNotes notes;
        useCommonTime(notes.meter);
        notes.CreateList(kChordList, 50);
        int bar = 0;
        EXPECT_EQ(RenderPattern(notes, c.harmony, bar, c.barCount, threeBars, 48, kChordList),
                  c.wantNotes)
            << c.what;
        EXPECT_EQ(bar, c.wantBar) << c.what;
    }

    // A meter change the style does not list ends the pattern too.
    TNotes notes;
    useCommonTime(notes.meter);
    notes.meter.AddMeter(1, 3, 4);
    notes.CreateList(kChordList, 50);
    int bar = 0;
    EXPECT_EQ(RenderPattern(notes, harmonyOf({kC, kF, kC}), bar, 3, threeBars, 48, kChordList), 4);
    EXPECT_EQ(bar, 1);
}

TEST(RenderPattern, LeavesOutEventsWithoutATone) {
    TNotes notes;
    useCommonTime(notes.meter);
    notes.CreateList(kChordList, 50);
    StyleRecord style =
        makeStyle(4, 4, {0x44},
                  {patternEvent(2, 4, 0, 0, 0, 400), patternEvent(0, 4, 0, 0, 0, 400),
                   patternEvent(9, 4, 0, 0, 0, 400), patternEvent(-3, 4, 0, 1, 0, 400),
                   patternEvent(1, 20, 0, 2, 0, 400)}); // far above MIDI's range
    int bar = 0;
    EXPECT_EQ(RenderPattern(notes, harmonyOf({kC}), bar, 1, style, 48, kChordList), 1);
    EXPECT_EQ(notes.Note(0, kChordList)->pitch, 52); // -3: the third, by its absolute value
}

TEST(RenderPattern, AnUnusableStylePlacesNothingAndMovesOn) {
    TNotes notes;
    useCommonTime(notes.meter);
    notes.CreateList(kChordList, 50);
    StyleRecord style = fourBeats();
    style.ticksPerQuarter = 0;
    int bar = 0;
    EXPECT_EQ(RenderPattern(notes, harmonyOf({kC, kC}), bar, 2, style, 48, kChordList), 0);
    EXPECT_EQ(bar, 1);
}

TEST(RenderPattern, GivesAnEmptyNoteStoreTheStylesGrid) {
    TNotes notes;
    notes.CreateList(kChordList, 50);
    const StyleRecord waltz = makeStyle(3, 4, {0x34}, {patternEvent(1, 3, 0, 2, 0, 400)});
    int bar = 0;
    RenderPattern(notes, harmonyOf({kC}), bar, 1, waltz, 48, kChordList);
    EXPECT_EQ(notes.meter.ticksPerQuarter, 480);
    EXPECT_EQ(notes.meter.sixteenthTicks, 120);
    EXPECT_EQ(notes.meter.MeterAt(0).numerator, 3);
    EXPECT_EQ(notes.StartTick(0, kChordList), 960);
}

TEST(BuildPreview, PlaysThePatternOverCMajorAtTheStylesOctave) {
    StyleRecord style = fourBeats();
    style.setBaseOctave(5);
    style.ticksPerQuarter = 96;
    for (PatternEvent& e : style.events)
        e.octave = static_cast<std::int8_t>(e.octave + 1);
    TNotes notes;
    EXPECT_EQ(BuildPreview(style, notes), 4);
    EXPECT_EQ(notes.meter.ticksPerQuarter, 96);
    const std::vector<Placed> want = {{48, 0, 400}, {64, 96, 400}, {67, 192, 400}, {72, 288, 400}};
    EXPECT_EQ(placed(notes), want);
    // The preview lasts until its last note ends: 400 ticks from beat 4.
    EXPECT_EQ(notes.length, 3 * 96 + 400);

    // Patterns longer than ten bars are cut to ten.
    style.setBars(12);
    style.events.clear();
    for (int b = 0; b < 12; ++b)
        style.events.push_back(patternEvent(1, 5, b, 0, 0, 90));
    EXPECT_EQ(BuildPreview(style, notes), 10);
}

TEST(BuildChordNotes, StylePlaysExceptInTheLastMelodyBarAndForeignMeters) {
    TSong song;
    useCommonTime(song.meter());
    song.meter().AddMeter(2, 3, 4); // bar 2 in 3/4, which the style does not list
    song.meter().AddMeter(3, 4, 4);
    song.setBarCount(5);
    song.chordOctave = 4;
    // Melody notes in bars 0 and 3: bar 3 holds the last one.
    song.notes.AddNote(72, kMelodyList, 0x5040, TBarPos{0, 0, 0, 0}, 480, 0);
    song.notes.AddNote(72, kMelodyList, 0x5040, TBarPos{3, 0, 0, 0}, 480, 0);
    song.barHarmony = harmonyOf({kC, kF, kG7, kC, kF});
    song.notes.CreateList(kChordList, 50);
    const StyleRecord style = fourBeats();
    song.style = &style;

    BuildChordNotes(song);
    std::vector<int> perBar(5, 0);
    std::vector<int> heldChords(5, 0);
    for (const TNote& n : song.notes.list(kChordList)) {
        ++perBar[n.start.bar];
        if (n.velocities == kBlockChordVelocities) ++heldChords[n.start.bar];
    }
    EXPECT_EQ(perBar, (std::vector<int>{4, 4, 4, 3, 4}));
    EXPECT_EQ(heldChords, (std::vector<int>{0, 0, 4, 3, 0})); // G7 held, then C in the last bar
    // After the foreign 3/4 bar the pattern resumes: bar 4 starts with F's bass.
    const TNote* resumed = song.notes.Note(15, kChordList);
    ASSERT_NE(resumed, nullptr);
    EXPECT_EQ(resumed->start.bar, 4);
    EXPECT_EQ(resumed->pitch, 41);
}

TEST(BuildChordNotes, APatternNeverRunsIntoTheLastMelodyBar) {
    TSong song;
    useCommonTime(song.meter());
    song.setBarCount(3);
    song.chordOctave = 4;
    song.notes.AddNote(72, kMelodyList, 0x5040, TBarPos{1, 0, 0, 0}, 480, 0);
    song.barHarmony = harmonyOf({kC, kF, kC});
    song.notes.CreateList(kChordList, 50);
    StyleRecord twoBars = fourBeats();
    for (PatternEvent e : fourBeats().events) {
        e.bar = 1;
        twoBars.events.push_back(e);
    }
    song.style = &twoBars;
    BuildChordNotes(song);
    // Bar 0 from the pattern, bar 1 (last melody note) held, bar 2 the pattern again.
    std::vector<int> held(3, 0);
    for (const TNote& n : song.notes.list(kChordList))
        held[n.start.bar] += n.velocities == kBlockChordVelocities;
    EXPECT_EQ(held, (std::vector<int>{0, 3, 0}));
    EXPECT_EQ(song.notes.Count(kChordList), 4 + 3 + 4);
}

TEST(RenderPattern, EachBarUsesItsOwnMeter) {
    // A two-bar 4/4 pattern running from a 4/4 bar into a 2/2 bar: the second
    // bar's beats are halved by its own ratio, not the first bar's.
    TNotes notes;
    useCommonTime(notes.meter);
    notes.meter.AddMeter(1, 2, 2);
    notes.CreateList(kChordList, 50);
    StyleRecord twoBars = fourBeats();
    for (PatternEvent e : fourBeats().events) {
        e.bar = 1;
        twoBars.events.push_back(e);
    }
    int bar = 0;
    EXPECT_EQ(RenderPattern(notes, harmonyOf({kC, kC}), bar, 2, twoBars, 48, kChordList), 8);
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(notes.StartTick(i, kChordList), 1920 + (i - 4) * 480) << i;
}

TEST(RenderPattern, ABarWithoutANumeratorGetsNothingAndNoDivisionByZero) {
    // A meter list byte equal to a bare denominator matches a 0/4 bar.
    TNotes notes;
    notes.meter.SetDivision(480);
    notes.meter.AddEntry(TMeterChange{0, 0, 4, {0, 0}, 0, 0});
    notes.CreateList(kChordList, 50);
    StyleRecord style = fourBeats();
    style.meters = 0x04;
    int bar = 0;
    EXPECT_EQ(RenderPattern(notes, harmonyOf({kC}), bar, 1, style, 48, kChordList), 0);
    EXPECT_EQ(bar, 1);
}
