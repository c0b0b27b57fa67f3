// Feeds arbitrary bytes to the project file reader the way the program opens a
// project. A file that loads must also survive what follows a load: saving it
// gives a file that loads again and saves to the same bytes, and so does the
// song after the melody step and after a harmonization — whatever the program
// saves, it opens again to the same song.
#include "alg/song/MelodyChecks.h"
#include "project/ProjectFile.h"
#include "session/ChordMaster.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

using namespace korvanta;

// Saves the master's song, opens the bytes in a second master and saves that
// again: it must open with its melody accepted and give the same bytes.
void checkSavedSongReopens(ChordMaster& master) {
    MemorySink first;
    if (!ProjectFile("fuzz.kvt", *master.song(), master.settings()).save(first).ok()) std::abort();
    HarmonySettings settings = kBuiltInHarmonySettings;
    ChordMaster again("fuzz.kvt", 0, settings);
    (void)again.loadProjectMemory(first.bytes());
    if (!again.melodyPrepared()) std::abort();
    MemorySink second;
    if (!ProjectFile("fuzz.kvt", *again.song(), again.settings()).save(second).ok()) std::abort();
    if (first.bytes() != second.bytes()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span<const std::uint8_t>(data, size));
    TSong song;
    HarmonySettings settings = kBuiltInHarmonySettings;
    const ProjectResult r = ProjectFile("fuzz.kvt", song, settings).load(bytes);
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

    // The program's own way: open, melody step, save; then harmonize and save.
    HarmonySettings masterSettings = kBuiltInHarmonySettings;
    ChordMaster master("fuzz.kvt", 0, masterSettings);
    (void)master.loadProjectMemory(bytes);
    if (!master.melodyPrepared()) return 0;
    checkSavedSongReopens(master);
    if (master.Harmonize() == kStatusKeyAmbiguous)
        (void)master.answerMinorKeyQuestion(size % 2 == 0);
    checkSavedSongReopens(master);
    return 0;
}
