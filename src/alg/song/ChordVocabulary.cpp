// Chord tones and chord names of the chord vocabulary.

#include "alg/song/ChordVocabulary.h"

namespace korvanta {

char chordCell(int root, int variant, int d) {
    if (!isKey(root) || !isChordVariant(variant) || d < 0 || d >= kDegreeCount) return ' ';
    return ChordPattern[keyMode(root)][variant][d];
}

ChordToneList ChordTones(int root, int variant, int base) {
    ChordToneList list;
    for (int d = 0; d < kDegreeCount; ++d) {
        const char cell = chordCell(root, variant, d);
        if (cell == ' ' || list.count == static_cast<int>(list.tones.size())) continue;
        const int pitch = cell == '+' ? DegreePitch(root, d) : AlteredDegreePitch(root, d);
        list.tones[static_cast<std::size_t>(list.count++)] = pitch + base;
    }
    return list;
}

ChordToneList chordTonesOf(int code, int base) {
    return ChordTones(chordRoot(code), chordVariant(code), base);
}

std::string ChordName(int code) {
    if (!isChordCode(code)) return " - ";
    const int root = chordRoot(code);
    const int suffix = chordVariant(code) + (isMinorKey(root) ? kChordVariantCount : 0);
    return std::string(NoteNames[keyTonic(root)]) + kChordSuffixes[suffix];
}

std::string ChordToneNames(int code) {
    std::string text;
    const ChordToneList list = chordTonesOf(code);
    for (int i = 0; i < list.count; ++i) {
        text += ' ';
        text += NoteNames[list.tones[static_cast<std::size_t>(i)]];
        text += ' ';
    }
    return text;
}

} // namespace korvanta
