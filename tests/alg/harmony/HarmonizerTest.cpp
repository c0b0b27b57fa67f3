// Tests of the harmony engine on small melodies in C major whose scores are
// worked out by hand in the comments. Unless a test says otherwise: 480 ticks
// per quarter, 4/4, Standard method (forward only, key-relation weight 3),
// both filters off, C major with G major marked as its dominant key and F
// major as its subdominant key.

#include "alg/harmony/Harmonizer.h"

#include "alg/harmony/ExchangeSort.h"
#include "alg/harmony/ProgressionTables.h"
#include "alg/song/MelodyChecks.h"
#include "support/SongGrid.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <initializer_list>
#include <random>
#include <thread>
#include <vector>

using namespace korvanta;

namespace {

constexpr int kQuarter = 480;
constexpr int kBar = 4 * kQuarter;
constexpr int kC = 7, kF = 6, kG = 8, kCm = 16, kGm = 17, kAm = 19, kEm = 20;
constexpr ChordCode code(int root, int variant = 0) {
    return static_cast<ChordCode>(root << 8 | variant);
}

class HarmonizerSong : public testing::Test {
protected:
    void SetUp() override {
        test::useCommonTime(song.meter(), kQuarter);
        settings.TSYmode = kTSYmodeStandard;
    }

    static void note(TSong& s, int ticks, int pitch, int duration = kQuarter) {
        s.notes.AddNote(static_cast<std::uint8_t>(pitch), kMelodyList, 0x6464,
                        s.meter().ToPos(ticks), static_cast<std::uint16_t>(duration),
                        static_cast<std::uint8_t>(pitch % 12));
    }
    void note(int ticks, int pitch, int duration = kQuarter) { note(song, ticks, pitch, duration); }
    // Four quarters filling the bar; a single pitch lasts the whole bar.
    static void bar(TSong& s, int index, std::initializer_list<int> pitches) {
        int ticks = index * kBar;
        for (const int p : pitches) {
            note(s, ticks, p, pitches.size() == 1 ? kBar : kQuarter);
            ticks += kQuarter;
        }
    }
    void bar(int index, std::initializer_list<int> pitches) { bar(song, index, pitches); }

    // Prepares the melody and makes key the main key, with its dominant and
    // subdominant keys marked.
    static void prepare(TSong& s, int key) {
        PrepareMelody(s, kMelodyList, PrepareMode::ProjectFile);
        s.keys = {TKeyEntry{static_cast<std::int16_t>(key), 0, 0}};
        s.keyMarks.fill(0);
        s.keyMarks[static_cast<std::size_t>(key)] = 4;
        const RelatedKeyPair related = RelatedKeys(key);
        s.keyMarks[static_cast<std::size_t>(related.dominant)] = 3;
        s.keyMarks[static_cast<std::size_t>(related.subdominant)] = 2;
    }
    void prepare(int key = kC) {
        prepare(song, key);
        progressions = progression::progressionTableFor(key);
    }

    std::vector<ChordCode> codes(int b) const {
        const TBarChords& r = song.barChords.at(static_cast<std::size_t>(b));
        return {r.codes, r.codes + r.mainCount + r.extraCount};
    }
    std::vector<ChordCode> mainChords(int b) const {
        const TBarChords& r = song.barChords.at(static_cast<std::size_t>(b));
        return {r.codes, r.codes + r.mainCount};
    }

    TSong song;
    HarmonySettings settings = kBuiltInHarmonySettings;
    progression::ProgressionTable progressions;
};

} // namespace

// ---- the exchange sort ----

TEST(ExchangeSort, OrdersDescendingAndReordersEqualValuesTheWayItsSwapsFall) {
    // 2a 1 2b 3: 3 is swapped to the front past 2a, and 2a then falls behind
    // 2b; a stable sort would keep 2a first.
    std::vector<int> values = {2, 1, 2, 3};
    std::vector<int> indices = {0, 1, 2, 3};
    exchangeSort(std::span<int>(values), std::span<int>(indices));
    EXPECT_EQ(values, (std::vector<int>{3, 2, 2, 1}));
    EXPECT_EQ(indices, (std::vector<int>{3, 2, 0, 1}));
}

// ---- set-up ----

