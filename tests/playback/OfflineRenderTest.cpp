// Rendering stream events a block at a time into a WAV sink: the same samples
// as one buffer holding the whole song, the length known before rendering,
// and a sink's failure ending the render.

#include "playback/OfflineRender.h"

#include "ReferenceRender.h"
#include "StreamTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace korvanta {
namespace {

using test::noteOff;
using test::noteOn;

bool soundFontInstalled() {
    return FluidSynthOutput::findSoundFont(FluidSynthOptions{}).has_value();
}

FluidSynthOptions offlineAt(double sampleRateHz) {
    FluidSynthOptions options;
    options.offline = true;
    options.sampleRateHz = sampleRateHz;
    return options;
}

// Events that fall inside blocks and on no block boundary, gaps shorter and
// much longer than a block, a tempo change and chords.
MidiBuffer unevenSong() {
    return test::makeBuffer({{0, noteOn(0, 60)},
                             {7, noteOn(0, 64)},
                             {333, noteOff(0, 60)},
                             {0, tempoEventWord(421337)},
                             {1, noteOn(1, 67, 90)},
                             {1500, noteOff(0, 64)},
                             {2, packShortMessage(0xC2, 40, 0)},
                             {0, noteOn(2, 72, 80)},
                             {2900, noteOff(1, 67)},
                             {17, noteOff(2, 72)}});
}

class SinkThatFails : public OutputSink {
public:
    explicit SinkThatFails(int goodWrites) : m_goodWrites(goodWrites) {}
    bool write(std::span<const std::byte>) override { return ++writes <= m_goodWrites; }
    bool commit() override { return false; }
    std::string error() const override { return "the disk is full"; }
    int writes = 0;

private:
    int m_goodWrites;
};

TEST(OfflineRender, StreamedWavHoldsTheSamplesOfOneBufferRenderByteForByte) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    const MidiBuffer song = unevenSong();
    OfflineRenderOptions options;
    options.tail = std::chrono::milliseconds(700);

    for (const double rate : {22050.0, 44100.0}) {
        FluidSynthOutput reference(offlineAt(rate));
        FluidSynthOutput streamed(offlineAt(rate));
        FluidSynthOutput inMemory(offlineAt(rate));
        ASSERT_TRUE(reference.open() && streamed.open() && inMemory.open());

        const std::vector<std::int16_t> expected =
            test::renderInOneBuffer(reference, song.words, options);
        MemorySink sink;
        ASSERT_TRUE(renderStreamEventsToWav(streamed, song.words, options, sink));
        std::vector<std::int16_t> audio;
        ASSERT_TRUE(renderStreamEvents(inMemory, song.words, options, audio));

        const std::vector<std::byte>& bytes = sink.bytes();
        ASSERT_EQ(bytes.size(), 44 + 2 * expected.size()) << rate;
        EXPECT_EQ(test::wavField(bytes, 4), 36 + 2 * expected.size());
        EXPECT_EQ(test::wavField(bytes, 24), static_cast<std::uint32_t>(rate));
        EXPECT_EQ(test::wavField(bytes, 40), 2 * expected.size());
        EXPECT_TRUE(test::wavSamples(bytes) == expected) << rate;
        EXPECT_TRUE(audio == expected) << rate;
        EXPECT_FALSE(sink.committed()); // the caller decides
    }
}

TEST(OfflineRender, LengthIsMeasuredFromDeltasAndTempoAlone) {
    // 960 ticks at 500000 us per quarter, 960 at twice the speed: 1.5 s,
    // then the 0.5 s tail.
    const MidiBuffer song = test::makeBuffer({{0, noteOn(0, 60)},
                                              {960, noteOff(0, 60)},
                                              {0, tempoEventWord(250000)},
                                              {960, noteOn(0, 67)}});
    OfflineRenderOptions options;
    options.tail = std::chrono::milliseconds(500);
    std::uint64_t frames = 0;
    ASSERT_TRUE(measureStreamEvents(song.words, options, 22050, frames));
    EXPECT_EQ(frames, 2u * 22050);

    // A tail that would run past the limit is cut there.
    options.longest = std::chrono::milliseconds(1800);
    ASSERT_TRUE(measureStreamEvents(song.words, options, 22050, frames));
    EXPECT_EQ(frames, 22050u * 18 / 10);

    // Words that end inside an event, or a rate of nothing, are refused.
    EXPECT_FALSE(measureStreamEvents(std::span(song.words).first(4), options, 22050, frames));
    EXPECT_FALSE(measureStreamEvents(song.words, options, 0, frames));
}

TEST(OfflineRender, ASongLongerThanTheLimitIsRefusedBeforeAnythingIsRendered) {
    // The synth was never opened: a render that started would fail for that.
    FluidSynthOutput closed(offlineAt(44100));
    const MidiBuffer song =
        test::makeBuffer({{0, noteOn(0, 60)}, {480, noteOff(0, 60)}, {0xFFFFFFFFu, noteOn(0, 62)}});
    MemorySink sink;
    const MidiResult rendered = renderStreamEventsToWav(closed, song.words, {}, sink);
    EXPECT_EQ(rendered.errorText(), "The song is too long to render.");
    EXPECT_TRUE(sink.bytes().empty());

    std::vector<std::int16_t> audio = {1, 2};
    EXPECT_EQ(renderStreamEvents(closed, song.words, {}, audio).errorText(),
              "The song is too long to render.");
    EXPECT_EQ(audio, (std::vector<std::int16_t>{1, 2}));
}

TEST(OfflineRender, AFailedWriteEndsTheRenderWithTheSinksReason) {
    if (!soundFontInstalled()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    FluidSynthOutput synth(offlineAt(44100));
    ASSERT_TRUE(synth.open());
    const MidiBuffer song = unevenSong();
    for (const int goodWrites : {0, 2}) {
        SinkThatFails sink(goodWrites);
        const MidiResult rendered = renderStreamEventsToWav(synth, song.words, {}, sink);
        EXPECT_FALSE(rendered);
        EXPECT_NE(rendered.errorText().find("the disk is full"), std::string::npos);
        EXPECT_EQ(sink.writes, goodWrites + 1); // nothing more once a write failed
    }
}

} // namespace
} // namespace korvanta
