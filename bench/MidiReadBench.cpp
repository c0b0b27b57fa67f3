// Reading speed of the MIDI file reader, against two baselines measured in the
// same run: merely reading the file into memory (the floor), and libsmf's
// smf_load. Files are generated at start-up into a temporary folder: a typical
// song of 16 tracks and about 20,000 events (0), a file of ~10 MB in 512 tracks
// (1), and one of ~10 MB in 16 long tracks (2). libsmf is left out on the last:
// its load time grows with the square of a track's length (about a minute).
#include "alg/song/TSongReader.h"
#include "support/SmfBuilder.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <smf.h>
#include <string>
#include <vector>

using namespace korvanta;
using korvanta::test::SmfBuilder;
using korvanta::test::TrackBuilder;

namespace {

struct BenchFile {
    std::string path;
    std::size_t bytes = 0;
    std::size_t events = 0;
};

// A track of a plausible arrangement: a name, program and controllers, then
// notes (note-on/note-off pairs with running status) and now and then a
// controller move.
TrackBuilder makeTrack(int channel, std::size_t noteCount, std::mt19937& rng, std::size_t& events) {
    TrackBuilder t;
    t.text(0, 0x03, "Track " + std::to_string(channel));
    t.program(0, channel, static_cast<int>(rng() % 128)).controller(0, channel, 7, 100);
    t.controller(0, channel, 10, 64);
    events += 4;
    for (std::size_t i = 0; i < noteCount; ++i) {
        const int pitch = 36 + static_cast<int>(rng() % 60);
        const std::uint32_t gap = 60 * (rng() % 4);
        const std::uint32_t length = 60 + 60 * (rng() % 8);
        t.event(gap, {0x90 | channel, pitch, 64 + static_cast<int>(rng() % 60)});
        t.running(length, {pitch, 0});
        events += 2;
        if (i % 64 == 63) {
            t.controller(0, channel, 11, static_cast<int>(rng() % 128));
            ++events;
        }
    }
    t.endOfTrack();
    return t;
}

BenchFile writeFile(const std::filesystem::path& dir, const std::string& name, int tracks,
                    std::size_t notesPerTrack) {
    std::mt19937 rng(1234);
    BenchFile f;
    SmfBuilder b;
    b.header(1, tracks, 480);
    TrackBuilder conductor;
    conductor.tempo(0, 500000).timeSig(0, 4, 2).keySig(0, 0, 0).endOfTrack();
    b.track(conductor);
    f.events += 3;
    for (int t = 1; t < tracks; ++t)
        b.track(makeTrack(t % 16, notesPerTrack, rng, f.events));
    f.path = (dir / name).string();
    std::ofstream out(f.path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.bytes().data()),
              static_cast<std::streamsize>(b.bytes().size()));
    f.bytes = b.bytes().size();
    return f;
}

const std::vector<BenchFile>& files() {
    static const std::vector<BenchFile> all = [] {
        const auto dir = std::filesystem::temp_directory_path() / "korvanta-bench";
        std::filesystem::create_directories(dir);
        return std::vector<BenchFile>{writeFile(dir, "typical-song.mid", 16, 660),
                                      writeFile(dir, "ten-megabytes-512-tracks.mid", 512, 2200),
                                      writeFile(dir, "ten-megabytes-16-tracks.mid", 16, 75000)};
    }();
    return all;
}

void setCounters(benchmark::State& state, const BenchFile& f) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * f.events));
    state.SetLabel(std::to_string(f.bytes) + " bytes, " + std::to_string(f.events) + " events");
}

void BM_ReadIntoMemory(benchmark::State& state) {
    const BenchFile& f = files()[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        std::FILE* file = std::fopen(f.path.c_str(), "rb");
        std::vector<char> bytes(f.bytes);
        const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        benchmark::DoNotOptimize(got);
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, f);
}

// The parser alone, from memory, with every callback left empty: what the
// reading costs before anything is stored.
class NullReader : public MidiMergeReader {
public:
    using MidiMergeReader::MidiMergeReader;
};

void BM_ParseOnly(benchmark::State& state) {
    const BenchFile& f = files()[static_cast<std::size_t>(state.range(0))];
    std::vector<std::byte> bytes(f.bytes);
    std::FILE* file = std::fopen(f.path.c_str(), "rb");
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (got != bytes.size()) state.SkipWithError("short read");
    for (auto _ : state) {
        NullReader reader{std::span<const std::byte>(bytes)};
        if (!reader.read()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(reader.trackTime());
    }
    setCounters(state, f);
}

void BM_KorvantaLoad(benchmark::State& state) {
    const BenchFile& f = files()[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        TSong song;
        const MidiLoadResult r = loadMidiFile(song, f.path);
        if (r.status != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(song.notes.length);
    }
    setCounters(state, f);
}

void BM_LibsmfLoad(benchmark::State& state) {
    const BenchFile& f = files()[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        smf_t* smf = smf_load(f.path.c_str());
        if (!smf) state.SkipWithError("libsmf load failed");
        benchmark::DoNotOptimize(smf);
        smf_delete(smf);
    }
    setCounters(state, f);
}

} // namespace

BENCHMARK(BM_ReadIntoMemory)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOnly)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KorvantaLoad)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibsmfLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
