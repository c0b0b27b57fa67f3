#include "StyleOption.h"

#include "TuneRun.h"
#include "styles/StyleChoice.h"
#include "styles/StyleMaster.h"
#include "styles/StyleTestSupport.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace korvanta;
using namespace korvanta::cli;
using namespace korvanta::test;

namespace {

Answer refuse(const std::string&) {
    return Answer::Cancel;
}

// A library with a waltz and two 4/4 styles (the second on guitar, octave 5).
struct Library : ScratchFolder {
    Library() {
        StyleList list;
        const char* names[] = {"Waltz", "Ballad", "Strum"};
        const int meters[] = {0x34, 0x44, 0x2244};
        for (int i = 0; i < 3; ++i) {
            const int group = i < 2 ? 0 : 1;
            const int index = i < 2 ? i : 0;
            list.groups[group].push_back({styleId(group, index), {}, names[i]});
            StyleRecord s =
                makeStyle(meters[i] >> 4 & 0xF, meters[i] & 0xF, {meters[i]},
                          {patternEvent(1, 3, 0, 0, 0, 400), patternEvent(3, 4, 0, 1, 0, 200),
                           patternEvent(5, 4, 0, 1, 240, 200)});
            if (i == 2) {
                s.setProgram(25);
                s.setBaseOctave(5);
            }
            EXPECT_TRUE(writeStyle(styleFilePath(path, names[i]), s));
        }
        EXPECT_TRUE(writeStyleList(path / kStyleListFileName, list));
    }
};

CliCommand commandFor(const Library& library, const std::string& style) {
    CliCommand cmd;
    cmd.kind = CommandKind::Harmonize;
    cmd.key = kFileKey;
    cmd.style = style;
    cmd.stylesDir = library.path.string();
    return cmd;
}

// Twinkle harmonized in a session of its own, without a style library, so
// the style is left to the options under test.
struct Tune {
    CliCommand cmd;
    CliQuestions questions{cmd, refuse};
    TuneSession session{questions};
    TuneRun run;
    explicit Tune(const CliCommand& command) : cmd(command) {
        std::ostringstream warn;
        run = runTune(cmd, session, questions,
                      std::string(KORVANTA_DATA_DIR) + "/samples/twinkle-twinkle.mid", warn);
        EXPECT_TRUE(run.harmonized) << run.message;
    }
};

std::unique_ptr<Tune> twinkle(const CliCommand& cmd) {
    return std::make_unique<Tune>(cmd);
}

} // namespace

TEST(StyleOption, AutoFollowsTheMainWindowsChoiceAndBringsTheInstrument) {
    Library library;
    const CliCommand cmd = commandFor(library, "");
    StyleContext styles;
    std::ostringstream err;
    ASSERT_TRUE(loadStyles(cmd, styles, err));
    auto tune = twinkle(cmd);
    TSong& song = *tune->run.master->song();
    const int octave = song.chordOctave;
    const StyleOutcome outcome = applyStyleOption(cmd, styles, song);
    EXPECT_TRUE(outcome.error.empty());
    // Two 4/4 styles fit and the default asks for the second to fifth fitting
    // one, so it is always the last: the guitar strum.
    EXPECT_EQ(outcome.id, styleId(1, 0));
    EXPECT_EQ(songStyleId(song), outcome.id);
    EXPECT_EQ(styles.lastChosen, outcome.id);
    EXPECT_EQ(song.chordOctave, octave); // auto keeps the song's chord octave
    EXPECT_EQ(song.QueryMeta(0xC1, 0), styles.library.byId(outcome.id)->style.program());

    // The pattern plays: three notes a bar instead of a held triad.
    const int styled = BuildChordNotes(song);
    applyStyleOption(commandFor(library, "none"), styles, song);
    EXPECT_EQ(song.style, nullptr);
    EXPECT_EQ(songStyleId(song), kNoStyle);
    const int block = BuildChordNotes(song);
    EXPECT_NE(styled, block);
}

TEST(StyleOption, AnExplicitStyleMustExistAndFitTheMeter) {
    Library library;
    StyleContext styles;
    std::ostringstream err;
    ASSERT_TRUE(loadStyles(commandFor(library, "Strum"), styles, err));
    auto tune = twinkle(commandFor(library, "Strum"));
    TSong& song = *tune->run.master->song();

    StyleOutcome outcome = applyStyleOption(commandFor(library, "strum"), styles, song);
    EXPECT_TRUE(outcome.error.empty()) << outcome.error;
    EXPECT_EQ(outcome.name, "Strum");
    EXPECT_EQ(song.chordOctave, 5); // as choosing it in the dialog does
    EXPECT_EQ(song.QueryMeta(0xC1, 0), 25);

    outcome = applyStyleOption(commandFor(library, "Waltz"), styles, song);
    EXPECT_NE(outcome.error.find("does not fit the meter 4/4"), std::string::npos) << outcome.error;
    outcome = applyStyleOption(commandFor(library, std::to_string(styleId(0, 1))), styles, song);
    EXPECT_EQ(outcome.name, "Ballad");
    outcome = applyStyleOption(commandFor(library, "Nothing"), styles, song);
    EXPECT_NE(outcome.error.find("no style 'Nothing'"), std::string::npos);
    outcome = applyStyleOption(commandFor(library, "99"), styles, song);
    EXPECT_FALSE(outcome.error.empty());
}

TEST(StyleOption, AMissingLibraryIsAnErrorOnlyWhenAStyleWasAskedFor) {
    CliCommand cmd;
    cmd.stylesDir = scratchPath("no-styles").string();
    StyleContext styles;
    std::ostringstream err;
    EXPECT_TRUE(loadStyles(cmd, styles, err));
    EXPECT_NE(err.str().find("block chords"), std::string::npos);
    cmd.style = "auto";
    EXPECT_FALSE(loadStyles(cmd, styles, err));
    EXPECT_NE(err.str().find("--styles DIR"), std::string::npos);
    cmd.style = "none";
    EXPECT_TRUE(loadStyles(cmd, styles, err));
}

TEST(StyleOption, ListsTheLibraryFilteredByMeter) {
    Library library;
    CliCommand cmd;
    cmd.kind = CommandKind::Styles;
    cmd.stylesDir = library.path.string();
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runStyles(cmd, out, err), 0);
    EXPECT_NE(out.str().find("Piano       1  1         Ballad               4  4/4"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("Guitar      0  16777216  Strum                4  4/4 2/2"),
              std::string::npos)
        << out.str();

    cmd.meterFilter = std::make_pair(3, 4);
    cmd.json = true;
    out.str("");
    ASSERT_EQ(runStyles(cmd, out, err), 0);
    EXPECT_NE(out.str().find("\"name\":\"Waltz\""), std::string::npos);
    EXPECT_EQ(out.str().find("Ballad"), std::string::npos);

    cmd.stylesDir = scratchPath("no-styles").string();
    EXPECT_EQ(runStyles(cmd, out, err), 1);
    EXPECT_EQ(meterListText(0x2244), "4/4 2/2");
    EXPECT_EQ(meterListText(0xC8006800u), "6/8 12/8");
}
