#pragma once
// The 24 keys: 0-11 major, 12-23 minor, ordered by key signature (see
// KeyScales). Scales and degrees, the names shown to the user, key signatures,
// and the per-key statistics and fitness that key detection starts from.
// Pure functions over constant tables, callable from any thread. Pitch classes
// are 0-11 with C = 0; degrees are 1..7 (diatonic) or -1..-7 (altered).

#include "alg/song/SongRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvanta {

class TSong;

constexpr int kKeyCount = 24;
constexpr int kKeyCMajor = 7;
constexpr int kKeyAMinor = 19;
constexpr int kDegreeCount = 7;

// Degrees 1-7 of every key, by key index.
inline constexpr std::array<std::array<std::int8_t, kDegreeCount>, kKeyCount> KeyScales{{
    {1, 3, 5, 6, 8, 10, 0},  // C-sharp major
    {6, 8, 10, 11, 1, 3, 5}, // F-sharp major
    {11, 1, 3, 4, 6, 8, 10}, // B major
    {8, 10, 0, 1, 3, 5, 7},  // A-flat major
    {3, 5, 7, 8, 10, 0, 2},  // E-flat major
    {10, 0, 2, 3, 5, 7, 9},  // B-flat major
    {5, 7, 9, 10, 0, 2, 4},  // F major
    {0, 2, 4, 5, 7, 9, 11},  // C major
    {7, 9, 11, 0, 2, 4, 6},  // G major
    {2, 4, 6, 7, 9, 11, 1},  // D major
    {9, 11, 1, 2, 4, 6, 8},  // A major
    {4, 6, 8, 9, 11, 1, 3},  // E major
    {10, 0, 1, 3, 5, 6, 8},  // B-flat minor
    {3, 5, 6, 8, 10, 11, 1}, // E-flat minor
    {8, 10, 11, 1, 3, 4, 6}, // A-flat minor
    {5, 7, 8, 10, 0, 1, 3},  // F minor
    {0, 2, 3, 5, 7, 8, 10},  // C minor
    {7, 9, 10, 0, 2, 3, 5},  // G minor
    {2, 4, 5, 7, 9, 10, 0},  // D minor
    {9, 11, 0, 2, 4, 5, 7},  // A minor
    {4, 6, 7, 9, 11, 0, 2},  // E minor
    {11, 1, 2, 4, 6, 7, 9},  // B minor
    {6, 8, 9, 11, 1, 2, 4},  // F-sharp minor
    {1, 3, 4, 6, 8, 9, 11},  // C-sharp minor
}};

// Fixed-width, zero-padded name tables; the display shows them as they stand.
inline constexpr char NoteNames[12][3] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "B"};
inline constexpr char KeyLongNames[kKeyCount][10] = {
    "Cis-dur", "Fis-dur", "H-dur",  "As-dur", "Es-dur", "B-dur",   "F-dur",    "C-dur",
    "G-dur",   "D-dur",   "A-dur",  "E-dur",  "b-moll", "es-moll", "as-moll",  "f-moll",
    "c-moll",  "g-moll",  "d-moll", "a-moll", "e-moll", "h-moll",  "fis-moll", "cis-moll"};

// The one chromatic alteration a degree accepts, by mode (0 major, 1 minor) and
// degree 1-7: +1 raised, -1 lowered, 0 none. Major keys accept raised 1, 2, 4
// and lowered 6, 7; minor keys raised 1, 3, 4, 6, 7. With the seven degrees
// these cover all twelve pitch classes.
inline constexpr std::array<std::array<std::int8_t, kDegreeCount>, 2> kAllowedAlterations{{
    {+1, +1, 0, +1, 0, -1, -1},
    {+1, 0, +1, +1, 0, +1, +1},
}};

// Semitones added to a degree to reach its chromatic rival, by mode and degree.
inline constexpr std::array<std::array<std::int8_t, kDegreeCount>, 2> kNeighbourOffsets{{
    {+1, +1, -1, +1, +1, -1, -1},
    {+1, -1, +1, +1, -1, +1, -1},
}};

// Degree weights: three rows by weight slot (see WeightSlot).
constexpr int kWeightRowCount = 3;
constexpr int kWeightSlotCount = 10;
inline constexpr std::array<std::array<std::int8_t, kWeightSlotCount>, kWeightRowCount>
    kDegreeWeights{{
        {6, 2, 6, 2, 6, 3, 3, 3, 3, 0},
        {5, 0, 5, 0, 5, 5, 5, 0, 0, 0},
        {5, 0, 5, 0, 5, 0, 0, 0, 0, 0},
    }};

constexpr bool isKey(int key) {
    return key >= 0 && key < kKeyCount;
}
constexpr bool isMinorKey(int key) {
    return key >= 12 && key < kKeyCount;
}
// 0 major, 1 minor; -1 for anything that is not a key.
constexpr int keyMode(int key) {
    return isKey(key) ? key / 12 : -1;
}
// The pitch class of the key's tonic, or -1.
constexpr int keyTonic(int key) {
    return isKey(key) ? KeyScales[key][0] : -1;
}

// x brought into 0..11. Equals the single +-12 step for x in -12..23 and stays
// in range for any other x.
constexpr int Wrap12(int x) {
    const int r = x % 12;
    return r < 0 ? r + 12 : r;
}

// Pitch class of degree d (0..6) of key; -1 (rival -1) outside the tables.
// The rival is the chromatic neighbour given by the mode's neighbour offset.
int DegreePitch(int key, int d);
int DegreePitch(int key, int d, int& rival);

