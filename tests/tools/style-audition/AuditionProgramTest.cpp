// korvanta-style-audition run as a program on small libraries written here.

#include "playback/FluidSynthOutput.h"
#include "styles/StyleLibrary.h"
#include "styles/StyleTestSupport.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

using namespace korvanta;
using korvanta::test::makeStyle;
using korvanta::test::patternEvent;
using korvanta::test::ScratchFolder;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;
};

ProgramRun audition(const std::string& arguments) {
    const std::string command =
        std::string("'") + KORVANTA_STYLE_AUDITION + "' " + arguments + " 2>&1";
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe))
        run.output += buffer.data();
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// "Good": root and fifth in the bass, chords above, 4/4 listing 2/2 as well.
// "ThirdBass": the third at every downbeat.
void writeLibrary(const std::filesystem::path& folder) {
    const StyleRecord good =
        makeStyle(4, 4, {int(meterCode(4, 4)), int(meterCode(2, 2))},
                  {patternEvent(1, 3, 0, 0, 0, 400, 88), patternEvent(3, 4, 0, 1, 0, 300, 66),
                   patternEvent(5, 4, 0, 1, 0, 300, 66), patternEvent(5, 3, 0, 2, 0, 400, 80),
                   patternEvent(3, 4, 0, 3, 0, 300, 62), patternEvent(5, 4, 0, 3, 0, 300, 62)});
    const StyleRecord thirdBass =
        makeStyle(3, 4, {int(meterCode(3, 4))},
                  {patternEvent(3, 3, 0, 0, 0, 400, 88), patternEvent(1, 4, 0, 1, 0, 300, 66)});
    StyleList list;
    list.groups[0] = {{styleId(0, 0), {}, "Good"}, {styleId(0, 1), {}, "ThirdBass"}};
    ASSERT_TRUE(writeStyleList(folder / kStyleListFileName, list));
    ASSERT_TRUE(writeStyle(styleFilePath(folder, "Good"), good));
    ASSERT_TRUE(writeStyle(styleFilePath(folder, "ThirdBass"), thirdBass));
}

bool haveSoundFont() {
    return FluidSynthOutput::findSoundFont(FluidSynthOptions{}).has_value();
}

} // namespace

TEST(StyleAuditionProgram, ReportsEachStyleAndFailsOnAFaultyOne) {
    ScratchFolder library;
    writeLibrary(library.path);
    const ProgramRun run = audition(quoted(library.path));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("ThirdBass       3/4         FAIL"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("3/4 bar 1 (C): the lowest note of the first beat is E2"),
              std::string::npos);
    EXPECT_NE(run.output.find("2 styles auditioned, 1 failed"), std::string::npos);
    if (haveSoundFont()) {
        EXPECT_NE(run.output.find("Good            4/4,2/2     ok    rms "), std::string::npos)
            << run.output;
    } else {
        EXPECT_NE(run.output.find("no General MIDI SoundFont found"), std::string::npos);
    }
}

TEST(StyleAuditionProgram, WritesOneWavFilePerStyleAndMeter) {
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    ScratchFolder library;
    writeLibrary(library.path);
    const std::filesystem::path wavs = library.path / "wav";
    const ProgramRun run =
        audition("--style good --wav-dir " + quoted(wavs) + " " + quoted(library.path));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("ThirdBass"), std::string::npos);
    EXPECT_GT(std::filesystem::file_size(wavs / "Good.wav"), 44u * 1000);
    EXPECT_TRUE(std::filesystem::exists(wavs / "Good-2-2.wav"));
    EXPECT_FALSE(std::filesystem::exists(wavs / "ThirdBass.wav"));
}

TEST(StyleAuditionProgram, BadArgumentsAndMissingLibrariesGetClearErrors) {
    ProgramRun run = audition("--loud");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("unknown option --loud"), std::string::npos) << run.output;

    run = audition("--wav-dir");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("--wav-dir needs a value"), std::string::npos) << run.output;

    ScratchFolder empty;
    run = audition(quoted(empty.path));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("could not be loaded"), std::string::npos) << run.output;

    ScratchFolder library;
    writeLibrary(library.path);
    run = audition("--style NoSuchStyle " + quoted(library.path));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("no style has the name asked for"), std::string::npos);
}

TEST(StyleAuditionProgram, AStyleFileCutShortFailsTheLibrary) {
    ScratchFolder library;
    writeLibrary(library.path);
    std::filesystem::resize_file(styleFilePath(library.path, "ThirdBass"), 30);
    const ProgramRun run = audition(quoted(library.path));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("library: a style file could not be read"), std::string::npos)
        << run.output;
}
