#include "Commands.h"

#include "AnalysisPrint.h"
#include "PlayProgress.h"
#include "SongDump.h"
#include "StyleOption.h"
#include "TuneRun.h"
#include "alg/harmony/ChordVocabulary.h"
#include "alg/midi/MidiExport.h"
#include "alg/song/Keys.h"
#include "playback/Player.h"
#include "playback/RtMidiOutput.h"
#include "playback/SongRender.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <mutex>
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

constexpr const char* kBuiltInSynthName = "built-in synth";

// Set by Ctrl+C; the main thread stops the player when it sees it.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    g_interrupted.store(true);
}

// Installs the Ctrl+C handler for its lifetime.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptGuard() { sigaction(SIGINT, &m_previous, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_previous {};
};

int listOutputs(std::ostream& out, std::ostream& err) {
    out << kBuiltInSynthName << "\n";
    const MidiPortList ports = RtMidiOutput::portNames();
    for (const std::string& name : ports.names)
        out << name << "\n";
    if (!ports.errorText.empty())
        err << "korvanta-cli: the system's MIDI ports could not be listed: " << ports.errorText
            << "\n";
    return kExitOk;
}

// The loop range of --loop in ticks, ordered; empty (after saying why) when
// a position lies outside the song's bars.
std::optional<std::pair<std::int32_t, std::int32_t>>
loopRange(const CliCommand& cmd, const TSong& song, std::ostream& err) {
    std::int32_t ticks[2] = {0, 0};
    const std::string* texts[2] = {&cmd.loopFrom, &cmd.loopTo};
    for (int i = 0; i < 2; ++i) {
        const std::optional<PositionParts> parts = parsePositionText(*texts[i]);
        const std::optional<std::int32_t> t =
            parts ? positionTicks(song.meter(), song.barCount, song.notes.length, parts->bar,
                                  parts->beat, parts->tick)
                  : std::nullopt;
        if (!t) {
            err << "korvanta-cli: --loop: '" << *texts[i] << "' is no position in this song\n";
            return std::nullopt;
        }
        ticks[i] = *t;
    }
    if (ticks[0] > ticks[1]) std::swap(ticks[0], ticks[1]);
    if (ticks[0] == ticks[1] || ticks[0] >= song.notes.length) {
        err << "korvanta-cli: --loop: the range " << cmd.loopFrom << " to " << cmd.loopTo
            << " holds nothing to play\n";
        return std::nullopt;
    }
    return std::make_pair(ticks[0], ticks[1]);
}

