#pragma once
// The fixed-layout records of a song: positions, meter entries, notes, stored
// events and per-bar harmony. The project file stores them byte for byte, so
// their layouts (little-endian, padding included) are part of the file format.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace korvanta {

// A musical position: bar and beat from 0, ticks within the beat.
// The most bars a song holds (a position keeps its bar in 16 bits); the MIDI
// reader leaves out notes that start later.
constexpr std::int32_t kMaxSongBars = 0x10000;

struct TBarPos {
    std::uint16_t bar = 0;
    std::uint8_t beat = 0;
    std::uint8_t pad = 0;
    std::uint16_t tick = 0;

    friend bool operator==(const TBarPos&, const TBarPos&) = default;
};

// One entry of the meter map: the meter in force from firstBar on.
struct TMeterChange {
    std::int32_t firstBar = 0;
    std::uint8_t numerator = 4;
    std::uint8_t denominator = 4; // plain note value (2, 4, 8, ...), not its logarithm
    std::uint8_t pad[2] = {0, 0};
    std::int32_t ticksPerBar = 0;
    std::int32_t ticksPerBeat = 0;
};

// One note. The high byte of velocities is the note-on velocity, the low byte
// the release velocity.
struct TNote {
    std::uint8_t pitch = 0;
    std::uint8_t list = 0;
    std::uint16_t velocities = 0;
    TBarPos start;
    std::uint16_t duration = 0; // ticks; 0 while the note still sounds during reading
    std::uint8_t pitchClass = 0;
    std::uint8_t pad = 0;

    std::uint8_t onVelocity() const { return static_cast<std::uint8_t>(velocities >> 8); }
    std::uint8_t offVelocity() const { return static_cast<std::uint8_t>(velocities & 0xFF); }
};

// One stored MIDI event. value packs the data bytes: first in bits 24-31,
// second in 16-23, third in 8-15, fourth in 0-7 (tempo is a plain number).
struct TSongEvent {
    std::uint8_t type = 0; // meta type, or status byte with channel
    std::uint8_t pad1[3] = {0, 0, 0};
    std::uint32_t value = 0;
    std::int32_t value2 = 0;
    std::uint16_t bar = 0;
    std::uint8_t beat = 0;
    std::uint8_t pad2 = 0;
    std::uint16_t tick = 0;
    std::uint8_t pad3[2] = {0, 0};

    TBarPos position() const { return TBarPos{bar, beat, 0, tick}; }
    void setPosition(const TBarPos& pos) {
        bar = pos.bar;
        beat = pos.beat;
        tick = pos.tick;
    }
    std::uint8_t dataByte(int index) const {
        return static_cast<std::uint8_t>(value >> (24 - 8 * index));
    }
};

// Packs up to four data bytes the way stored events keep them.
constexpr std::uint32_t packEventBytes(std::uint8_t b0, std::uint8_t b1 = 0, std::uint8_t b2 = 0,
                                       std::uint8_t b3 = 0) {
    return (std::uint32_t{b0} << 24) | (std::uint32_t{b1} << 16) | (std::uint32_t{b2} << 8) |
           std::uint32_t{b3};
}

// Meta types the song stores.
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kMetaSmpte = 0x54;
constexpr std::uint8_t kMetaTimeSignature = 0x58;
constexpr std::uint8_t kMetaKeySignature = 0x59;

// The ranked chord candidates of one bar: a first (main) group followed by a
// second (additional) group, twelve codes in all.
struct TBarChords {
    static constexpr int kCapacity = 12;

    std::uint8_t mainCount = 0;
    std::uint8_t extraCount = 0;
    std::int16_t codes[kCapacity] = {};
    std::uint8_t cadenceMark = 0;
    std::uint8_t pad = 0;

    // Index i addresses the first group; -k the second group (-1 its first
    // code). Anything outside both counts yields -1.
    std::int16_t at(int index) const;
};

// The chord chosen for one bar. style is only meaningful in bar 0.
struct TBarHarmony {
    std::int16_t chord = -1;
    std::uint8_t play = 1;
    std::uint8_t pad = 0;
    std::int32_t style = -1;
};

// One key of the song; the two trailing fields are always written as 0.
struct TKeyEntry {
    std::int16_t key = 0;
    std::int16_t reserved1 = 0;
    std::int16_t reserved2 = 0;
};

static_assert(sizeof(TBarPos) == 6 && offsetof(TBarPos, tick) == 4);
static_assert(sizeof(TMeterChange) == 16 && offsetof(TMeterChange, ticksPerBar) == 8);
static_assert(sizeof(TNote) == 14 && offsetof(TNote, start) == 4 &&
              offsetof(TNote, duration) == 10 && offsetof(TNote, pitchClass) == 12);
static_assert(sizeof(TSongEvent) == 20 && offsetof(TSongEvent, value) == 4 &&
              offsetof(TSongEvent, value2) == 8 && offsetof(TSongEvent, bar) == 12 &&
              offsetof(TSongEvent, beat) == 14 && offsetof(TSongEvent, tick) == 16);
static_assert(sizeof(TBarChords) == 28 && offsetof(TBarChords, codes) == 2 &&
              offsetof(TBarChords, cadenceMark) == 26);
static_assert(sizeof(TBarHarmony) == 8 && offsetof(TBarHarmony, style) == 4);
static_assert(sizeof(TKeyEntry) == 6);
static_assert(std::is_trivially_copyable_v<TNote> && std::is_trivially_copyable_v<TSongEvent> &&
              std::is_trivially_copyable_v<TBarChords>);

inline std::int16_t TBarChords::at(int index) const {
    const int total = mainCount + extraCount;
    const int slot = index >= 0 ? index : mainCount + (-index - 1);
    if (slot >= total || slot >= kCapacity) return -1;
    return codes[slot];
}

} // namespace korvanta
