#include "Commands.h"

#include "AnalysisPrint.h"
#include "OutputCheck.h"
#include "PlayProgress.h"
#include "SongDump.h"
#include "StyleOption.h"
#include "TuneRun.h"
#include "alg/song/ChordVocabulary.h"
#include "alg/song/Keys.h"
#include "alg/song/MidiExport.h"
#include "playback/Player.h"
#include "playback/RtMidiOutput.h"
#include "playback/SongRender.h"
#include "print/ChordsGridPainter.h"
#include "styles/StyleMaster.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <new>
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
        const std::optional<std::int64_t> t =
            parts ? positionTicks(song.meter(), song.barCount, song.notes.length, parts->bar,
                                  parts->beat, parts->tick)
                  : std::nullopt;
        if (!t) {
            err << "korvanta-cli: --loop: '" << *texts[i] << "' is no position in this song\n";
            return std::nullopt;
        }
        ticks[i] = saturateTicks(*t);
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
    if (const std::string problem = inputProblem(file); !problem.empty()) {
        err << "korvanta-cli: cannot open '" << printable(file) << "': " << problem << "\n";
        return kExitFailed;
    }
    TSong song;
    const MidiLoadResult load = loadMidiFile(song, file);
    if (!load.opened) {
        err << "korvanta-cli: cannot open '" << printable(file) << "'";
        if (!load.diagnostics.empty())
            err << ": " << load.diagnostics.front().substr(0, load.diagnostics.front().find('\n'));
        err << "\n";
        return kExitFailed;
    }
    if (cmd.json)
        dumpSongJson(out, song, load);
    else
        dumpSongText(out, file, song, load);
    if (load.status != 0) {
        err << "korvanta-cli: '" << file << "' could not be read as a MIDI file (result "
            << load.status << ")\n";
        return kExitFailed;
    }
    return kExitOk;
}

int runAnalyze(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    StyleContext styles;
    if (!loadStyles(cmd, styles, err)) return kExitFailed;
    const std::string& file = cmd.files.front();
    if (const std::string problem = inputProblem(file); !problem.empty()) {
        err << "korvanta-cli: " << printable(file) << ": " << problem << "\n";
        return kExitFailed;
    }
    CliQuestions questions(cmd, askOnTerminal);
    TuneSession session(questions, &styles.library);
    TuneRun run = runTune(cmd, session, questions, file, err);
    settleStyle(cmd, styles, run);
    if (!run.message.empty())
        err << "korvanta-cli: " << printable(file) << ": " << run.message << "\n";
    // A failure after a clean harmony sequence (a style that does not fit,
    // --strict) has no status of its own; printing "status: 0" would
    // contradict the exit code, so only the message stands.
    if (!run.harmonized && run.status == kStatusOk) return kExitFailed;
    if (cmd.json)
        printAnalysisJson(out, run);
    else
        printAnalysisText(out, run);
    return run.harmonized ? kExitOk : kExitFailed;
}