TEST_F(HarmonizerSong, SongWithoutKeyGetsNoChordsAndSaysSo) {
    bar(0, {60, 64, 67, 72});
    bar(1, {62, 65, 69, 71});
    bar(2, {60, 64, 67, 72});
    prepare();
    song.keys.clear();
    Harmonizer h(song, settings, progressions);
    ASSERT_FALSE(h.failed());
    EXPECT_EQ(h.Run(), HarmonizerResult::NoKey);
    ASSERT_EQ(song.barChords.size(), 3u);
    for (const TBarChords& r : song.barChords)
        EXPECT_EQ(r.mainCount + r.extraCount, 0);
}

TEST_F(HarmonizerSong, NoteFunctionsAndCandidateFunctionsFollowTheMainKey) {
    bar(0, {60, 64, 67, 66}); // C E G F#
    bar(1, {68, 70, 61, 63}); // Ab Bb C# Eb
    bar(2, {60, 64, 67, 72});
    prepare();
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    // Flags T=1 S=2 D=4: C and E tonic, G dominant, F# (raised 4) S;
    // Ab (lowered 6) D, Bb (lowered 7) none, C# (raised 1) S+D, Eb (raised 2) S+D.
    const int flags[] = {1, 1, 4, 2, 4, 0, 6, 6};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(h.noteFunctionFlags(i), flags[i]) << "note " << i;
    EXPECT_EQ(h.candidateFunction(kC), 0);
    EXPECT_EQ(h.candidateFunction(kF), 1);
    EXPECT_EQ(h.candidateFunction(kG), 2);
    EXPECT_EQ(h.candidateFunction(kAm), 1); // minor on degree 6 of a major key
    EXPECT_EQ(h.candidateFunction(kEm), 0);
    EXPECT_EQ(h.candidateFunction(5), -1); // B-flat major: on the lowered 7th
    EXPECT_EQ(h.candidateFunction(11), 0); // E major: on degree 3
}

// ---- one bar, by hand ----

// Bar 2 of C E G C / C E G C / C E G C; three bars, so no bar is a cadence
// bar (the first one would be bar 3), and bar 2 is the last bar harmonized.
// Window: C x2, E, G. Note scores (weights 6 2 6 2 6 4 4):
//   C  C=1 E=3 G=5: 12+6+6 = 24, degrees 1 3 5 +2 = 26
//   Am C=3 E=5 G=7: 12+6+4 = 22
//   Em C=6 E=1 G=3:  8+6+6 = 20, degrees 1 3 +1 = 21
//   F  C=5 E=7 G=2: 12+4+2 = 18
//   Cm C=1 G=5, E raised 3 weighs 0: 12+6 = 18
//   G  C=4 E=6 G=1:  4+4+6 = 14
// Variants (C, E, G in turn; the degree last looked at carries over):
//   C  4 4 4 4 0 -> triad, +4
//   Am 3 3 3 3 3 -> triad, +3: G misses m7 because D (its empty fifth above)
//      is the degree left over from the triad
//   Em 2 2 2 2 2 -> triad, +2
//   F  3 3 3 4 0 -> F6, +4 (G counts through its empty fifth D)
//   Cm 3 3 4 2 3 -> Cm6, +4 (E counts through A, carried over)
//   G  2 4 2 2 0 -> best is G7, but on the dominant key that gives the
//      triad, +4
// Key relation (weight 3): C, G, F +3.
// Function bonus after bar 1's C (T): the notes are T T D T, so T weighs 1
// and D 0.5; T->T 1, T->S 4 (weight 0), T->D 3 x 0.5.
TEST_F(HarmonizerSong, ScoresOfABarFollowTheNotesVariantsKeyAndFunctions) {
    for (int b = 0; b < 3; ++b)
        bar(b, {60, 64, 67, 72});
    prepare();
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);

    EXPECT_FLOAT_EQ(h.candidateScore(kC), 26 + 4 + 3 + 1);
    EXPECT_FLOAT_EQ(h.candidateScore(kAm), 22 + 3 + 0);
    EXPECT_FLOAT_EQ(h.candidateScore(kEm), 21 + 2 + 1);
    EXPECT_FLOAT_EQ(h.candidateScore(kF), 18 + 4 + 3 + 0);
    EXPECT_FLOAT_EQ(h.candidateScore(kCm), 18 + 4 + 1);
    EXPECT_FLOAT_EQ(h.candidateScore(kG), 14 + 4 + 3 + 1.5f);
    EXPECT_EQ(h.candidateVariant(kC), 0);
    EXPECT_EQ(h.candidateVariant(kAm), 0);
    EXPECT_EQ(h.candidateVariant(kF), 3);
    EXPECT_EQ(h.candidateVariant(kCm), 2);
    EXPECT_EQ(h.candidateVariant(kG), 0);

    // Threshold trunc(0.8 x 34) = 27: C alone is a main chord.
    EXPECT_EQ(mainChords(2), (std::vector<ChordCode>{code(kC)}));
    // Bar 0 starts on beat 1: preset with the tonic, then harmonized itself.
    EXPECT_EQ(h.firstBar(), 0);
    EXPECT_EQ(h.firstCadenceBar(), 3);
    EXPECT_EQ(mainChords(0), (std::vector<ChordCode>{code(kC)}));
}

