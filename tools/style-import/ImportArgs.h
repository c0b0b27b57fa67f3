#pragma once
// The command line of korvanta-style-import: turning argv into an
// ImportCommand, the usage text, and running an import without a window.

#include "PatternImport.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace korvanta::styleimport {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // a file could not be read, converted or written
constexpr int kExitUsage = 2;

enum class ImportMode { Import, Window, Help };

struct ImportCommand {
    ImportMode mode = ImportMode::Help;
    std::string from;   // the MIDI file or .kvp source
    std::string folder; // the styles folder; may be empty for the window
    ImportOptions options;
    bool replace = false;
    bool show = false;
    bool dryRun = false;
};

struct ImportParse {
    std::optional<ImportCommand> command; // empty when the arguments are wrong
    std::string error;                    // what was wrong, for the user
};

ImportParse parseImportArguments(const std::vector<std::string>& args);
std::string importUsageText();

// Reads, converts and adds as the command says; prints the report table with
// --show and a summary line on success. Messages and errors go to `err`.
// Returns the exit code.
int runImportCommand(const ImportCommand& command, std::ostream& out, std::ostream& err);

// The --show table of a conversion.
void printReportTable(std::ostream& out, const Conversion& conversion);

} // namespace korvanta::styleimport
