#pragma once
// The commands of korvanta-cli, each taking its parsed command line and
// returning the program's exit code.

#include "CliArgs.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace korvanta::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // a file could not be read, harmonized or written
constexpr int kExitUsage = 2;

// What a command says when an allocation failed.
constexpr const char* kOutOfMemoryText = "not enough memory";

// The whole program: parses args and runs the command. Allocation failures
// anywhere end in a message and kExitFailed, never an abort.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int runDump(const CliCommand& cmd, std::ostream& out, std::ostream& err);
int runAnalyze(const CliCommand& cmd, std::ostream& out, std::ostream& err);
int runHarmonize(const CliCommand& cmd, std::ostream& out, std::ostream& err);
// Harmonizes one file and plays it until its end or Ctrl+C; with
// --list-outputs prints the outputs instead.
int runPlay(const CliCommand& cmd, std::ostream& out, std::ostream& err);
// Harmonizes one file and writes its chords grid to a PDF file.
int runPrint(const CliCommand& cmd, std::ostream& out, std::ostream& err);

} // namespace korvanta::cli
