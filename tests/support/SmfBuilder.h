#pragma once

// Builds Standard MIDI File bytes in code for tests.
//
//   TrackBuilder t;
//   t.tempo(0, 500000).noteOn(0, 0, 60, 100).running(96, {60, 0}).endOfTrack();
//   std::vector<std::uint8_t> file = SmfBuilder().header(1, 1, 96).track(t).bytes();
//
// Every event method takes the delta time (ticks) first. Nothing is validated: broken files are
// built on purpose with raw(), declared lengths and the like.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvanta::test {

using Bytes = std::vector<std::uint8_t>;

// A variable-length quantity, 1-4 bytes.
inline Bytes vlq(std::uint32_t value) {
    Bytes out;
    out.push_back(static_cast<std::uint8_t>(value & 0x7F));
    while ((value >>= 7) != 0)
        out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

inline void appendBigEndian(Bytes& out, std::uint32_t value, int byteCount) {
    for (int i = byteCount - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

// The events of one track chunk.
class TrackBuilder {
public:
    // Any bytes, no delta.
    TrackBuilder& raw(std::initializer_list<int> bytes) {
        for (int b : bytes)
            m_bytes.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    TrackBuilder& raw(const Bytes& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TrackBuilder& delta(std::uint32_t ticks) { return raw(vlq(ticks)); }

    // A delta followed by bytes as given (status and data, or data only for running status).
    TrackBuilder& event(std::uint32_t ticks, std::initializer_list<int> bytes) {
        return delta(ticks).raw(bytes);
    }
    TrackBuilder& running(std::uint32_t ticks, std::initializer_list<int> data) {
        return event(ticks, data);
    }

    TrackBuilder& noteOn(std::uint32_t ticks, int channel, int pitch, int velocity) {
        return event(ticks, {0x90 | channel, pitch, velocity});
    }
    TrackBuilder& noteOff(std::uint32_t ticks, int channel, int pitch, int velocity = 0) {
        return event(ticks, {0x80 | channel, pitch, velocity});
    }
    TrackBuilder& controller(std::uint32_t ticks, int channel, int number, int value) {
        return event(ticks, {0xB0 | channel, number, value});
    }
    TrackBuilder& program(std::uint32_t ticks, int channel, int program) {
        return event(ticks, {0xC0 | channel, program});
    }
    TrackBuilder& pitchBend(std::uint32_t ticks, int channel, int value) {
        return event(ticks, {0xE0 | channel, value & 0x7F, (value >> 7) & 0x7F});
    }

    // A meta event with a correct length field.
    TrackBuilder& meta(std::uint32_t ticks, int type, const Bytes& data) {
        delta(ticks).raw({0xFF, type});
        raw(vlq(static_cast<std::uint32_t>(data.size())));
        return raw(data);
    }
    TrackBuilder& meta(std::uint32_t ticks, int type, std::initializer_list<int> data) {
        Bytes bytes;
        for (int b : data)
            bytes.push_back(static_cast<std::uint8_t>(b));
        return meta(ticks, type, bytes);
    }
    TrackBuilder& text(std::uint32_t ticks, int type, std::string_view text) {
        return meta(ticks, type, Bytes(text.begin(), text.end()));
    }
    TrackBuilder& tempo(std::uint32_t ticks, std::uint32_t microsecondsPerQuarter) {
        Bytes data;
        appendBigEndian(data, microsecondsPerQuarter, 3);
        return meta(ticks, 0x51, data);
    }
    // denominatorPower: 2 for x/4, 3 for x/8.
    TrackBuilder& timeSig(std::uint32_t ticks, int numerator, int denominatorPower,
                          int clocksPerClick = 24, int thirtySeconds = 8) {
        return meta(ticks, 0x58, {numerator, denominatorPower, clocksPerClick, thirtySeconds});
    }
    TrackBuilder& keySig(std::uint32_t ticks, int sf, int mi) {
        return meta(ticks, 0x59, {sf & 0xFF, mi});
    }
    TrackBuilder& endOfTrack(std::uint32_t ticks = 0) { return meta(ticks, 0x2F, Bytes{}); }

    // F0, the length of body, then body (which should end with F7).
    TrackBuilder& sysex(std::uint32_t ticks, std::initializer_list<int> body) {
        delta(ticks).raw({0xF0});
        raw(vlq(static_cast<std::uint32_t>(body.size())));
        return raw(body);
    }

    const Bytes& bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

private:
    Bytes m_bytes;
};

// A whole file: header chunk, track chunks, other chunks, raw bytes, in the order added.
class SmfBuilder {
public:
    SmfBuilder& header(int format, int trackCount, int division) {
        return headerChunk(6, {format, trackCount, division});
    }
    // A header chunk with a chosen length; fields are 16-bit, extra pads up to length.
    SmfBuilder& headerChunk(std::uint32_t length, std::initializer_list<int> fields,
                            const Bytes& extra = {}) {
        chunkHeader("MThd", length);
        for (int f : fields)
            appendBigEndian(m_bytes, static_cast<std::uint32_t>(f), 2);
        return raw(extra);
    }
    SmfBuilder& track(const TrackBuilder& track) {
        return trackWithLength(track, static_cast<std::uint32_t>(track.size()));
    }
    // A track whose declared length need not match its bytes.
    SmfBuilder& trackWithLength(const TrackBuilder& track, std::uint32_t declaredLength) {
        chunkHeader("MTrk", declaredLength);
        return raw(track.bytes());
    }
    SmfBuilder& chunk(std::string_view id, const Bytes& body) {
        chunkHeader(id, static_cast<std::uint32_t>(body.size()));
        return raw(body);
    }
    SmfBuilder& chunkHeader(std::string_view id, std::uint32_t length) {
        for (const char c : id)
            m_bytes.push_back(static_cast<std::uint8_t>(c));
        appendBigEndian(m_bytes, length, 4);
        return *this;
    }
    SmfBuilder& raw(const Bytes& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    SmfBuilder& raw(std::initializer_list<int> bytes) {
        for (int b : bytes)
            m_bytes.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    SmfBuilder& fill(std::size_t count, std::uint8_t value) {
        m_bytes.insert(m_bytes.end(), count, value);
        return *this;
    }

    const Bytes& bytes() const { return m_bytes; }
    std::span<const std::byte> span() const { return std::as_bytes(std::span(m_bytes)); }

private:
    Bytes m_bytes;
};

// A one-track format-0 file around the given track.
inline Bytes singleTrackFile(const TrackBuilder& track, int division = 96) {
    return SmfBuilder().header(0, 1, division).track(track).bytes();
}

// A single-voiced tune of `bars` bars of 4/4 quarter notes at 120 beats a
// minute, as long as a test or a benchmark needs.
inline Bytes scaleMelody(int bars) {
    TrackBuilder track;
    track.tempo(0, 500000).timeSig(0, 4, 2, 24, 8);
    const int scale[] = {60, 62, 64, 65, 67, 65, 64, 62};
    for (int i = 0; i < bars * 4; ++i)
        track.noteOn(0, 0, scale[i % 8], 90).noteOff(480, 0, scale[i % 8]);
    track.endOfTrack();
    return singleTrackFile(track, 480);
}

// Writes bytes to a file; false when it could not be written.
inline bool writeBytes(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace korvanta::test