namespace {

// What became of one input of a harmonize run.
struct FileOutcome {
    std::string problem; // empty when every output was written
    bool warned = false; // the reader had to mend the file
};

// Writes the outputs of a harmonized tune: the project, then the export and
// the WAV file; the first failure ends it. Says what was written on out.
std::string writeOutputs(TuneRun& run, const PlannedOutputs& plan, std::ostream& out) {
    ChordMaster& master = *run.master;
    if (master.saveProjectFile(plan.project.string()) != kStatusOk) return master.projectMessage();
    out << printable(plan.input.string()) << " -> " << printable(plan.project.string());
    std::string problem;
    if (!plan.exported.empty()) {
        if (master.Export(plan.exported.string()) != kStatusOk)
            problem = "the MIDI export " + plan.exported.string() +
                      " could not be written: " + master.projectMessage();
        else
            out << ", " << printable(plan.exported.string());
    }
    if (!plan.wav.empty() && problem.empty()) {
        TSong& song = *master.song();
        BuildChordNotes(song);
        const MidiResult wav = renderSongToWav(song, plan.wav.string());
        if (!wav)
            problem = "the WAV file " + plan.wav.string() + " could not be rendered: " +
                      (wav.errorText().empty() ? "Unknown Error" : wav.errorText());
        else
            out << ", " << printable(plan.wav.string());
    }
    const int key = master.mainKey();
    out << " (key " << (key >= 0 ? KeyEnglishName(key) : "unknown") << ", "
        << master.song()->barCount << " bars, "
        << (run.styleName.empty() ? std::string("block chords")
                                  : "style " + printable(run.styleName))
        << ")\n";
    return problem;
}

FileOutcome harmonizeOne(const CliCommand& cmd, StyleContext& styles, TuneSession& session,
                         CliQuestions& questions, const PlannedOutputs& plan, std::ostream& out,
                         std::ostream& warnings) {
    FileOutcome outcome;
    if (std::string problem = inputProblem(plan.input.string()); !problem.empty()) {
        outcome.problem = problem;
        return outcome;
    }
    if (std::string problem = existingProjectProblem(cmd, plan); !problem.empty()) {
        outcome.problem = problem;
        return outcome;
    }
    try {
        TuneRun run = runTune(cmd, session, questions, plan.input.string(), warnings);
        outcome.warned = !run.warnings.empty();
        settleStyle(cmd, styles, run);
        outcome.problem = run.harmonized ? writeOutputs(run, plan, out) : run.message;
        if (outcome.problem.empty() && !run.harmonized) outcome.problem = "could not be harmonized";
    } catch (const std::bad_alloc&) {
        outcome.problem = kOutOfMemoryText;
    }
    return outcome;
}

// What a batch did, for its summary line.
struct BatchTally {
    std::size_t total = 0;
    std::size_t succeeded = 0;
    std::size_t warned = 0;
    std::vector<std::string> failures;

    void printSummary(std::ostream& out) const {
        out << "harmonized " << succeeded << " of " << total << " files";
        if (warned > 0) out << " (" << warned << " with warnings)";
        if (!failures.empty()) {
            out << "; failed:";
            for (const std::string& f : failures)
                out << " " << printable(f);
        }
        out << "\n";
    }
};

bool createOutputFolders(const CliCommand& cmd, std::ostream& err) {
    for (const std::string& dir : {cmd.outdir, cmd.exportDir}) {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::create_directories(dir, ec);
        if (ec) {
            err << "korvanta-cli: cannot create the folder " << printable(dir) << ": "
                << ec.message() << "\n";
            return false;
        }
    }
    return true;
}

} // namespace

int runHarmonize(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    const std::vector<PlannedOutputs> plan = planOutputs(cmd);
    // Nothing is written while any two files of the run collide.
    if (const std::string conflict = outputConflict(plan); !conflict.empty()) {
        err << "korvanta-cli: " << printable(conflict) << "; nothing was written\n";
        return kExitUsage;
    }
    StyleContext styles;
    if (!loadStyles(cmd, styles, err) || !createOutputFolders(cmd, err)) return kExitFailed;
    BatchTally tally;
    tally.total = plan.size();
    // The progress bar redraws one line of a terminal, so only a terminal
    // gets it; whatever else is said goes above it.
    const bool many = tally.total > 1 && isatty(STDERR_FILENO);
    constexpr const char* kClearLine = "\r\x1b[K";
    for (const PlannedOutputs& outputs : plan) {
        const std::string input = outputs.input.string();
        if (many)
            drawProgress(err, tally.succeeded + tally.failures.size(), tally.total,
                         printable(outputs.input.filename().string()));
        // Every file starts from the same state, as if it were the only one:
        // a style chosen for one song is never offered to the next.
        styles.lastChosen = kNoStyle;
        CliQuestions questions(cmd, askOnTerminal);
        TuneSession session(questions, &styles.library);
        std::ostringstream said;
        std::ostringstream warnings;
        const FileOutcome outcome =
            harmonizeOne(cmd, styles, session, questions, outputs, said, warnings);
        if (many) err << kClearLine << std::flush;
        err << warnings.str() << std::flush;
        out << said.str() << std::flush;
        if (!outcome.problem.empty()) {
            err << "korvanta-cli: " << printable(input) << ": " << outcome.problem << "\n";
            tally.failures.push_back(input);
            continue;
        }
        ++tally.succeeded;
        if (outcome.warned) ++tally.warned;
    }
    if (many) {
        drawProgress(err, tally.total, tally.total, "");
        err << "\n";
    }
    if (tally.total > 1) tally.printSummary(out);
    return tally.failures.empty() ? kExitOk : kExitFailed;
}

