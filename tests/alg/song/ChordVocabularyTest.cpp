// Tests of chord codes, patterns, tones and names.

#include "alg/song/ChordVocabulary.h"

#include <array>
#include <gtest/gtest.h>
#include <set>
#include <vector>

using namespace korvanta;

namespace {

int mod12(int x) {
    return ((x % 12) + 12) % 12;
}

// Semitones above the root, worked out by hand for every variant.
const std::array<std::vector<int>, 5> kMajorIntervals{{
    {0, 4, 7},     // triad
    {0, 4, 7, 10}, // 7
    {0, 4, 7, 11}, // maj7
    {0, 4, 7, 9},  // 6
    {},            // unused
}};
const std::array<std::vector<int>, 5> kMinorIntervals{{
    {0, 3, 7},     // m
    {0, 3, 7, 10}, // m7
    {0, 3, 7, 9},  // m6: the raised 6th of natural minor
    {0, 3, 6, 10}, // m7b5: the raised 4th
    {0, 3, 6, 9},  // dim7: raised 4th and raised 6th
}};

std::vector<int> tonesOf(const ChordToneList& list) {
    return std::vector<int>(list.tones.begin(), list.tones.begin() + list.count);
}

} // namespace

TEST(ChordVocabulary, ExamplesOfTonesAndNames) {
    EXPECT_EQ(tonesOf(ChordTones(kKeyCMajor, 1)), (std::vector<int>{0, 4, 7, 10}));
    EXPECT_EQ(tonesOf(ChordTones(kKeyAMinor, 3)), (std::vector<int>{9, 0, 3, 7}));
    EXPECT_EQ(ChordName(0x0701), "C7");
    EXPECT_EQ(ChordName(0x1300), "Am");
    EXPECT_EQ(ChordToneNames(0x0701), " C  E  G  A# ");
    EXPECT_EQ(ChordToneNames(0x1303), " A  C  D#  G ");
}

TEST(ChordVocabulary, EveryChordsTonesMatchItsIntervalsFromTheRoot) {
    for (int root = 0; root < kKeyCount; ++root) {
        const auto& table = isMinorKey(root) ? kMinorIntervals : kMajorIntervals;
        for (int variant = 0; variant < kChordVariantCount; ++variant) {
            std::vector<int> expected;
            for (int i : table[static_cast<std::size_t>(variant)])
                expected.push_back(mod12(keyTonic(root) + i));
            EXPECT_EQ(tonesOf(ChordTones(root, variant)), expected)
                << "root " << root << " variant " << variant;
        }
    }
}

TEST(ChordVocabulary, PatternCellsOutsideTheTableAreBlank) {
    EXPECT_EQ(chordCell(kKeyAMinor, 3, 3), '-');
    EXPECT_EQ(chordCell(kKeyAMinor, 3, 7), ' ');
    EXPECT_EQ(chordCell(kKeyAMinor, 5, 0), ' ');
    EXPECT_EQ(chordCell(24, 0, 0), ' ');
}

TEST(ChordVocabulary, BaseIsAddedAfterWrapping) {
    // B major: B D# F#, wrapped to 11 3 6 before the base.
    EXPECT_EQ(tonesOf(ChordTones(2, 0, 60)), (std::vector<int>{71, 63, 66}));
    EXPECT_EQ(tonesOf(chordTonesOf(0x0701, 48)), (std::vector<int>{48, 52, 55, 58}));
}

TEST(ChordVocabulary, ToneCountsAreThreeOrFourAndNoneForTheUnusedVariant) {
    for (int root = 0; root < kKeyCount; ++root) {
        for (int variant = 0; variant < kChordVariantCount; ++variant) {
            const int count = ChordTones(root, variant).count;
            if (!isMinorKey(root) && variant == 4) {
                EXPECT_EQ(count, 0);
            } else {
                EXPECT_EQ(count, variant == 0 ? 3 : 4) << root << "/" << variant;
            }
        }
    }
}

TEST(ChordVocabulary, CodesSplitIntoRootAndVariant) {
    EXPECT_EQ(makeChordCode(kKeyCMajor, 1), 0x0701);
    EXPECT_EQ(makeChordCode(kKeyAMinor, 0), 0x1300);
    EXPECT_EQ(makeChordCode(23, 4), 0x1704);
    EXPECT_EQ(chordRoot(0x1704), 23);
    EXPECT_EQ(chordVariant(0x1704), 4);
    EXPECT_EQ(makeChordCode(24, 0), kNoChord);
    EXPECT_EQ(makeChordCode(0, 5), kNoChord);
    EXPECT_EQ(makeChordCode(-1, 0), kNoChord);
    EXPECT_EQ(chordRoot(kNoChord), -1);
    EXPECT_EQ(chordVariant(0x0705), -1);
    EXPECT_EQ(chordRoot(0x1800), -1);
}

TEST(ChordVocabulary, NamesUseSharpsAndTheSuffixOfTheMode) {
    EXPECT_EQ(ChordName(makeChordCode(kKeyCMajor, 0)), "C ");
    EXPECT_EQ(ChordName(makeChordCode(kKeyCMajor, 2)), "Cmaj7");
    EXPECT_EQ(ChordName(makeChordCode(kKeyCMajor, 3)), "C6");
    EXPECT_EQ(ChordName(makeChordCode(kKeyCMajor, 4)), "C ");
    EXPECT_EQ(ChordName(makeChordCode(5, 1)), "A#7");  // B-flat major
    EXPECT_EQ(ChordName(makeChordCode(3, 0)), "G# ");  // A-flat major
    EXPECT_EQ(ChordName(makeChordCode(12, 0)), "A#m"); // B-flat minor
    EXPECT_EQ(ChordName(makeChordCode(kKeyAMinor, 1)), "Am7");
    EXPECT_EQ(ChordName(makeChordCode(kKeyAMinor, 2)), "Am6");
    EXPECT_EQ(ChordName(makeChordCode(21, 3)), "Bm7b5");
    EXPECT_EQ(ChordName(makeChordCode(22, 4)), "F#dim7");
}

TEST(ChordVocabulary, NoChordAndInvalidCodesPrintAsADash) {
    EXPECT_EQ(ChordName(-1), " - ");
    EXPECT_EQ(ChordName(-32768), " - ");
    EXPECT_EQ(ChordName(0x1800), " - ");
    EXPECT_EQ(ChordName(0x0705), " - ");
    EXPECT_EQ(ChordName(0x7FFF), " - ");
    EXPECT_EQ(ChordToneNames(-1), "");
    EXPECT_EQ(ChordToneNames(0x0704), "");
    EXPECT_EQ(ChordTones(24, 0).count, 0);
    EXPECT_EQ(ChordTones(7, -1).count, 0);
    EXPECT_EQ(chordTonesOf(-1, 60).count, 0);
}

TEST(ChordVocabulary, EveryToneIsADegreeOfTheRootsKey) {
    // '+' cells give diatonic degrees, '-' cells altered ones.
    for (int root = 0; root < kKeyCount; ++root) {
        for (int variant = 0; variant < kChordVariantCount; ++variant) {
            const ChordToneList list = ChordTones(root, variant);
            int i = 0;
            for (int d = 0; d < kDegreeCount; ++d) {
                const char cell = chordCell(root, variant, d);
                if (cell == ' ') continue;
                const int degree = DegreeOf(list.tones[static_cast<std::size_t>(i++)], root);
                EXPECT_EQ(degree, cell == '+' ? d + 1 : -(d + 1)) << root << "/" << variant;
            }
            EXPECT_EQ(i, list.count);
        }
    }
}
