// The command line's whole job on one melody: open a MIDI file, analyse its
// key, harmonize, save the project and export MIDI, for melodies of 32, 1,000
// and 10,000 bars. Measured in the same run as its parts (open only; open +
// analyse + harmonize) so the figures read as ratios.
#include "session/ChordMaster.h"
#include "support/SmfBuilder.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

using namespace korvanta;
using korvanta::test::SmfBuilder;
using korvanta::test::TrackBuilder;

namespace {

constexpr int kQuarter = 480;

// A repeated eight-bar C major phrase of quarters and whole notes.
std::string melodyFile(int bars) {
    static std::map<int, std::string> made;
    if (auto it = made.find(bars); it != made.end()) return it->second;
    static constexpr int kPhrase[8][4] = {{60, 64, 67, 72}, {65, 69, 72, 69}, {67, 71, 67, 74},
                                          {72, -1, -1, -1}, {64, 62, 60, 62}, {64, 64, 64, 65},
                                          {67, 65, 64, 62}, {60, -1, -1, -1}};
    TrackBuilder t;
    t.tempo(0, 500000).timeSig(0, 4, 2).keySig(0, 0, 0).program(0, 0, 73);
    std::uint32_t wait = 0;
    for (int b = 0; b < bars; ++b) {
        const int* pitches = kPhrase[b % 8];
        for (int q = 0; q < 4; ++q) {
            if (pitches[q] < 0) continue;
            const std::uint32_t length = q == 0 && pitches[1] < 0 ? 4 * kQuarter : kQuarter;
            t.noteOn(wait, 0, pitches[q], 90).noteOff(length, 0, pitches[q]);
            wait = 0;
        }
    }
    t.endOfTrack();
    const auto dir = std::filesystem::temp_directory_path() / "korvanta-bench";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / ("melody-" + std::to_string(bars) + ".mid")).string();
    const auto bytes = SmfBuilder().header(0, 1, kQuarter).track(t).bytes();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return made[bars] = path;
}

void perBar(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Open(benchmark::State& state) {
    const std::string path = melodyFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        HarmonySettings settings = kBuiltInHarmonySettings;
        ChordMaster master(path, 0, settings);
        if (master.loadMidiFile() != kStatusOk) state.SkipWithError("open failed");
    }
    perBar(state);
}

void BM_OpenHarmonize(benchmark::State& state) {
    const std::string path = melodyFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        HarmonySettings settings = kBuiltInHarmonySettings;
        ChordMaster master(path, 0, settings);
        master.loadMidiFile();
        if (master.Harmonize() != kStatusOk) state.SkipWithError("harmonize failed");
    }
    perBar(state);
}

void BM_OpenHarmonizeSaveExport(benchmark::State& state) {
    const std::string path = melodyFile(static_cast<int>(state.range(0)));
    const std::string project = path + ".kvt";
    const std::string exported = path + "_kvta.mid";
    for (auto _ : state) {
        HarmonySettings settings = kBuiltInHarmonySettings;
        ChordMaster master(path, 0, settings);
        master.loadMidiFile();
        master.Harmonize();
        if (master.saveProjectFile(project) != kStatusOk) state.SkipWithError("save failed");
        if (master.Export(exported) != kStatusOk) state.SkipWithError("export failed");
    }
    perBar(state);
}

} // namespace

BENCHMARK(BM_Open)->Arg(32)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenHarmonize)->Arg(32)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenHarmonizeSaveExport)
    ->Arg(32)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
