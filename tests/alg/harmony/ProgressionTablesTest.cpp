// Tests of the chord progression tables: their contents entry by entry, the
// known-chord and known-move queries and the table of a main key.

#include "alg/harmony/ProgressionTables.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace korvanta::progression {
namespace {

// Entries written out by hand: degree << 16 | 0x100 for minor | variant.
constexpr Entry kI = 0x10000;
constexpr Entry kI7 = 0x10001;
constexpr Entry kIm = 0x10100;
constexpr Entry kIIm7 = 0x20101;
constexpr Entry kIIIm7 = 0x30101;
constexpr Entry kIV = 0x40000;
constexpr Entry kV = 0x50000;
constexpr Entry kV6 = 0x50003;
constexpr Entry kV7 = 0x50001;
constexpr Entry kVI = 0x60000;
constexpr Entry kAltII6 = 0x90003;

TEST(ProgressionTables, HaveSixtyMajorAndFiftyFourMinorRows) {
    EXPECT_EQ(rows(Table::Major).size(), 60u);
    EXPECT_EQ(rows(Table::Minor).size(), 54u);
}

TEST(ProgressionTables, EveryRowHoldsThreeOrFourValidChordsThenBlanks) {
    for (const Table table : {Table::Major, Table::Minor}) {
        int number = 0;
        for (const Row& row : rows(table)) {
            ++number;
            SCOPED_TRACE(testing::Message()
                         << (table == Table::Major ? "major" : "minor") << " row " << number);
            ASSERT_TRUE(row.count == 3 || row.count == 4);
            for (int i = 0; i < row.count; ++i) {
                const Entry entry = row.entries[i];
                EXPECT_TRUE(isValidEntry(entry));
                EXPECT_GE(entryDegree(entry), 1);
                EXPECT_LE(entryDegree(entry), 14);
                // Major variant 4 has no chord tones and never names a chord.
                EXPECT_LE(entryVariant(entry), entryIsMinor(entry) ? 4 : 3);
            }
            for (int i = row.count; i < kMaxRowLength; ++i)
                EXPECT_EQ(row.entries[i], kBlank);
        }
    }
}

TEST(ProgressionTables, HaveNoRowTwice) {
    for (const Table table : {Table::Major, Table::Minor}) {
        std::set<std::vector<Entry>> seen;
        for (const Row& row : rows(table)) {
            const std::vector<Entry> chords(row.chords().begin(), row.chords().end());
            EXPECT_TRUE(seen.insert(chords).second) << "repeated row starting " << chords[0];
        }
    }
}

TEST(ProgressionTables, OpenEveryRowWithItsListedChord) {
    // Row openers as listed: major rows 1-40 start on I, 41-51 on IV, 52-60 on V7;
    // minor rows 1-16 on Im, 17-23 on altI, 24-32 on III, 33-36 on IVm, 37-38 on IV7,
    // 39-43 on V7, 44-49 on VI, 50-53 on VII, 54 on VIIm.
    auto opener = [](Table table, int number) { return rows(table)[number - 1].entries[0]; };
    for (int n = 1; n <= 60; ++n) {
        const Entry expected = n <= 40 ? kI : n <= 51 ? kIV : kV7;
        EXPECT_EQ(opener(Table::Major, n), expected) << "major row " << n;
    }
    const std::vector<std::pair<int, Entry>> minorOpeners = {
        {16, kIm}, {23, 0x80000}, {32, 0x30000}, {36, 0x40100}, {38, 0x40001},
        {43, kV7}, {49, kVI},     {53, 0x70000}, {54, 0x70100}};
    int n = 1;
    for (const auto& [last, entry] : minorOpeners) {
        for (; n <= last; ++n)
            EXPECT_EQ(opener(Table::Minor, n), entry) << "minor row " << n;
    }
}

TEST(ProgressionEntries, AreBuiltOnlyFromDegreesAndVariantsInRange) {
    EXPECT_EQ(makeEntry(5, false, 1), kV7);
    EXPECT_EQ(makeEntry(14, true, 4), 0xE0104);
    EXPECT_EQ(makeEntry(0, false, 0), kNoEntry);
    EXPECT_EQ(makeEntry(15, false, 0), kNoEntry);
    EXPECT_EQ(makeEntry(1, false, 5), kNoEntry);
    EXPECT_EQ(makeEntry(1, true, -1), kNoEntry);
    EXPECT_EQ(tableDegree(3), 3);
    EXPECT_EQ(tableDegree(-1), 8);
    EXPECT_EQ(tableDegree(-7), 14);
    EXPECT_EQ(tableDegree(0), 0);
    EXPECT_EQ(tableDegree(8), 0);
    EXPECT_FALSE(isValidEntry(kBlank));
    EXPECT_FALSE(isValidEntry(kNoEntry));
    EXPECT_FALSE(isValidEntry(0x0001));  // variant without a degree
    EXPECT_FALSE(isValidEntry(0xF0000)); // degree 15
    EXPECT_FALSE(isValidEntry(0x10205)); // stray bit and variant 5
}

TEST(ProgressionQueries, KnowAChordByDegreeAndModeWhateverItsVariant) {
    // Major table.
    EXPECT_TRUE(isKnownChord(Table::Major, 5, false));   // V7
    EXPECT_TRUE(isKnownChord(Table::Major, 5, true));    // Vm
    EXPECT_TRUE(isKnownChord(Table::Major, 7, true));    // VIIm7b5
    EXPECT_TRUE(isKnownChord(Table::Major, 13, false));  // altVI
    EXPECT_TRUE(isKnownChord(Table::Major, 8, true));    // altIdim7
    EXPECT_FALSE(isKnownChord(Table::Major, 10, false)); // no altIII at all
    EXPECT_FALSE(isKnownChord(Table::Major, 14, false)); // no altVII
    EXPECT_TRUE(isKnownChord(Table::Major, 1, true));    // Idim7, row 11
    EXPECT_FALSE(isKnownChord(Table::Major, 11, false)); // altIV only as dim7
    EXPECT_FALSE(isKnownChord(Table::Major, 13, true));
    // Minor table.
    EXPECT_TRUE(isKnownChord(Table::Minor, 1, true));
    EXPECT_TRUE(isKnownChord(Table::Minor, 1, false)); // I7
    EXPECT_TRUE(isKnownChord(Table::Minor, 8, false)); // altI
    EXPECT_FALSE(isKnownChord(Table::Minor, 3, true)); // III only as a major chord
    EXPECT_FALSE(isKnownChord(Table::Minor, 13, false));
    // Degrees outside 1..14 are never known.
    EXPECT_FALSE(isKnownChord(Table::Major, 0, false));
    EXPECT_FALSE(isKnownChord(Table::Major, 15, false));
    EXPECT_FALSE(isKnownChord(Table::Minor, -1, true));
}

TEST(ProgressionQueries, KnowTheSameChordInOneTableOnly) {
    EXPECT_TRUE(isKnownChord(Table::Major, 6, true)); // VIm7
    EXPECT_FALSE(isKnownChord(Table::Minor, 6, true));
    EXPECT_TRUE(isKnownMove(Table::Minor, kVI, kV7));  // minor row 15
    EXPECT_FALSE(isKnownMove(Table::Major, kVI, kV7)); // VI occurs only with a seventh
}

TEST(ProgressionQueries, KnowAMoveWhenThePreviousChordComesEarlierInARow) {
    EXPECT_TRUE(isKnownMove(Table::Major, kI, kV7)); // row 1
    EXPECT_TRUE(isKnownMove(Table::Major, kV7, kI)); // row 1, the other way round
    // IIIm7 precedes V7 only two places apart (row 28).
    EXPECT_TRUE(isKnownMove(Table::Major, kIIIm7, kV7));
    EXPECT_TRUE(isKnownMove(Table::Major, kI7, kIV));
    EXPECT_TRUE(isKnownMove(Table::Minor, kIm, kV7));
}

TEST(ProgressionQueries, RefuseAMoveThatNoRowHasInThatOrder) {
    // Both chords are known, but IV never comes before I7.
    EXPECT_TRUE(isKnownChord(Table::Major, 1, false));
    EXPECT_FALSE(isKnownMove(Table::Major, kIV, kI7));
    // I7 never comes before V7 in the major table (only after it, rows 53-55).
    EXPECT_FALSE(isKnownMove(Table::Major, kI7, kV7));
    EXPECT_FALSE(isKnownMove(Table::Minor, kIm, kV)); // minor has V only as V7
}

TEST(ProgressionQueries, CompareVariantsExactlyInMoves) {
    EXPECT_TRUE(isKnownMove(Table::Major, kI, kV));        // row 4
    EXPECT_FALSE(isKnownMove(Table::Major, kI, kV6));      // no V6 anywhere
    EXPECT_TRUE(isKnownMove(Table::Major, kIIm7, kV7));    // row 5
    EXPECT_FALSE(isKnownMove(Table::Major, 0x20102, kV7)); // IIm6 is in no row
}

TEST(ProgressionQueries, KnowARepeatedChordWhereverItOccurs) {
    // altII6 occurs once, in major row 15: it may follow itself.
    EXPECT_TRUE(isKnownMove(Table::Major, kAltII6, kAltII6));
    EXPECT_FALSE(isKnownMove(Table::Minor, kAltII6, kAltII6));
}

TEST(ProgressionQueries, NeverMatchBlankOrInvalidEntries) {
    // Three-chord rows keep blanks in their last place; they must not match.
    EXPECT_FALSE(isKnownMove(Table::Major, kBlank, kBlank));
    EXPECT_FALSE(isKnownMove(Table::Major, kI, kBlank));
    EXPECT_FALSE(isKnownMove(Table::Major, kBlank, kI));
    EXPECT_FALSE(isKnownMove(Table::Major, kNoEntry, kI));
    EXPECT_FALSE(isKnownMove(Table::Minor, kIm, kNoEntry));
    EXPECT_FALSE(isKnownMove(Table::Major, kI | 0x200, kV7));
}

// Codes: high byte root-and-mode index, low byte variant.
constexpr std::int16_t code(int root, int variant) {
    return static_cast<std::int16_t>(root << 8 | variant);
}
constexpr int kRootC = 7, kRootG = 8, kRootAb = 3, kRootE = 11;
constexpr int kRootAm = 19, kRootDm = 18, kRootFm = 15, kRootCsm = 23;

TEST(ProgressionTableOfAKey, FollowsTheModeOfTheMainKey) {
    EXPECT_EQ(progressionTableFor(0).table, Table::Major);
    EXPECT_EQ(progressionTableFor(11).table, Table::Major);
    EXPECT_EQ(progressionTableFor(12).table, Table::Minor);
    EXPECT_EQ(progressionTableFor(12).mainKey, 12);
    EXPECT_EQ(progressionTableFor(23).table, Table::Minor);
    static_assert(progressionTableFor(kKeyAMinor).mainKey == kKeyAMinor);
}

TEST(ProgressionTableOfAKey, KeyOutOfRangeGivesATableThatKnowsNoChord) {
    for (const int key : {-1, 24, 1000}) {
        const ProgressionTable none = progressionTableFor(key);
        EXPECT_EQ(none.mainKey, -1) << key;
        EXPECT_FALSE(none.isKnownChord(code(kRootC, 0))) << key;
        EXPECT_FALSE(none.isKnownMove(code(kRootC, 0), code(kRootG, 1))) << key;
    }
    // A default table is that of no key as well.
    EXPECT_EQ(ProgressionTable{}, progressionTableFor(-1));
}

TEST(ProgressionTableOfAKey, PlacesEveryRootOnItsDegreeOfTheMainKey) {
    // Major roots (C#, F#, B, Ab, Eb, Bb, F, C, G, D, A, E) as degrees of
    // C major; minor roots (Bb, Eb, Ab, F, C, G, D, A, E, B, F#, C#) as degrees
    // of A minor. 8..14 are the altered degrees.
    const int inCMajor[12] = {8, 11, 7, 13, 9, 14, 4, 1, 5, 2, 6, 3};
    const int inAMinor[12] = {8, 11, 14, 6, 3, 7, 4, 1, 5, 2, 13, 10};
    for (int root = 0; root < 12; ++root) {
        EXPECT_EQ(entryOfCode(code(root, 1), kKeyCMajor), makeEntry(inCMajor[root], false, 1))
            << "root " << root;
        EXPECT_EQ(entryOfCode(code(root + 12, 3), kKeyAMinor), makeEntry(inAMinor[root], true, 3))
            << "root " << root + 12;
    }
    // G minor in E-flat major is the minor chord on degree 3.
    EXPECT_EQ(entryOfCode(code(17, 0), 4), makeEntry(3, true, 0));
}

TEST(ProgressionTableOfAKey, AnswersCodesInItsKey) {
    const ProgressionTable cMajor = progressionTableFor(kKeyCMajor);
    EXPECT_TRUE(cMajor.isKnownChord(code(kRootG, 1)));
    EXPECT_TRUE(cMajor.isKnownMove(code(kRootC, 0), code(kRootG, 1)));   // C -> G7
    EXPECT_TRUE(cMajor.isKnownMove(code(kRootC, 0), code(kRootAb, 0)));  // I altVI (row 38)
    EXPECT_TRUE(cMajor.isKnownMove(code(kRootC, 0), code(kRootCsm, 4))); // I altIdim7 (row 12)
    EXPECT_FALSE(cMajor.isKnownMove(code(kRootC, 0), code(kRootG, 3)));  // no V6

    // In G major the same codes are other degrees: C -> G7 is IV -> I7, not customary.
    const ProgressionTable gMajor = progressionTableFor(8);
    EXPECT_FALSE(gMajor.isKnownMove(code(kRootC, 0), code(kRootG, 1)));

    const ProgressionTable aMinor = progressionTableFor(kKeyAMinor);
    EXPECT_TRUE(aMinor.isKnownMove(code(kRootAm, 0), code(kRootE, 1)));  // Im V7
    EXPECT_TRUE(aMinor.isKnownChord(code(kRootAm, 1)));                  // Im, any variant
    EXPECT_FALSE(aMinor.isKnownMove(code(kRootAm, 1), code(kRootE, 1))); // Im7 is in no row
}

TEST(ProgressionTableOfAKey, DecidesWhichTableKnowsAChord) {
    // F minor: IVm in C major and C minor, the minor sixth degree in A minor.
    EXPECT_TRUE(progressionTableFor(kKeyCMajor).isKnownChord(code(kRootFm, 0)));
    EXPECT_TRUE(progressionTableFor(16).isKnownChord(code(kRootFm, 0)));
    EXPECT_FALSE(progressionTableFor(kKeyAMinor).isKnownChord(code(kRootFm, 0)));
    // D minor is IIm in C major and IVm in A minor: known in both.
    EXPECT_TRUE(progressionTableFor(kKeyCMajor).isKnownChord(code(kRootDm, 1)));
    EXPECT_TRUE(progressionTableFor(kKeyAMinor).isKnownChord(code(kRootDm, 1)));
}

TEST(ProgressionTableOfAKey, NeverKnowsNegativeOrMalformedCodes) {
    const ProgressionTable cMajor = progressionTableFor(kKeyCMajor);
    const std::int16_t g7 = code(kRootG, 1);
    const std::int16_t c = code(kRootC, 0);
    const std::int16_t malformed[] = {
        -1, INT16_MIN, code(24, 0), code(0x7F, 0), code(kRootG, 5), code(kRootG, 0xFF)};
    for (const std::int16_t bad : malformed) {
        EXPECT_EQ(entryOfCode(bad, kKeyCMajor), kNoEntry) << bad;
        EXPECT_FALSE(cMajor.isKnownChord(bad)) << bad;
        EXPECT_FALSE(cMajor.isKnownMove(bad, g7)) << bad;
        EXPECT_FALSE(cMajor.isKnownMove(c, bad)) << bad;
    }
    EXPECT_EQ(entryOfCode(g7, 24), kNoEntry);
    EXPECT_EQ(entryOfCode(g7, -1), kNoEntry);
}

} // namespace
} // namespace korvanta::progression
