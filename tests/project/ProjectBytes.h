#pragma once
// Hand-made project files for the tests: each chunk laid out field by field,
// independently of the writer, with hooks to write counts and fields that a
// correct writer never would. Also a sample harmonized song of four bars in
// 4/4 at 480 ticks per quarter note, as records.

#include "alg/harmony/HarmonySettings.h"
#include "alg/song/SongRecords.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace korvanta::test {

constexpr int kSampleQuarter = 480;
constexpr int kSampleBars = 4;

// The "TTel" chunk's contents; the defaults describe the sample song.
struct MeterSpec {
    std::int32_t headerWords = 10;
    std::optional<std::int32_t> changeCount; // default: changes.size()
    std::int32_t wholeTicks = 4 * kSampleQuarter;
    std::int32_t shortestNote = kSampleQuarter / 4;
    std::uint32_t quantUnit = 4;
    std::int32_t gridTicks = kSampleQuarter / 4;
    std::int32_t barCount = kSampleBars;
    std::int32_t resolution = 64;
    std::int32_t sixteenthTicks = kSampleQuarter / 4;
    std::int32_t ticksPerQuarter = kSampleQuarter;
    std::int32_t reserved = 0;
    std::vector<TMeterChange> changes{
        TMeterChange{0, 4, 4, {0, 0}, 4 * kSampleQuarter, kSampleQuarter}};
    std::array<std::uint8_t, 24> keyMarks{0, 0, 0, 0, 0, 0, 2, 4, 3, 0, 0, 0,
                                          0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0};
    std::optional<std::int32_t> keyCount; // default: keys.size()
    std::vector<TKeyEntry> keys{TKeyEntry{7, 0, 0}};
};

class ProjectBytes {
public:
    ProjectBytes& u8(std::uint8_t v) {
        m_bytes.push_back(std::byte{v});
        return *this;
    }
    ProjectBytes& u16(std::uint16_t v) {
        return u8(v & 0xFF).u8(static_cast<std::uint8_t>(v >> 8));
    }
    ProjectBytes& u32(std::uint32_t v) {
        return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16));
    }
    ProjectBytes& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
    ProjectBytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    ProjectBytes& f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
    ProjectBytes& zeros(std::size_t n) {
        m_bytes.insert(m_bytes.end(), n, std::byte{0});
        return *this;
    }
    ProjectBytes& tag(std::string_view t) {
        for (char c : t)
            u8(static_cast<std::uint8_t>(c));
        return *this;
    }

    ProjectBytes& header(std::int32_t version = 1) { return tag("VKvt").i32(version); }
    ProjectBytes& end() { return tag("FEnd"); }

    ProjectBytes& settings(const HarmonySettings& s, std::int32_t count = 1) {
        tag("POpt").i32(count);
        u8(s.TSYmode).u8(s.ApplyPKey).i16(s.MinTaktBT).i32(s.ModeStT).f32(s.MinWT);
        u8(s.CSFilter).u8(s.DSFilter).zeros(2).f32(s.kRecomChr).f32(s.kDSFilter);
        return i16(s.MaxNumCustomChords).u8(s.AutoKey).u8(s.DefAccPatch).u8(s.AutoSaveOpt).zeros(3);
    }

    ProjectBytes& events(std::string_view chunk, const std::vector<TSongEvent>& list,
                         std::optional<std::int32_t> count = {}) {
        tag(chunk).i32(count.value_or(static_cast<std::int32_t>(list.size())));
        for (const TSongEvent& e : list) {
            u8(e.type).zeros(3).u32(e.value).i32(e.value2);
            u16(e.bar).u8(e.beat).zeros(1).u16(e.tick).zeros(2);
        }
        return *this;
    }

    ProjectBytes& melody(const std::vector<TNote>& notes, std::uint16_t pitchMask,
                         std::uint8_t pitchClassCount, std::int32_t upbeat,
                         std::optional<std::int32_t> count = {}) {
        tag("MNts").i32(count.value_or(static_cast<std::int32_t>(notes.size())));
        for (const TNote& n : notes) {
            u8(n.pitch).u8(n.list).u16(n.velocities);
            u16(n.start.bar).u8(n.start.beat).zeros(1).u16(n.start.tick);
            u16(n.duration).u8(n.pitchClass).zeros(1);
        }
        return u16(pitchMask).u8(pitchClassCount).i32(upbeat);
    }

    ProjectBytes& barHarmony(const std::vector<TBarHarmony>& bars,
                             std::optional<std::int32_t> count = {}) {
        tag("AChr").i32(count.value_or(static_cast<std::int32_t>(bars.size())));
        for (const TBarHarmony& b : bars)
            i16(b.chord).u8(b.play).zeros(1).i32(b.style);
        return *this;
    }

    ProjectBytes& barChords(const std::vector<TBarChords>& bars,
                            std::optional<std::int32_t> count = {}) {
        tag("RChr").i32(count.value_or(static_cast<std::int32_t>(bars.size())));
        for (const TBarChords& b : bars) {
            u8(b.mainCount).u8(b.extraCount);
            for (std::int16_t code : b.codes)
                i16(code);
            u8(b.cadenceMark).zeros(1);
        }
        return *this;
    }

    ProjectBytes& meter(const MeterSpec& m) {
        tag("TTel").i32(m.headerWords);
        const std::int32_t words[10] = {
            m.changeCount.value_or(static_cast<std::int32_t>(m.changes.size())),
            m.wholeTicks,
            m.shortestNote,
            static_cast<std::int32_t>(m.quantUnit),
            m.gridTicks,
            m.barCount,
            m.resolution,
            m.sixteenthTicks,
            m.ticksPerQuarter,
            m.reserved};
        for (int w = 0; w < m.headerWords && w < 10; ++w)
            i32(words[w]);
        for (const TMeterChange& c : m.changes)
            i32(c.firstBar)
                .u8(c.numerator)
                .u8(c.denominator)
                .zeros(2)
                .i32(c.ticksPerBar)
                .i32(c.ticksPerBeat);
        for (std::uint8_t mark : m.keyMarks)
            u8(mark);
        i32(m.keyCount.value_or(static_cast<std::int32_t>(m.keys.size())));
        for (const TKeyEntry& k : m.keys)
            i16(k.key).i16(0).i16(0);
        return *this;
    }

    // The reserved chunk as the writer leaves it: length 4, the value 4.
    ProjectBytes& reserved() { return tag("Qsec").i32(4).i32(4); }
    ProjectBytes& reserved(std::int32_t length, std::size_t bodyBytes) {
        return tag("Qsec").i32(length).zeros(bodyBytes);
    }

    ProjectBytes& append(const std::vector<std::byte>& more) {
        m_bytes.insert(m_bytes.end(), more.begin(), more.end());
        return *this;
    }

    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::byte>& bytes() const& { return m_bytes; }
    // From a temporary builder the bytes are moved out, so they cannot dangle.
    std::vector<std::byte> bytes() && { return std::move(m_bytes); }

