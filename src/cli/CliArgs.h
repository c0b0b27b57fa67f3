#pragma once
// The command line of korvanta-cli: one place that knows every command and
// option, turns argv into a CliCommand, and writes the usage text.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvanta::cli {

enum class CommandKind { Dump, Analyze, Harmonize, Play, Styles, Print, Help };

constexpr int kAutoKey = -1; // --key auto
constexpr int kFileKey = -2; // --key file: the file's key signature decides

// The answer to "a major key or its relative minor?" when the key analysis
// cannot tell them apart.
enum class AmbiguousAnswer { Ask, Major, Minor };

struct CliCommand {
    CommandKind kind = CommandKind::Help;
    std::vector<std::string> files;
    bool json = false;
    std::optional<int> channel; // the melody channel when several qualify
    int draft = 1;              // harmony draft 1, 2 or 3
    bool draftGiven = false;    // --draft was on the command line
    // --key: empty when not given; kAutoKey, kFileKey, or a key index.
    std::optional<int> key;
    AmbiguousAnswer ambiguous = AmbiguousAnswer::Ask;
    bool reharmonize = false; // analyze a project afresh instead of printing it
    bool strict = false;      // a file the reader had to mend counts as failed
    bool force = false;       // harmonize: replace a project beside its input
    std::string output;       // harmonize: the project file to write (-o)
    std::string outdir;       // harmonize: the folder for one project per input
    std::string exportPath;   // harmonize: also export a MIDI file
    std::string exportDir;    // harmonize: export NAME_kvta.mid per input here
    std::string wavPath;      // harmonize: also render the song to a WAV file
    // play: the loop range as positions BAR[:BEAT[:TICK]], 1-based; empty when none.
    std::string loopFrom;
    std::string loopTo;
    std::optional<int> tempoBpm; // play: a fixed tempo in beats per minute
    std::string outputName;      // play: a system MIDI port; empty for the built-in synth
    bool listOutputs = false;    // play: list the outputs instead of playing
    // --style: empty when not given (auto), "auto", "none", an identifier or a name.
    std::string style;
    std::string stylesDir;                          // --styles: the style library's folder
    std::optional<std::pair<int, int>> meterFilter; // styles --meter N/D
    std::string pdfPath;                            // print: the PDF file to write (-o)
    std::string title;                              // print: the composition's title
    std::string author;                             // print: its author
    bool letterPaper = false;                       // print: US Letter instead of A4
};

// A position text as the program shows it: "  1:01:000" is the start. Its
// parts (bar, beat from 1; tick from 0); empty when the text is no position.
struct PositionParts {
    int bar = 1;
    int beat = 1;
    int tick = 0;
};
std::optional<PositionParts> parsePositionText(const std::string& text);

struct CliParse {
    std::optional<CliCommand> command; // empty when the arguments are wrong
    std::string error;                 // what was wrong, for the user
};

CliParse parseArguments(const std::vector<std::string>& args);
std::string usageText();

// A key given on the command line: an index 0-23, a long name ("C-dur",
// "a-moll"), or a chord-like name ("C", "Am", "F#m", "Bb"). Empty when the text
// names no key; "auto" is not a key (the caller handles it).
std::optional<int> parseKeyName(const std::string& text);

} // namespace korvanta::cli
