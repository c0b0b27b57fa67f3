// The embedded synth: SoundFont lookup and its errors, and offline rendering
// (this runs where there is no sound card). Tests that need Debian's General
// MIDI SoundFont skip themselves when it is not installed.

#include "playback/FluidSynthOutput.h"

#include "StreamTestSupport.h"
#include "playback/OfflineRender.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace korvanta {
namespace {

using test::noteOff;
using test::noteOn;

namespace fs = std::filesystem;

class TemporaryFolder {
public:
    TemporaryFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path =
            fs::temp_directory_path() / (std::string("korvanta-playback-") + info->name() + "-" +
                                         std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::create_directories(m_path);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool debianSoundFontInstalled() {
    FluidSynthOptions options;
    return FluidSynthOutput::findSoundFont(options).has_value();
}

template <typename Sample>
double rms(std::span<const Sample> samples, double fullScale) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (const Sample s : samples)
        sum += (s / fullScale) * (s / fullScale);
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

constexpr double kAudibleRms = 0.005; // about -46 dB below full scale

TEST(FluidSynthOutput, MissingSoundFontIsAClearErrorNamingWhereItLooked) {
    TemporaryFolder folder;
    FluidSynthOptions options;
    options.soundFont = folder.path() / "missing.sf2";
    options.fallbackSoundFonts = {folder.path() / "also-missing.sf2"};
    options.offline = true;
    FluidSynthOutput synth(options);

    const MidiResult opened = synth.open();
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.errorText().find("No General MIDI SoundFont"), std::string::npos);
    EXPECT_NE(opened.errorText().find("missing.sf2"), std::string::npos);
    EXPECT_NE(opened.errorText().find("fluid-soundfont-gm"), std::string::npos);
    EXPECT_FALSE(synth.isOpen());
    EXPECT_FALSE(synth.sendShortMessage(noteOn(0, 60)));
}

TEST(FluidSynthOutput, ConfiguredSoundFontComesBeforeTheDefaultsWhichStandIn) {
    TemporaryFolder folder;
    const fs::path configured = folder.path() / "mine.sf2";
    const fs::path fallback = folder.path() / "default-GM.sf2";
    writeFile(configured, "x");
    writeFile(fallback, "x");

    FluidSynthOptions options;
    options.soundFont = configured;
    options.fallbackSoundFonts = {folder.path() / "absent.sf2", fallback};
    EXPECT_EQ(FluidSynthOutput::findSoundFont(options), configured);

    options.soundFont = folder.path() / "deleted.sf2";
    EXPECT_EQ(FluidSynthOutput::findSoundFont(options), fallback);

    options.soundFont = folder.path(); // a folder is not a SoundFont
    EXPECT_EQ(FluidSynthOutput::findSoundFont(options), fallback);
}

TEST(FluidSynthOutput, FileThatIsNotASoundFontGivesFluidSynthsReason) {
    TemporaryFolder folder;
    FluidSynthOptions options;
    options.soundFont = folder.path() / "broken.sf2";
    options.fallbackSoundFonts = {};
    options.offline = true;
    writeFile(options.soundFont, "RIFF\x04\x00\x00\x00sfbk not really");
    FluidSynthOutput synth(options);

    const MidiResult opened = synth.open();
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.errorText().find("could not load the SoundFont"), std::string::npos);
    EXPECT_FALSE(synth.isOpen());
}

TEST(FluidSynthOutput, AudioDriverThatCannotStartIsAnErrorNotACrash) {
    if (!debianSoundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    FluidSynthOptions options;
    options.audioDriver = "no-such-audio-driver";
    FluidSynthOutput synth(options);

    const MidiResult opened = synth.open();
    EXPECT_FALSE(opened);
    EXPECT_FALSE(opened.errorText().empty());
    EXPECT_FALSE(synth.isOpen());
}

TEST(FluidSynthOutput, OfflineRenderIsSilentBeforeANoteAndAudibleDuringIt) {
    if (!debianSoundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    FluidSynthOptions options;
    options.offline = true;
    FluidSynthOutput synth(options);
    ASSERT_TRUE(synth.open());
    EXPECT_FALSE(synth.soundFontPath().empty());

    std::vector<float> before(2 * 4410);
    ASSERT_TRUE(synth.render(before));
    EXPECT_LT(rms<float>(before, 1.0), 1e-4);

    ASSERT_TRUE(synth.sendShortMessage(packShortMessage(0xC0, 0, 0))); // piano
    for (int key : {60, 64, 67})
        ASSERT_TRUE(synth.sendShortMessage(noteOn(0, key)));
    std::vector<float> chord(2 * 22050);
    ASSERT_TRUE(synth.render(chord));
    EXPECT_GT(rms<float>(chord, 1.0), kAudibleRms);

    std::vector<std::int16_t> chord16(2 * 4410);
    ASSERT_TRUE(synth.render(chord16));
    EXPECT_GT(rms<std::int16_t>(chord16, 32768.0), kAudibleRms);
}

TEST(FluidSynthOutput, StreamEventsRenderOfflineToTheirLengthAndSound) {
    if (!debianSoundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    FluidSynthOptions options;
    options.offline = true;
    options.sampleRateHz = 22050;
    FluidSynthOutput synth(options);
    ASSERT_TRUE(synth.open());

    // A second of C at 500000 us per quarter, then a tempo twice as fast
    // makes the next 960 ticks half a second: 1.5 s plus a 0.5 s tail.
    const MidiBuffer buffer = test::makeBuffer({{0, noteOn(0, 60)},
                                                {960, noteOff(0, 60)},
                                                {0, tempoEventWord(250000)},
                                                {0, noteOn(0, 67)},
                                                {960, noteOff(0, 67)}});
    OfflineRenderOptions render;
    render.tail = std::chrono::milliseconds(500);
    std::vector<std::int16_t> audio;
    ASSERT_TRUE(
        renderStreamEvents(synth, std::span(buffer.words).first(buffer.usedWords), render, audio));

    EXPECT_EQ(audio.size(), 2u * 22050 * 2);
    EXPECT_GT(rms<std::int16_t>(std::span(audio).first(2 * 22050), 32768.0), kAudibleRms);
}

TEST(FluidSynthOutput, OfflineRenderRefusesASongLongerThanTheLimit) {
    if (!debianSoundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    FluidSynthOptions options;
    options.offline = true;
    FluidSynthOutput synth(options);
    ASSERT_TRUE(synth.open());
    const MidiBuffer buffer = test::makeBuffer({{0xFFFFFFFFu, noteOn(0, 60)}});
    std::vector<std::int16_t> audio;
    const MidiResult rendered = renderStreamEvents(synth, buffer.words, {}, audio);
    EXPECT_FALSE(rendered);
    EXPECT_TRUE(audio.empty());
}

TEST(FluidSynthOutput, WavFileHeaderDescribesItsSamples) {
    TemporaryFolder folder;
    const fs::path path = folder.path() / "out.wav";
    const std::vector<std::int16_t> samples = {1, -1, 1000, -1000, 32767, -32768};
    ASSERT_TRUE(writeWavFile(path, samples, 44100));

    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(bytes.substr(36, 4), "data");
    std::uint32_t riffSize = 0, rate = 0, dataSize = 0;
    std::memcpy(&riffSize, bytes.data() + 4, 4); // the test machine is little-endian
    std::memcpy(&rate, bytes.data() + 24, 4);
    std::memcpy(&dataSize, bytes.data() + 40, 4);
    EXPECT_EQ(riffSize, 36u + 12u);
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(dataSize, 12u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[52]), 0xFF); // 32767, low byte first
    EXPECT_EQ(static_cast<unsigned char>(bytes[55]), 0x80); // -32768, high byte
}

TEST(FluidSynthOutput, WavFileThatCannotBeWrittenIsAnErrorWithItsPath) {
    TemporaryFolder folder;
    const fs::path path = folder.path() / "no-such-folder" / "out.wav";
    const MidiResult written = writeWavFile(path, std::vector<std::int16_t>{0, 0}, 44100);
    EXPECT_FALSE(written);
    EXPECT_NE(written.errorText().find("out.wav"), std::string::npos);
}

} // namespace
} // namespace korvanta
