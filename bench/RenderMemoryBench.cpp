// Peak memory of rendering a harmonized song to a WAV file, two ways: the
// whole song held as samples and then written out (renderStreamEvents and
// writeWavFile), and renderSongToWav's block-by-block stream into the file.
// Each render runs in a child process of its own, whose peak resident size
// the kernel reports; a child that only gathers the events and opens the
// synth gives the floor both share. The figures read as ratios within one run.
//
//   korvanta_bench_render_memory [MINUTES...]     (default: 2 8 24)
#include "playback/OfflineRender.h"
#include "playback/SongRender.h"
#include "session/ChordMaster.h"
#include "styles/StyleMaster.h"
#include "support/SmfBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace korvanta;
using korvanta::test::SmfBuilder;
using korvanta::test::TrackBuilder;

namespace {

constexpr int kQuarter = 480;

// A repeated eight-bar phrase at 120 quarters a minute: 30 bars a minute.
std::filesystem::path writeMelody(const std::filesystem::path& folder, int minutes) {
    static constexpr int kPhrase[8][4] = {{60, 64, 67, 72}, {65, 69, 72, 69}, {67, 71, 67, 74},
                                          {72, 71, 69, 67}, {64, 62, 60, 62}, {64, 64, 64, 65},
                                          {67, 65, 64, 62}, {60, 62, 64, 60}};
    TrackBuilder t;
    t.tempo(0, 500000).timeSig(0, 4, 2).keySig(0, 0, 0);
    for (int bar = 0; bar < 30 * minutes; ++bar)
        for (const int pitch : kPhrase[bar % 8])
            t.noteOn(0, 0, pitch, 90).noteOff(kQuarter, 0, pitch);
    t.endOfTrack();
    const auto bytes = SmfBuilder().header(0, 1, kQuarter).track(t).bytes();
    const auto path = folder / ("melody-" + std::to_string(minutes) + ".mid");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Peak resident kilobytes of job run in a child process; -1 when it failed.
long peakKilobytesOf(const std::function<bool()>& job) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) _exit(job() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

OfflineRenderOptions renderOptionsOf(TSong& song) {
    OfflineRenderOptions render;
    render.ticksPerQuarter = static_cast<std::uint32_t>(song.ticksPerQuarter);
    render.microsecondsPerQuarter = static_cast<std::uint32_t>(song.QueryMeta(kMetaTempo));
    return render;
}

FluidSynthOptions offline() {
    FluidSynthOptions options;
    options.offline = true;
    return options;
}

bool floorOnly(TSong& song) {
    std::vector<std::uint32_t> words;
    FluidSynthOutput synth(offline());
    return songStreamWords(song, words) && synth.open();
}

bool inMemory(TSong& song, const std::filesystem::path& wav) {
    std::vector<std::uint32_t> words;
    if (!songStreamWords(song, words)) return false;
    FluidSynthOutput synth(offline());
    std::vector<std::int16_t> audio;
    if (!synth.open() || !renderStreamEvents(synth, words, renderOptionsOf(song), audio))
        return false;
    synth.close();
    return writeWavFile(wav, audio, static_cast<std::uint32_t>(synth.sampleRateHz())).ok();
}

bool streamed(TSong& song, const std::filesystem::path& wav) {
    return renderSongToWav(song, wav).ok();
}

} // namespace

int main(int argc, char** argv) {
    if (!FluidSynthOutput::findSoundFont(FluidSynthOptions{})) {
        std::fprintf(stderr, "No General MIDI SoundFont is installed.\n");
        return 1;
    }
    std::vector<int> minutes;
    for (int i = 1; i < argc; ++i)
        minutes.push_back(std::max(1, std::atoi(argv[i])));
    if (minutes.empty()) minutes = {2, 8, 24};

    const auto folder = std::filesystem::temp_directory_path() /
                        ("korvanta-render-memory-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto wav = folder / "out.wav";

    std::printf("%8s %10s %12s %12s %14s %16s\n", "minutes", "floor MB", "in-memory MB",
                "streamed MB", "in-mem/stream", "above floor i/s");
    for (const int m : minutes) {
        HarmonySettings settings = kBuiltInHarmonySettings;
        ChordMaster master(writeMelody(folder, m).string(), 0, settings);
        if (master.loadMidiFile() != kStatusOk || master.Harmonize() != kStatusOk) {
            std::fprintf(stderr, "The %d-minute melody could not be harmonized.\n", m);
            return 1;
        }
        TSong& song = *master.song();
        BuildChordNotes(song);
        const long floorKb = peakKilobytesOf([&] { return floorOnly(song); });
        const long memoryKb = peakKilobytesOf([&] { return inMemory(song, wav); });
        const long streamKb = peakKilobytesOf([&] { return streamed(song, wav); });
        if (floorKb < 0 || memoryKb < 0 || streamKb < 0) {
            std::fprintf(stderr, "A %d-minute render failed.\n", m);
            return 1;
        }
        std::printf("%8d %10.1f %12.1f %12.1f %14.2f %16.1f\n", m, floorKb / 1024.0,
                    memoryKb / 1024.0, streamKb / 1024.0, double(memoryKb) / double(streamKb),
                    double(memoryKb - floorKb) / double(std::max(1L, streamKb - floorKb)));
    }
    std::filesystem::remove_all(folder);
    return 0;
}
