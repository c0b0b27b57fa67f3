#pragma once
// The chord vocabulary shared by the harmony engine, the chord master, the
// accompaniment styles, playback and the views: chord codes, the variant
// patterns over the degrees of a root's key, chord tones and chord names.
// Pure functions over constant tables, callable from any thread.

#include "alg/song/Keys.h"

#include <array>
#include <cstdint>
#include <string>

namespace korvanta {

// A chord: high byte the root-and-mode index (a key index 0..23), low byte the
// variant 0..4. Negative means no chord.
using ChordCode = std::int16_t;
constexpr ChordCode kNoChord = -1;

// Variant of a chord on its root's key: 0 triad, then by mode (major: 7, maj7,
// 6, unused; minor: m7, m6, m7b5, dim7).
using ChordVariant = int;
constexpr int kChordVariantCount = 5;

// Which degrees of the root's key a variant sounds, by mode (0 major, 1 minor),
// variant and degree 1..7: '+' the diatonic degree, '-' the altered degree
// (AlteredDegreePitch), ' ' not a chord tone.
inline constexpr char ChordPattern[2][kChordVariantCount][kDegreeCount + 1] = {
    {"+ + +  ", "+ + + -", "+ + + +", "+ + ++ ", "       "},
    {"+ + +  ", "+ + + +", "+ + +- ", "+ +-  +", "+ +- - "},
};

// Name suffixes: variant for a major root, variant + 5 for a minor root.
inline constexpr char kChordSuffixes[2 * kChordVariantCount][10] = {
    " ", "7", "maj7", "6", " ", "m", "m7", "m6", "m7b5", "dim7"};

constexpr bool isChordVariant(int variant) {
    return variant >= 0 && variant < kChordVariantCount;
}

// The code of a chord; kNoChord when root or variant is out of range.
constexpr ChordCode makeChordCode(int root, int variant) {
    if (!isKey(root) || !isChordVariant(variant)) return kNoChord;
    return static_cast<ChordCode>(root << 8 | variant);
}
constexpr bool isChordCode(int code) {
    return code >= 0 && isKey(code >> 8) && isChordVariant(code & 0xFF);
}
// Root-and-mode index and variant of a code; -1 for anything but a chord.
constexpr int chordRoot(int code) {
    return isChordCode(code) ? code >> 8 : -1;
}
constexpr int chordVariant(int code) {
    return isChordCode(code) ? code & 0xFF : -1;
}

// Pattern cell of a chord at degree index d (0..6); ' ' out of range.
char chordCell(int root, int variant, int d);

// Up to four chord tones in degree order: pitch classes plus the base.
struct ChordToneList {
    std::array<int, 4> tones{};
    int count = 0;

    friend bool operator==(const ChordToneList&, const ChordToneList&) = default;
};

// Tones of (root, variant): each pitch class 0..11 plus base (a MIDI note
// number, 0 for bare pitch classes). No tones for an out-of-range pair and for
// major variant 4.
ChordToneList ChordTones(int root, int variant, int base = 0);
ChordToneList chordTonesOf(int code, int base = 0);

// "C7", "Am", "C " (the triad's blank suffix); " - " for no chord and for
// anything that is not a chord code.
std::string ChordName(int code);
// The tone names of a chord, each as " %s " (" C  E  G "); empty for no chord.
std::string ChordToneNames(int code);

} // namespace korvanta
