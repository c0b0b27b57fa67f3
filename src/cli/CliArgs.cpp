#include "CliArgs.h"

namespace korvanta::cli {

std::string usageText() {
    return "usage: korvanta-cli <command> [options]\n"
           "\n"
           "commands:\n"
           "  dump FILE [--json]   read a MIDI file and print the song it gives\n"
           "  help                 show this text\n";
}

CliParse parseArguments(const std::vector<std::string>& args) {
    CliParse out;
    if (args.empty()) {
        out.error = "no command given";
        return out;
    }
    const std::string& name = args[0];
    if (name == "help" || name == "--help" || name == "-h") {
        out.command = CliCommand{CommandKind::Help, {}, false};
        return out;
    }
    if (name != "dump") {
        out.error = "unknown command '" + name + "'";
        return out;
    }
    CliCommand cmd;
    cmd.kind = CommandKind::Dump;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            cmd.json = true;
        } else if (a.size() > 1 && a[0] == '-') {
            out.error = "unknown option '" + a + "' for " + name;
            return out;
        } else if (cmd.file.empty()) {
            cmd.file = a;
        } else {
            out.error = "more than one file given to " + name;
            return out;
        }
    }
    if (cmd.file.empty()) {
        out.error = name + " needs a FILE";
        return out;
    }
    out.command = cmd;
    return out;
}

} // namespace korvanta::cli