// G B D G after C: G scores 24+2 (1 3 5) + 4 (variants 4 4 4 4 0: the triad)
// + 3 (key) + T->D 3 x weight 1 (the notes are D D S D) = 36; the triad on
// the dominant key is written as its seventh.
TEST_F(HarmonizerSong, DominantKeyTriadIsWrittenAsTheSeventh) {
    bar(0, {60, 64, 67, 72});
    bar(1, {67, 71, 74, 79});
    bar(2, {60, 64, 67, 72});
    prepare();
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    EXPECT_EQ(mainChords(1), (std::vector<ChordCode>{code(kG, 1)}));
    EXPECT_EQ(ChordName(song.barChords[1].codes[0]), "G7");
}

// Bar 2: B held for three quarters (1440 > 0.4 x 1920), then D and G. Gm has
// B-flat in every variant, a semitone from the held B: no variant survives.
// C6 (the best variant of C, C E G A) keeps it: B (11) and C (0) are not
// neighbours for the filter.
TEST_F(HarmonizerSong, DissonanceFilterDropsClashingVariantsButNotBAgainstC) {
    bar(0, {60, 64, 67, 72});
    bar(1, {60, 64, 67, 72});
    note(2 * kBar, 71, 3 * kQuarter);
    note(2 * kBar + 3 * kQuarter, 74, kQuarter / 2);
    note(2 * kBar + 3 * kQuarter + kQuarter / 2, 67, kQuarter / 2);
    prepare();

    Harmonizer plain(song, settings, progressions);
    ASSERT_EQ(plain.Run(), HarmonizerResult::Done);
    EXPECT_GE(plain.candidateVariant(kGm), 0);

    settings.DSFilter = true;
    Harmonizer filtered(song, settings, progressions);
    ASSERT_EQ(filtered.Run(), HarmonizerResult::Done);
    EXPECT_EQ(filtered.candidateVariant(kGm), -1);
    EXPECT_EQ(filtered.candidateVariant(kC), 3);
    EXPECT_EQ(filtered.candidateVariant(kG), plain.candidateVariant(kG));
}

// ---- cadences ----

class HarmonizerPhrase : public HarmonizerSong {
protected:
    void build(int lastPitch) {
        bar(0, {60, 64, 67, 72});
        bar(1, {65, 69, 72, 69});
        bar(2, {67, 71, 67, 74});
        note(3 * kBar, lastPitch, kBar);
        prepare();
    }
};

// Bar 3 holds its note for the whole bar: mark 1, a cadence bar. Its window
// looks back only: C, then D and G of bar 2. Variants 2-4 are dropped.
//   C  14 (C=1 D=2 G=5) + 2 (triad) + 3 (key) + D->T 4 = 23
//   Cm 14 + 2 + 0 + 4 = 20
// The anchor C is held (QuantUnit 64 >= 16) and comes from D (degree 2):
// tonic chords on degree 1 get 3, every other candidate drops to 0.
// Threshold trunc(0.8 x 26) = 20: C and Cm are the main chords. The filling
// step adds G7 and F (C is there already).
TEST_F(HarmonizerPhrase, HeldTonicAfterTheSecondDegreeClosesOnTheTonicChords) {
    build(72);
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    EXPECT_EQ(song.barChords[3].cadenceMark, kMarkLongNote);
    EXPECT_EQ(h.anchorNote(3), 12);
    EXPECT_EQ(h.lastAnchorBar(), 3);
    EXPECT_FLOAT_EQ(h.candidateScore(kC), 26);
    EXPECT_FLOAT_EQ(h.candidateScore(kCm), 23);
    for (int j = 0; j < 24; ++j) {
        if (j != kC && j != kCm) {
            EXPECT_EQ(h.candidateScore(j), 0) << "candidate " << j;
        }
    }
    EXPECT_EQ(mainChords(2), (std::vector<ChordCode>{code(kG, 1)}));
    const std::vector<ChordCode> last = codes(3);
    ASSERT_GE(last.size(), 4u);
    EXPECT_EQ(song.barChords[3].mainCount, 2);
    EXPECT_EQ(std::vector<ChordCode>(last.begin(), last.begin() + 4),
              (std::vector<ChordCode>{code(kC), code(kCm), code(kG, 1), code(kF)}));
}

