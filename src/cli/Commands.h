#pragma once
// The commands of korvanta-cli, each taking its parsed command line and
// returning the program's exit code.

#include "CliArgs.h"

#include <iosfwd>

namespace korvanta::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // a file could not be read, harmonized or written
constexpr int kExitUsage = 2;

int runDump(const CliCommand& cmd, std::ostream& out, std::ostream& err);
int runAnalyze(const CliCommand& cmd, std::ostream& out, std::ostream& err);
int runHarmonize(const CliCommand& cmd, std::ostream& out, std::ostream& err);
// Harmonizes one file and plays it until its end or Ctrl+C; with
// --list-outputs prints the outputs instead.
int runPlay(const CliCommand& cmd, std::ostream& out, std::ostream& err);

} // namespace korvanta::cli
