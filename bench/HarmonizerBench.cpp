// Cost of one harmonization against melody length. The baseline in the same
// run is preparing the same melody (PrepareMelody), which is linear in the
// notes; the harmonizer's time per bar should stay flat from 100 to 10,000
// bars. The melody is a repeated eight-bar phrase of quarters and long notes,
// so cadence marking, cadence bars and both passes all take part.

#include "alg/harmony/Harmonizer.h"
#include "alg/harmony/ProgressionTables.h"
#include "alg/song/MelodyChecks.h"
#include "support/SongGrid.h"

#include <benchmark/benchmark.h>
#include <memory>

using namespace korvanta;

namespace {

constexpr int kQuarter = 480;
constexpr int kBar = 4 * kQuarter;

std::unique_ptr<TSong> melody(int bars) {
    auto song = std::make_unique<TSong>();
    TMeterMap& meter = song->meter();
    test::useCommonTime(meter, kQuarter);
    static constexpr int kPhrase[8][4] = {{60, 64, 67, 72}, {65, 69, 72, 69}, {67, 71, 67, 74},
                                          {72, -1, -1, -1}, {64, 62, 60, 62}, {64, 64, 64, 65},
                                          {67, 65, 64, 62}, {60, -1, -1, -1}};
    for (int b = 0; b < bars; ++b) {
        const int* pitches = kPhrase[b % 8];
        for (int q = 0; q < 4; ++q) {
            if (pitches[q] < 0) continue;
            const int duration = q == 0 && pitches[1] < 0 ? kBar : kQuarter;
            song->notes.AddNote(static_cast<std::uint8_t>(pitches[q]), kMelodyList, 0x6464,
                                meter.ToPos(b * kBar + q * kQuarter),
                                static_cast<std::uint16_t>(duration),
                                static_cast<std::uint8_t>(pitches[q] % 12));
        }
    }
    PrepareMelody(*song, kMelodyList, PrepareMode::ProjectFile);
    song->keys = {TKeyEntry{kKeyCMajor, 0, 0}};
    song->keyMarks[kKeyCMajor] = 4;
    song->keyMarks[8] = 3;
    song->keyMarks[6] = 2;
    return song;
}

void BM_PrepareMelody(benchmark::State& state) {
    const int bars = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto song = melody(bars);
        benchmark::DoNotOptimize(song->barCount);
    }
    state.counters["us_per_bar"] = benchmark::Counter(
        static_cast<double>(bars) * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Harmonize(benchmark::State& state) {
    const int bars = static_cast<int>(state.range(0));
    auto song = melody(bars);
    HarmonySettings settings = kBuiltInHarmonySettings;
    settings.CSFilter = true;
    settings.DSFilter = true;
    for (auto _ : state) {
        Harmonizer harmonizer(*song, settings, progression::progressionTableFor(kKeyCMajor));
        benchmark::DoNotOptimize(harmonizer.Run());
    }
    state.counters["us_per_bar"] = benchmark::Counter(
        static_cast<double>(bars) * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_PrepareMelody)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Harmonize)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