// A held F-sharp is an altered degree: no cadence row applies, every score
// of the cadence bar becomes 0, and the bar has no chord of its own; the
// filling step still offers the tonic, the dominant seventh and the
// subdominant, then borrows from bar 2.
TEST_F(HarmonizerPhrase, BarWhereEveryCandidateScoresZeroGetsOnlyFilledChords) {
    build(66);
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    for (int j = 0; j < 24; ++j)
        EXPECT_EQ(h.candidateScore(j), 0) << "candidate " << j;
    const TBarChords& r = song.barChords[3];
    EXPECT_EQ(r.mainCount, 0);
    ASSERT_GE(r.extraCount, 3);
    EXPECT_EQ(r.codes[0], code(kC));
    EXPECT_EQ(r.codes[1], code(kG, 1));
    EXPECT_EQ(r.codes[2], code(kF));
    ASSERT_TRUE(song.MakeBarHarmony());
    EXPECT_EQ(song.BarChord(3), -1);
    EXPECT_EQ(song.BarChord(2), code(kG, 1));
}

// Advanced method: the last anchor is bar 3, so the bars are harmonized from
// 3 down to 0 and nothing follows; bar 0 is the last one scored. Its previous
// chord is bar 1's F (S), and the backward form scores transition(f, S):
//   C  26 + 4 + 2 (key, weight 2) + T->S 4 x 1 = 36
//   Em 21 + 2 + T->S 4 = 27
//   G  14 + 4 + 2 + D->S 2 x 0.5 = 21
// (the forward form would give 35, 26 and 22).
TEST_F(HarmonizerPhrase, AdvancedMethodHarmonizesBackwardFromTheLastAnchor) {
    build(72);
    settings.TSYmode = kTSYmodeAdvanced;
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    EXPECT_EQ(h.keyRelationWeight(), 2);
    EXPECT_EQ(mainChords(1).at(0), code(kF));
    EXPECT_FLOAT_EQ(h.candidateScore(kC), 36);
    EXPECT_FLOAT_EQ(h.candidateScore(kEm), 27);
    EXPECT_FLOAT_EQ(h.candidateScore(kG), 21);
    EXPECT_EQ(mainChords(0).at(0), code(kC));
}

// Twelve bars of legato quarters; bars 3 and 7 end with a quarter rest. The
// search at bar 3 finds rule 1 (a rest of a sixteenth or more) there and in
// bar 7 (= 3 + 4): mark 2 both. At bar 11 rule 1 measures the third note's
// rest to the next bar (the last note of the melody is not scanned), marks
// it too, and bars past the end count as found.
TEST_F(HarmonizerSong, CadenceSearchEveryEightBarsMarksRuleOneBars) {
    const std::initializer_list<int> notes = {60, 62, 64, 65};
    for (int b = 0; b < 12; ++b) {
        if (b == 3 || b == 7) {
            bar(b, {67, 65, 64});
        } else {
            bar(b, notes);
        }
    }
    prepare();
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    for (int b = 0; b < 12; ++b) {
        const int expected = b == 3 || b == 7 || b == 11 ? 2 : 0;
        EXPECT_EQ(song.barChords[static_cast<std::size_t>(b)].cadenceMark, expected) << "bar " << b;
    }
    EXPECT_EQ(h.anchorNote(3), 3 * 4 + 2);
    EXPECT_EQ(h.anchorNote(7), 7 * 4 - 1 + 2);
    EXPECT_EQ(h.lastAnchorBar(), 11);
}

// ---- upbeat, limits, filling ----

// First note on beat 4 of bar 0: the upbeat (1440) is over half the bar, so
// cadences start at bar 1 + 3. Bar 0 is not harmonized; it receives the
// tonic, dominant seventh and subdominant, then bar 1's chords.
TEST_F(HarmonizerSong, UpbeatBarGetsOnlyTheFilledChords) {
    note(3 * kQuarter, 67);
    bar(1, {60, 64, 67, 72});
    bar(2, {67, 71, 74, 79});
    bar(3, {60, 64, 67, 72});
    prepare();
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    EXPECT_EQ(h.upbeat(), 3 * kQuarter);
    EXPECT_EQ(h.firstBar(), 0);
    EXPECT_EQ(h.firstCadenceBar(), 4);
    const TBarChords& r = song.barChords[0];
    EXPECT_EQ(r.mainCount, 0);
    ASSERT_GE(r.extraCount, 3);
    EXPECT_EQ(r.codes[0], code(kC));
    EXPECT_EQ(r.codes[1], code(kG, 1));
    EXPECT_EQ(r.codes[2], code(kF));
    EXPECT_EQ(mainChords(1).at(0), code(kC));
}

