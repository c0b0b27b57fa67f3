#pragma once
// Turning a pattern source into a style record, and adding a style to a
// library folder. Notes written over C become chord-tone selectors; notes
// that are no chord tone of C are reported and left out. Both the command
// line and the window use these; nothing here needs Qt.

#include "PatternSource.h"
#include "styles/StyleRecords.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvanta::styleimport {

constexpr std::size_t kLongestStyleName = 15;
constexpr int kDefaultBaseOctave = 4; // C3 = MIDI note 48
constexpr int kLargestBaseOctave = 10;
constexpr int kLargestPatternBars = 255;
constexpr std::size_t kMostMeters = 4;
constexpr int kLongestEventDuration = 32767;

// What the command line or the window chose; an empty value is taken from the
// source (a ".kvp" header) or defaults.
struct ImportOptions {
    std::optional<std::string> name;
    std::optional<int> group;
    std::optional<int> channel; // MIDI channel 0..15; empty: all channels
    std::optional<int> baseOctave;
    std::optional<int> program;
    std::optional<int> bars;
    std::optional<std::vector<Meter>> meters;
};

// The selector a pitch class written over C becomes (1, 3, 4, 5, 6, 7), or 0
// for C#, D and F, which are no chord tone.
int selectorOfPitchClass(int pitchClass);
// "root", "third", "fifth", "7th or 6th"; empty for 0.
std::string selectorMeaning(int selector);
// A pattern position as the program shows it, from 1: "1:2:000".
std::string positionText(int bar, int beat, int tick);
// Whether a style name is 1-15 letters, digits, '-' and '_'.
bool isValidStyleName(const std::string& name);

// Why a meter list cannot be stored (empty when it can): 1-4 meters, each
// with numerator 1-15 and denominator 1, 2, 4 or 8, none twice.
std::string meterListProblem(const std::vector<Meter>& meters);

// One note of the source and what became of it.
struct NoteReport {
    SourceNote note;
    int bar = 0; // in the pattern's meter, from 0
    int beat = 0;
    int tick = 0;
    int selector = 0; // 0 when left out
    int octave = 0;   // MIDI note / 12
    int duration = 0; // ticks as stored
    bool kept = false;
    std::string remark; // why it was left out, or what was changed

    std::string position() const { return positionText(bar + 1, beat + 1, tick); }
};

// The columns of the report table (--show and the window): position, length,
// note, selector, tone, octave, velocity, remark.
constexpr std::size_t kReportColumns = 8;
std::array<std::string, kReportColumns> reportCells(const NoteReport& report);

// The settings the style is written with, after options, header and defaults.
struct StyleSettings {
    std::string name;
    int group = 0;
    int program = 0;
    int baseOctave = kDefaultBaseOctave;
    int bars = 1;
    std::vector<Meter> meters;
};

struct Conversion {
    std::optional<StyleRecord> style;  // empty when the import is refused
    StyleSettings settings;            // as far as they were worked out
    std::vector<NoteReport> notes;     // every note of the chosen channels, sorted
    std::vector<std::string> messages; // left-out notes, held lengths, reader warnings
    std::string error;                 // why the import is refused

    int keptCount() const;
};

Conversion convertPattern(const PatternSource& source, const ImportOptions& options);

// The meter list of a style record: codes packed from the lowest byte.
std::uint32_t packMeters(const std::vector<Meter>& meters);

struct LibraryAdd {
    bool ok = false;
    std::string error;
    std::int32_t id = -1;
    bool replaced = false;         // a listed style was rewritten
    bool replacedUnlisted = false; // a style file no list entry named was written over
    std::filesystem::path styleFile;
};

// Adds (or with `replace`, rewrites) a style in the library folder: the
// style file first, then styles.lst, each through a temporary file, all while
// holding the library's lock (StyleListLock), so imports running at the same
// time each keep their entry. Checks everything before writing; a list that
// exists but cannot be read is never touched. A style file that no entry
// names (left by an import that stopped half-way) is written over without
// `replace`. With `dryRun` it checks and works out the identifier only,
// without locking.
LibraryAdd addStyleToLibrary(const std::filesystem::path& folder, const StyleSettings& settings,
                             const StyleRecord& style, bool replace, bool dryRun = false);

// "PianoBallad.stt: 23 events, 1 bar, meters 4/4 2/2, group 0, id 5"
std::string summaryLine(const StyleSettings& settings, const StyleRecord& style,
                        const LibraryAdd& added);

// General MIDI instrument names, one per line, program 0 first (at most 128);
// empty when the file cannot be read.
std::vector<std::string> readInstrumentNames(const std::filesystem::path& file);

// The instrument list of a styles folder: <folder>/../gmi.txt.
std::filesystem::path instrumentNamesFile(const std::filesystem::path& stylesFolder);

} // namespace korvanta::styleimport
