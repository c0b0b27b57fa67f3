// Building a song's accompaniment: block chords (the baseline) against a
// one-bar and a two-bar style pattern, over 100, 1,000 and 10,000 bars of
// changing chords. Both run in the same process so the figures read as ratios.
#include "alg/song/TSong.h"
#include "styles/StyleMaster.h"
#include "styles/StyleTestSupport.h"
#include "support/SongGrid.h"

#include <benchmark/benchmark.h>

using namespace korvanta;

namespace {

// Bass on 1 and 3, a chord of three tones on every eighth: 14 notes a bar.
StyleRecord busyStyle(int bars) {
    StyleRecord s;
    s.setBars(static_cast<std::uint8_t>(bars));
    s.setBaseOctave(4);
    s.setBeatsPerBar(4);
    s.setTimeSignature(4, 4);
    s.ticksPerQuarter = 480;
    s.meters = 0x2244;
    for (int b = 0; b < bars; ++b) {
        s.events.push_back(test::patternEvent(1, 3, b, 0, 0, 900));
        s.events.push_back(test::patternEvent(5, 3, b, 2, 0, 900));
        for (int e = 0; e < 4; ++e) {
            for (int sel : {3, 5, 7})
                s.events.push_back(test::patternEvent(sel, 4, b, e, e % 2 ? 240 : 0, 200));
        }
    }
    s.eventCount = static_cast<std::uint32_t>(s.events.size());
    return s;
}

void setUp(TSong& song, int bars) {
    test::useCommonTime(song.meter());
    song.setBarCount(bars);
    song.chordOctave = 4;
    static constexpr std::int16_t kChords[4] = {0x0700, 0x0600, 0x0801, 0x1300};
    song.barHarmony.resize(static_cast<std::size_t>(bars));
    for (int b = 0; b < bars; ++b) {
        song.barHarmony[static_cast<std::size_t>(b)].chord = kChords[b % 4];
        song.barHarmony[static_cast<std::size_t>(b)].play = 1;
    }
    song.notes.CreateList(kChordList, 50);
}

void build(benchmark::State& state, const StyleRecord* style) {
    const int bars = static_cast<int>(state.range(0));
    TSong song;
    setUp(song, bars);
    song.style = style;
    std::int64_t notes = 0;
    for (auto _ : state) {
        notes = BuildChordNotes(song);
        benchmark::DoNotOptimize(song.notes.list(kChordList).data());
    }
    state.SetItemsProcessed(state.iterations() * bars);
    state.counters["notes/bar"] = static_cast<double>(notes) / bars;
}

void BM_BlockChords(benchmark::State& state) {
    build(state, nullptr);
}
void BM_StyleOneBar(benchmark::State& state) {
    static const StyleRecord style = busyStyle(1);
    build(state, &style);
}
void BM_StyleTwoBars(benchmark::State& state) {
    static const StyleRecord style = busyStyle(2);
    build(state, &style);
}

} // namespace

BENCHMARK(BM_BlockChords)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StyleOneBar)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StyleTwoBars)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
