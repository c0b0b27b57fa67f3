// Feeds arbitrary bytes to the project file reader the way the program opens a
// project. A file that loads must also survive what follows a load: saving it
// gives a file that loads again and saves to the same bytes, and the melody
// step accepts the song.
#include "alg/song/MelodyChecks.h"
#include "project/ProjectFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvanta;
    TSong song;
    HarmonySettings settings = kBuiltInHarmonySettings;
    const ProjectResult r = ProjectFile("fuzz.kvt", song, settings)
                                .load(std::as_bytes(std::span<const std::uint8_t>(data, size)));
    if (!r.ok()) {
        if (r.status != kStatusLoadFailed || r.message.empty()) std::abort();
        if (!(settings == kBuiltInHarmonySettings)) std::abort();
        return 0;
    }
    if (firstInvalidHarmonySetting(settings) != nullptr) std::abort();

    MemorySink first;
    if (!ProjectFile("fuzz.kvt", song, settings).save(first).ok()) std::abort();
    TSong again;
    HarmonySettings settingsAgain;
    if (!ProjectFile("fuzz.kvt", again, settingsAgain).load(first.bytes()).ok()) std::abort();
    MemorySink second;
    if (!ProjectFile("fuzz.kvt", again, settingsAgain).save(second).ok()) std::abort();
    if (first.bytes() != second.bytes()) std::abort();

    (void)loadProjectMelody(song);
    return 0;
}
