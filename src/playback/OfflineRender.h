#pragma once
// Rendering stream events to audio without a sound card, faster than real
// time, and writing the result as a WAV file.
//
// The renderers walk buffers in MidiStream's layout (delta ticks, stream id,
// event word; tempo events included) on the calling thread and let an offline
// FluidSynthOutput play them, rendering the samples between events. Nothing
// here keeps state; the caller owns the synth and the output. Audio is
// interleaved 16-bit stereo at the synth's sample rate.

#include "io/OutputSink.h"
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

// The number of frames a render of the words produces, from their deltas and
// tempo events alone: up to the last event plus the tail, cut at `longest`.
// Fails as the renderers do for the options, the words and a song that lasts
// longer than `longest`, so nothing needs rendering to find that out.
MidiResult measureStreamEvents(std::span<const std::uint32_t> words,
                               const OfflineRenderOptions& options, double sampleRateHz,
                               std::uint64_t& frames);

// Appends the rendered frames to `audio`. Fails, with `audio` as it was, when
// measureStreamEvents() does; fails when the synth was not opened offline.
// Holds the whole song in memory: for long songs, render into a sink.
MidiResult renderStreamEvents(FluidSynthOutput& synth, std::span<const std::uint32_t> words,
                              const OfflineRenderOptions& options,
                              std::vector<std::int16_t>& audio);

// Renders the words as a 16-bit PCM stereo WAV file into `out`: the header
// first (the length is measured beforehand), then the samples a block at a
// time, so the memory used does not grow with the song. Nothing is written
// when the measurement fails. Does not commit `out`.
MidiResult renderStreamEventsToWav(FluidSynthOutput& synth, std::span<const std::uint32_t> words,
                                   const OfflineRenderOptions& options, OutputSink& out);

// Writes a 16-bit PCM stereo WAV file. The file is written beside the target
// and renamed over it at the end, so a failure leaves an older file intact.
MidiResult writeWavFile(const std::filesystem::path& path,
                        std::span<const std::int16_t> interleavedStereo,
                        std::uint32_t sampleRateHz);

} // namespace korvanta
