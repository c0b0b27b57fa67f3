#pragma once
// One tune taken through the song session without a window: open (MIDI or
// project), melody channel, the 92 warning, draft, key choice, creating the
// accompaniment and the major-or-minor question. Shared by the analyze,
// harmonize and play commands; texts go to the streams the caller gives.

#include "CliArgs.h"
#include "session/TuneSession.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace korvanta::cli {

enum class TuneKind { Midi, Project };

struct TuneRun {
    std::string path;
    TuneKind kind = TuneKind::Midi;
    // The session's chord master for the tune (or what a failed open left),
    // valid until the session opens the next file; null when the file type
    // is unknown.
    ChordMaster* master = nullptr;
    Status status = kStatusOk;         // the last status of the sequence
    bool harmonized = false;           // the song holds chords (new or stored)
    std::string message;               // why not, for the user (empty on success)
    std::vector<std::string> warnings; // what the reader had to mend, one line each
    std::string styleName;             // the accompaniment style; empty: block chords
    std::int32_t styleId = -1;
};

// The command line's answers to the session's questions: from the options,
// else on a terminal, else Cancel. Remembers the channels it was offered.
class CliQuestions final : public TuneQuestions {
public:
    enum class Answer { Yes, No, Cancel };
    using AskFunction = Answer (*)(const std::string& question);

    CliQuestions(const CliCommand& cmd, AskFunction ask) : m_cmd(cmd), m_ask(ask) {}

    std::optional<int> melodyChannel(std::string_view question,
                                     const std::vector<ChannelOption>& channels) override;
    MessageAnswer minorKey(std::string_view question) override;
    // The command line writes its own outputs after the run; nothing is
    // saved before a harmonization.
    MessageAnswer saveChanges(std::string_view) override { return MessageAnswer::No; }
    std::optional<std::string> projectPathForSave(std::string_view) override { return {}; }

    const std::vector<ChannelOption>& offeredChannels() const { return m_offered; }

private:
    const CliCommand& m_cmd;
    AskFunction m_ask;
    std::vector<ChannelOption> m_offered;
};

using Answer = CliQuestions::Answer;
using AskFunction = CliQuestions::AskFunction;

// Runs the sequence in session; warnings (the reader's, 92, 97) go to warn as
// they arise. With --strict a reader's warning ends the run.
TuneRun runTune(const CliCommand& cmd, TuneSession& session, CliQuestions& questions,
                const std::string& path, std::ostream& warn);

// A message-table text for a terminal: its "\n\r" line breaks become "\n".
std::string terminalText(std::string_view text);

// A name from a file (a style list, a path) for a terminal: control
// characters are shown as \xNN so they cannot move the cursor or clear lines.
std::string printable(std::string_view text);

} // namespace korvanta::cli
