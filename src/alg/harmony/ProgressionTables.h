#pragma once
// The customary chord progressions of a major and of a minor key, written in
// scale degrees of the main key, and the queries the harmony engine's
// unusual-chord filter asks of them: is a chord customary in the main key,
// and does it customarily follow the previous bar's chord.
//
// Everything here is constant or a plain value: the tables and the queries
// may be used from any thread, and two harmonizations in different keys each
// carry their own ProgressionTable.

#include "alg/song/Keys.h"

#include <array>
#include <cstdint>
#include <span>

namespace korvanta::progression {

// One chord of a progression row:
//   degree << 16 | 256 for a minor chord | variant
// degree is the chord root's degree in the main key: 1..7 diatonic, 8..14 the
// altered degrees 1..7. variant is the chord variant of the root's mode
// (major: 0 triad, 1 "7", 2 "maj7", 3 "6"; minor: 0 "m", 1 "m7", 2 "m6",
// 3 "m7b5", 4 "dim7"). Unused places of a row hold kBlank.
using Entry = std::int32_t;

constexpr Entry kBlank = 0;
constexpr Entry kNoEntry = -1; // what the builders return for a chord that has no entry
constexpr int kMaxRowLength = 4;
constexpr int kMajorRowCount = 60;
constexpr int kMinorRowCount = 54;
constexpr int kMinorChordFlag = 256;
constexpr int kMaxTableDegree = 14;
constexpr int kMaxVariant = 4;

enum class Table : std::uint8_t { Major, Minor };

struct Row {
    std::uint8_t count = 0; // 3 or 4 chords in use
    std::array<Entry, kMaxRowLength> entries{};

    std::span<const Entry> chords() const { return {entries.data(), count}; }
};

// Table degree of a key-model degree: 1..7 stay, the altered -1..-7 become
// 8..14. Anything else gives 0 (no degree).
constexpr int tableDegree(int keyDegree) {
    if (keyDegree >= 1 && keyDegree <= 7) return keyDegree;
    if (keyDegree <= -1 && keyDegree >= -7) return 7 - keyDegree;
    return 0;
}

// The entry of a chord from its table degree (1..14), mode and variant (0..4);
// kNoEntry when any of them is out of range.
constexpr Entry makeEntry(int degree, bool minorChord, int variant) {
    if (degree < 1 || degree > kMaxTableDegree || variant < 0 || variant > kMaxVariant)
        return kNoEntry;
    return degree << 16 | (minorChord ? kMinorChordFlag : 0) | variant;
}

constexpr int entryDegree(Entry entry) {
    return entry >> 16;
}
constexpr bool entryIsMinor(Entry entry) {
    return (entry & kMinorChordFlag) != 0;
}
constexpr int entryVariant(Entry entry) {
    return entry & 0xFF;
}

// True for an entry makeEntry can produce (kBlank and kNoEntry are not).
constexpr bool isValidEntry(Entry entry) {
    return entry > 0 && (entry & 0xFE00) == 0 && entryDegree(entry) >= 1 &&
           entryDegree(entry) <= kMaxTableDegree && entryVariant(entry) <= kMaxVariant;
}

constexpr Table tableForKey(int key) {
    return key >= 12 ? Table::Minor : Table::Major;
}

// The rows of a table, in their customary order.
std::span<const Row> rows(Table table);

// Pure queries on an explicit table, in entry terms.
// Known chord: some row holds a chord of that table degree and mode, any variant.
bool isKnownChord(Table table, int degree, bool minorChord);
// Known move: some row holds chord at some place and previous at that place
// or an earlier one of the same row.
bool isKnownMove(Table table, Entry previous, Entry chord);

// Chord codes (high byte root-and-mode index 0..23, low byte variant 0..4).
// The entry of a code relative to a main key; kNoEntry for a negative or
// malformed code or a main key outside 0..23.
Entry entryOfCode(std::int16_t code, int mainKey);

// The progressions of one main key: the table its mode implies, and the key
// chord codes are read in. A small value, made by progressionTableFor.
struct ProgressionTable {
    int mainKey = -1; // -1: no key, and no chord is known
    Table table = Table::Major;

    // The queries the unusual-chord filter asks. A negative or malformed
    // code is never known.
    bool isKnownChord(std::int16_t code) const;
    bool isKnownMove(std::int16_t previous, std::int16_t code) const;

    bool operator==(const ProgressionTable&) const = default;
};

// The progressions of mainKey (0..23). Any other value gives a table that
// knows no chord, so a run with the unusual-chord filter keeps none.
constexpr ProgressionTable progressionTableFor(int mainKey) {
    if (mainKey < 0 || mainKey >= kKeyCount) return {};
    return {mainKey, tableForKey(mainKey)};
}

} // namespace korvanta::progression
