#include "playback/SongRender.h"

#include "alg/harmony/ChordMaster.h"
#include "support/ScratchPath.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

using namespace korvanta;

namespace {

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
    if (!FluidSynthOutput::findSoundFont(FluidSynthOptions{}))
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    HarmonySettings settings = kBuiltInHarmonySettings;
    ChordMaster master(std::string(KORVANTA_DATA_DIR) + "/samples/twinkle-twinkle.mid", 0,
                       settings);
    ASSERT_EQ(master.loadMidiFile(), kStatusOk);
    ASSERT_EQ(master.Harmonize(), kStatusOk);
    TSong& song = *master.song();
    ASSERT_GT(song.BuildChordNotes(), 0);

    const auto wav = test::scratchPath("korvanta-render-test", ".wav");
    const MidiResult r = renderSongToWav(song, wav);
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
