#pragma once
// One tune taken through the program's open-and-harmonize sequence without a
// window: load (MIDI or project), melody channel, the 92 warning, draft, key
// choice, Harmonize and the major-or-minor question. Shared by the analyze and
// harmonize commands. Runs on the calling thread; texts go to the streams the
// caller gives.

#include "CliArgs.h"
#include "alg/harmony/ChordMaster.h"
#include "settings/HarmonySettings.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace korvanta::cli {

enum class TuneKind { Midi, Project };

struct TuneRun {
    std::string path;
    TuneKind kind = TuneKind::Midi;
    HarmonySettings settings;            // the run's own settings record
    std::unique_ptr<ChordMaster> master; // empty when the file type is unknown
    Status status = kStatusOk;           // the last status of the sequence
    bool harmonized = false;             // the song holds chords (new or stored)
    std::string message;                 // why not, for the user (empty on success)
    std::vector<std::string> warnings;   // what the reader had to mend, one line each
    std::string styleName;               // the accompaniment style; empty: block chords
    std::int32_t styleId = -1;
};

// Asks the user a yes/no/cancel question; the command line answers on a
// terminal and refuses elsewhere.
enum class Answer { Yes, No, Cancel };
using AskFunction = Answer (*)(const std::string& question);

// Runs the sequence; warnings (the reader's, 92, 97) go to warn as they arise.
// With --strict a reader's warning ends the run.
std::unique_ptr<TuneRun> runTune(const CliCommand& cmd, const std::string& path, std::ostream& warn,
                                 AskFunction ask);

// A message-table text for a terminal: its "\n\r" line breaks become "\n".
std::string terminalText(std::string_view text);

// A name from a file (a style list, a path) for a terminal: control
// characters are shown as \xNN so they cannot move the cursor or clear lines.
std::string printable(std::string_view text);

} // namespace korvanta::cli
