#include "ImportArgs.h"

#include "ImportTestSupport.h"
#include "styles/StyleFiles.h"
#include "styles/StyleLibrary.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

using namespace korvanta;
using namespace korvanta::styleimport;
using namespace korvanta::test;

namespace {

ImportParse parse(std::vector<std::string> args) {
    return parseImportArguments(args);
}

const char* const kBallad = "style PianoBallad\n"
                            "group 0\n"
                            "base C3\n"
                            "time 4/4\n"
                            "meters 4/4 2/2\n"
                            "1:1:0   1/2  C2        96\n"
                            "1:2:0   1/4  D3 E3 G3  70/40\n";

struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

ToolRun runTool(std::vector<std::string> args) {
    ToolRun r;
    const ImportParse p = parseImportArguments(args);
    if (!p.command) {
        r.code = kExitUsage;
        r.err = p.error;
        return r;
    }
    std::ostringstream out, err;
    r.code = runImportCommand(*p.command, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

} // namespace

TEST(StyleImportArgs, ReadsEveryOption) {
    const ImportParse p =
        parse({"--from", "p.mid",    "--name",    "Jig",       "--group",   "2",        "--channel",
               "10",     "--octave", "5",         "--program", "24",        "--meters", "6/8,3/4",
               "--bars", "2",        "--replace", "--show",    "--dry-run", "lib"});
    ASSERT_TRUE(p.command) << p.error;
    const ImportCommand& c = *p.command;
    EXPECT_EQ(c.mode, ImportMode::Import);
    EXPECT_EQ(c.from, "p.mid");
    EXPECT_EQ(c.folder, "lib");
    EXPECT_EQ(c.options.name, "Jig");
    EXPECT_EQ(c.options.group, 2);
    EXPECT_EQ(c.options.channel, 9); // channels count from 1 on the command line
    EXPECT_EQ(c.options.baseOctave, 5);
    EXPECT_EQ(c.options.program, 24);
    EXPECT_EQ(c.options.meters, (std::vector<Meter>{{6, 8}, {3, 4}}));
    EXPECT_EQ(c.options.bars, 2);
    EXPECT_TRUE(c.replace && c.show && c.dryRun);

    const ImportParse all = parse({"lib", "--channel", "all", "--from", "p.mid"});
    ASSERT_TRUE(all.command) << all.error;
    EXPECT_FALSE(all.command->options.channel);
    EXPECT_FALSE(all.command->options.name);
}

TEST(StyleImportArgs, NoOptionsOpenTheWindowAndHelpWins) {
    EXPECT_EQ(parse({}).command->mode, ImportMode::Window);
    const ImportParse folder = parse({"data/Styles"});
    EXPECT_EQ(folder.command->mode, ImportMode::Window);
    EXPECT_EQ(folder.command->folder, "data/Styles");
    for (const auto& args : {std::vector<std::string>{"--from", "x", "--help"},
                             std::vector<std::string>{"--bogus", "-h"}}) {
        const ImportParse help = parse(args);
        ASSERT_TRUE(help.command) << help.error;
        EXPECT_EQ(help.command->mode, ImportMode::Help);
    }
}

TEST(StyleImportArgs, RefusesWrongArguments) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--from", "p.mid", "--frobnicate", "lib"}, "unknown option '--frobnicate'"},
        {{"--from", "p.mid", "lib", "--name"}, "--name needs a value"},
        {{"--from", "p.mid", "--show", "--show", "lib"}, "--show is given twice"},
        {{"--from", "p.mid", "--group", "3", "lib"}, "--group needs a number 0-2"},
        {{"--from", "p.mid", "--channel", "0", "lib"}, "--channel needs a MIDI channel 1-16"},
        {{"--from", "p.mid", "--channel", "17", "lib"}, "--channel needs"},
        {{"--from", "p.mid", "--octave", "11", "lib"}, "--octave needs a number 0-10"},
        {{"--from", "p.mid", "--program", "128", "lib"}, "--program needs a number 0-127"},
        {{"--from", "p.mid", "--bars", "0", "lib"}, "--bars needs a number 1-255"},
        {{"--from", "p.mid", "--meters", "4/4,2/2,3/4,6/8,9/8", "lib"}, "at most 4 meters"},
        {{"--from", "p.mid", "--meters", "4/4,0/4", "lib"}, "meter 0/4 cannot be listed"},
        {{"--from", "p.mid", "--meters", "four", "lib"}, "'four' is no meter"},
        {{"--from", "p.mid", "--name", "Piano Pop", "lib"}, "--name needs 1-15 letters"},
        {{"--from", "p.mid", "a", "b"}, "more than one STYLES_FOLDER"},
        {{"--show", "lib"}, "--from FILE is required"},
        {{"--from", "p.mid"}, "no STYLES_FOLDER given"},
    };
    for (const auto& [args, expected] : cases) {
        const ImportParse p = parse(args);
        EXPECT_FALSE(p.command) << expected;
        EXPECT_NE(p.error.find(expected), std::string::npos) << p.error;
    }
}

