#include "playback/OfflineRender.h"

#include "playback/MidiStream.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

namespace korvanta {

namespace {

constexpr std::uint32_t kChannelsPerFrame = 2;
constexpr std::uint32_t kBytesPerSample = 2;
constexpr std::uint32_t kBytesPerFrame = kChannelsPerFrame * kBytesPerSample;
constexpr std::size_t kWavHeaderBytes = 44;
// What a render holds at a time, whatever the song's length.
constexpr std::size_t kBlockFrames = 4096;
constexpr std::size_t kBlockSamples = kBlockFrames * kChannelsPerFrame;

// The RIFF size field counts everything after itself.
constexpr std::uint64_t kLargestWavData =
    std::numeric_limits<std::uint32_t>::max() - (kWavHeaderBytes - 8);

MidiResult checkWords(std::span<const std::uint32_t> words, const OfflineRenderOptions& options,
                      double sampleRateHz) {
    if (options.ticksPerQuarter == 0 || options.ticksPerQuarter > MidiStream::kMaxTicksPerQuarter)
        return MidiResult::failure("The time division must be 1 to 32767 ticks per quarter.");
    if (options.microsecondsPerQuarter == 0 ||
        options.microsecondsPerQuarter > MidiStream::kMaxMicrosecondsPerQuarter)
        return MidiResult::failure(
            "The tempo must be 1 to 16777215 microseconds per quarter note.");
    if (words.size() % kWordsPerStreamEvent != 0)
        return MidiResult::failure("The stream events end inside an event.");
    if (!(sampleRateHz > 0) || sampleRateHz > std::numeric_limits<std::uint32_t>::max())
        return MidiResult::failure("The sample rate must be positive.");
    return MidiResult::success();
}

// Where the stream's events fall, in frames. Time is summed exactly, in
// microseconds times the division, so that rounding never accumulates over a
// long song; each position is rounded to a frame on its own.
class StreamClock {
public:
    StreamClock(const OfflineRenderOptions& options, double sampleRateHz)
        : m_ticksPerQuarter(options.ticksPerQuarter), m_tempo(options.microsecondsPerQuarter),
          m_framesPerMicrosecond(sampleRateHz / 1e6),
          m_tail(static_cast<double>(options.tail.count())),
          m_longest(static_cast<double>(options.longest.count())) {}

    // Moves past an event's delta; false when the event comes after `longest`.
    bool advance(std::uint32_t deltaTicks) {
        m_scaledMicroseconds += static_cast<double>(deltaTicks) * m_tempo;
        m_microseconds = m_scaledMicroseconds / m_ticksPerQuarter;
        return m_microseconds <= m_longest;
    }
    void setTempo(std::uint32_t microsecondsPerQuarter) { m_tempo = microsecondsPerQuarter; }
    std::uint64_t frame() const { return toFrame(m_microseconds); }
    // The tail after the last event, cut at `longest` (never before the last event).
    std::uint64_t endFrame() const {
        return std::max(frame(), toFrame(std::min(m_scaledMicroseconds / m_ticksPerQuarter + m_tail,
                                                  m_longest)));
    }

private:
    std::uint64_t toFrame(double microseconds) const {
        return static_cast<std::uint64_t>(std::llround(microseconds * m_framesPerMicrosecond));
    }