namespace {

// What the main thread learns from the player's thread while it plays.
struct PlayWatch {
    std::mutex mutex;
    std::condition_variable wake;
    bool ended = false;
    std::string failure;

    void attach(Player& player) {
        player.setErrorHandler([this](const std::string& caption, const std::string& text) {
            std::lock_guard lock(mutex);
            failure = caption + ": " + text;
        });
        player.setEndHandler([this] {
            std::lock_guard lock(mutex);
            ended = true;
            wake.notify_all();
        });
    }
    // Waits up to period for the end; true when the play has ended.
    bool waitForEnd(std::chrono::milliseconds period) {
        std::unique_lock lock(mutex);
        // The wait is cut short so that Ctrl+C is seen within a period.
        wake.wait_for(lock, period, [this] { return ended; });
        return ended;
    }
    std::string failureText() {
        std::lock_guard lock(mutex);
        return failure;
    }
};

// Points the player at a system MIDI port when --output names one; false
// (after saying why) when there is no such port.
bool chooseOutput(const CliCommand& cmd, Player& player, std::ostream& err) {
    if (cmd.outputName.empty() || cmd.outputName == kBuiltInSynthName) return true;
    const MidiPortList ports = RtMidiOutput::portNames();
    const int port = RtMidiOutput::findPort(ports.names, cmd.outputName);
    if (port < 0) {
        err << "korvanta-cli: no MIDI output called '" << cmd.outputName
            << "' (korvanta-cli play --list-outputs lists them)\n";
        return false;
    }
    (void)player.setDevice(port, ports.names[static_cast<std::size_t>(port)]);
    return true;
}

struct PlayEnd {
    bool stopped = false; // by Ctrl+C
    std::int64_t ticks = 0;
};

// Shows the position until the play ends or Ctrl+C stops it. A terminal
// gets one line redrawn ten times a second; anything else a plain line
// every second.
PlayEnd followPlay(Player& player, PlayWatch& watch, const TSong& song,
                   const PlayPositions& positions, bool loop, std::ostream& err) {
    const bool terminal = isatty(STDERR_FILENO) != 0;
    const auto period = terminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
    const std::int64_t rangeStart = loop ? positions.get(PlayPositions::kLoopStart) : 0;
    const std::int64_t rangeEnd =
        loop ? positions.get(PlayPositions::kLoopEnd) : positions.get(PlayPositions::kSongEnd);
    PlayEnd end;
    while (!watch.waitForEnd(period)) {
        if (g_interrupted && !end.stopped) {
            end.stopped = true;
            player.stop(); // the end handler then ends the wait
            continue;
        }
        end.ticks = player.position();
        const std::string line = positionText(song.meter(), end.ticks) + " " +
                                 progressBar(end.ticks - rangeStart, rangeEnd - rangeStart) +
                                 (loop ? " (looping; Ctrl+C stops)" : "");
        if (terminal)
            err << "\r" << line << "\x1b[K" << std::flush;
        else
            err << line << "\n" << std::flush;
    }
    if (terminal) err << "\r\x1b[K";
    return end;
}

} // namespace

