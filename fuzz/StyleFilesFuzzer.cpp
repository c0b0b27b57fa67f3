// Feeds arbitrary bytes to the style library readers: the first byte picks the
// list reader (with a group mask) or the style reader. A list that parses must
// survive writing and reading again unchanged; a style that loads must render
// over chords in its own and in foreign meters without placing an invalid
// note, and survive writing and reading again unchanged.
#include "alg/song/TSong.h"
#include "styles/StyleFiles.h"
#include "styles/StyleMaster.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using namespace korvanta;

void checkList(std::span<const std::byte> bytes, unsigned mask) {
    const auto list = parseStyleList(bytes, mask);
    if (!list) return;
    const auto again = parseStyleList(encodeStyleList(*list), 7);
    if (!again) std::abort();
    const auto third = parseStyleList(encodeStyleList(*again), 7);
    if (!third || !(*third == *again)) std::abort();
}

void checkNotes(const TNotes& notes) {
    for (const TNote& n : notes.list(kChordList)) {
        if (n.pitch > 127 || n.duration == 0 || n.pitchClass > 11) std::abort();
    }
}

void checkStyle(std::span<const std::byte> bytes) {
    const StyleLoad load = parseStyle(bytes);
    if (!load.ok()) {
        if (load.message.empty()) std::abort();
        return;
    }
    const StyleLoad again = parseStyle(encodeStyle(load.value));
    if (!again || !(again.value == load.value)) std::abort();

    TNotes preview;
    BuildPreview(load.value, preview);
    checkNotes(preview);

    // Four bars in 4/4, two in 3/4, two in 6/8, with chords of every kind.
    TSong song;
    song.meter().SetDivision(96);
    song.meter().AddMeter(0, 4, 4);
    song.meter().AddMeter(4, 3, 4);
    song.meter().AddMeter(6, 6, 8);
    song.setBarCount(8);
    song.barHarmony.resize(8);
    const std::int16_t chords[8] = {0x0700, 0x1301, 0x0003, -1, 0x1604, 0x0802, 0x1103, 0x0700};
    for (int b = 0; b < 8; ++b) {
        song.barHarmony[static_cast<std::size_t>(b)].chord = chords[b];
        song.barHarmony[static_cast<std::size_t>(b)].play = 1;
    }
    song.chordOctave = 4;
    song.style = &load.value;
    song.notes.CreateList(kChordList, 50);
    BuildChordNotes(song);
    checkNotes(song.notes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto bytes = std::as_bytes(std::span<const std::uint8_t>(data + 1, size - 1));
    if ((data[0] & 0x80u) != 0)
        checkList(bytes, data[0] & 7u);
    else
        checkStyle(bytes);
    return 0;
}
