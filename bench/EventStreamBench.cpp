// Cost of turning a song into its playback stream. A song of 100,000 melody
// notes (plus a controller every bar and a tempo change every 16 bars) is
// gathered, ordered and written through 8192-word buffers, the player's size.
// The baseline in the same run is copying the note list, the least any pass
// over the notes costs; the stream's time should stay a small multiple of it
// and grow as n log n at worst (compare 10,000 with 100,000 notes).

#include "alg/song/SongEventStream.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using namespace korvanta;

namespace {

constexpr int kQuarter = 480;
constexpr int kBar = 4 * kQuarter;
constexpr std::size_t kBufferWords = 8192;

std::unique_ptr<TSong> song(int noteCount) {
    auto s = std::make_unique<TSong>();
    TMeterMap& meter = s->meter();
    meter.SetDivision(kQuarter);
    meter.sixteenthTicks = kQuarter / 4;
    meter.AddMeter(0, 4, 4);
    // Eighth notes; positions stay within the 16-bit bar range.
    for (int i = 0; i < noteCount; ++i) {
        const int ticks = i * (kQuarter / 2);
        const auto pitch = static_cast<std::uint8_t>(60 + (i * 7) % 24);
        s->notes.AddNote(pitch, kMelodyList, 0x6440, meter.ToPos(ticks),
                         static_cast<std::uint16_t>(kQuarter / 2), pitch % 12);
        if (ticks % kBar == 0) {
            TSongEvent e;
            e.type = 0xB0;
            e.value = packEventBytes(7, static_cast<std::uint8_t>(i % 128));
            e.setPosition(meter.ToPos(ticks));
            s->channelEvents.Append(e);
        }
        if (ticks % (16 * kBar) == 0) {
            TSongEvent e;
            e.type = kMetaTempo;
            e.value = 500000 + static_cast<std::uint32_t>(i % 1000);
            e.setPosition(meter.ToPos(ticks));
            s->metaEvents.Append(e);
        }
    }
    s->notes.length = noteCount * (kQuarter / 2);
    return s;
}

void setNotes(benchmark::State& state, int notes) {
    state.counters["time_per_note"] = benchmark::Counter(
        static_cast<double>(notes),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_CopyNotes(benchmark::State& state) {
    const int notes = static_cast<int>(state.range(0));
    auto s = song(notes);
    for (auto _ : state) {
        std::vector<TNote> copy = s->notes.list(kMelodyList);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    setNotes(state, notes);
}

void BM_GatherAndFill(benchmark::State& state) {
    const int notes = static_cast<int>(state.range(0));
    const int fromTicks = static_cast<int>(state.range(1)) * notes * (kQuarter / 2) / 2;
    auto s = song(notes);
    std::vector<std::uint32_t> buffer(kBufferWords);
    std::int64_t words = 0;
    for (auto _ : state) {
        StreamCursors cursors;
        PositionCursors(*s, cursors, fromTicks, 0);
        GatherState gather;
        FillResult r;
        do {
            r = Fill(*s, buffer, StreamSource::kAll, cursors, gather);
            words += r.words;
            benchmark::DoNotOptimize(buffer.data());
        } while (r.status == FillStatus::More);
        if (r.status == FillStatus::Failed) state.SkipWithError("fill failed");
    }
    setNotes(state, notes);
    state.counters["words"] =
        benchmark::Counter(static_cast<double>(words), benchmark::Counter::kAvgIterations);
}

} // namespace

BENCHMARK(BM_CopyNotes)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);
// Second argument 1: play from the middle of the song.
BENCHMARK(BM_GatherAndFill)
    ->Args({10'000, 0})
    ->Args({100'000, 0})
    ->Args({100'000, 1})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