// Gives a harmonized tune its style; false (with the reason in the run's
// message) when an explicit --style cannot be applied.
bool settleStyle(const CliCommand& cmd, StyleContext& styles, TuneRun& run) {
    if (!run.harmonized) return true;
    const StyleOutcome outcome = applyStyleOption(cmd, styles, *run.master->song());
    if (!outcome.error.empty()) {
        run.message = outcome.error;
        run.harmonized = false;
        return false;
    }
    run.styleName = outcome.name;
    run.styleId = outcome.id;
    return true;
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
    StyleContext styles;
    if (!loadStyles(cmd, styles, err)) return kExitFailed;
    const std::unique_ptr<TuneRun> run = runTune(cmd, cmd.files.front(), err, askOnTerminal);
    settleStyle(cmd, styles, *run);
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
    StyleContext styles;
    if (!loadStyles(cmd, styles, err)) return kExitFailed;
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
        settleStyle(cmd, styles, *run);
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
                    << run->master->song()->barCount << " bars, "
                    << (run->styleName.empty() ? std::string("block chords")
                                               : "style " + run->styleName)
                    << ")\n";
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

namespace korvanta::cli {

int runPlay(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    if (cmd.listOutputs) return listOutputs(out, err);
    const std::string& file = cmd.files.front();
    StyleContext styles;
    if (!loadStyles(cmd, styles, err)) return kExitFailed;
    const std::unique_ptr<TuneRun> run = runTune(cmd, file, err, askOnTerminal);
    settleStyle(cmd, styles, *run);
    if (!run->harmonized) {
        err << "korvanta-cli: " << file << ": "
            << (run->message.empty() ? "could not be harmonized" : run->message) << "\n";
        return kExitFailed;
    }
    TSong& song = *run->master->song();
    ChannelMixState mix;
    song.channelSettings = &mix;
    // The chords part starts on the song's program for it (a style's instrument).
    if (const std::int32_t program = song.QueryMeta(0xC0 | kChordList, 0); program >= 0)
        mix.setProgram(kChordList, static_cast<std::uint8_t>(program));
    if (!run->styleName.empty()) err << "style: " << run->styleName << "\n";
    PlayPositions positions;
    const bool loop = !cmd.loopFrom.empty();
    if (loop) {
        const auto range = loopRange(cmd, song, err);
        if (!range) return kExitUsage;
        positions.set(PlayPositions::kLoopStart, range->first);
        positions.set(PlayPositions::kLoopEnd, range->second);
    }

    // Declared before the player, which may call its handlers until it is gone.
    std::mutex mutex;
    std::condition_variable wake;
    bool ended = false;
    std::string failure;
    Player player;
    if (!cmd.outputName.empty() && cmd.outputName != kBuiltInSynthName) {
        const MidiPortList ports = RtMidiOutput::portNames();
        const int port = RtMidiOutput::findPort(ports.names, cmd.outputName);
        if (port < 0) {
            err << "korvanta-cli: no MIDI output called '" << cmd.outputName
                << "' (korvanta-cli play --list-outputs lists them)\n";
            return kExitFailed;
        }
        (void)player.setDevice(port, ports.names[static_cast<std::size_t>(port)]);
    }
    player.setSong(&song);
    player.setChannelSettings(&mix);
    player.setPositions(&positions);
    player.setDivision(static_cast<std::uint32_t>(song.ticksPerQuarter));
    std::uint32_t tempo = static_cast<std::uint32_t>(song.QueryMeta(kMetaTempo));
    if (cmd.tempoBpm) {
        player.setFollowSongTempo(false);
        tempo = static_cast<std::uint32_t>(60000000 / *cmd.tempoBpm);
    }
    player.setTempo(tempo);

    player.setErrorHandler([&](const std::string& caption, const std::string& text) {
        std::lock_guard lock(mutex);
        failure = caption + ": " + text;
    });
    player.setEndHandler([&] {
        std::lock_guard lock(mutex);
        ended = true;
        wake.notify_all();
    });

    InterruptGuard interrupt;
    if (!player.start(loop)) {
        std::lock_guard lock(mutex);
        err << "korvanta-cli: " << (failure.empty() ? "playback could not start" : failure) << "\n";
        return kExitFailed;
    }
    // A terminal gets one line redrawn ten times a second; anything else a
    // plain line every second.
    const bool terminal = isatty(STDERR_FILENO) != 0;
    const auto period = terminal ? std::chrono::milliseconds(100) : std::chrono::seconds(1);
    const std::int64_t rangeStart = loop ? positions.get(PlayPositions::kLoopStart) : 0;
    const std::int64_t rangeEnd =
        loop ? positions.get(PlayPositions::kLoopEnd) : positions.get(PlayPositions::kSongEnd);
    bool stopped = false;
    std::int64_t ticks = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex);
            // The wait is cut short so that Ctrl+C is seen within a period.
            wake.wait_for(lock, period, [&] { return ended; });
            if (ended) break;
        }
        if (g_interrupted && !stopped) {
            stopped = true;
            player.stop(); // the end handler then ends the wait
            continue;
        }
        ticks = player.position();
        const std::string line = positionText(song.meter(), ticks) + " " +
                                 progressBar(ticks - rangeStart, rangeEnd - rangeStart) +
                                 (loop ? " (looping; Ctrl+C stops)" : "");
        if (terminal)
            err << "\r" << line << "\x1b[K" << std::flush;
        else
            err << line << "\n" << std::flush;
    }
    if (terminal) err << "\r\x1b[K";
    std::lock_guard lock(mutex);
    if (!failure.empty()) {
        err << "korvanta-cli: " << file << ": " << failure << "\n";
        return kExitFailed;
    }
    if (stopped)
        out << "stopped at " << positionText(song.meter(), ticks) << "\n";
    else
        out << "played " << file << "\n";
    return kExitOk;
}

} // namespace korvanta::cli