TEST(StyleImportCommand, ImportsAPatternSourceAndShowsIt) {
    ScratchFolder dir;
    writeFile(dir / "ballad.kvp", std::string(kBallad));
    const std::string from = (dir / "ballad.kvp").string();
    const std::string lib = dir.path().string();

    const ToolRun dry = runTool({"--from", from, "--dry-run", "--show", lib});
    EXPECT_EQ(dry.code, kExitOk) << dry.err;
    EXPECT_NE(dry.out.find("position  length note sel tone"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("1:2:000      480 E3   3   third           4 70/40"), std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("D3   -   -"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("(dry run: nothing written)"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "styles.lst"));

    const ToolRun real = runTool({"--from", from, "--octave", "5", lib});
    EXPECT_EQ(real.code, kExitOk) << real.err;
    EXPECT_EQ(real.out, "PianoBallad.stt: 3 events, 1 bar, meters 4/4 2/2, group 0, id 0\n");
    EXPECT_EQ(real.err, "korvanta-style-import: 1:2:000 D3 is not a chord tone over C: left out\n");
    const StyleLoad load = loadStyle(dir.path(), {0, {}, "PianoBallad"});
    ASSERT_TRUE(load.ok()) << load.message;
    EXPECT_EQ(load.value.baseOctave(), 5); // the option beats "base C3"

    const ToolRun twice = runTool({"--from", from, lib});
    EXPECT_EQ(twice.code, kExitFailed);
    EXPECT_NE(twice.err.find("korvanta-style-import: a style named 'PianoBallad' is already"),
              std::string::npos)
        << twice.err;
}

TEST(StyleImportCommand, SaysWhatIsMissingOrWrong) {
    ScratchFolder dir;
    writeFile(dir / "p.mid", simplePatternMidi());
    writeFile(dir / "p.kvp", std::string(kBallad));
    writeFile(dir / "bad.kvp", std::string("time 4/4\n1:9:0 480 C3 80\n"));
    const std::string lib = dir.path().string();

    const ToolRun noName = runTool({"--from", (dir / "p.mid").string(), "--group", "0", lib});
    EXPECT_EQ(noName.code, kExitUsage);
    EXPECT_NE(noName.err.find("--name and --group are required"), std::string::npos);
    EXPECT_NE(noName.err.find("usage:"), std::string::npos);

    const ToolRun channel = runTool({"--from", (dir / "p.kvp").string(), "--channel", "2", lib});
    EXPECT_EQ(channel.code, kExitUsage);

    const ToolRun bad = runTool({"--from", (dir / "bad.kvp").string(), lib});
    EXPECT_EQ(bad.code, kExitFailed);
    EXPECT_EQ(bad.err.rfind("korvanta-style-import: bad.kvp: line 2: position '1:9:0'", 0), 0u)
        << bad.err;

    const ToolRun empty = runTool(
        {"--from", (dir / "p.mid").string(), "--name", "X", "--group", "0", "--channel", "5", lib});
    EXPECT_EQ(empty.code, kExitFailed);
    EXPECT_NE(empty.err.find("p.mid: no note understood"), std::string::npos) << empty.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "styles.lst"));
}

// The program itself, as a user runs it.
TEST(StyleImportTool, ImportsAMidiFileIntoAnEmptyFolder) {
    ScratchFolder dir;
    writeFile(dir / "strum.mid", simplePatternMidi(3));
    std::filesystem::create_directories(dir / "lib");
    const std::string command =
        std::string("'") + KORVANTA_STYLE_IMPORT_TOOL + "' --from '" +
        (dir / "strum.mid").string() + "' --name Strum --group 1 --channel 4 --meters 4/4,2/2 '" +
        (dir / "lib").string() + "' >'" + (dir / "out.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << readFile(dir / "out.txt");
    EXPECT_NE(readFile(dir / "out.txt")
                  .find("Strum.stt: 4 events, 1 bar, meters 4/4 2/2, "
                        "group 1, id 16777216"),
              std::string::npos)
        << readFile(dir / "out.txt");

    const auto list = readStyleList(dir / "lib" / "styles.lst", 7);
    ASSERT_TRUE(list) << list.message;
    ASSERT_EQ(list->groups[1].size(), 1u);
    EXPECT_EQ(list->groups[1][0].id, styleId(1, 0));
    const StyleLoad load = loadStyle(dir / "lib", list->groups[1][0]);
    ASSERT_TRUE(load.ok()) << load.message;
    const StyleRecord& s = load.value;
    EXPECT_EQ(s.bars(), 1);
    EXPECT_EQ(s.baseOctave(), kDefaultBaseOctave);
    EXPECT_EQ(s.ticksPerQuarter, 480);
    EXPECT_EQ(s.meters, 0x2244u);
    ASSERT_EQ(s.events.size(), 4u);
    // C2 root, E3 third and G3 fifth on beat 2, G2 fifth on beat 4 (D3 left out).
    EXPECT_EQ(s.events[0].selector, 1);
    EXPECT_EQ(s.events[0].octave, 3);
    EXPECT_EQ(s.events[0].velocities, (100 << 8) | 10);
    EXPECT_EQ(s.events[1].selector, 3);
    EXPECT_EQ(s.events[1].beat, 1);
    EXPECT_EQ(s.events[1].duration, 240);
    EXPECT_EQ(s.events[3].selector, 5);
    EXPECT_EQ(s.events[3].beat, 3);
}

TEST(StyleImportTool, WithoutADisplayTheWindowModeSaysHowToImportInstead) {
    ScratchFolder dir;
    const std::string command =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '") +
        KORVANTA_STYLE_IMPORT_TOOL + "' >'" + (dir / "out.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string said = readFile(dir / "out.txt");
    // A clear message and a failure status, never Qt's abort.
    ASSERT_TRUE(WIFEXITED(status)) << said;
    EXPECT_EQ(WEXITSTATUS(status), kExitFailed) << said;
    EXPECT_NE(said.find("the window needs a display"), std::string::npos) << said;
    EXPECT_NE(said.find("--from FILE.mid"), std::string::npos) << said;
}