// With no additional chords allowed, scoring writes main chords only; the
// filling step adds G7 and F to bar 0 and borrows exactly one code (limit
// tested after the append) from bar 1, whose first chord is Am.
TEST_F(HarmonizerSong, NoAdditionalChordsStillFillsAndBorrowsOne) {
    bar(0, {60, 64, 67, 72});
    bar(1, {69, 72, 76, 81});
    bar(2, {60, 64, 67, 72});
    prepare();
    settings.MaxNumCustomChords = 0;
    Harmonizer h(song, settings, progressions);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    ASSERT_EQ(mainChords(1).at(0), code(kAm));
    EXPECT_EQ(codes(0), (std::vector<ChordCode>{code(kC), code(kG, 1), code(kF), code(kAm)}));
}

// A settings store can hold more than the dialog's 9; a record holds 12 codes.
TEST_F(HarmonizerPhrase, AdditionalChordLimitAboveNineNeverOverflowsARecord) {
    build(72);
    settings.MaxNumCustomChords = 40;
    Harmonizer h(song, settings, progressions);
    EXPECT_EQ(h.additionalChordLimit(), 9);
    ASSERT_EQ(h.Run(), HarmonizerResult::Done);
    for (const TBarChords& r : song.barChords) {
        EXPECT_LE(r.mainCount, 3);
        EXPECT_LE(r.extraCount, 9);
        EXPECT_LE(r.mainCount + r.extraCount, TBarChords::kCapacity);
    }
    // The cadence bar borrowed up to the limit: 2 main, 9 additional.
    EXPECT_EQ(song.barChords[3].extraCount, 9);
}

// ---- independence ----

namespace {

// Every bar's chords, main and additional.
std::vector<std::vector<ChordCode>> chordsOf(const TSong& s) {
    std::vector<std::vector<ChordCode>> chords;
    for (const TBarChords& r : s.barChords)
        chords.emplace_back(r.codes, r.codes + r.mainCount + r.extraCount);
    return chords;
}

// A phrase in C major and one in G minor, harmonized with the unusual-chord
// filter, which asks the progressions of the main key.
class HarmonizerTwoSongs : public HarmonizerSong {
protected:
    void SetUp() override {
        HarmonizerSong::SetUp();
        settings.CSFilter = true;
        for (TSong* s : {&cMajor, &gMinor})
            test::useCommonTime(s->meter(), kQuarter);
        const std::initializer_list<int> inC[] = {
            {60, 64, 67, 72}, {65, 69, 72, 69}, {67, 71, 74, 79}, {64, 67, 72, 64},
            {62, 65, 69, 62}, {67, 71, 74, 77}, {60, 64, 67, 64}, {72}};
        const std::initializer_list<int> inGm[] = {
            {55, 58, 62, 67}, {60, 63, 67, 63}, {62, 66, 69, 74}, {55, 58, 62, 58},
            {63, 67, 70, 67}, {60, 63, 67, 60}, {62, 66, 69, 72}, {67}};
        for (int b = 0; b < 8; ++b) {
            bar(cMajor, b, inC[b]);
            bar(gMinor, b, inGm[b]);
        }
        prepare(cMajor, kC);
        prepare(gMinor, kGm);
    }

    // The chords of s harmonized on its own with the given progressions.
    std::vector<std::vector<ChordCode>> alone(TSong& s, int progressionKey) const {
        Harmonizer h(s, settings, progression::progressionTableFor(progressionKey));
        EXPECT_EQ(h.Run(), HarmonizerResult::Done);
        return chordsOf(s);
    }

    TSong cMajor;
    TSong gMinor;
};

} // namespace

TEST_F(HarmonizerTwoSongs, ProgressionsOfTheMainKeyDecideTheFilteredChords) {
    // Each song read with the other's progressions gets other chords: what
    // a run is given matters, so a table left over from another song would show.
    EXPECT_NE(alone(cMajor, kC), alone(cMajor, kGm));
    EXPECT_NE(alone(gMinor, kGm), alone(gMinor, kC));
}

