#pragma once
// The plain way to render stream events, kept as the reference the block
// renderers must match sample for sample: the whole song in one buffer,
// grown and rendered from one event to the next.

#include "playback/MidiStream.h"
#include "playback/OfflineRender.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace korvanta::test {

inline std::vector<std::int16_t> renderInOneBuffer(FluidSynthOutput& synth,
                                                   std::span<const std::uint32_t> words,
                                                   const OfflineRenderOptions& options) {
    std::vector<std::int16_t> audio;
    const double framesPerMicrosecond = synth.sampleRateHz() / 1e6;
    double scaledMicroseconds = 0;
    std::uint64_t framesDone = 0;
    std::uint32_t tempo = options.microsecondsPerQuarter;
    auto renderUntil = [&](double microseconds) {
        const auto target =
            static_cast<std::uint64_t>(std::llround(microseconds * framesPerMicrosecond));
        if (target <= framesDone) return;
        const std::size_t start = audio.size();
        audio.resize(start + (target - framesDone) * 2);
        framesDone = target;
        (void)synth.render(std::span<std::int16_t>(audio).subspan(start));
    };
    for (std::size_t i = 0; i + 2 < words.size(); i += 3) {
        scaledMicroseconds += static_cast<double>(words[i]) * tempo;
        renderUntil(scaledMicroseconds / options.ticksPerQuarter);
        const std::uint32_t parameter = eventParameter(words[i + 2]);
        if (eventType(words[i + 2]) == kTempoEvent && parameter != 0)
            tempo = parameter;
        else if (eventType(words[i + 2]) == kShortMessageEvent &&
                 shortMessageLength(messageStatus(parameter)) != 0)
            (void)synth.sendShortMessage(parameter);
    }
    renderUntil(std::min(scaledMicroseconds / options.ticksPerQuarter +
                             static_cast<double>(options.tail.count()),
                         static_cast<double>(options.longest.count())));
    return audio;
}

// The samples of a canonical 44-byte-header WAV file, low byte first.
inline std::vector<std::int16_t> wavSamples(std::span<const std::byte> bytes) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 44; i + 1 < bytes.size(); i += 2)
        samples.push_back(
            static_cast<std::int16_t>(std::to_integer<std::uint16_t>(bytes[i]) |
                                      std::to_integer<std::uint16_t>(bytes[i + 1]) << 8));
    return samples;
}

// A little-endian 32-bit field of a WAV header.
inline std::uint32_t wavField(std::span<const std::byte> bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
        value |= std::to_integer<std::uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

} // namespace korvanta::test
