#pragma once
// Where a harmonize run writes, decided and checked before anything is
// written: no output may replace an input (except a project saved back over
// itself), no two outputs may be one file, and an input must be a regular
// file that can be read without waiting (a FIFO would block for ever).

#include "CliArgs.h"

#include <filesystem>
#include <string>
#include <vector>

namespace korvanta::cli {

// The files one input gives; empty paths for outputs not asked for.
struct PlannedOutputs {
    std::filesystem::path input;
    std::filesystem::path project;
    std::filesystem::path exported; // --export or --export-dir
    std::filesystem::path wav;      // --wav
};

std::filesystem::path projectPathFor(const CliCommand& cmd, const std::filesystem::path& input);
std::filesystem::path exportPathFor(const CliCommand& cmd, const std::filesystem::path& input);

std::vector<PlannedOutputs> planOutputs(const CliCommand& cmd);

// Why the run's outputs cannot be written as planned (two outputs are one
// file, an output would replace an input, an output is a folder); empty when
// they are all apart.
std::string outputConflict(const std::vector<PlannedOutputs>& plan);

// Why a project beside its input must not be replaced: it exists, is not the
// input itself, and neither -o nor --force named it. Empty when it may be
// written.
std::string existingProjectProblem(const CliCommand& cmd, const PlannedOutputs& outputs);

// Why path cannot be read as an input (missing, a folder, not a regular
// file); empty when it can be opened.
std::string inputProblem(const std::string& path);

// Whether a and b name one file: the same file when both exist (hard links
// and symbolic links included), else the same place once resolved.
bool samePlace(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace korvanta::cli
