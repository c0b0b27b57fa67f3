#pragma once
// Bounded little-endian reading and writing of byte blocks.
//
// ByteReader is a cursor over bytes it does not own; the bytes must outlive it.
// Every read checks the bytes left and returns a value or nothing; a failed
// read consumes nothing. child(n) hands out a reader limited to the next n
// bytes, so a record or chunk that lies about its length cannot read into what
// follows it. ByteWriter appends little-endian values to a vector it owns.
// Both are plain values used by one thread at a time; offsets and sizes are
// bytes, offsets counted from the start of the outermost block.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace korvanta {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::byte> bytes, std::size_t baseOffset = 0)
        : m_bytes(bytes), m_baseOffset(baseOffset) {}

    std::size_t remaining() const { return m_bytes.size() - m_position; }
    bool atEnd() const { return remaining() == 0; }
    // Offset of the next byte, counted from the start of the outermost block.
    std::size_t offset() const { return m_baseOffset + m_position; }

    std::optional<std::uint8_t> u8() {
        const auto b = take(1);
        if (!b) return std::nullopt;
        return std::to_integer<std::uint8_t>((*b)[0]);
    }
    std::optional<std::uint16_t> u16() {
        const auto v = little(2);
        if (!v) return std::nullopt;
        return static_cast<std::uint16_t>(*v);
    }
    std::optional<std::uint32_t> u32() { return little(4); }
    std::optional<std::int16_t> i16() {
        const auto v = u16();
        if (!v) return std::nullopt;
        return std::bit_cast<std::int16_t>(*v);
    }
    std::optional<std::int32_t> i32() {
        const auto v = u32();
        if (!v) return std::nullopt;
        return std::bit_cast<std::int32_t>(*v);
    }
    std::optional<float> f32() {
        const auto v = u32();
        if (!v) return std::nullopt;
        return std::bit_cast<float>(*v);
    }

    // Four bytes as they stand, for chunk tags.
    std::optional<std::array<char, 4>> tag() {
        const auto b = take(4);
        if (!b) return std::nullopt;
        std::array<char, 4> t{};
        for (std::size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<char>(std::to_integer<unsigned char>((*b)[i]));
        return t;
    }

    bool skip(std::size_t n) { return take(n).has_value(); }

    // A reader over the next n bytes, which this reader passes over.
    std::optional<ByteReader> child(std::size_t n) {
        const std::size_t start = offset();
        const auto b = take(n);
        if (!b) return std::nullopt;
        return ByteReader(*b, start);
    }

private:
    std::optional<std::span<const std::byte>> take(std::size_t n) {
        if (n > remaining()) return std::nullopt;
        const auto part = m_bytes.subspan(m_position, n);
        m_position += n;
        return part;
    }
    std::optional<std::uint32_t> little(std::size_t n) {
        const auto b = take(n);
        if (!b) return std::nullopt;
        std::uint32_t v = 0;
        for (std::size_t i = n; i-- > 0;)
            v = (v << 8) | std::to_integer<std::uint32_t>((*b)[i]);
        return v;
    }

    std::span<const std::byte> m_bytes;
    std::size_t m_position = 0;
    std::size_t m_baseOffset = 0;
};

class ByteWriter {
public:
    void u8(std::uint8_t v) { m_bytes.push_back(std::byte{v}); }
    void u16(std::uint16_t v) { little(v, 2); }
    void u32(std::uint32_t v) { little(v, 4); }
    void i16(std::int16_t v) { u16(std::bit_cast<std::uint16_t>(v)); }
    void i32(std::int32_t v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void zeros(std::size_t n) { m_bytes.insert(m_bytes.end(), n, std::byte{0}); }
    void tag(std::string_view t) {
        for (char c : t)
            m_bytes.push_back(static_cast<std::byte>(c));
    }

    std::span<const std::byte> bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }
    void clear() { m_bytes.clear(); }

private:
    void little(std::uint32_t v, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            m_bytes.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFFu));
    }

    std::vector<std::byte> m_bytes;
};

} // namespace korvanta
