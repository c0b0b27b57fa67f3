#pragma once
// The default MIDI output: FluidSynth's software synthesizer with a General
// MIDI SoundFont, playing through the system's audio (device -1).
//
// The SoundFont is looked for in this order: the path from the settings,
// then the General MIDI SoundFonts Debian's packages install. Opened in
// offline mode it starts no audio driver; render() then pulls the synth's
// output into a buffer faster than real time (for writing WAV files and for
// tests on machines without sound).
//
// Owned by the player (or an offline renderer); called by one thread at a
// time (a MidiStream serialises its calls). Sample rates in Hz; rendered
// audio is interleaved stereo, left first.

#include "playback/MidiOutput.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvanta {

struct FluidSynthOptions {
    std::filesystem::path soundFont; // from the settings; empty when none is set
    std::vector<std::filesystem::path> fallbackSoundFonts = debianSoundFonts();
    std::string audioDriver; // empty: FluidSynth's default for the system
    double sampleRateHz = 44100.0;
    double gain = 0.5;
    bool offline = false; // no audio driver; the caller renders

    // Where Debian's fluid-soundfont-gm package (and the alternatives system
    // for any other General MIDI SoundFont package) puts its file.
    static std::vector<std::filesystem::path> debianSoundFonts();
};

class FluidSynthOutput final : public MidiOutput {
public:
    explicit FluidSynthOutput(FluidSynthOptions options = {});
    ~FluidSynthOutput() override;
    FluidSynthOutput(const FluidSynthOutput&) = delete;
    FluidSynthOutput& operator=(const FluidSynthOutput&) = delete;

    // The SoundFont open() would load: the configured one when it is a
    // readable file, otherwise the first fallback that is.
    static std::optional<std::filesystem::path> findSoundFont(const FluidSynthOptions& options);
    // The version of the synth library in use ("2.3.1"), for the About box.
    static std::string libraryVersion();

    MidiResult open() override;
    void close() override;
    bool isOpen() const override;
    MidiResult sendShortMessage(std::uint32_t message) override;

    // The SoundFont loaded by the last successful open().
    const std::filesystem::path& soundFontPath() const { return m_soundFontPath; }
    double sampleRateHz() const { return m_options.sampleRateHz; }

    // Offline mode only: fills the span with the next frames of the synth's
    // output (size / 2 stereo frames).
    MidiResult render(std::span<float> interleavedStereo);
    MidiResult render(std::span<std::int16_t> interleavedStereo);

private:
    struct Synth;

    FluidSynthOptions m_options;
    std::unique_ptr<Synth> m_synth;
    std::filesystem::path m_soundFontPath;
};

} // namespace korvanta
