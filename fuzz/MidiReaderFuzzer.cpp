// Feeds arbitrary bytes to the MIDI file reader the way the program loads a
// file, and checks what it stored: positions that convert, notes in range.
#include "alg/song/TSongReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvanta;
    TSong song;
    const MidiLoadResult r =
        loadMidiMemory(song, std::as_bytes(std::span<const std::uint8_t>(data, size)));
    if (r.status != 0 && r.status != kStatusLoadFailed) std::abort();
    for (int list = 0; list < kNoteListCount; ++list) {
        for (const TNote& n : song.notes.list(list)) {
            if (n.pitch > 127 || n.list != list || n.pitchClass != n.pitch % 12) std::abort();
            (void)song.meter().ToTicks(n.start);
        }
    }
    for (int i = 0; i < song.metaEvents.Count(); ++i)
        (void)song.metaEvents.TickOf(i);
    (void)song.meter().ToPos(song.notes.length);
    return 0;
}
