// korvanta-cli end to end, in process: what a run may write, which inputs it
// refuses, what it says about files it had to mend, and how it fails.
#include "Commands.h"
#include "alg/harmony/HarmonySettings.h"
#include "alg/song/ChordVocabulary.h"
#include "alg/song/TSongReader.h"
#include "io/FileBytes.h"
#include "session/ChordMaster.h"
#include "styles/StyleChoice.h"
#include "styles/StyleFiles.h"
#include "styles/StyleTestSupport.h"
#include "support/PdfText.h"
#include "support/SmfBuilder.h"

#include <csignal>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvanta;
using namespace korvanta::cli;
using namespace korvanta::test;
namespace fs = std::filesystem;

namespace {

const fs::path kSamples = fs::path(KORVANTA_DATA_DIR) / "samples";

struct CliRun {
    int exit = -1;
    std::string out;
    std::string err;
};

CliRun runCli(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.exit = runCommandLine(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A folder with a copy of a sample melody in it, and no style library in
// sight (block chords keep the runs quick).
struct Workspace : ScratchFolder {
    Workspace() { setenv("KORVANTA_STYLES", (path / "no-styles").c_str(), 1); }
    fs::path sample(const std::string& name, const std::string& as = {}) const {
        const fs::path target = path / (as.empty() ? name : as);
        fs::copy_file(kSamples / name, target, fs::copy_options::overwrite_existing);
        return target;
    }
    std::string p(const std::string& name) const { return (path / name).string(); }
};

// Runs body in a child process and returns its exit code; a child still
// running after the guard's time is killed and the test fails (-1).
int inChildWithin(int seconds, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    for (int tenths = 0; tenths < seconds * 10; ++tenths) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usleep(100 * 1000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

} // namespace

TEST(CommandLineOutputs, NothingIsWrittenWhenAnOutputWouldReplaceAnInput) {
    Workspace w;
    const fs::path src = w.sample("twinkle-twinkle.mid", "src.mid");
    const std::string original = contents(src);
    for (const char* option : {"--export", "--wav"}) {
        const CliRun r = runCli({"harmonize", src.string(), option, src.string()});
        EXPECT_EQ(r.exit, kExitUsage) << option;
        EXPECT_NE(r.err.find("would replace the input"), std::string::npos) << r.err;
    }
    EXPECT_EQ(contents(src), original);
    EXPECT_FALSE(fs::exists(w.path / "src.kvt"));

    // A hard link is the same file under another name.
    fs::create_hard_link(src, w.path / "link.mid");
    EXPECT_EQ(runCli({"harmonize", src.string(), "--export", w.p("link.mid")}).exit, kExitUsage);
    EXPECT_EQ(contents(src), original);
}

TEST(CommandLineOutputs, TwoOutputsOfOneRunMayNotBeOneFile) {
    Workspace w;
    const fs::path src = w.sample("twinkle-twinkle.mid", "a.mid");
    CliRun r =
        runCli({"harmonize", src.string(), "-o", w.p("out.kvt"), "--export", w.p("out.kvt")});
    EXPECT_EQ(r.exit, kExitUsage);
    EXPECT_NE(r.err.find("would be written twice"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(w.path / "out.kvt"));

    // a.kvt would be both the saved-in-place input and the project of a.mid.
    ASSERT_EQ(runCli({"harmonize", src.string()}).exit, kExitOk);
    const std::string project = contents(w.path / "a.kvt");
    r = runCli({"harmonize", w.p("a.kvt"), src.string(), "--force"});
    EXPECT_EQ(r.exit, kExitUsage) << r.err;
    EXPECT_EQ(contents(w.path / "a.kvt"), project);

    // One name in two folders meets in --outdir.
    fs::create_directories(w.path / "x");
    w.sample("twinkle-twinkle.mid", "x/a.mid");
    r = runCli({"harmonize", src.string(), w.p("x/a.mid"), "--outdir", w.p("out")});
    EXPECT_EQ(r.exit, kExitUsage);
    EXPECT_FALSE(fs::exists(w.path / "out" / "a.kvt"));
}

TEST(CommandLineOutputs, AProjectBesideTheInputIsKeptUnlessNamedOrForced) {
    Workspace w;
    const fs::path song = w.sample("twinkle-twinkle.mid", "song.mid");
    writeFile(w.path / "song.kvt", "my chord edits");

    CliRun r = runCli({"harmonize", song.string()});
    EXPECT_EQ(r.exit, kExitFailed);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_EQ(contents(w.path / "song.kvt"), "my chord edits");

    EXPECT_EQ(runCli({"harmonize", song.string(), "-o", w.p("song.kvt")}).exit, kExitOk);
    EXPECT_NE(contents(w.path / "song.kvt"), "my chord edits");

    writeFile(w.path / "song.kvt", "my chord edits");
    EXPECT_EQ(runCli({"harmonize", song.string(), "--force"}).exit, kExitOk);
    EXPECT_NE(contents(w.path / "song.kvt"), "my chord edits");

    // A project given as the input is saved over itself.
    r = runCli({"harmonize", w.p("song.kvt"), "--reharmonize", "--draft", "2"});
    EXPECT_EQ(r.exit, kExitOk) << r.err;
}

TEST(CommandLineOutputs, ProjectNamesGetTheirExtensionAndEmptyNamesAreRefused) {
    Workspace w;
    const fs::path src = w.sample("twinkle-twinkle.mid", "src.mid");
    const std::string original = contents(src);
    // -o src.mid writes src.mid.kvt: a project the program opens, beside the untouched source.
    EXPECT_EQ(runCli({"harmonize", src.string(), "-o", src.string()}).exit, kExitOk);
    EXPECT_EQ(contents(src), original);
    EXPECT_EQ(runCli({"analyze", w.p("src.mid.kvt")}).exit, kExitOk);
    EXPECT_EQ(runCli({"harmonize", src.string(), "-o", w.p("out.txt")}).exit, kExitOk);
    EXPECT_TRUE(fs::exists(w.path / "out.txt.kvt"));

    for (const std::vector<std::string>& args : {std::vector<std::string>{"-o", ""},
                                                 {"--export", ""},
                                                 {"--wav", ""},
                                                 {"--outdir", ""},
                                                 {"-o", w.p("sub/")},
                                                 {"--export", w.p("sub/")}}) {
        std::vector<std::string> all = {"harmonize", src.string()};
        all.insert(all.end(), args.begin(), args.end());
        const CliRun r = runCli(all);
        EXPECT_EQ(r.exit, kExitUsage) << args[0] << " '" << args[1] << "'";
        EXPECT_NE(r.err.find(args[0]), std::string::npos) << r.err;
    }
    fs::create_directories(w.path / "folder.mid");
    const CliRun r = runCli({"harmonize", src.string(), "--export", w.p("folder.mid")});
    EXPECT_EQ(r.exit, kExitUsage);
    EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
}

TEST(CommandLineInputs, AFifoIsRefusedWithoutWaiting) {
    Workspace w;
    ASSERT_EQ(mkfifo(w.p("in.mid").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(w.p("in.kvt").c_str(), 0600), 0);
    const fs::path good = w.sample("twinkle-twinkle.mid");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"analyze", w.p("in.mid")},
                                                 {"dump", w.p("in.kvt")},
                                                 {"dump", w.p("in.mid")},
                                                 {"analyze", w.p("in.kvt")},
                                                 {"play", w.p("in.mid")}}) {
        const int exit = inChildWithin(20, [&] {
            const CliRun r = runCli(args);
            return r.err.find("not a regular file") != std::string::npos ? r.exit : 99;
        });
        EXPECT_EQ(exit, kExitFailed) << args[0] << " " << args[1];
    }
    // One FIFO in a batch fails alone.
    const int exit = inChildWithin(20, [&] {
        const CliRun r =
            runCli({"harmonize", w.p("in.mid"), good.string(), "--outdir", w.p("out")});
        return r.out.find("harmonized 1 of 2 files") != std::string::npos ? r.exit : 99;
    });
    EXPECT_EQ(exit, kExitFailed);
    EXPECT_TRUE(fs::exists(w.path / "out" / "twinkle-twinkle.kvt"));

    // The readers themselves refuse it too, for the window's sake.
    const int readers = inChildWithin(20, [&] {
        TSong song;
        const MidiLoadResult midi = loadMidiFile(song, w.p("in.mid"));
        const FileBytes bytes = readFileBytes(w.path / "in.kvt", 1024);
        return !midi.opened && bytes.failure == FileBytes::Failure::Open ? 0 : 1;
    });
    EXPECT_EQ(readers, 0);
}

TEST(CommandLineInputs, DashEndsTheOptions) {
    Workspace w;
    w.sample("twinkle-twinkle.mid", "-dash.mid");
    ASSERT_EQ(chdir(w.path.c_str()), 0);
    EXPECT_EQ(runCli({"harmonize", "-dash.mid"}).exit, kExitUsage);
    const CliRun r = runCli({"harmonize", "--", "-dash.mid"});
    EXPECT_EQ(r.exit, kExitOk) << r.err;
    EXPECT_TRUE(fs::exists(w.path / "-dash.kvt"));
    ASSERT_EQ(chdir(fs::temp_directory_path().c_str()), 0);
}

TEST(CommandLineInputs, AChannelThatHoldsNoMelodyIsNamed) {
    const CliRun r =
        runCli({"analyze", (kSamples / "twinkle-twinkle.mid").string(), "--channel", "3"});
    EXPECT_EQ(r.exit, kExitFailed);
    EXPECT_NE(r.err.find("--channel 3"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("status: 0"), std::string::npos);
    EXPECT_EQ(
        runCli({"analyze", (kSamples / "twinkle-twinkle.mid").string(), "--channel", "0"}).exit,
        kExitOk);
}

TEST(CommandLineWarnings, AFileCutShortIsReportedAndStrictFailsIt) {
    Workspace w;
    const std::string whole = contents(kSamples / "greensleeves.mid");
    writeFile(w.path / "cut.mid", whole.substr(0, 200));
    const fs::path good = w.sample("twinkle-twinkle.mid");

    CliRun r = runCli({"harmonize", w.p("cut.mid"), good.string(), "--key", "file"});
    EXPECT_EQ(r.exit, kExitOk) << r.err;
    EXPECT_NE(r.err.find("cut.mid: warning: track 2 length past end of file"), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("harmonized 2 of 2 files (1 with warnings)"), std::string::npos) << r.out;

    fs::remove(w.path / "cut.kvt");
    r = runCli({"harmonize", w.p("cut.mid"), "--strict", "--key", "file"});
    EXPECT_EQ(r.exit, kExitFailed);
    EXPECT_NE(r.err.find("--strict"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(w.path / "cut.kvt"));

    r = runCli({"analyze", w.p("cut.mid"), "--key", "file"});
    EXPECT_EQ(r.exit, kExitOk);
    EXPECT_NE(r.err.find("warning: track 2 length"), std::string::npos);
}

TEST(CommandLineWarnings, AMelodyLongerThanASongCanHoldIsCutAndSaysSo) {
    // One whole note per bar, 70,000 bars.
    TrackBuilder track;
    track.timeSig(0, 4, 2);
    constexpr int kPitches[] = {60, 62, 64, 65, 67, 69, 71, 72};
    constexpr int kBars = 70000;
    for (int bar = 0; bar < kBars; ++bar) {
        const int pitch = kPitches[bar % 8];
        track.noteOn(0, 0, pitch, 100).noteOff(4 * 96, 0, pitch);
    }
    track.endOfTrack();
    const Bytes bytes = SmfBuilder().header(0, 1, 96).track(track).bytes();
    Workspace w;
    writeFile(w.path / "long.mid", std::string(bytes.begin(), bytes.end()));

    const CliRun r = runCli({"harmonize", w.p("long.mid"), "--key", "C"});
    EXPECT_EQ(r.exit, kExitOk) << r.err;
    EXPECT_NE(r.err.find("notes after bar 65536 are left out"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("65536 bars"), std::string::npos) << r.out;
    // What was saved opens again, cut where it was cut.
    HarmonySettings settings = kBuiltInHarmonySettings;
    ChordMaster reopened(w.p("long.kvt"), 0, settings);
    EXPECT_EQ(reopened.loadProjectFile(), kStatusOk);
    EXPECT_EQ(reopened.song()->barCount, kMaxSongBars);
}

TEST(CommandLineFailures, AStyleThatDoesNotFitFailsWithoutClaimingSuccess) {
    Workspace w;
    // A waltz, and a name with control characters in it. The writers refuse
    // such a name, so the list is written with a stand-in of the same length
    // and patched, as a hand-edited list would be.
    const std::string name = "Bad\x1b[2J";
    StyleList list;
    list.groups[0].push_back({styleId(0, 0), {}, "Waltz"});
    list.groups[0].push_back({styleId(0, 1), {}, "BadQQQQ"});
    for (const char* file : {"Waltz", "BadQQQQ"})
        ASSERT_TRUE(writeStyle(styleFilePath(w.path, file),
                               makeStyle(3, 4, {0x34}, {patternEvent(1, 3, 0, 0, 0, 400)})));
    ASSERT_TRUE(writeStyleList(w.path / kStyleListFileName, list));
    std::string listBytes = contents(w.path / kStyleListFileName);
    listBytes.replace(listBytes.find("BadQQQQ"), name.size(), name);
    writeFile(w.path / kStyleListFileName, listBytes);
    fs::rename(styleFilePath(w.path, "BadQQQQ"), w.path / (name + ".stt"));

    const std::string twinkle = (kSamples / "twinkle-twinkle.mid").string();
    const CliRun r = runCli({"analyze", twinkle, "--styles", w.path.string(), "--style", "Waltz"});
    EXPECT_EQ(r.exit, kExitFailed);
    EXPECT_EQ(r.out.find("status: 0"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("does not fit"), std::string::npos) << r.err;

    // A name from the list reaches the terminal with its control characters shown, not obeyed.
    const CliRun listing = runCli({"styles", "--styles", w.path.string()});
    EXPECT_EQ(listing.exit, kExitOk);
    EXPECT_NE(listing.out.find("Waltz"), std::string::npos) << listing.out;
    for (const std::string* text : {&listing.out, &listing.err, &r.err}) {
        EXPECT_EQ(text->find('\x1b'), std::string::npos) << *text;
        EXPECT_NE((listing.err + r.err).find("Bad\\x1b[2J"), std::string::npos);
    }
}

TEST(CommandLineFailures, RunningOutOfMemoryEndsInAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than any limit allows";
#else
    Workspace w;
    const fs::path song = w.sample("greensleeves.mid");
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const int exit = inChildWithin(60, [&] {
        close(pipeFds[0]);
        // Address space for what is mapped now and a little more: the run
        // must fail somewhere in its allocations, and say so.
        std::ifstream statm("/proc/self/statm");
        long pages = 0;
        statm >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (2 << 20);
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_AS, &rl);
        std::ostringstream out;
        std::ostringstream err;
        const int code = runCommandLine(
            {"harmonize", song.string(), "--wav", w.p("song.wav"), "--key", "file"}, out, err);
        const std::string text = err.str();
        (void)!write(pipeFds[1], text.data(), text.size());
        return code;
    });
    close(pipeFds[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    EXPECT_EQ(exit, kExitFailed) << said;
    EXPECT_NE(said.find("korvanta-cli: "), std::string::npos);
#endif
}

TEST(CommandLinePrint, TheChordsGridOfASampleGoesToAPdfWithEveryBarsChord) {
    if (!test::havePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) not installed";
    Workspace w;
    const fs::path src = w.sample("greensleeves.mid");
    const CliRun r = runCli({"print", src.string(), "-o", w.p("grid.pdf"), "--title",
                             "Greensleeves", "--author", "Trad."});
    ASSERT_EQ(r.exit, kExitOk) << r.err;
    EXPECT_NE(r.out.find("(17 bars on 1 page)"), std::string::npos) << r.out;
    const std::string text = test::pdfText(w.path / "grid.pdf");
    for (const char* expected : {"File name: greensleeves.mid", "Composition title: Greensleeves",
                                 "Author name: Trad.", "Key: a-moll", "6/ 8", "Chords grid",
                                 "- 17 -", "Accompaniment is created by means of the Korvanta."})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    // Every bar's chord as analyze prints it.
    HarmonySettings settings = kBuiltInHarmonySettings;
    ChordMaster master(src.string(), 0, settings);
    ASSERT_EQ(master.Harmonize(), kStatusOk);
    for (int bar = 0; bar < master.song()->barCount; ++bar) {
        std::string name = ChordName(master.song()->BarChord(bar));
        while (name.size() > 1 && name.back() == ' ')
            name.pop_back();
        EXPECT_NE(text.find(name), std::string::npos) << "bar " << bar + 1 << ": " << name;
    }
}

TEST(CommandLinePrint, WrongUseIsRefusedAndTheInputIsNeverOverwritten) {
    Workspace w;
    const fs::path src = w.sample("twinkle-twinkle.mid");
    const std::string before = contents(src);
    EXPECT_EQ(runCli({"print", src.string()}).exit, kExitUsage);
    EXPECT_EQ(runCli({"print", src.string(), "-o", w.p("a.pdf"), "--paper", "A3"}).exit,
              kExitUsage);
    const CliRun same = runCli({"print", src.string(), "-o", src.string()});
    EXPECT_EQ(same.exit, kExitUsage);
    EXPECT_NE(same.err.find("never overwritten"), std::string::npos) << same.err;
    EXPECT_EQ(contents(src), before);
    const CliRun missing = runCli({"print", w.p("none.mid"), "-o", w.p("none.pdf")});
    EXPECT_EQ(missing.exit, kExitFailed);
    EXPECT_FALSE(fs::exists(w.path / "none.pdf"));
    const CliRun letter =
        runCli({"print", src.string(), "-o", w.p("letter.pdf"), "--paper", "letter"});
    EXPECT_EQ(letter.exit, kExitOk) << letter.err;
    EXPECT_TRUE(fs::exists(w.path / "letter.pdf"));
}

TEST(CommandLineBatch, EachFileIsHarmonizedAsIfItWereAlone) {
    // With the style library in sight, a style chosen for one song must not
    // be carried to the next: the outputs are the same in either order and
    // the same as each file harmonized on its own.
    Workspace w;
    setenv("KORVANTA_STYLES", (fs::path(KORVANTA_DATA_DIR) / "Styles").c_str(), 1);
    std::vector<std::string> names = {"twinkle-twinkle.mid", "auld-lang-syne.mid",
                                      "greensleeves.mid", "row-row-row-your-boat.mid",
                                      "amazing-grace.mid"};
    std::vector<std::string> files;
    for (const std::string& n : names)
        files.push_back(w.sample(n).string());
    const auto run = [&](std::vector<std::string> inputs, const std::string& outdir) {
        std::vector<std::string> args = {"harmonize", "--key", "file", "--outdir", w.p(outdir)};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const CliRun r = runCli(args);
        EXPECT_EQ(r.exit, kExitOk) << r.err;
    };
    run(files, "forward");
    run({files.rbegin(), files.rend()}, "backward");
    for (const std::string& file : files) {
        const fs::path alone = fs::path(file).filename();
        run({file}, "alone-" + alone.stem().string());
    }
    for (const std::string& n : names) {
        const std::string project = fs::path(n).stem().string() + ".kvt";
        const std::string forward = contents(w.path / "forward" / project);
        ASSERT_FALSE(forward.empty()) << project;
        // Compared as a whole: the bytes themselves would only flood the log.
        EXPECT_TRUE(forward == contents(w.path / "backward" / project)) << project;
        EXPECT_TRUE(forward ==
                    contents(w.path / ("alone-" + fs::path(n).stem().string()) / project))
            << project;
    }
}
