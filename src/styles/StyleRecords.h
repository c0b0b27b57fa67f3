#pragma once
// The records of the style library: list entries of "styles.lst", the header
// of a ".stt" style file and its pattern events. The files store them
// little-endian; the readers and writers in StyleFiles go field by field.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korvanta {

constexpr int kStyleGroupCount = 3;         // categories of the list file
constexpr unsigned kDialogStyleGroups = 3;  // the groups the style dialog reads (mask)
constexpr std::size_t kStyleNameSize = 16;  // base-name field, zero-terminated
constexpr std::size_t kListEntrySize = 28;  // bytes of one list entry
constexpr std::size_t kListHeaderSize = 16; // "LST", one byte, three counts
constexpr std::size_t kStyleHeaderSize = 20;
constexpr std::size_t kPatternEventSize = 14;
constexpr std::int32_t kNoStyle = -1;

// One entry of "styles.lst". The eight bytes after the identifier are kept as
// they stand; our import tool writes zeros.
struct StyleListEntry {
    std::int32_t id = kNoStyle;
    std::array<std::uint8_t, 8> reserved{};
    std::string name; // file base name without ".stt", at most 15 characters

    friend bool operator==(const StyleListEntry&, const StyleListEntry&) = default;
};

// The entries of the list file, one array per group (category).
struct StyleList {
    std::array<std::vector<StyleListEntry>, kStyleGroupCount> groups;

    friend bool operator==(const StyleList&, const StyleList&) = default;
};

// One note of a pattern, written over the chord it will follow: the selector
// names a chord tone (1 root, 3 third, 4 and 5 fifth, 6 and 7 the fourth tone
// or the root an octave up), the octave places it.
struct PatternEvent {
    std::int8_t selector = 1;
    std::uint8_t reserved1 = 0;
    std::int8_t octave = 0;
    std::uint8_t reserved3 = 0;
    std::int16_t duration = 0; // pattern ticks
    std::uint16_t bar = 0;     // within the pattern, from 0
    std::uint8_t beat = 0;     // from 0
    std::uint8_t reserved9 = 0;
    std::uint16_t tick = 0;       // within the beat
    std::uint16_t velocities = 0; // note-on velocity high byte, note-off low byte

    friend bool operator==(const PatternEvent&, const PatternEvent&) = default;
};

// A style file's header and its pattern. The header bytes keep their file
// positions; the accessors name the ones the program reads.
struct StyleRecord {
    std::array<std::uint8_t, 10> header{};
    std::uint16_t ticksPerQuarter = 0;
    std::uint32_t meters = 0; // up to four meter codes, lowest byte first
    std::uint32_t eventCount = 0;
    std::vector<PatternEvent> events;

    std::uint8_t formatByte() const { return header[0]; }
    std::uint8_t bars() const { return header[1]; }
    std::uint8_t baseOctave() const { return header[2]; }
    std::uint8_t beatsPerBar() const { return header[3]; }
    std::uint8_t program() const { return header[4]; }
    std::uint8_t numerator() const { return header[8]; }
    std::uint8_t denominator() const { return header[9]; }

    void setBars(std::uint8_t v) { header[1] = v; }
    void setBaseOctave(std::uint8_t v) { header[2] = v; }
    void setBeatsPerBar(std::uint8_t v) { header[3] = v; }
    void setProgram(std::uint8_t v) { header[4] = v; }
    void setTimeSignature(std::uint8_t num, std::uint8_t den) {
        header[8] = num;
        header[9] = den;
    }

    // Whether rendering and drawing can use it: a division and a meter that
    // are not zero (they divide).
    bool usable() const { return ticksPerQuarter != 0 && numerator() != 0 && denominator() != 0; }

    friend bool operator==(const StyleRecord&, const StyleRecord&) = default;
};

// Format byte our import tool writes at header offset 0.
constexpr std::uint8_t kStyleFormatVersion = 1;

} // namespace korvanta