TEST_F(HarmonizerTwoSongs, HarmonizersOfSongsInDifferentKeysDoNotInterfere) {
    const auto expectedC = alone(cMajor, kC);
    const auto expectedGm = alone(gMinor, kGm);

    // Built one after the other, then run in turns.
    Harmonizer inC(cMajor, settings, progression::progressionTableFor(kC));
    Harmonizer inGm(gMinor, settings, progression::progressionTableFor(kGm));
    ASSERT_EQ(inGm.Run(), HarmonizerResult::Done);
    ASSERT_EQ(inC.Run(), HarmonizerResult::Done);
    EXPECT_EQ(chordsOf(gMinor), expectedGm);
    EXPECT_EQ(chordsOf(cMajor), expectedC);
    ASSERT_EQ(inGm.Run(), HarmonizerResult::Done);
    EXPECT_EQ(chordsOf(gMinor), expectedGm);
    EXPECT_EQ(inC.progressionTable().mainKey, kC);
    EXPECT_EQ(inGm.progressionTable().mainKey, kGm);
}

TEST_F(HarmonizerTwoSongs, HarmonizersOfDifferentSongsRunSideBySide) {
    const auto expectedC = alone(cMajor, kC);
    const auto expectedGm = alone(gMinor, kGm);

    constexpr int kRounds = 50;
    auto harmonize = [this](TSong& s, int key, const auto& expected, int& same) {
        for (int round = 0; round < kRounds; ++round) {
            Harmonizer h(s, settings, progression::progressionTableFor(key));
            if (h.Run() == HarmonizerResult::Done && chordsOf(s) == expected) ++same;
        }
    };
    int sameC = 0;
    int sameGm = 0;
    std::thread other([&] { harmonize(gMinor, kGm, expectedGm, sameGm); });
    harmonize(cMajor, kC, expectedC, sameC);
    other.join();
    EXPECT_EQ(sameC, kRounds);
    EXPECT_EQ(sameGm, kRounds);
}

// ---- robustness ----

// Random melodies with rests, empty bars, one-note bars, zero durations and
// long notes: every run ends, records stay well formed, and a second run
// gives the same chords.
TEST_F(HarmonizerSong, AnyPreparedMelodyGivesWellFormedRepeatableChords) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        TSong s;
        s.meter() = song.meter();
        const int bars = 3 + static_cast<int>(random() % 40);
        int ticks = static_cast<int>(random() % kBar);
        while (ticks < bars * kBar) {
            const int pitch = 55 + static_cast<int>(random() % 24);
            const int kind = static_cast<int>(random() % 10);
            const int duration = kind == 0 ? 0 : kind == 1 ? 2 * kBar : 120 * (1 + random() % 8);
            s.notes.AddNote(static_cast<std::uint8_t>(pitch), kMelodyList, 0x6464,
                            s.meter().ToPos(ticks), static_cast<std::uint16_t>(duration),
                            static_cast<std::uint8_t>(pitch % 12));
            ticks += kind == 2 ? 3 * kBar : std::max(duration, 60);
        }
        PrepareMelody(s, kMelodyList, PrepareMode::ProjectFile);
        const int key = static_cast<int>(random() % 24);
        s.keys = {TKeyEntry{static_cast<std::int16_t>(key), 0, 0}};
        s.keyMarks.fill(0);
        s.keyMarks[static_cast<std::size_t>(key)] = 4;
        HarmonySettings options = settings;
        options.TSYmode = static_cast<std::uint8_t>(round % 2);
        options.CSFilter = round % 3 == 0;
        options.DSFilter = round % 4 == 0;

        Harmonizer h(s, options, progression::progressionTableFor(key));
        ASSERT_EQ(h.Run(), HarmonizerResult::Done) << "round " << round;
        const std::vector<TBarChords> first = s.barChords;
        ASSERT_EQ(h.Run(), HarmonizerResult::Done);
        for (std::size_t b = 0; b < first.size(); ++b) {
            const TBarChords& r = s.barChords[b];
            ASSERT_LE(r.mainCount, 3);
            ASSERT_LE(r.mainCount + r.extraCount, TBarChords::kCapacity);
            for (int k = 0; k < r.mainCount + r.extraCount; ++k)
                ASSERT_TRUE(isChordCode(r.codes[k])) << "round " << round << " bar " << b;
            ASSERT_EQ(std::memcmp(&r, &first[b], sizeof r), 0) << "round " << round << " bar " << b;
        }
    }
}
