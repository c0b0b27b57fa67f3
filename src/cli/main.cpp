// korvanta-cli: harmonizes and inspects melodies without a window.
#include "CliArgs.h"
#include "SongDump.h"

#include <iostream>
#include <string>
#include <vector>

using namespace korvanta;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUnreadable = 1;
constexpr int kExitUsage = 2;

int runDump(const cli::CliCommand& cmd) {
    TSong song;
    const MidiLoadResult load = loadMidiFile(song, cmd.files.front());
    if (!load.opened) {
        std::cerr << "korvanta-cli: cannot open '" << cmd.files.front() << "'\n";
        return kExitUnreadable;
    }
    if (cmd.json)
        cli::dumpSongJson(std::cout, song, load);
    else
        cli::dumpSongText(std::cout, cmd.files.front(), song, load);
    if (load.result != 0) {
        std::cerr << "korvanta-cli: '" << cmd.files.front()
                  << "' could not be read as a MIDI file (result " << load.result << ")\n";
        return kExitUnreadable;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const cli::CliParse parsed = cli::parseArguments(args);
    if (!parsed.command) {
        std::cerr << "korvanta-cli: " << parsed.error << "\n\n" << cli::usageText();
        return kExitUsage;
    }
    switch (parsed.command->kind) {
    case cli::CommandKind::Help:
        std::cout << cli::usageText();
        return kExitOk;
    case cli::CommandKind::Dump:
        return runDump(*parsed.command);
    case cli::CommandKind::Analyze:
    case cli::CommandKind::Harmonize:
        break;
    }
    return kExitUsage;
}