// Pitch class of the altered degree d (0..6): a semitone above the diatonic
// degree, except degrees 6 and 7 of a major key, a semitone below. Its rival is
// the altered pitch minus the degree's neighbour offset. -1 outside the tables.
int AlteredDegreePitch(int key, int d);
int AlteredDegreePitch(int key, int d, int& rival);

// Degree of a pitch class in key: 1..7 diatonic, -1..-7 an accepted
// alteration of that degree; 0 for a pitch class or key outside the tables.
int DegreeOf(int pitchClass, int key);

// Weight slot of a degree: 0-6 for degrees 1-7, 7 for -6, 8 for -7, 9 for the
// other altered degrees. Any other value gets slot 9, which weighs nothing.
int WeightSlot(int degree);
// Weight of a degree in one of the three rows; 0 for a row outside 0..2.
int Weight(int degree, int row);

// Degree-mask bit of a degree (bit d-1 for degree d, bit 7 for the altered 6th,
// bit 8 for the altered 7th); 0 for degrees that set no bit.
std::uint32_t DegreeMaskBit(int degree);

// Key index of a MIDI key signature: sf sharps (negative: flats), mi 0 major
// or 1 minor. Five to seven sharps or flats map to the same three keys. A
// signature outside -7..7 or a mode other than 0 or 1 gives C major, the key a
// song without a key signature has.
constexpr int KeyFromSignature(int sf, int mi) {
    if (sf < -7 || sf > 7 || (mi != 0 && mi != 1)) return kKeyCMajor;
    int base = 0;
    if (sf >= -4 && sf <= 4)
        base = sf + 7;
    else if (sf >= 5)
        base = 7 - sf;
    else
        base = -sf - 5;
    return mi * 12 + base;
}

struct KeySignature {
    int sf = 0; // sharps, negative for flats
    int mi = 0; // 0 major, 1 minor

    friend constexpr bool operator==(const KeySignature&, const KeySignature&) = default;
};

// The key signature a key is written with; keys 0-2 are written with flats.
// Anything that is not a key gets the empty signature of C major.
constexpr KeySignature KeyToSignature(int key) {
    KeySignature sig;
    if (!isKey(key)) return sig;
    if (key >= 12) {
        sig.mi = 1;
        key -= 12;
    }
    sig.sf = key - 7;
    if (sig.sf < -4) sig.sf = -sig.sf - 12;
    return sig;
}

// Dominant and subdominant key of a key (-1 both for a non-key). The dominant
// is always major; the subdominant has the key's own mode.
struct RelatedKeyPair {
    int dominant = -1;
    int subdominant = -1;
};
RelatedKeyPair RelatedKeys(int key);

// The key's long name ("C-dur", "a-moll"); empty for a non-key. The second form
// copies it, zero-terminated and cut to fit, into a caller's buffer and
// returns the number of characters copied.
std::string_view KeyLongName(int key);
std::size_t KeyLongName(int key, std::span<char> buffer);

// The key's English name ("C major", "Bb major", "F# minor"), as a
// musician reading English expects it (German "B-dur" is "Bb major", "H-dur"
// "B major"); empty for a non-key.
std::string_view KeyEnglishName(int key);

// Note name with octave, pitch ÷ 12: 60 is "C5", 69 is "A5".
std::string PitchName(int pitch);

// Layout of the 240 key statistics values of a song.
constexpr std::size_t kStatCounts = 0;           // 12 note counts per pitch class
constexpr std::size_t kStatDurations = 12;       // 12 summed durations (ticks) per pitch class
constexpr std::size_t kStatDegreeMasks = 24;     // 24 degree masks, one per key
constexpr std::size_t kStatCountScores = 48;     // 3 rows x 24 keys, weighted by counts
constexpr std::size_t kStatDurationScores = 120; // 3 rows x 24 keys, weighted by durations
constexpr std::size_t kStatFitness = 192;        // 24 fitness floats, bit-copied
constexpr std::size_t kStatWork = 216;           // 24 values of the key analysis
constexpr std::size_t kStatSize = 240;

constexpr std::size_t countScoreIndex(int row, int key) {
    return kStatCountScores + 24 * static_cast<std::size_t>(row) + static_cast<std::size_t>(key);
}
constexpr std::size_t durationScoreIndex(int row, int key) {
    return kStatDurationScores + 24 * static_cast<std::size_t>(row) + static_cast<std::size_t>(key);
}

// Fitness of a key stored in a statistics block; 0 when the key or the block
// is out of range. setKeyFitness ignores such writes.
float keyFitness(std::span<const std::int32_t> statistics, int key);
void setKeyFitness(std::span<std::int32_t> statistics, int key, float fitness);

// Fills 240 statistics values from melody notes: counts and durations per
// pitch class, per-key degree masks and the weighted scores. Sums saturate at
// the largest 32-bit value instead of wrapping.
void GatherKeyStatistics(std::span<const TNote> melody,
                         std::span<std::int32_t, kStatSize> statistics);
// Allocates the song's keyStatistics (240 zeros) and fills them from the
// melody list. false if the allocation failed (keyStatistics stay empty).
bool GatherKeyStatistics(TSong& song);

// Fitness of every key for the pitch-class counts; 2 if some key fits exactly
// (fitness 1.0), else -1.
int ScoreKeys(std::span<const std::int32_t, 12> counts, std::span<float, kKeyCount> fitness);
// The same over a statistics block: counts from [0..11], fitness stored in
// [192..215]. A block shorter than 216 values is left alone and gives -1.
int ScoreKeys(std::span<std::int32_t> statistics);

} // namespace korvanta
