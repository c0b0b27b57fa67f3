// The two progression tables, written as chord symbols and turned into
// entries at compile time, and the known-chord and known-move queries.

#include "alg/harmony/ProgressionTables.h"

#include <string_view>

namespace korvanta::progression {
namespace {

// Not constexpr on purpose: reaching it while building a table stops the
// compilation, so a misspelt row can not slip into the program.
void malformedRowText() {}

// A chord symbol: an optional "alt" (the altered degree), a roman degree,
// then the chord suffix ("", "7", "maj7", "6", "m", "m7", "m6", "m7b5",
// "dim7").
consteval Entry chordEntry(std::string_view symbol) {
    int degreeOffset = 0;
    if (symbol.starts_with("alt")) {
        degreeOffset = 7;
        symbol.remove_prefix(3);
    }
    // Longest numerals first, so "VII" is not read as "V" and "II".
    constexpr std::string_view kNumerals[] = {"VII", "III", "VI", "IV", "II", "V", "I"};
    constexpr int kNumeralDegrees[] = {7, 3, 6, 4, 2, 5, 1};
    int degree = 0;
    for (int i = 0; i < 7; ++i) {
        if (symbol.starts_with(kNumerals[i])) {
            degree = kNumeralDegrees[i];
            symbol.remove_prefix(kNumerals[i].size());
            break;
        }
    }
    if (degree == 0) malformedRowText();

    struct Suffix {
        std::string_view text;
        bool minorChord;
        int variant;
    };
    constexpr Suffix kSuffixes[] = {{"", false, 0},  {"7", false, 1},   {"maj7", false, 2},
                                    {"6", false, 3}, {"m", true, 0},    {"m7", true, 1},
                                    {"m6", true, 2}, {"m7b5", true, 3}, {"dim7", true, 4}};
    for (const Suffix& suffix : kSuffixes) {
        if (symbol == suffix.text)
            return makeEntry(degree + degreeOffset, suffix.minorChord, suffix.variant);
    }
    malformedRowText();
    return kNoEntry;
}

// A row: 3 or 4 chord symbols separated by single blanks.
consteval Row row(std::string_view text) {
    Row result;
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        const std::string_view symbol = text.substr(0, blank);
        if (symbol.empty() || result.count == kMaxRowLength) malformedRowText();
        result.entries[result.count++] = chordEntry(symbol);
        text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
    }
    if (result.count < 3) malformedRowText();
    return result;
}

// Roman numerals are degrees of the main key, "alt" marks the altered degree
// (major keys: raised 1, 2, 4, lowered 6, 7; minor keys: raised 1, 3, 4, 6,
// 7). Three rows name an altered 5th degree, which a key does not have; no
// chord ever takes such an entry, so those places never match. They are kept
// to leave the rows as the progressions are customarily listed.
// clang-format off
constexpr std::array<Row, kMajorRowCount> kMajorRows{
    row("I V7 I"),                      // 1
    row("I IV I"),                      // 2
    row("I IV V7 I"),                   // 3
    row("I V IV I"),                    // 4
    row("I IIm7 V7 I"),                 // 5
    row("I II7 V7 I"),                  // 6
    row("I IIm7b5 V7 I"),               // 7
    row("I IIm7 altI7 I"),              // 8
    row("I II7 altI7 I"),               // 9
    row("I II7 IIm7 V7"),               // 10
    row("I Idim7 IIm7 V7"),             // 11
    row("I altIdim7 IIm7 V7"),          // 12
    row("I altIdim7 IIm7 altIIdim7"),   // 13
    row("I IIm7 altIIdim7 IIIm7"),      // 14
    row("I altII6 IIm7 V7"),            // 15
    row("I altII7 IIm7 V7"),            // 16
    row("I altII7 II7 altI7"),          // 17
    row("I VIm7 IIm7 V7"),              // 18
    row("I VI7 IIm7 V7"),               // 19
    row("I VIm7 II7 V7"),               // 20
    row("I VI7 II7 V7"),                // 21
    row("I VIm7 altVm7 Vm7"),           // 22  (altered 5: see above)
    row("I VI7 altV7 V7"),              // 23  (altered 5: see above)
    row("I III7 VI7 II7"),              // 24
    row("I IIIm7 VIm7 IIm7"),           // 25
    row("I III7 VIm7 II7"),             // 26
    row("I IIIm7 VI7 IIm7"),            // 27
    row("I IIIm7 IV V7"),               // 28
    row("I IIIm7 altIIm7 IIm7"),        // 29
    row("I III7 altII7 II7"),           // 30
    row("I VII7 III7 VI7"),             // 31
    row("I VII7 III7 altVI7"),          // 32
    row("I VIIm7b5 IIIm7 VIm7"),        // 33
    row("I VIIm7b5 III7 VIm"),          // 34
    row("I VIIm7b5 altVI7 VI7"),        // 35
    row("I I7 IV"),                     // 36
    row("I Vm I7 IV"),                  // 37
    row("I altVI I7 IV"),               // 38
    row("I IIm7 IIIm7 IV"),             // 39
    row("I VIm7 I7 IV"),                // 40
    row("IV IVm I"),                    // 41
    row("IV altIVdim7 I"),              // 42
    row("IV IIm7 V7 I"),                // 43
    row("IV II7 V7 I"),                 // 44
    row("IV II7 IIm7 V7"),              // 45
    row("IV V7 IIIm7 VIm"),             // 46
    row("IV VIIm7b5 III7 VIm"),         // 47
    row("IV IIm III7 VIm"),             // 48
    row("IV altVI II7 V7"),             // 49
    row("IV III7 VI7 II7"),             // 50
    row("IV IIIm7 VIm7 IIm"),           // 51
    row("V7 IV IIIm7 IIm7"),            // 52
    row("V7 I7 IV altIVdim7"),          // 53
    row("V7 I7 IV IVm"),                // 54
    row("V7 Vm I7 IV"),                 // 55
    row("V7 IIIm7 VI7 IIm7"),           // 56
    row("V7 IIIm7 VIm7 IIm7"),          // 57
    row("V7 III7 VIm7 IIm7"),           // 58
    row("V7 altVdim7 VIm7 IIm7"),       // 59  (altered 5: see above)
    row("V7 VIm7 VIIm7b5 I"),           // 60
};

constexpr std::array<Row, kMinorRowCount> kMinorRows{
    row("Im V7 Im"),                    // 1
    row("Im IVm Im"),                   // 2
    row("Im IVm V7 Im"),                // 3
    row("Im Vm Im"),                    // 4
    row("Im IIm7b5 V7 Im"),             // 5
    row("Im II7 V7 Im"),                // 6
    row("Im altIdim7 II7 V7"),          // 7
    row("Im I7 IVm V7"),                // 8
    row("Im altIdim7 IVm V7"),          // 9
    row("Im VIIm I7 IVm"),              // 10
    row("Im Vm7b5 I7 IVm"),             // 11
    row("Im IVm VII7 III"),             // 12
    row("Im VII7 III VI"),              // 13
    row("Im III7 VI altI"),             // 14
    row("Im VI altI7 V7"),              // 15
    row("Im altI Im"),                  // 16
    row("altI III7 VI V7"),             // 17
    row("altI IVm V7 Im"),              // 18
    row("altI VI V7 Im"),               // 19
    row("altI VIIm III7 VI"),           // 20
    row("altI IIm7b5 V7 Im"),           // 21
    row("altI II7 V7 Im"),              // 22
    row("altI Vm Im"),                  // 23
    row("III IVm V7 Im"),               // 24
    row("III IV7 VII V7"),              // 25
    row("III VI V7 Im"),                // 26
    row("III VI altI"),                 // 27
    row("III altI Im V7"),              // 28
    row("III IIm7b5 V7 Im"),            // 29
    row("III II7 V7 Im"),               // 30
    row("III II7 altI7 Im"),            // 31
    row("III I7 IVm V7"),               // 32
    row("IVm VI V7 Im"),                // 33
    row("IVm II7 V7 Im"),               // 34
    row("IVm altI V7 Im"),              // 35
    row("IVm IIm7b5 V7 Im"),            // 36
    row("IV7 VII VI V7"),               // 37
    row("IV7 II7 V7 Im"),               // 38
    row("V7 VI VII7 III"),              // 39
    row("V7 I7 IV7 VII"),               // 40
    row("V7 I7 IVm VII"),               // 41
    row("V7 VIIm I7 IVm"),              // 42
    row("V7 Vm7b5 I7 IVm"),             // 43
    row("VI I7 IVm V7"),                // 44
    row("VI III II7 V7"),               // 45
    row("VI VII7 III V7"),              // 46
    row("VI IVm V7 Im"),                // 47
    row("VI IIm7b5 V7 Im"),             // 48
    row("VI II7 V7 Im"),                // 49
    row("VII II7 V7 Im"),               // 50
    row("VII III V7 Im"),               // 51
    row("VII VI V7 Im"),                // 52
    row("VII III7 VI V7"),              // 53
    row("VIIm III7 VI V7"),             // 54
};
// clang-format on

consteval bool everyRowIsFilled(std::span<const Row> table) {
    for (const Row& r : table) {
        if (r.count < 3) return false;
    }
    return true;
}
static_assert(everyRowIsFilled(kMajorRows), "a major row is missing");
static_assert(everyRowIsFilled(kMinorRows), "a minor row is missing");

} // namespace

