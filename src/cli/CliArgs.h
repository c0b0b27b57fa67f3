#pragma once
// The command line of korvanta-cli: one place that knows every command and
// option, turns argv into a CliCommand, and writes the usage text.

#include <optional>
#include <string>
#include <vector>

namespace korvanta::cli {

enum class CommandKind { Dump, Help };

struct CliCommand {
    CommandKind kind = CommandKind::Help;
    std::string file;
    bool json = false;
};

struct CliParse {
    std::optional<CliCommand> command; // empty when the arguments are wrong
    std::string error;                 // what was wrong, for the user
};

CliParse parseArguments(const std::vector<std::string>& args);
std::string usageText();

} // namespace korvanta::cli