    double m_ticksPerQuarter;
    std::uint32_t m_tempo;
    double m_framesPerMicrosecond;
    double m_tail;
    double m_longest;
    double m_scaledMicroseconds = 0;
    double m_microseconds = 0;
};

// Walks the events in order, calling onEvent(frame, eventWord) for each; the
// clock is left past the last one. The words were checked.
template <typename OnEvent>
MidiResult walkEvents(std::span<const std::uint32_t> words, StreamClock& clock, OnEvent&& onEvent) {
    for (std::size_t i = 0; i < words.size(); i += kWordsPerStreamEvent) {
        if (!clock.advance(words[i])) return MidiResult::failure("The song is too long to render.");
        const std::uint32_t eventWord = words[i + 2];
        if (MidiResult r = onEvent(clock.frame(), eventWord); !r) return r;
        const std::uint32_t parameter = eventParameter(eventWord);
        if (eventType(eventWord) == kTempoEvent && parameter != 0) clock.setTempo(parameter);
    }
    return MidiResult::success();
}

// Renders the words block by block, handing each full block (and the last,
// partial one) to consume(span<const int16_t>). The words were measured.
template <typename Consume>
MidiResult renderBlocks(FluidSynthOutput& synth, std::span<const std::uint32_t> words,
                        const OfflineRenderOptions& options, Consume&& consume) {
    std::array<std::int16_t, kBlockSamples> block;
    std::size_t blockFrames = 0;
    std::uint64_t framesDone = 0;

    auto flush = [&]() -> MidiResult {
        if (blockFrames == 0) return MidiResult::success();
        const std::size_t frames = blockFrames;
        blockFrames = 0;
        return consume(std::span<const std::int16_t>(block).first(frames * kChannelsPerFrame));
    };
    auto renderUntil = [&](std::uint64_t target) -> MidiResult {
        while (framesDone < target) {
            const auto frames = static_cast<std::size_t>(
                std::min<std::uint64_t>(target - framesDone, kBlockFrames - blockFrames));
            if (MidiResult r = synth.render(std::span<std::int16_t>(block).subspan(
                    blockFrames * kChannelsPerFrame, frames * kChannelsPerFrame));
                !r)
                return r;
            blockFrames += frames;
            framesDone += frames;
            if (blockFrames == kBlockFrames)
                if (MidiResult r = flush(); !r) return r;
        }
        return MidiResult::success();
    };

    StreamClock clock(options, synth.sampleRateHz());
    const MidiResult walked =
        walkEvents(words, clock, [&](std::uint64_t frame, std::uint32_t eventWord) -> MidiResult {
            if (MidiResult r = renderUntil(frame); !r) return r;
            const std::uint32_t parameter = eventParameter(eventWord);
            if (eventType(eventWord) == kShortMessageEvent &&
                shortMessageLength(messageStatus(parameter)) != 0)
                return synth.sendShortMessage(parameter);
            return MidiResult::success();
        });
    if (!walked) return walked;
    if (MidiResult r = renderUntil(clock.endFrame()); !r) return r;
    return flush();
}

void putU16(std::byte*& at, std::uint32_t value) {
    *at++ = static_cast<std::byte>(value & 0xFF);
    *at++ = static_cast<std::byte>((value >> 8) & 0xFF);
}

void putU32(std::byte*& at, std::uint32_t value) {
    putU16(at, value & 0xFFFF);
    putU16(at, value >> 16);
}

void putTag(std::byte*& at, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        *at++ = static_cast<std::byte>(tag[i]);
}

// The canonical header of a 16-bit PCM stereo file; dataBytes was checked.
std::array<std::byte, kWavHeaderBytes> wavHeader(std::uint64_t dataBytes,
                                                 std::uint32_t sampleRateHz) {
    const auto data = static_cast<std::uint32_t>(dataBytes);
    std::array<std::byte, kWavHeaderBytes> header;
    std::byte* at = header.data();
    putTag(at, "RIFF");
    putU32(at, static_cast<std::uint32_t>(kWavHeaderBytes - 8) + data);
    putTag(at, "WAVE");
    putTag(at, "fmt ");
    putU32(at, 16);
    putU16(at, 1); // PCM
    putU16(at, kChannelsPerFrame);
    putU32(at, sampleRateHz);
    putU32(at, sampleRateHz * kBytesPerFrame);
    putU16(at, kBytesPerFrame);
    putU16(at, 8 * kBytesPerSample);
    putTag(at, "data");
    putU32(at, data);
    return header;
}

std::string writeFailure(const OutputSink& out) {
    return "The WAV file could not be written: " + out.error();
}

// Writes samples low byte first, a block at a time.
MidiResult writeSamples(OutputSink& out, std::span<const std::int16_t> samples) {
    std::array<std::byte, kBlockSamples * kBytesPerSample> bytes;
    while (!samples.empty()) {
        const std::size_t count = std::min(samples.size(), kBlockSamples);
        std::byte* at = bytes.data();
        for (const std::int16_t sample : samples.first(count))
            putU16(at, static_cast<std::uint16_t>(sample));
        if (!out.write(std::span<const std::byte>(bytes).first(count * kBytesPerSample)))
            return MidiResult::failure(writeFailure(out));
        samples = samples.subspan(count);
    }
    return MidiResult::success();
}

} // namespace

MidiResult measureStreamEvents(std::span<const std::uint32_t> words,
                               const OfflineRenderOptions& options, double sampleRateHz,
                               std::uint64_t& frames) {
    if (MidiResult r = checkWords(words, options, sampleRateHz); !r) return r;
    StreamClock clock(options, sampleRateHz);
    const MidiResult walked = walkEvents(
        words, clock, [](std::uint64_t, std::uint32_t) { return MidiResult::success(); });
    if (!walked) return walked;
    frames = clock.endFrame();
    return MidiResult::success();
}

MidiResult renderStreamEvents(FluidSynthOutput& synth, std::span<const std::uint32_t> words,
                              const OfflineRenderOptions& options,
                              std::vector<std::int16_t>& audio) {
    std::uint64_t frames = 0;
    if (MidiResult r = measureStreamEvents(words, options, synth.sampleRateHz(), frames); !r)
        return r;
    if (frames > (audio.max_size() - audio.size()) / kChannelsPerFrame)
        return MidiResult::failure("The song is too long to render.");
    audio.reserve(audio.size() + static_cast<std::size_t>(frames) * kChannelsPerFrame);
    return renderBlocks(synth, words, options, [&](std::span<const std::int16_t> block) {
        audio.insert(audio.end(), block.begin(), block.end());
        return MidiResult::success();
    });
}

MidiResult renderStreamEventsToWav(FluidSynthOutput& synth, std::span<const std::uint32_t> words,
                                   const OfflineRenderOptions& options, OutputSink& out) {
    std::uint64_t frames = 0;
    if (MidiResult r = measureStreamEvents(words, options, synth.sampleRateHz(), frames); !r)
        return r;
    if (frames > kLargestWavData / kBytesPerFrame)
        return MidiResult::failure("The audio is too long for a WAV file.");
    const std::uint64_t dataBytes = frames * kBytesPerFrame;
    const auto header = wavHeader(dataBytes, static_cast<std::uint32_t>(synth.sampleRateHz()));
    if (!out.write(header)) return MidiResult::failure(writeFailure(out));
    std::uint64_t written = 0;
    const MidiResult rendered =
        renderBlocks(synth, words, options, [&](std::span<const std::int16_t> block) {
            written += block.size() * kBytesPerSample;
            return writeSamples(out, block);
        });
    if (!rendered) return rendered;
    // The header promised this many bytes; a file that disagrees is broken.
    if (written != dataBytes)
        return MidiResult::failure("The rendered audio does not match its measured length.");
    return MidiResult::success();
}

MidiResult writeWavFile(const std::filesystem::path& path,
                        std::span<const std::int16_t> interleavedStereo,
                        std::uint32_t sampleRateHz) {
    if (interleavedStereo.size() > kLargestWavData / kBytesPerSample)
        return MidiResult::failure("The audio is too long for a WAV file.");
    const std::uint64_t dataBytes = std::uint64_t{interleavedStereo.size()} * kBytesPerSample;
    if (sampleRateHz == 0) return MidiResult::failure("The sample rate must be positive.");

    AtomicFileSink sink(path);
    const auto failed = [&] {
        return MidiResult::failure("The WAV file \"" + path.string() +
                                   "\" could not be written: " + sink.error());
    };
    if (!sink.isOpen() || !sink.write(wavHeader(dataBytes, sampleRateHz))) return failed();
    if (!writeSamples(sink, interleavedStereo) || !sink.commit()) return failed();
    return MidiResult::success();
}

} // namespace korvanta
