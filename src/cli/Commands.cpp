#include "Commands.h"

#include "AnalysisPrint.h"
#include "SongDump.h"
#include "TuneRun.h"
#include "alg/harmony/ChordVocabulary.h"
#include "alg/midi/MidiExport.h"
#include "alg/song/Keys.h"
#include "playback/SongRender.h"

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace korvanta::cli {

namespace {

// The major-or-minor question on a terminal; elsewhere nobody can answer.
Answer askOnTerminal(const std::string& question) {
    if (!isatty(STDIN_FILENO)) return Answer::Cancel;
    std::cerr << question << " [y]es (minor) / [n]o (major) / [c]ancel: " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line) || line.empty()) return Answer::Cancel;
    if (line[0] == 'y' || line[0] == 'Y') return Answer::Yes;
    if (line[0] == 'n' || line[0] == 'N') return Answer::No;
    return Answer::Cancel;
}

std::filesystem::path projectPathFor(const CliCommand& cmd, const std::filesystem::path& input) {
    if (!cmd.output.empty()) return cmd.output;
    std::filesystem::path name = input.filename();
    name.replace_extension(".kvt");
    if (!cmd.outdir.empty()) return std::filesystem::path(cmd.outdir) / name;
    return input.parent_path() / name;
}

std::filesystem::path exportPathFor(const CliCommand& cmd, const std::filesystem::path& input) {
    if (!cmd.exportPath.empty()) return cmd.exportPath;
    if (cmd.exportDir.empty()) return {};
    std::filesystem::path name = input.filename();
    name.replace_extension(".mid");
    return std::filesystem::path(cmd.exportDir) / exportFileName(name.string());
}

void drawProgress(std::ostream& err, std::size_t done, std::size_t total, const std::string& name) {
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total ? done * kWidth / total : kWidth;
    err << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << done
        << "/" << total << " " << name << "\x1b[K" << std::flush;
}

} // namespace

int runDump(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    const std::string& file = cmd.files.front();
    TSong song;
    const MidiLoadResult load = loadMidiFile(song, file);
    if (!load.opened) {
        err << "korvanta-cli: cannot open '" << file << "'\n";
        return kExitFailed;
    }
    if (cmd.json)
        dumpSongJson(out, song, load);
    else
        dumpSongText(out, file, song, load);
    if (load.result != 0) {
        err << "korvanta-cli: '" << file << "' could not be read as a MIDI file (result "
            << load.result << ")\n";
        return kExitFailed;
    }
    return kExitOk;
}

int runAnalyze(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<TuneRun> run = runTune(cmd, cmd.files.front(), err, askOnTerminal);
    if (cmd.json)
        printAnalysisJson(out, *run);
    else
        printAnalysisText(out, *run);
    return run->harmonized ? kExitOk : kExitFailed;
}

int runHarmonize(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    const std::size_t total = cmd.files.size();
    // The progress bar redraws one line, so only a terminal gets it.
    const bool many = total > 1 && isatty(STDERR_FILENO);
    std::size_t succeeded = 0;
    std::vector<std::string> failures;
    for (const std::string& dir : {cmd.outdir, cmd.exportDir}) {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::create_directories(dir, ec);
        if (ec) {
            err << "korvanta-cli: cannot create the folder " << dir << ": " << ec.message() << "\n";
            return kExitFailed;
        }
    }
    for (std::size_t i = 0; i < total; ++i) {
        const std::filesystem::path input = cmd.files[i];
        if (many) drawProgress(err, i, total, input.filename().string());
        // Warnings of one file are collected so the progress bar stays on one line.
        std::ostringstream warnings;
        const std::unique_ptr<TuneRun> run = runTune(cmd, input.string(), warnings, askOnTerminal);
        std::string problem = run->message;
        if (run->harmonized) {
            const std::filesystem::path project = projectPathFor(cmd, input);
            if (run->master->saveProjectFile(project.string()) != kStatusOk) {
                problem = run->master->projectMessage();
            } else {
                out << input.string() << " -> " << project.string();
                const std::filesystem::path exported = exportPathFor(cmd, input);
                if (!exported.empty()) {
                    if (run->master->Export(exported.string()) != kStatusOk)
                        problem = "the MIDI export " + exported.string() +
                                  " could not be written: " + run->master->projectMessage();
                    else
                        out << ", " << exported.string();
                }
                if (!cmd.wavPath.empty() && problem.empty()) {
                    TSong& song = *run->master->song();
                    song.BuildChordNotes();
                    const MidiResult wav = renderSongToWav(song, cmd.wavPath);
                    if (!wav)
                        problem = "the WAV file " + cmd.wavPath + " could not be rendered: " +
                                  (wav.errorText().empty() ? "Unknown Error" : wav.errorText());
                    else
                        out << ", " << cmd.wavPath;
                }
                const int key = run->master->mainKey();
                out << " (key " << (key >= 0 ? KeyLongName(key) : "unknown") << ", "
                    << run->master->song()->barCount << " bars)\n";
            }
        }
        if (many && !warnings.str().empty()) err << "\r\x1b[K";
        err << warnings.str();
        if (problem.empty()) {
            ++succeeded;
        } else {
            if (many) err << "\r\x1b[K";
            err << "korvanta-cli: " << input.string() << ": " << problem << "\n";
            failures.push_back(input.string());
        }
    }
    if (many) {
        drawProgress(err, total, total, "");
        err << "\n";
    }
    if (total > 1) {
        out << "harmonized " << succeeded << " of " << total << " files";
        if (!failures.empty()) {
            out << "; failed:";
            for (const std::string& f : failures)
                out << " " << f;
        }
        out << "\n";
    }
    return failures.empty() ? kExitOk : kExitFailed;
}

} // namespace korvanta::cli