std::span<const Row> rows(Table table) {
    if (table == Table::Minor) return kMinorRows;
    return kMajorRows;
}

bool isKnownChord(Table table, int degree, bool minorChord) {
    if (degree < 1 || degree > kMaxTableDegree) return false;
    for (const Row& r : rows(table)) {
        for (const Entry entry : r.chords()) {
            if (entryDegree(entry) == degree && entryIsMinor(entry) == minorChord) return true;
        }
    }
    return false;
}

bool isKnownMove(Table table, Entry previous, Entry chord) {
    if (!isValidEntry(previous) || !isValidEntry(chord)) return false;
    for (const Row& r : rows(table)) {
        const std::span<const Entry> chords = r.chords();
        for (std::size_t at = 0; at < chords.size(); ++at) {
            if (chords[at] != chord) continue;
            for (std::size_t before = 0; before <= at; ++before) {
                if (chords[before] == previous) return true;
            }
        }
    }
    return false;
}

Entry entryOfCode(std::int16_t code, int mainKey) {
    if (code < 0 || mainKey < 0 || mainKey >= kKeyCount) return kNoEntry;
    const int root = code >> 8;
    const int variant = code & 0xFF;
    if (root >= kKeyCount || variant > kMaxVariant) return kNoEntry;
    return makeEntry(tableDegree(DegreeOf(keyTonic(root), mainKey)), isMinorKey(root), variant);
}

bool ProgressionTable::isKnownChord(std::int16_t code) const {
    const Entry entry = entryOfCode(code, mainKey);
    return entry != kNoEntry &&
           progression::isKnownChord(table, entryDegree(entry), entryIsMinor(entry));
}

bool ProgressionTable::isKnownMove(std::int16_t previous, std::int16_t code) const {
    return progression::isKnownMove(table, entryOfCode(previous, mainKey),
                                    entryOfCode(code, mainKey));
}

} // namespace korvanta::progression
