#include "playback/SongRender.h"

#include "ReferenceRender.h"
#include "playback/OfflineRender.h"
#include "session/ChordMaster.h"
#include "styles/StyleMaster.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <new>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace korvanta;

namespace {

// A limit on the address space does not work under AddressSanitizer, which
// reserves terabytes of it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

const std::string kTooLong = "The song is too long to render.";

bool soundFontInstalled() {
    return FluidSynthOutput::findSoundFont(FluidSynthOptions{}).has_value();
}

// A song opened as the command line opens it; the master keeps the settings.
struct LoadedSong {
    HarmonySettings settings = kBuiltInHarmonySettings;
    std::unique_ptr<ChordMaster> master;
    TSong& song() { return *master->song(); }
};

std::unique_ptr<LoadedSong> loadSong(const std::string& path) {
    auto loaded = std::make_unique<LoadedSong>();
    loaded->master = std::make_unique<ChordMaster>(path, 0, loaded->settings);
    if (loaded->master->loadMidiFile() != kStatusOk) return nullptr;
    return loaded;
}

std::unique_ptr<LoadedSong> harmonizedTwinkle() {
    auto loaded = loadSong(std::string(KORVANTA_DATA_DIR) + "/samples/twinkle-twinkle.mid");
    if (!loaded || loaded->master->Harmonize() != kStatusOk || BuildChordNotes(loaded->song()) <= 0)
        return nullptr;
    return loaded;
}

// Whole notes at 16 s a quarter: 120 bars last 2 hours 8 minutes.
std::unique_ptr<LoadedSong> slowMelody(int bars) {
    test::TrackBuilder t;
    t.tempo(0, 16000000).timeSig(0, 4, 2);
    for (int bar = 0; bar < bars; ++bar)
        t.noteOn(0, 0, 60 + bar % 12, 90).noteOff(4 * 480, 0, 60 + bar % 12);
    t.endOfTrack();
    const auto bytes = test::SmfBuilder().header(0, 1, 480).track(t).bytes();
    const auto path = test::scratchPath("korvanta-slow-melody", ".mid");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    auto loaded = loadSong(path.string());
    std::filesystem::remove(path);
    return loaded;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs job in a child process whose address space may grow by `room` bytes
// only. The child's exit code, or minus the signal that ended it (an uncaught
// exception aborts).
int exitCodeWithLittleMemory(std::uint64_t room, const std::function<int()>& job) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(120); // a guard against a child that never ends
        std::ifstream statm("/proc/self/statm");
        std::uint64_t pages = 0;
        statm >> pages;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max =
            pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + room;
        if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(100);
        // An exception that escapes ends the child as it ends the program.
        _exit([&]() noexcept { return job(); }());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Counts its writes and runs out of memory at one of them.
class SinkOutOfMemory : public OutputSink {
public:
    explicit SinkOutOfMemory(int failingWrite) : m_failingWrite(failingWrite) {}
    bool write(std::span<const std::byte>) override {
        if (++writes == m_failingWrite) throw std::bad_alloc();
        return true;
    }
    bool commit() override {
        committed = true;
        return true;
    }
    int writes = 0;
    bool committed = false;

private:
    int m_failingWrite;
};

// 16-bit samples of a canonical 44-byte-header WAV file.
std::vector<std::int16_t> wavSamples(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples;
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return samples;
    samples.resize((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

double rmsOf(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    double sum = 0;
    to = std::min(to, samples.size());
    for (std::size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / double(to - from)) / 32768.0 : 0.0;
}

} // namespace

TEST(SongRender, AHarmonizedSampleRendersAudibleUnclippedAudio) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    const auto loaded = harmonizedTwinkle();
    ASSERT_TRUE(loaded);

    const auto wav = test::scratchPath("korvanta-render-test", ".wav");
    const MidiResult r = renderSongToWav(loaded->song(), wav);
    ASSERT_TRUE(r.ok()) << r.errorText();
    const std::vector<std::int16_t> samples = wavSamples(wav);
    std::filesystem::remove(wav);
    // 12 bars of 4/4 at 100 beats per minute last 28.8 s, plus the release tail.
    const double seconds = double(samples.size()) / 2 / 44100;
    EXPECT_GT(seconds, 28.0);
    EXPECT_LT(seconds, 33.0);
    // Every second of the song sounds; nothing reaches full scale.
    for (int second = 0; second < 28; ++second) {
        EXPECT_GT(rmsOf(samples, second * 88200u, (second + 1) * 88200u), 0.005) << second;
    }
    std::int16_t peak = 0;
    for (const std::int16_t s : samples)
        peak = std::max<std::int16_t>(peak, std::abs(s));
    EXPECT_LT(peak, 32000);
}

TEST(SongRender, TheWavFileHoldsTheSamplesOfAOneBufferRender) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    const auto loaded = harmonizedTwinkle();
    ASSERT_TRUE(loaded);
    TSong& song = loaded->song();

    MemorySink sink;
    const MidiResult r = renderSongToWav(song, sink);
    ASSERT_TRUE(r.ok()) << r.errorText();
    EXPECT_TRUE(sink.committed());

    std::vector<std::uint32_t> words;
    ASSERT_TRUE(songStreamWords(song, words));
    FluidSynthOptions options;
    options.offline = true;
    FluidSynthOutput synth(options);
    ASSERT_TRUE(synth.open());
    OfflineRenderOptions render;
    render.ticksPerQuarter = static_cast<std::uint32_t>(song.ticksPerQuarter);
    render.microsecondsPerQuarter = static_cast<std::uint32_t>(song.QueryMeta(kMetaTempo));
    const std::vector<std::int16_t> expected = test::renderInOneBuffer(synth, words, render);

    ASSERT_GT(expected.size(), 2u * 44100 * 28);
    EXPECT_EQ(test::wavField(sink.bytes(), 40), 2 * expected.size());
    const std::vector<std::int16_t> samples = test::wavSamples(sink.bytes());
    ASSERT_EQ(samples.size(), expected.size());
    EXPECT_TRUE(samples == expected);
}

TEST(SongRender, ASongOverTheLimitIsRefusedBeforeAnyFileIsTouched) {
    const auto loaded = slowMelody(120);
    ASSERT_TRUE(loaded);
    const auto folder = test::scratchPath("korvanta-render-limit");
    std::filesystem::create_directories(folder);
    const auto wav = folder / "song.wav";
    std::ofstream(wav, std::ios::binary) << "an older rendering";

    EXPECT_EQ(renderSongToWav(loaded->song(), wav).errorText(), kTooLong);
    EXPECT_EQ(readFile(wav), "an older rendering");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
    std::filesystem::remove_all(folder);

    MemorySink sink;
    EXPECT_EQ(renderSongToWav(loaded->song(), sink).errorText(), kTooLong);
    EXPECT_TRUE(sink.bytes().empty());
    EXPECT_FALSE(sink.committed());

    // Just under the limit, the song is measured to its end and accepted.
    const auto shorter = slowMelody(110);
    ASSERT_TRUE(shorter);
    std::vector<std::uint32_t> words;
    ASSERT_TRUE(songStreamWords(shorter->song(), words));
    OfflineRenderOptions render;
    render.microsecondsPerQuarter = 16000000;
    std::uint64_t frames = 0;
    ASSERT_TRUE(measureStreamEvents(words, render, 44100, frames));
    EXPECT_NEAR(double(frames) / 44100, 110 * 64 + 2, 1);
}

TEST(SongRender, UnderAMemoryLimitALongSongGetsItsMessageInsteadOfAnAbort) {
    if (kAddressSanitizer) GTEST_SKIP() << "a limit on the address space cannot work here";
    const auto loaded = slowMelody(120);
    ASSERT_TRUE(loaded);
    const auto wav = test::scratchPath("korvanta-render-limit", ".wav");
    // Room for the synth and its SoundFont, not for two hours of audio.
    std::error_code ignored;
    const auto soundFont = FluidSynthOutput::findSoundFont(FluidSynthOptions{});
    const std::uint64_t room =
        (soundFont ? std::filesystem::file_size(*soundFont, ignored) : 0) + (64u << 20);
    const int code = exitCodeWithLittleMemory(room, [&] {
        const MidiResult r = renderSongToWav(loaded->song(), wav);
        return r.errorText() == kTooLong && !std::filesystem::exists(wav) ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    std::filesystem::remove(wav, ignored);
}

TEST(SongRender, RunningOutOfMemoryWhileRenderingIsAFailureNotAnException) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    const auto loaded = harmonizedTwinkle();
    ASSERT_TRUE(loaded);
    for (const int failingWrite : {1, 40}) {
        SinkOutOfMemory sink(failingWrite);
        MidiResult r = MidiResult::success();
        EXPECT_NO_THROW(r = renderSongToWav(loaded->song(), sink));
        EXPECT_EQ(r.errorText(), "Not enough memory to render the song.");
        EXPECT_EQ(sink.writes, failingWrite);
        EXPECT_FALSE(sink.committed);
    }
}

TEST(SongRender, TheStreamOfASongEndsWithItsLastNoteOff) {
    HarmonySettings settings = kBuiltInHarmonySettings;
    ChordMaster master(std::string(KORVANTA_DATA_DIR) + "/samples/twinkle-twinkle.mid", 0,
                       settings);
    ASSERT_EQ(master.loadMidiFile(), kStatusOk);
    std::vector<std::uint32_t> words;
    ASSERT_TRUE(songStreamWords(*master.song(), words).ok());
    ASSERT_EQ(words.size() % 3, 0u);
    // 42 melody notes: as many note-ons (velocity > 0) as note-offs.
    int on = 0;
    int off = 0;
    for (std::size_t i = 2; i < words.size(); i += 3) {
        const std::uint32_t w = words[i];
        if (w >> 24 != 0) continue;
        const std::uint32_t status = w & 0xF0;
        const std::uint32_t velocity = (w >> 16) & 0x7F;
        if (status == 0x90 && velocity > 0) ++on;
        if (status == 0x80 || (status == 0x90 && velocity == 0)) ++off;
    }
    EXPECT_EQ(on, 42);
    EXPECT_EQ(off, 42);
    const std::uint32_t last = words.back();
    EXPECT_TRUE((last & 0xF0) == 0x80 || ((last & 0xF0) == 0x90 && ((last >> 16) & 0x7F) == 0));
}
