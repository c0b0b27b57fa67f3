// Tests of the key tables, degrees, signatures, names and key statistics.

#include "alg/song/Keys.h"

#include "alg/song/TSong.h"

#include <algorithm>
#include <array>
#include <bit>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <vector>

using namespace korvanta;

namespace {

constexpr std::array<int, 7> kMajorSteps{0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kMinorSteps{0, 2, 3, 5, 7, 8, 10};
constexpr std::array<int, 7> kCMajor{0, 2, 4, 5, 7, 9, 11};

int mod12(int x) {
    return ((x % 12) + 12) % 12;
}

// Sharps of the signature of each key's major row, counted independently from
// the key order: 7, 6, 5 sharps, then 4 flats up to 4 sharps.
int sharpsOf(int key) {
    const int k = key % 12;
    return k < 3 ? 7 - k : k - 7;
}

// A major tonic lies 7 semitones up per sharp; the relative minor 9 above it.
int tonicOf(int key) {
    return mod12(7 * sharpsOf(key) + (key >= 12 ? 9 : 0));
}

std::array<std::int32_t, 12> countsOf(std::initializer_list<std::pair<int, int>> entries) {
    std::array<std::int32_t, 12> counts{};
    for (const auto& [pc, n] : entries)
        counts[static_cast<std::size_t>(pc)] = n;
    return counts;
}

TNote noteOf(int pitch, int duration) {
    TNote n;
    n.pitch = static_cast<std::uint8_t>(pitch);
    n.pitchClass = static_cast<std::uint8_t>(pitch % 12);
    n.duration = static_cast<std::uint16_t>(duration);
    return n;
}

} // namespace

TEST(Keys, EveryScaleRowIsTheMajorOrNaturalMinorScaleOfItsTonic) {
    for (int key = 0; key < kKeyCount; ++key) {
        const auto& steps = key < 12 ? kMajorSteps : kMinorSteps;
        for (int d = 0; d < 7; ++d)
            EXPECT_EQ(KeyScales[key][d], mod12(tonicOf(key) + steps[d]))
                << "key " << key << " degree " << d + 1;
    }
}

TEST(Keys, RelativeKeysShareTheirPitchClassesAndNoOtherPairDoes) {
    for (int a = 0; a < kKeyCount; ++a) {
        for (int b = a + 1; b < kKeyCount; ++b) {
            const std::set<int> sa(KeyScales[a].begin(), KeyScales[a].end());
            const std::set<int> sb(KeyScales[b].begin(), KeyScales[b].end());
            EXPECT_EQ(sa == sb, b == a + 12) << "keys " << a << " and " << b;
        }
    }
}

TEST(Keys, TonicsAreDistinctWithinEachMode) {
    std::set<int> major, minor;
    for (int k = 0; k < 12; ++k) {
        major.insert(keyTonic(k));
        minor.insert(keyTonic(k + 12));
    }
    EXPECT_EQ(major.size(), 12u);
    EXPECT_EQ(minor.size(), 12u);
    EXPECT_EQ(keyTonic(kKeyCMajor), 0);
    EXPECT_EQ(keyTonic(kKeyAMinor), 9);
}

TEST(Keys, LongNamesSpellTheTonicOfTheirRow) {
    // German spelling: H is B natural, B is B flat, -is sharp, -s/-es flat.
    const std::array<const char*, 12> german{"c",   "cis", "d",  "es", "e", "f",
                                             "fis", "g",   "as", "a",  "b", "h"};
    for (int key = 0; key < kKeyCount; ++key) {
        std::string expected = german[static_cast<std::size_t>(keyTonic(key))];
        if (key == 0) expected = "cis"; // C-sharp, not D-flat
        if (key < 12) expected[0] = static_cast<char>(expected[0] - 'a' + 'A');
        expected += key < 12 ? "-dur" : "-moll";
        EXPECT_EQ(KeyLongName(key), expected) << "key " << key;
    }
}

TEST(Keys, KeyLongNameCopiesIntoABufferAndCutsToFit) {
    std::array<char, 10> big{};
    EXPECT_EQ(KeyLongName(22, big), 8u);
    EXPECT_STREQ(big.data(), "fis-moll");
    std::array<char, 4> small{};
    EXPECT_EQ(KeyLongName(22, small), 3u);
    EXPECT_STREQ(small.data(), "fis");
    big.fill('x');
    EXPECT_EQ(KeyLongName(24, big), 0u);
    EXPECT_EQ(big[0], '\0');
    EXPECT_EQ(KeyLongName(-1), "");
}

TEST(Keys, Wrap12BringsValuesIntoOneOctave) {
    EXPECT_EQ(Wrap12(-1), 11);
    EXPECT_EQ(Wrap12(12), 0);
    EXPECT_EQ(Wrap12(-12), 0);
    EXPECT_EQ(Wrap12(23), 11);
    EXPECT_EQ(Wrap12(5), 5);
    EXPECT_EQ(Wrap12(-13), 11);
    EXPECT_EQ(Wrap12(25), 1);
}

TEST(Keys, DegreeOfTheEdgeExamples) {
    EXPECT_EQ(DegreeOf(1, kKeyCMajor), -1);
    EXPECT_EQ(DegreeOf(8, kKeyCMajor), -6);
    EXPECT_EQ(DegreeOf(10, kKeyCMajor), -7);
    EXPECT_EQ(DegreeOf(3, kKeyCMajor), -2);
    EXPECT_EQ(DegreeOf(6, kKeyCMajor), -4);
    EXPECT_EQ(DegreeOf(8, kKeyAMinor), -7);
    EXPECT_EQ(DegreeOf(6, kKeyAMinor), -6);
    EXPECT_EQ(DegreeOf(1, kKeyAMinor), -3);
    EXPECT_EQ(DegreeOf(10, kKeyAMinor), -1);
    EXPECT_EQ(DegreeOf(3, kKeyAMinor), -4);
}

TEST(Keys, DegreeOfCoversAllTwelvePitchClassesInEveryKey) {
    const std::multiset<int> majorDegrees{1, 2, 3, 4, 5, 6, 7, -1, -2, -4, -6, -7};
    const std::multiset<int> minorDegrees{1, 2, 3, 4, 5, 6, 7, -1, -3, -4, -6, -7};
    for (int key = 0; key < kKeyCount; ++key) {
        std::multiset<int> found;
        for (int pc = 0; pc < 12; ++pc) {
            const int degree = DegreeOf(pc, key);
            found.insert(degree);
            // The degree is found from the tonic alone: interval of the scale,
            // or a semitone off it in the allowed direction.
            const int interval = mod12(pc - tonicOf(key));
            const auto& steps = key < 12 ? kMajorSteps : kMinorSteps;
            if (degree > 0) {
                EXPECT_EQ(steps[static_cast<std::size_t>(degree - 1)], interval);
            } else {
                ASSERT_LT(degree, 0) << "key " << key << " pc " << pc;
                const int d = -degree - 1;
                const int shift = (key < 12 && d >= 5) ? -1 : +1;
                EXPECT_EQ(mod12(steps[static_cast<std::size_t>(d)] + shift), interval);
            }
        }
        EXPECT_EQ(found, key < 12 ? majorDegrees : minorDegrees) << "key " << key;
    }
}

TEST(Keys, DegreePitchAndDegreeOfAreInverse) {
    for (int key = 0; key < kKeyCount; ++key) {
        for (int d = 0; d < 7; ++d) {
            EXPECT_EQ(DegreeOf(DegreePitch(key, d), key), d + 1);
            if (kAllowedAlterations[static_cast<std::size_t>(keyMode(key))]
                                   [static_cast<std::size_t>(d)] != 0) {
                EXPECT_EQ(DegreeOf(AlteredDegreePitch(key, d), key), -(d + 1));
            }
        }
    }
}

TEST(Keys, RivalsFollowTheNeighbourOffsets) {
    int rival = 0;
    // C major: +1 +1 -1 +1 +1 -1 -1.
    const std::array<int, 7> cMajorRivals{1, 3, 3, 6, 8, 8, 10};
    for (int d = 0; d < 7; ++d) {
        EXPECT_EQ(DegreePitch(kKeyCMajor, d, rival), kCMajor[static_cast<std::size_t>(d)]);
        EXPECT_EQ(rival, cMajorRivals[static_cast<std::size_t>(d)]) << "degree " << d + 1;
    }
    // A minor: +1 -1 +1 +1 -1 +1 -1.
    const std::array<int, 7> aMinorRivals{10, 10, 1, 3, 3, 6, 6};
    for (int d = 0; d < 7; ++d) {
        DegreePitch(kKeyAMinor, d, rival);
        EXPECT_EQ(rival, aMinorRivals[static_cast<std::size_t>(d)]) << "degree " << d + 1;
    }
    // Every rival of a diatonic degree lies outside the key.
    for (int key = 0; key < kKeyCount; ++key)
        for (int d = 0; d < 7; ++d) {
            DegreePitch(key, d, rival);
            EXPECT_LT(DegreeOf(rival, key), 0) << "key " << key << " degree " << d + 1;
        }
}

TEST(Keys, AlteredSixthAndSeventhAndTheirRivals) {
    int rival = 0;
    EXPECT_EQ(AlteredDegreePitch(kKeyCMajor, 5, rival), 8); // A-flat
    EXPECT_EQ(rival, 9);
    EXPECT_EQ(AlteredDegreePitch(kKeyCMajor, 6, rival), 10); // B-flat
    EXPECT_EQ(rival, 11);
    EXPECT_EQ(AlteredDegreePitch(kKeyAMinor, 5, rival), 6); // F-sharp
    EXPECT_EQ(rival, 5);
    EXPECT_EQ(AlteredDegreePitch(kKeyAMinor, 6, rival), 8); // G-sharp
    EXPECT_EQ(rival, 9);
    EXPECT_EQ(AlteredDegreePitch(kKeyCMajor, 0), 1); // raised tonic, not B
    EXPECT_EQ(AlteredDegreePitch(0, 6), 11);         // C-sharp major's 7th (C) lowered wraps to B
}

TEST(Keys, OutOfRangeArgumentsGetNeutralAnswers) {
    int rival = 7;
    EXPECT_EQ(DegreePitch(24, 0, rival), -1);
    EXPECT_EQ(rival, -1);
    EXPECT_EQ(DegreePitch(-1, 0), -1);
    EXPECT_EQ(DegreePitch(7, 7), -1);
    EXPECT_EQ(AlteredDegreePitch(7, -1, rival), -1);
    EXPECT_EQ(rival, -1);
    EXPECT_EQ(DegreeOf(12, kKeyCMajor), 0);
    EXPECT_EQ(DegreeOf(-1, kKeyCMajor), 0);
    EXPECT_EQ(DegreeOf(0, 24), 0);
    EXPECT_EQ(Weight(0, 0), 0);
    EXPECT_EQ(Weight(1, 3), 0);
    EXPECT_EQ(Weight(1, -1), 0);
    EXPECT_EQ(RelatedKeys(24).dominant, -1);
    EXPECT_EQ(RelatedKeys(-5).subdominant, -1);
    EXPECT_EQ(keyMode(30), -1);
    EXPECT_EQ(keyTonic(-1), -1);
}

TEST(Keys, WeightSlotsAndWeights) {
    for (int d = 1; d <= 7; ++d)
        EXPECT_EQ(WeightSlot(d), d - 1);
    EXPECT_EQ(WeightSlot(-6), 7);
    EXPECT_EQ(WeightSlot(-7), 8);
    for (int d = -5; d <= -1; ++d)
        EXPECT_EQ(WeightSlot(d), 9);
    EXPECT_EQ(WeightSlot(0), 9);
    EXPECT_EQ(WeightSlot(8), 9);
    EXPECT_EQ(WeightSlot(-8), 9);

    EXPECT_EQ(Weight(1, 0), 6);
    EXPECT_EQ(Weight(2, 0), 2);
    EXPECT_EQ(Weight(6, 0), 3);
    EXPECT_EQ(Weight(-6, 0), 3);
    EXPECT_EQ(Weight(-7, 0), 3);
    EXPECT_EQ(Weight(-1, 0), 0);
    EXPECT_EQ(Weight(6, 1), 5);
    EXPECT_EQ(Weight(7, 1), 5);
    EXPECT_EQ(Weight(-6, 1), 0);
    EXPECT_EQ(Weight(4, 1), 0);
    EXPECT_EQ(Weight(5, 2), 5);
    EXPECT_EQ(Weight(6, 2), 0);
}

TEST(Keys, DegreeMaskBits) {
    EXPECT_EQ(DegreeMaskBit(1), 1u);
    EXPECT_EQ(DegreeMaskBit(7), 64u);
    EXPECT_EQ(DegreeMaskBit(-6), 128u);
    EXPECT_EQ(DegreeMaskBit(-7), 256u);
    EXPECT_EQ(DegreeMaskBit(-5), 0u);
    EXPECT_EQ(DegreeMaskBit(-1), 0u);
    EXPECT_EQ(DegreeMaskBit(0), 0u);
}

TEST(Keys, SignatureEdgeExamples) {
    EXPECT_EQ(KeyToSignature(0), (KeySignature{-5, 0}));
    EXPECT_EQ(KeyToSignature(2), (KeySignature{-7, 0}));
    EXPECT_EQ(KeyToSignature(12), (KeySignature{-5, 1}));
    EXPECT_EQ(KeyToSignature(kKeyAMinor), (KeySignature{0, 1}));
    EXPECT_EQ(KeyFromSignature(-5, 0), 0);
    EXPECT_EQ(KeyFromSignature(5, 0), 2);
    EXPECT_EQ(KeyFromSignature(0, 1), kKeyAMinor);
    EXPECT_EQ(KeyFromSignature(0, 0), kKeyCMajor);
}

TEST(Keys, EverySignatureOfBothModesNamesTheKeyWithItsTonic) {
    for (int mi = 0; mi <= 1; ++mi) {
        for (int sf = -7; sf <= 7; ++sf) {
            const int key = KeyFromSignature(sf, mi);
            ASSERT_TRUE(isKey(key)) << sf << "/" << mi;
            EXPECT_EQ(keyMode(key), mi) << sf << "/" << mi;
            EXPECT_EQ(keyTonic(key), mod12(7 * sf + 9 * mi)) << sf << "/" << mi;
        }
    }
}

TEST(Keys, KeyToSignatureRoundTripsAndWritesTheTonic) {
    for (int key = 0; key < kKeyCount; ++key) {
        const KeySignature sig = KeyToSignature(key);
        EXPECT_GE(sig.sf, -7);
        EXPECT_LE(sig.sf, 4);
        EXPECT_EQ(sig.mi, key / 12);
        EXPECT_EQ(mod12(7 * sig.sf + 9 * sig.mi), keyTonic(key)) << "key " << key;
        EXPECT_EQ(KeyFromSignature(sig.sf, sig.mi), key);
    }
}

TEST(Keys, InvalidSignaturesGiveCMajor) {
    EXPECT_EQ(KeyFromSignature(8, 0), kKeyCMajor);
    EXPECT_EQ(KeyFromSignature(-8, 1), kKeyCMajor);
    EXPECT_EQ(KeyFromSignature(127, 0), kKeyCMajor);
    EXPECT_EQ(KeyFromSignature(0, 2), kKeyCMajor);
    EXPECT_EQ(KeyFromSignature(3, 255), kKeyCMajor);
    EXPECT_EQ(KeyToSignature(24), (KeySignature{0, 0}));
    EXPECT_EQ(KeyToSignature(-1), (KeySignature{0, 0}));
}

TEST(Keys, RelatedKeysOfCMajorAndAMinor) {
    EXPECT_EQ(RelatedKeys(kKeyCMajor).dominant, 8);
    EXPECT_EQ(RelatedKeys(kKeyCMajor).subdominant, 6);
    EXPECT_EQ(RelatedKeys(kKeyAMinor).dominant, 11);
    EXPECT_EQ(RelatedKeys(kKeyAMinor).subdominant, 18);
}

TEST(Keys, RelatedKeysAreAFifthUpAndAFifthDownInEveryKey) {
    for (int key = 0; key < kKeyCount; ++key) {
        const RelatedKeyPair r = RelatedKeys(key);
        ASSERT_TRUE(isKey(r.dominant) && isKey(r.subdominant)) << "key " << key;
        EXPECT_FALSE(isMinorKey(r.dominant));
        EXPECT_EQ(isMinorKey(r.subdominant), isMinorKey(key));
        EXPECT_EQ(keyTonic(r.dominant), mod12(keyTonic(key) + 7));
        EXPECT_EQ(keyTonic(r.subdominant), mod12(keyTonic(key) + 5));
    }
}

TEST(Keys, PitchNamesCarryTheOctave) {
    EXPECT_EQ(PitchName(60), "C5");
    EXPECT_EQ(PitchName(69), "A5");
    EXPECT_EQ(PitchName(0), "C0");
    EXPECT_EQ(PitchName(127), "G10");
    EXPECT_EQ(PitchName(-1), "B-1");
}

TEST(Keys, FitnessAccessorsBitCopyTheFloat) {
    std::vector<std::int32_t> stats(kStatSize, 0);
    setKeyFitness(stats, 5, 0.75f);
    EXPECT_EQ(stats[kStatFitness + 5], std::bit_cast<std::int32_t>(0.75f));
    EXPECT_EQ(keyFitness(stats, 5), 0.75f);
    setKeyFitness(stats, 24, 1.0f);
    EXPECT_EQ(stats[kStatWork], 0);
    std::vector<std::int32_t> shortBlock(100, 1);
    setKeyFitness(shortBlock, 0, 1.0f);
    EXPECT_EQ(keyFitness(shortBlock, 0), 0.0f);
}

TEST(Keys, ScoreKeysFindsCMajorAndAMinorFitPerfectly) {
    const auto counts = countsOf({{0, 3}, {2, 1}, {4, 2}, {5, 1}, {7, 4}, {9, 1}, {11, 1}});
    std::array<float, kKeyCount> fitness{};
    EXPECT_EQ(ScoreKeys(counts, fitness), 2);
    EXPECT_EQ(fitness[kKeyCMajor], 1.0f);
    EXPECT_EQ(fitness[kKeyAMinor], 1.0f);
    for (int key = 0; key < kKeyCount; ++key) {
        if (key != kKeyCMajor && key != kKeyAMinor) {
            EXPECT_LT(fitness[key], 1.0f) << key;
        }
    }
    // G major misses its F-sharp against the melody's F: six of seven.
    EXPECT_FLOAT_EQ(fitness[8], 6.0f / 7.0f);
}

TEST(Keys, ScoreKeysWithAllTwelvePitchClassesFitsNoKey) {
    std::array<std::int32_t, 12> counts{};
    counts.fill(2);
    std::array<float, kKeyCount> fitness{};
    EXPECT_EQ(ScoreKeys(counts, fitness), -1);
    // Each degree shares half with its rival; the altered halves are not below 0.5.
    for (float f : fitness)
        EXPECT_FLOAT_EQ(f, 0.5f);
}

TEST(Keys, ScoreKeysCountsARareAlteredSixthForTheKey) {
    // C major with one A-flat against three Gs and three As: the A-flat is the
    // rival of both G (3/4) and A (3/4), and as the lowered 6th adds its own 1/4.
    const auto counts = countsOf({{0, 1}, {2, 1}, {4, 1}, {5, 1}, {7, 3}, {8, 1}, {9, 3}, {11, 1}});
    std::array<float, kKeyCount> fitness{};
    EXPECT_EQ(ScoreKeys(counts, fitness), -1);
    EXPECT_FLOAT_EQ(fitness[kKeyCMajor], static_cast<float>(6.75 / 7.0));
}

TEST(Keys, ScoreKeysSkipsDegreesThatNeitherOccurNorHaveARival) {
    // A harmonic minor: no G and no F-sharp, so the 7th adds nothing, and the
    // G-sharp adds its share 1/4 against three As.
    const auto counts = countsOf({{9, 3}, {11, 1}, {0, 1}, {2, 1}, {4, 1}, {5, 1}, {8, 1}});
    std::array<float, kKeyCount> fitness{};
    EXPECT_EQ(ScoreKeys(counts, fitness), -1);
    EXPECT_FLOAT_EQ(fitness[kKeyAMinor], static_cast<float>(6.25 / 7.0));
    // An empty melody fits nothing.
    std::array<std::int32_t, 12> none{};
    EXPECT_EQ(ScoreKeys(none, fitness), -1);
    EXPECT_EQ(fitness[kKeyCMajor], 0.0f);
}

TEST(Keys, ScoreKeysOverAStatisticsBlockWritesFloatsInTheFitnessSlots) {
    std::vector<std::int32_t> stats(kStatSize, 0);
    for (int pc : kCMajor)
        stats[static_cast<std::size_t>(pc)] = 1;
    stats[kStatWork] = 42;
    EXPECT_EQ(ScoreKeys(stats), 2);
    EXPECT_EQ(stats[kStatFitness + kKeyCMajor], std::bit_cast<std::int32_t>(1.0f));
    EXPECT_EQ(keyFitness(stats, kKeyAMinor), 1.0f);
    EXPECT_EQ(stats[kStatWork], 42);

    std::vector<std::int32_t> shortBlock(kStatFitness + 23, 1);
    const auto before = shortBlock;
    EXPECT_EQ(ScoreKeys(shortBlock), -1);
    EXPECT_EQ(shortBlock, before);
}

TEST(Keys, GatherKeyStatisticsFillsTheLayout) {
    TSong song;
    song.notes.Append(kMelodyList, noteOf(60, 480)); // C
    song.notes.Append(kMelodyList, noteOf(72, 240)); // C
    song.notes.Append(kMelodyList, noteOf(64, 480)); // E
    song.notes.Append(kMelodyList, noteOf(68, 120)); // G-sharp
    song.notes.Append(kChordList, noteOf(61, 999));  // not melody
    ASSERT_TRUE(GatherKeyStatistics(song));
    const auto& s = song.keyStatistics;
    ASSERT_EQ(s.size(), kStatSize);

    EXPECT_EQ(s[kStatCounts + 0], 2);
    EXPECT_EQ(s[kStatCounts + 4], 1);
    EXPECT_EQ(s[kStatCounts + 8], 1);
    EXPECT_EQ(s[kStatCounts + 1], 0);
    EXPECT_EQ(s[kStatDurations + 0], 720);
    EXPECT_EQ(s[kStatDurations + 8], 120);

    // C major: C degree 1, E degree 3, G-sharp as the lowered 6th A-flat.
    EXPECT_EQ(s[kStatDegreeMasks + kKeyCMajor], (1 << 0) | (1 << 2) | (1 << 7));
    EXPECT_EQ(s[countScoreIndex(0, kKeyCMajor)], 6 * 2 + 6 * 1 + 3 * 1);
    EXPECT_EQ(s[countScoreIndex(1, kKeyCMajor)], 5 * 2 + 5 * 1);
    EXPECT_EQ(s[durationScoreIndex(0, kKeyCMajor)], 6 * 720 + 6 * 480 + 3 * 120);
    EXPECT_EQ(s[durationScoreIndex(2, kKeyCMajor)], 5 * 720 + 5 * 480);

    // A minor: C degree 3, E degree 5, G-sharp the raised 7th.
    EXPECT_EQ(s[kStatDegreeMasks + kKeyAMinor], (1 << 2) | (1 << 4) | (1 << 8));
    EXPECT_EQ(s[countScoreIndex(0, kKeyAMinor)], 6 * 2 + 6 * 1 + 3 * 1);
    EXPECT_EQ(s[countScoreIndex(2, kKeyAMinor)], 5 * 2 + 5 * 1);

    // E major: E degree 1, G-sharp degree 3, C the lowered 6th.
    EXPECT_EQ(s[kStatDegreeMasks + 11], (1 << 0) | (1 << 2) | (1 << 7));
    EXPECT_EQ(s[durationScoreIndex(1, 11)], 5 * 480 + 5 * 120);

    // D-flat (C-sharp) major: C is degree 7, E the raised 2nd (no bit), G-sharp degree 5.
    EXPECT_EQ(s[kStatDegreeMasks + 0], (1 << 6) | (1 << 4));

    for (std::size_t i = kStatFitness; i < kStatSize; ++i)
        EXPECT_EQ(s[i], 0) << i;
}

TEST(Keys, GatherKeyStatisticsStartsFromZeroEachTime) {
    TSong song;
    song.keyStatistics.assign(kStatSize, 7);
    ASSERT_TRUE(GatherKeyStatistics(song));
    EXPECT_TRUE(std::all_of(song.keyStatistics.begin(), song.keyStatistics.end(),
                            [](std::int32_t v) { return v == 0; }));
}

TEST(Keys, GatheredDurationsSaturateInsteadOfWrapping) {
    // 40000 notes of 65535 ticks exceed the 32-bit range.
    std::vector<TNote> melody(40000, noteOf(60, 65535));
    std::array<std::int32_t, kStatSize> stats{};
    GatherKeyStatistics(melody, stats);
    EXPECT_EQ(stats[kStatCounts], 40000);
    EXPECT_EQ(stats[kStatDurations], std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(stats[durationScoreIndex(0, kKeyCMajor)], std::numeric_limits<std::int32_t>::max());
}
