#include "playback/FluidSynthOutput.h"

#include <algorithm>
#include <fluidsynth.h>
#include <mutex>
#include <system_error>

namespace korvanta {

namespace {

// FluidSynth reports the reason of a failure only to its log. The errors of
// a call are logged on the calling thread, so each thread keeps its last one.
thread_local std::string t_lastFluidError;

// Rendering goes in slices so that a long span never overflows FluidSynth's int.
constexpr std::size_t kFramesPerRender = 1 << 16;

void keepFluidError(int /*level*/, const char* message, void* /*data*/) {
    t_lastFluidError = message != nullptr ? message : "";
}

void captureFluidErrors() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, keepFluidError, nullptr);
        fluid_set_log_function(FLUID_ERR, keepFluidError, nullptr);
    });
}

std::string withFluidReason(std::string text) {
    if (!t_lastFluidError.empty()) text += ": " + t_lastFluidError;
    return text + ".";
}

bool isReadableFile(const std::filesystem::path& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

} // namespace

struct FluidSynthOutput::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;

    ~Synth() {
        // The driver pulls from the synth, so it goes first.
        if (driver != nullptr) delete_fluid_audio_driver(driver);
        if (synth != nullptr) delete_fluid_synth(synth);
        if (settings != nullptr) delete_fluid_settings(settings);
    }
};

std::vector<std::filesystem::path> FluidSynthOptions::debianSoundFonts() {
    return {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
}

FluidSynthOutput::FluidSynthOutput(FluidSynthOptions options) : m_options(std::move(options)) {}

FluidSynthOutput::~FluidSynthOutput() {
    close();
}

std::optional<std::filesystem::path>
FluidSynthOutput::findSoundFont(const FluidSynthOptions& options) {
    if (isReadableFile(options.soundFont)) return options.soundFont;
    for (const auto& path : options.fallbackSoundFonts)
        if (isReadableFile(path)) return path;
    return std::nullopt;
}

MidiResult FluidSynthOutput::open() {
    if (m_synth) return MidiResult::success();
    captureFluidErrors();
    t_lastFluidError.clear();

    const std::optional<std::filesystem::path> soundFont = findSoundFont(m_options);
    if (!soundFont) {
        std::string tried;
        // Appended piece by piece: GCC 12 warns wrongly about a + chain here.
        if (!m_options.soundFont.empty())
            tried.append("\"").append(m_options.soundFont.string()).append("\"");
        for (const auto& path : m_options.fallbackSoundFonts)
            tried.append(tried.empty() ? "\"" : ", \"").append(path.string()).append("\"");
        // The advice first: the list of paths may run past the text's limit.
        return MidiResult::failure(
            "No General MIDI SoundFont was found. Install Debian's fluid-soundfont-gm package "
            "or choose a SoundFont in the settings." +
            (tried.empty() ? std::string() : " Looked for " + tried + "."));
    }

    auto synth = std::make_unique<Synth>();
    synth->settings = new_fluid_settings();
    if (synth->settings == nullptr)
        return MidiResult::failure(withFluidReason("FluidSynth could not create its settings"));
    fluid_settings_setnum(synth->settings, "synth.sample-rate", m_options.sampleRateHz);
    fluid_settings_setnum(synth->settings, "synth.gain", m_options.gain);
    if (!m_options.audioDriver.empty() &&
        fluid_settings_setstr(synth->settings, "audio.driver", m_options.audioDriver.c_str()) !=
            FLUID_OK)
        return MidiResult::failure("FluidSynth has no audio driver called \"" +
                                   m_options.audioDriver + "\".");

    synth->synth = new_fluid_synth(synth->settings);
    if (synth->synth == nullptr)
        return MidiResult::failure(withFluidReason("FluidSynth could not create its synthesizer"));

    t_lastFluidError.clear();
    if (fluid_synth_sfload(synth->synth, soundFont->string().c_str(), 1) == FLUID_FAILED)
        return MidiResult::failure(withFluidReason("FluidSynth could not load the SoundFont \"" +
                                                   soundFont->string() + "\""));

    if (!m_options.offline) {
        t_lastFluidError.clear();
        synth->driver = new_fluid_audio_driver(synth->settings, synth->synth);
        if (synth->driver == nullptr) {
            char* driverName = nullptr;
            std::string name = "default";
            if (fluid_settings_dupstr(synth->settings, "audio.driver", &driverName) == FLUID_OK &&
                driverName != nullptr) {
                name = driverName;
                fluid_free(driverName);
            }
            return MidiResult::failure(withFluidReason(
                "No audio output: FluidSynth could not start its \"" + name + "\" audio driver"));
        }
    }
    m_synth = std::move(synth);
    m_soundFontPath = *soundFont;
    return MidiResult::success();
}

void FluidSynthOutput::close() {
    m_synth.reset();
}

bool FluidSynthOutput::isOpen() const {
    return m_synth != nullptr;
}

MidiResult FluidSynthOutput::sendShortMessage(std::uint32_t message) {
    if (!m_synth) return MidiResult::failure("The FluidSynth output is not open.");
    fluid_synth_t* synth = m_synth->synth;
    const std::uint8_t status = messageStatus(message);
    const int channel = status & 0x0F;
    const int data1 = messageData1(message);
    const int data2 = messageData2(message);
    // FluidSynth answers FLUID_FAILED to harmless things such as a note-off
    // for a note that has ended, so its results are not errors here.
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case 0x90:
        fluid_synth_noteon(synth, channel, data1, data2); // velocity 0 ends the note
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7);
        break;
    default:
        if (status == 0xFF) fluid_synth_system_reset(synth);
        break; // other system messages mean nothing to the synth
    }
    return MidiResult::success();
}

MidiResult FluidSynthOutput::render(std::span<float> interleavedStereo) {
    if (!m_synth) return MidiResult::failure("The FluidSynth output is not open.");
    if (m_synth->driver != nullptr)
        return MidiResult::failure("The synth plays through an audio driver; it cannot render.");
    for (std::size_t done = 0; done + 1 < interleavedStereo.size();) {
        const std::size_t frames =
            std::min(kFramesPerRender, (interleavedStereo.size() - done) / 2);
        float* data = interleavedStereo.data() + done;
        if (fluid_synth_write_float(m_synth->synth, static_cast<int>(frames), data, 0, 2, data, 1,
                                    2) != FLUID_OK)
            return MidiResult::failure("FluidSynth could not render its output.");
        done += 2 * frames;
    }
    return MidiResult::success();
}

MidiResult FluidSynthOutput::render(std::span<std::int16_t> interleavedStereo) {
    if (!m_synth) return MidiResult::failure("The FluidSynth output is not open.");
    if (m_synth->driver != nullptr)
        return MidiResult::failure("The synth plays through an audio driver; it cannot render.");
    for (std::size_t done = 0; done + 1 < interleavedStereo.size();) {
        const std::size_t frames =
            std::min(kFramesPerRender, (interleavedStereo.size() - done) / 2);
        std::int16_t* data = interleavedStereo.data() + done;
        if (fluid_synth_write_s16(m_synth->synth, static_cast<int>(frames), data, 0, 2, data, 1,
                                  2) != FLUID_OK)
            return MidiResult::failure("FluidSynth could not render its output.");
        done += 2 * frames;
    }
    return MidiResult::success();
}

std::string FluidSynthOutput::libraryVersion() {
    int major = 0;
    int minor = 0;
    int micro = 0;
    fluid_version(&major, &minor, &micro);
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(micro);
}

} // namespace korvanta