private:
    std::vector<std::byte> m_bytes;
};

// The sample song's records.
inline HarmonySettings sampleSettings() {
    HarmonySettings s;
    s.TSYmode = 0;
    s.ApplyPKey = true;
    s.MinTaktBT = 3;
    s.ModeStT = 0x5;
    s.MinWT = 0.65f;
    s.CSFilter = true;
    s.kRecomChr = 0.75f;
    s.MaxNumCustomChords = 5;
    s.AutoKey = false;
    s.DefAccPatch = 24;
    return s;
}

inline TSongEvent sampleEvent(std::uint8_t type, std::uint32_t value, std::uint16_t bar = 0,
                              std::int32_t value2 = 0) {
    TSongEvent e;
    e.type = type;
    e.value = value;
    e.value2 = value2;
    e.bar = bar;
    e.beat = 1;
    e.tick = 7;
    return e;
}

inline std::vector<TSongEvent> sampleMetaEvents() {
    return {sampleEvent(kMetaTempo, 500000),
            sampleEvent(kMetaTimeSignature, packEventBytes(4, 4, 24, 8)),
            sampleEvent(kMetaKeySignature, packEventBytes(0, 0)),
            sampleEvent(kMetaSmpte, packEventBytes(0x60, 1, 2, 3), 0, 0x1A2B3C4D)};
}

inline std::vector<TSongEvent> sampleChannelEvents() {
    return {sampleEvent(0xC0, packEventBytes(73)), sampleEvent(0xB0, packEventBytes(7, 100), 2)};
}

// Eight quarter notes over bars 0-1, then half notes in bars 2-3; six pitch classes.
inline std::vector<TNote> sampleNotes() {
    const int pitches[] = {60, 62, 64, 65, 67, 69, 67, 65, 64, 62, 60, 72};
    std::vector<TNote> notes;
    for (int i = 0; i < 12; ++i) {
        TNote n;
        n.pitch = static_cast<std::uint8_t>(pitches[i]);
        n.velocities = 0x6440;
        if (i < 8) {
            n.start =
                TBarPos{static_cast<std::uint16_t>(i / 4), static_cast<std::uint8_t>(i % 4), 0, 0};
            n.duration = kSampleQuarter;
        } else {
            n.start = TBarPos{static_cast<std::uint16_t>(2 + (i - 8) / 2),
                              static_cast<std::uint8_t>(2 * (i % 2)), 0, 0};
            n.duration = 2 * kSampleQuarter;
        }
        n.pitchClass = static_cast<std::uint8_t>(pitches[i] % 12);
        notes.push_back(n);
    }
    return notes;
}
constexpr std::uint16_t kSamplePitchMask = 0b1010'1011'0101; // C D E F G A
constexpr std::uint8_t kSamplePitchClassCount = 6;

inline std::vector<TBarHarmony> sampleBarHarmony() {
    return {TBarHarmony{7 << 8, 1, 0, (2 << 24) + 5}, TBarHarmony{(8 << 8) | 1, 1, 0, -1},
            TBarHarmony{-1, 0, 0, -1}, TBarHarmony{7 << 8, 1, 0, -1}};
}

inline std::vector<TBarChords> sampleBarChords() {
    std::vector<TBarChords> bars(kSampleBars);
    for (int b = 0; b < kSampleBars; ++b) {
        bars[b].mainCount = 2;
        bars[b].extraCount = 1;
        bars[b].codes[0] = static_cast<std::int16_t>(7 << 8);
        bars[b].codes[1] = static_cast<std::int16_t>((19 << 8) | 1);
        bars[b].codes[2] = static_cast<std::int16_t>((6 << 8) | b % 4);
        bars[b].codes[11] = 0x55; // an unused slot keeps whatever it held
        bars[b].cadenceMark = static_cast<std::uint8_t>(b == 3 ? 1 : 0);
    }
    return bars;
}

// The whole sample project in the writer's chunk order.
inline ProjectBytes sampleProject(const MeterSpec& meterSpec = {}) {
    ProjectBytes p;
    p.header()
        .settings(sampleSettings())
        .events("GPar", sampleMetaEvents())
        .events("TPar", sampleChannelEvents())
        .melody(sampleNotes(), kSamplePitchMask, kSamplePitchClassCount, 0)
        .barHarmony(sampleBarHarmony())
        .barChords(sampleBarChords())
        .meter(meterSpec)
        .reserved()
        .end();
    return p;
}

} // namespace korvanta::test