int runPlay(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    if (cmd.listOutputs) return listOutputs(out, err);
    const std::string& file = cmd.files.front();
    if (const std::string problem = inputProblem(file); !problem.empty()) {
        err << "korvanta-cli: " << printable(file) << ": " << problem << "\n";
        return kExitFailed;
    }
    StyleContext styles;
    if (!loadStyles(cmd, styles, err)) return kExitFailed;
    CliQuestions questions(cmd, askOnTerminal);
    TuneSession session(questions, &styles.library);
    TuneRun run = runTune(cmd, session, questions, file, err);
    settleStyle(cmd, styles, run);
    if (!run.harmonized) {
        err << "korvanta-cli: " << file << ": "
            << (run.message.empty() ? "could not be harmonized" : run.message) << "\n";
        return kExitFailed;
    }
    TSong& song = *run.master->song();
    ChannelMixState mix;
    song.channelSettings = &mix;
    // The chords part starts on the song's program for it (a style's instrument).
    if (const std::int32_t program = song.QueryMeta(0xC0 | kChordList, 0); program >= 0)
        mix.setProgram(kChordList, static_cast<std::uint8_t>(program));
    if (!run.styleName.empty()) err << "style: " << printable(run.styleName) << "\n";
    PlayPositions positions;
    const bool loop = !cmd.loopFrom.empty();
    if (loop) {
        const auto range = loopRange(cmd, song, err);
        if (!range) return kExitUsage;
        positions.set(PlayPositions::kLoopStart, range->first);
        positions.set(PlayPositions::kLoopEnd, range->second);
    }

    // Declared before the player, which may call its handlers until it is gone.
    PlayWatch watch;
    Player player;
    if (!chooseOutput(cmd, player, err)) return kExitFailed;
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
    watch.attach(player);

    InterruptGuard interrupt;
    if (!player.start(loop)) {
        const std::string failure = watch.failureText();
        err << "korvanta-cli: " << (failure.empty() ? "playback could not start" : failure) << "\n";
        return kExitFailed;
    }
    session.setPlaying(true);
    const PlayEnd end = followPlay(player, watch, song, positions, loop, err);
    session.setPlaying(false);
    if (const std::string failure = watch.failureText(); !failure.empty()) {
        err << "korvanta-cli: " << file << ": " << failure << "\n";
        return kExitFailed;
    }
    if (end.stopped)
        out << "stopped at " << positionText(song.meter(), end.ticks) << "\n";
    else
        out << "played " << file << "\n";
    return kExitOk;
}

int runPrint(const CliCommand& cmd, std::ostream& out, std::ostream& err) {
    const std::string& file = cmd.files.front();
    if (const std::string problem = inputProblem(file); !problem.empty()) {
        err << "korvanta-cli: " << printable(file) << ": " << problem << "\n";
        return kExitFailed;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(file, cmd.pdfPath, ec)) {
        err << "korvanta-cli: -o " << printable(cmd.pdfPath)
            << " names the input file; it is never overwritten\n";
        return kExitUsage;
    }
    CliQuestions questions(cmd, askOnTerminal);
    TuneSession session(questions);
    TuneRun run = runTune(cmd, session, questions, file, err);
    if (!run.harmonized) {
        err << "korvanta-cli: " << printable(file) << ": "
            << (run.message.empty() ? "could not be harmonized" : run.message) << "\n";
        return kExitFailed;
    }
    const print::GridDocument document =
        print::gridDocumentOf(*run.master, cmd.title, cmd.author, print::shortDateToday());
    int pages = 0;
    const std::string problem = print::writeChordsGridPdf(
        document, cmd.pdfPath, cmd.letterPaper ? print::PaperSize::Letter : print::PaperSize::A4,
        &pages);
    if (!problem.empty()) {
        err << "korvanta-cli: " << printable(problem) << "\n";
        return kExitFailed;
    }
    out << printable(file) << " -> " << printable(cmd.pdfPath) << " (" << document.chords.size()
        << " bars on " << pages << (pages == 1 ? " page" : " pages") << ")\n";
    return kExitOk;
}

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CliParse parsed = parseArguments(args);
    if (!parsed.command) {
        err << "korvanta-cli: " << printable(parsed.error) << "\n\n" << usageText();
        return kExitUsage;
    }
    try {
        switch (parsed.command->kind) {
        case CommandKind::Help:
            out << usageText();
            return kExitOk;
        case CommandKind::Dump:
            return runDump(*parsed.command, out, err);
        case CommandKind::Analyze:
            return runAnalyze(*parsed.command, out, err);
        case CommandKind::Harmonize:
            return runHarmonize(*parsed.command, out, err);
        case CommandKind::Play:
            return runPlay(*parsed.command, out, err);
        case CommandKind::Styles:
            return runStyles(*parsed.command, out, err);
        case CommandKind::Print:
            return runPrint(*parsed.command, out, err);
        }
    } catch (const std::bad_alloc&) {
        err << "korvanta-cli: " << kOutOfMemoryText << "\n";
        return kExitFailed;
    } catch (const std::exception& e) {
        err << "korvanta-cli: " << printable(e.what()) << "\n";
        return kExitFailed;
    }
    return kExitUsage;
}

} // namespace korvanta::cli
