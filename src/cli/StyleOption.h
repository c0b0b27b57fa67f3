#pragma once
// The accompaniment style of korvanta-cli: where the style library is, which
// style a harmonized song gets (--style ID|NAME|auto|none, auto by default
// as in the main window), and the `styles` listing. Runs on the main thread.

#include "CliArgs.h"
#include "alg/song/TSong.h"
#include "styles/StyleLibrary.h"

#include <filesystem>
#include <iosfwd>
#include <string>

namespace korvanta::cli {

// The library of one command run, loaded once for all its files.
struct StyleContext {
    StyleLibrary library;
    std::filesystem::path folder;
    std::int32_t lastChosen = kNoStyle; // as the style dialog remembers it
};

// --styles DIR; else $KORVANTA_STYLES; else the data folder's "Styles".
std::filesystem::path stylesFolder(const CliCommand& cmd);

// Loads the library. Without --style a missing library only means block
// chords (a note goes to err); with --style it is an error (false).
bool loadStyles(const CliCommand& cmd, StyleContext& styles, std::ostream& err);

// What a song got: its style's name, or empty for block chords.
struct StyleOutcome {
    std::string name;
    std::int32_t id = kNoStyle;
    std::string error; // set when an explicit --style cannot be applied
};

// Gives a harmonized song its style. auto follows the main window: the song's
// stored style, else the last chosen, else the default for its meter (none
// when nothing fits). An explicit style must fit the song's meter; it also
// sets the chord octave to the style's base octave, as choosing it in the
// style dialog does. Any style brings its instrument to the chords part.
StyleOutcome applyStyleOption(const CliCommand& cmd, StyleContext& styles, TSong& song);

// The `styles` command: lists the library (text or JSON), optionally only the
// styles that fit --meter N/D.
int runStyles(const CliCommand& cmd, std::ostream& out, std::ostream& err);

// "4/4 2/2" from a meter list.
std::string meterListText(std::uint32_t meters);

} // namespace korvanta::cli
