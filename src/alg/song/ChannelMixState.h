#pragma once
// The mixer settings of the open song: program, volume, mute and solo for each
// of 16 parts (part = MIDI channel; part 0 is the melody, part 1 the chords).
// Owned by the notes view; the main window, the instrument dialog and the
// player hold references. Written on the GUI thread; the event stream reads the
// mute and solo flags on the player's worker thread while a song plays, so
// every field is a relaxed atomic byte. Volumes are MIDI values 0-127.

#include <array>
#include <atomic>
#include <cstdint>

namespace korvanta {

struct ChannelMixState {
    static constexpr int kPartCount = 16;
    static constexpr std::uint8_t kDefaultProgram = 0;
    static constexpr std::uint8_t kDefaultVolume = 100;
    static constexpr std::uint8_t kMaxVolume = 127;

    ChannelMixState() { reset(); }
    ChannelMixState(const ChannelMixState&) = delete;
    ChannelMixState& operator=(const ChannelMixState&) = delete;

    // The state after a file is opened: programs 0, volumes 100, nothing muted
    // or soloed.
    void reset() {
        for (int p = 0; p < kPartCount; ++p) {
            store(m_program, p, kDefaultProgram);
            store(m_volume, p, kDefaultVolume);
            store(m_mute, p, 0);
            store(m_solo, p, 0);
        }
        m_extra.store(0, std::memory_order_relaxed);
    }

    // Reads of a part outside 0-15 give the defaults; writes to one are ignored.
    std::uint8_t program(int part) const { return load(m_program, part, kDefaultProgram); }
    std::uint8_t volume(int part) const { return load(m_volume, part, kDefaultVolume); }
    bool muted(int part) const { return load(m_mute, part, 0) == 1; }
    bool soloed(int part) const { return load(m_solo, part, 0) == 1; }
    std::uint8_t extra() const { return m_extra.load(std::memory_order_relaxed); }

    void setProgram(int part, std::uint8_t program) {
        store(m_program, part, program > 127 ? std::uint8_t{127} : program);
    }
    void setVolume(int part, int volume) {
        const int capped = volume < 0 ? 0 : (volume > kMaxVolume ? kMaxVolume : volume);
        store(m_volume, part, static_cast<std::uint8_t>(capped));
    }
    void setMuted(int part, bool muted) { store(m_mute, part, muted ? 1 : 0); }
    void setSoloed(int part, bool soloed) { store(m_solo, part, soloed ? 1 : 0); }
    void setExtra(std::uint8_t value) { m_extra.store(value, std::memory_order_relaxed); }

    bool anySoloed() const {
        for (int p = 0; p < kPartCount; ++p) {
            if (soloed(p)) return true;
        }
        return false;
    }

    // A part is silent when it is muted, or when another part is soloed and it
    // is not. Its volume is held at 0 then, and the song's own volume changes
    // for it must not reach the output.
    bool silenced(int part) const { return muted(part) || (anySoloed() && !soloed(part)); }

private:
    using Bytes = std::array<std::atomic<std::uint8_t>, kPartCount>;

    static bool isPart(int part) { return part >= 0 && part < kPartCount; }
    static std::uint8_t load(const Bytes& bytes, int part, std::uint8_t fallback) {
        return isPart(part) ? bytes[part].load(std::memory_order_relaxed) : fallback;
    }
    static void store(Bytes& bytes, int part, std::uint8_t value) {
        if (isPart(part)) bytes[part].store(value, std::memory_order_relaxed);
    }

    Bytes m_program;
    Bytes m_volume;
    Bytes m_mute;
    Bytes m_solo;
    std::atomic<std::uint8_t> m_extra{0};
};

} // namespace korvanta
