#include "playback/OfflineRender.h"

#include "playback/MidiStream.h"
#include "project/OutputSink.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

namespace korvanta {

namespace {

constexpr std::uint32_t kChannelsPerFrame = 2;

void putU16(std::vector<std::byte>& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::byte>(value & 0xFF));
    bytes.push_back(static_cast<std::byte>((value >> 8) & 0xFF));
}

void putU32(std::vector<std::byte>& bytes, std::uint32_t value) {
    putU16(bytes, value & 0xFFFF);
    putU16(bytes, value >> 16);
}

void putTag(std::vector<std::byte>& bytes, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::byte>(tag[i]));
}

} // namespace

MidiResult renderStreamEvents(FluidSynthOutput& synth, std::span<const std::uint32_t> words,
                              const OfflineRenderOptions& options,
                              std::vector<std::int16_t>& audio) {
    if (options.ticksPerQuarter == 0 || options.ticksPerQuarter > MidiStream::kMaxTicksPerQuarter)
        return MidiResult::failure("The time division must be 1 to 32767 ticks per quarter.");
    if (options.microsecondsPerQuarter == 0 ||
        options.microsecondsPerQuarter > MidiStream::kMaxMicrosecondsPerQuarter)
        return MidiResult::failure(
            "The tempo must be 1 to 16777215 microseconds per quarter note.");
    if (words.size() % kWordsPerStreamEvent != 0)
        return MidiResult::failure("The stream events end inside an event.");

    const double framesPerMicrosecond = synth.sampleRateHz() / 1e6;
    const double longestMicroseconds = static_cast<double>(options.longest.count());
    // Time is summed exactly, in microseconds times the division, so that
    // rounding never accumulates over a long song.
    double scaledMicroseconds = 0;
    std::uint64_t framesDone = 0;
    std::uint32_t tempo = options.microsecondsPerQuarter;

    auto renderUntil = [&](double microseconds) -> MidiResult {
        const auto target =
            static_cast<std::uint64_t>(std::llround(microseconds * framesPerMicrosecond));
        if (target <= framesDone) return MidiResult::success();
        const std::size_t start = audio.size();
        audio.resize(start + (target - framesDone) * kChannelsPerFrame);
        framesDone = target;
        return synth.render(std::span<std::int16_t>(audio).subspan(start));
    };

    for (std::size_t i = 0; i < words.size(); i += kWordsPerStreamEvent) {
        scaledMicroseconds += static_cast<double>(words[i]) * tempo;
        const double microseconds = scaledMicroseconds / options.ticksPerQuarter;
        if (microseconds > longestMicroseconds)
            return MidiResult::failure("The song is too long to render.");
        if (MidiResult rendered = renderUntil(microseconds); !rendered) return rendered;
        const std::uint32_t eventWord = words[i + 2];
        const std::uint32_t parameter = eventParameter(eventWord);
        if (eventType(eventWord) == kTempoEvent && parameter != 0) {
            tempo = parameter;
        } else if (eventType(eventWord) == kShortMessageEvent &&
                   shortMessageLength(messageStatus(parameter)) != 0) {
            if (MidiResult sent = synth.sendShortMessage(parameter); !sent) return sent;
        }
    }
    const double end =
        scaledMicroseconds / options.ticksPerQuarter + static_cast<double>(options.tail.count());
    return renderUntil(std::min(end, longestMicroseconds));
}

MidiResult writeWavFile(const std::filesystem::path& path,
                        std::span<const std::int16_t> interleavedStereo,
                        std::uint32_t sampleRateHz) {
    constexpr std::uint32_t kBytesPerSample = 2;
    constexpr std::uint32_t kHeaderBytes = 36;
    if (interleavedStereo.size() * kBytesPerSample >
        std::numeric_limits<std::uint32_t>::max() - kHeaderBytes)
        return MidiResult::failure("The audio is too long for a WAV file.");
    if (sampleRateHz == 0) return MidiResult::failure("The sample rate must be positive.");
    const auto dataBytes = static_cast<std::uint32_t>(interleavedStereo.size() * kBytesPerSample);

    std::vector<std::byte> bytes;
    bytes.reserve(kHeaderBytes + 8 + dataBytes);
    putTag(bytes, "RIFF");
    putU32(bytes, kHeaderBytes + dataBytes);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    putU32(bytes, 16);
    putU16(bytes, 1); // PCM
    putU16(bytes, kChannelsPerFrame);
    putU32(bytes, sampleRateHz);
    putU32(bytes, sampleRateHz * kChannelsPerFrame * kBytesPerSample);
    putU16(bytes, kChannelsPerFrame * kBytesPerSample);
    putU16(bytes, 8 * kBytesPerSample);
    putTag(bytes, "data");
    putU32(bytes, dataBytes);
    for (const std::int16_t sample : interleavedStereo)
        putU16(bytes, static_cast<std::uint16_t>(sample));

    AtomicFileSink sink(path);
    if (!sink.isOpen() || !sink.write(bytes) || !sink.commit())
        return MidiResult::failure("The WAV file \"" + path.string() +
                                   "\" could not be written: " + sink.error());
    return MidiResult::success();
}

} // namespace korvanta
