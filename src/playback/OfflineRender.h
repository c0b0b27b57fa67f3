#pragma once
// Rendering stream events to audio without a sound card, faster than real
// time, and writing the result as a WAV file.
//
// renderStreamEvents() walks buffers in MidiStream's layout (delta ticks,
// stream id, event word; tempo events included) on the calling thread and
// lets an offline FluidSynthOutput play them, rendering the samples between
// events. Nothing here keeps state; the caller owns the synth and the audio.
// Audio is interleaved 16-bit stereo at the synth's sample rate.

#include "playback/FluidSynthOutput.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace korvanta {

struct OfflineRenderOptions {
    std::uint32_t ticksPerQuarter = 480;
    std::uint32_t microsecondsPerQuarter = 500000;
    std::chrono::microseconds tail{2000000}; // rendered after the last event, for releases
    std::chrono::microseconds longest{std::chrono::hours(2)}; // longer songs are refused
};

// Appends the rendered frames to `audio`. Fails when the synth was not
// opened offline, the division or tempo are out of range, the words end
// inside an event, or the song would last longer than `longest`.
MidiResult renderStreamEvents(FluidSynthOutput& synth, std::span<const std::uint32_t> words,
                              const OfflineRenderOptions& options,
                              std::vector<std::int16_t>& audio);

// Writes a 16-bit PCM stereo WAV file. The file is written beside the target
// and renamed over it at the end, so a failure leaves an older file intact.
MidiResult writeWavFile(const std::filesystem::path& path,
                        std::span<const std::int16_t> interleavedStereo,
                        std::uint32_t sampleRateHz);

} // namespace korvanta
