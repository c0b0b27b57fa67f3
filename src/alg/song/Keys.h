#pragma once
// The 24 keys: 0-11 major, 12-23 minor, ordered by key signature (see
// KeyScales). Pure functions, callable from any thread.

#include <cstdint>

namespace korvanta {

constexpr int kKeyCount = 24;
constexpr int kKeyCMajor = 7;
constexpr int kKeyAMinor = 19;

// Key index of a MIDI key signature: sf sharps (negative: flats), mi 0 major
// or 1 minor. Five to seven sharps or flats map to the same three keys.
constexpr int KeyFromSignature(int sf, int mi) {
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
};

// The key signature a key is written with; keys 0-2 are written with flats.
constexpr KeySignature KeyToSignature(int key) {
    KeySignature sig;
    if (key >= 12) {
        sig.mi = 1;
        key -= 12;
    }
    sig.sf = key - 7;
    if (sig.sf < -4) sig.sf = -sig.sf - 12;
    return sig;
}

} // namespace korvanta
