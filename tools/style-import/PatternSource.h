#pragma once
// What the style import reads: a pattern played over a C chord, from a MIDI
// file or from a ".kvp" pattern source text (see data/Styles/src/README.md).
// Both readers produce the same PatternSource: the division, the pattern's
// meter, the notes in ticks from the pattern's start, and the header values a
// ".kvp" gives. Readers check every value and report the first fault with
// its line; they never throw and never trust a count or length they read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvanta::styleimport {

struct Meter {
    int numerator = 4;
    int denominator = 4; // plain note value: 4 for quarters, 8 for eighths

    friend bool operator==(const Meter&, const Meter&) = default;
};

// "3/4"
std::string meterText(const Meter& meter);
// One meter "N/D"; empty when the text is no meter (zero values are kept, the
// import refuses them with its own reason).
std::optional<Meter> parseMeter(std::string_view text);
// Meters separated by commas and/or blanks: "4/4,2/2" or "4/4 2/2". Empty
// when any part is no meter or there is none; `error` says which.
std::optional<std::vector<Meter>> parseMeterList(std::string_view text,
                                                 std::string* error = nullptr);

// MIDI note number of a note name with octave ("C4" = 60, "Bb3", "F#2",
// "C-1" = 0); empty when the text is no note or lies outside 0..127.
std::optional<int> parseNoteName(std::string_view text);
// "C4", "Bb3", "F#2": the name the reports and tables show.
std::string noteName(int pitch);

constexpr int kDefaultDivision = 480;
constexpr int kLargestDivision = 32767; // a MIDI file's largest division
constexpr int kNoChannel = -1;          // notes of a ".kvp" source

struct SourceNote {
    std::int64_t start = 0;  // ticks from the pattern's start
    std::int64_t length = 0; // ticks; 0 for a MIDI note that was never released
    int pitch = 60;
    std::uint16_t velocities = 0; // note-on velocity high byte, release low byte
    int channel = kNoChannel;     // MIDI channel 0..15
    int line = 0;                 // line of a ".kvp" source, 0 for MIDI
};

enum class SourceKind { PatternText, Midi };

struct PatternSource {
    SourceKind kind = SourceKind::PatternText;
    int division = kDefaultDivision; // ticks per quarter
    Meter meter;                     // the pattern's own meter
    std::vector<SourceNote> notes;   // in the order read

    // Header values of a ".kvp" source; empty when it does not give them.
    std::optional<std::string> name;
    std::optional<int> group;
    std::optional<int> program;
    std::optional<int> baseOctave; // MIDI note of "base" / 12
    std::optional<int> bars;
    std::optional<std::vector<Meter>> meters;

    // A MIDI file's first program change per channel (-1: none).
    std::array<int, 16> firstProgram{-1, -1, -1, -1, -1, -1, -1, -1,
                                     -1, -1, -1, -1, -1, -1, -1, -1};
    std::vector<std::string> warnings; // things the reader noticed but accepted

    // Notes per MIDI channel, for choosing one.
    std::array<int, 16> channelNoteCounts() const;
};

struct SourceRead {
    std::optional<PatternSource> source; // empty when the input was refused
    std::string error;                   // why, for the user
};

// Pattern source texts larger than this are no pattern of ours.
constexpr std::size_t kLargestPatternText = 1024 * 1024;

SourceRead parsePatternText(std::string_view text);
SourceRead parseMidiPattern(std::span<const std::byte> bytes);

// Reads a file: ".kvp" as pattern text, anything else as a MIDI file.
// Errors name the file.
SourceRead readPatternSource(const std::filesystem::path& file);
bool isPatternTextFile(const std::filesystem::path& file);

} // namespace korvanta::styleimport
