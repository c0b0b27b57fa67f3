#include "CliArgs.h"

#include "alg/song/Keys.h"

#include <gtest/gtest.h>

using namespace korvanta;
using namespace korvanta::cli;

TEST(CliArgs, DumpTakesOneFileAndAnOptionalJsonFlag) {
    CliParse p = parseArguments({"dump", "song.mid"});
    ASSERT_TRUE(p.command);
    EXPECT_EQ(p.command->kind, CommandKind::Dump);
    EXPECT_EQ(p.command->files, std::vector<std::string>{"song.mid"});
    EXPECT_FALSE(p.command->json);

    p = parseArguments({"dump", "--json", "song.mid"});
    ASSERT_TRUE(p.command);
    EXPECT_TRUE(p.command->json);
}

TEST(CliArgs, AnalyzeReadsEveryOption) {
    const CliParse p =
        parseArguments({"analyze", "a.mid", "--channel", "3", "--draft", "2", "--key", "Am",
                        "--ambiguous", "minor", "--json", "--reharmonize"});
    ASSERT_TRUE(p.command) << p.error;
    const CliCommand& c = *p.command;
    EXPECT_EQ(c.kind, CommandKind::Analyze);
    EXPECT_EQ(c.channel, 3);
    EXPECT_EQ(c.draft, 2);
    EXPECT_TRUE(c.draftGiven);
    EXPECT_EQ(c.key, 19);
    EXPECT_EQ(c.ambiguous, AmbiguousAnswer::Minor);
    EXPECT_TRUE(c.json);
    EXPECT_TRUE(c.reharmonize);
}

TEST(CliArgs, HarmonizeTakesManyFilesAndOutputs) {
    CliParse p = parseArguments(
        {"harmonize", "a.mid", "b.mid", "--outdir", "out", "--export-dir", "mid", "--key", "auto"});
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_EQ(p.command->files.size(), 2u);
    EXPECT_EQ(p.command->outdir, "out");
    EXPECT_EQ(p.command->exportDir, "mid");
    EXPECT_EQ(p.command->key, kAutoKey);
    EXPECT_FALSE(p.command->draftGiven);

    p = parseArguments({"harmonize", "a.mid", "-o", "a.kvt", "--export", "a.mid"});
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_EQ(p.command->output, "a.kvt");
    EXPECT_EQ(p.command->exportPath, "a.mid");
}

TEST(CliArgs, RejectsWrongArgumentsWithAReason) {
    EXPECT_EQ(parseArguments({}).error, "no command given");
    EXPECT_EQ(parseArguments({"record"}).error, "unknown command 'record'");
    EXPECT_EQ(parseArguments({"play"}).error, "play needs a FILE");
    EXPECT_EQ(parseArguments({"dump"}).error, "dump needs a FILE");
    EXPECT_EQ(parseArguments({"harmonize"}).error, "harmonize needs at least one FILE");
    EXPECT_EQ(parseArguments({"dump", "a.mid", "b.mid"}).error, "more than one file given to dump");
    EXPECT_EQ(parseArguments({"dump", "a.mid", "--jsn"}).error, "unknown option '--jsn' for dump");
    EXPECT_EQ(parseArguments({"dump", "a.mid", "--draft", "2"}).error,
              "unknown option '--draft' for dump");
    EXPECT_EQ(parseArguments({"analyze", "a.mid", "-o", "x.kvt"}).error,
              "unknown option '-o' for analyze");
    EXPECT_EQ(parseArguments({"analyze", "a.mid", "--channel"}).error, "--channel needs a value");
    EXPECT_EQ(parseArguments({"analyze", "a.mid", "--channel", "16"}).error,
              "--channel needs a MIDI channel 0-15, not '16'");
    EXPECT_EQ(parseArguments({"analyze", "a.mid", "--draft", "4"}).error,
              "--draft needs 1, 2 or 3, not '4'");
    EXPECT_NE(parseArguments({"analyze", "a.mid", "--key", "H-moll7"}).error, "");
    EXPECT_EQ(parseArguments({"analyze", "a.mid", "--ambiguous", "both"}).error,
              "--ambiguous needs major or minor, not 'both'");
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "b.mid", "-o", "x.kvt"}).error,
              "-o names one project; use --outdir for several files");
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "b.mid", "--export", "x.mid"}).error,
              "--export names one MIDI file; use --export-dir for several files");
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "b.mid", "--wav", "x.wav"}).error,
              "--wav names one WAV file; give one input file");
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "-o", "a.kvt", "--outdir", "d"}).error,
              "-o and --outdir cannot be used together");
}

TEST(CliArgs, HelpIsACommandAndAnOption) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"help"}, {"--help"}, {"-h"}, {"analyze", "--help"}}) {
        const CliParse p = parseArguments(args);
        ASSERT_TRUE(p.command) << args[0];
        EXPECT_EQ(p.command->kind, CommandKind::Help);
    }
    EXPECT_NE(usageText().find("dump FILE [--json]"), std::string::npos);
}

TEST(CliArgs, KeyNamesInEveryAcceptedForm) {
    EXPECT_EQ(parseArguments({"analyze", "a.mid", "--key", "file"}).command->key, kFileKey);
    EXPECT_EQ(parseKeyName("7"), 7);
    EXPECT_EQ(parseKeyName("23"), 23);
    EXPECT_EQ(parseKeyName("24"), std::nullopt);
    EXPECT_EQ(parseKeyName("C"), 7);
    EXPECT_EQ(parseKeyName("c"), 7);
    EXPECT_EQ(parseKeyName("Am"), 19);
    EXPECT_EQ(parseKeyName("F#m"), 22);
    EXPECT_EQ(parseKeyName("Bb"), 5);
    EXPECT_EQ(parseKeyName("Ebm"), 13);
    EXPECT_EQ(parseKeyName("C#"), 0);
    EXPECT_EQ(parseKeyName("C-dur"), 7);
    EXPECT_EQ(parseKeyName("a-moll"), 19);
    EXPECT_EQ(parseKeyName("H-dur"), 2);
    // English names in full; B is German H, Bb German B.
    EXPECT_EQ(parseKeyName("Bb major"), 5);
    EXPECT_EQ(parseKeyName("B major"), 2);
    EXPECT_EQ(parseKeyName("B"), 2);
    EXPECT_EQ(parseKeyName("Bm"), 21);
    EXPECT_EQ(parseKeyName("B minor"), 21);
    EXPECT_EQ(parseKeyName("h-moll"), 21);
    EXPECT_EQ(parseKeyName("A# major"), 5); // spelled with a sharp
    EXPECT_EQ(parseKeyName("G# minor"), 14);
    EXPECT_EQ(parseKeyName("f# MINOR"), 22);
    // German only with -dur or -moll: "Hm" and "H" are no English names.
    EXPECT_EQ(parseKeyName("Hm"), std::nullopt);
    EXPECT_EQ(parseKeyName("H"), std::nullopt);
    EXPECT_EQ(parseKeyName("X major"), std::nullopt);
    EXPECT_EQ(parseKeyName("X"), std::nullopt);
    EXPECT_EQ(parseKeyName(""), std::nullopt);
}

TEST(CliArgs, EveryKeyHasAnEnglishNameThatReadsBack) {
    for (int key = 0; key < kKeyCount; ++key) {
        const std::string name(KeyEnglishName(key));
        ASSERT_FALSE(name.empty()) << key;
        EXPECT_EQ(parseKeyName(name), key) << name;
        EXPECT_EQ(parseKeyName(std::string(KeyLongName(key))), key) << KeyLongName(key);
    }
    EXPECT_EQ(KeyEnglishName(5), "Bb major");
    EXPECT_EQ(KeyEnglishName(2), "B major");
    EXPECT_EQ(KeyEnglishName(21), "B minor");
    EXPECT_TRUE(KeyEnglishName(24).empty());
}

TEST(CliArgs, PlayReadsItsOptionsAndTheHarmonyOptions) {
    const CliParse p = parseArguments({"play", "a.mid", "--loop", "3", "5:2:120", "--tempo", "90",
                                       "--output", "Synth 128:0", "--key", "C", "--draft", "3"});
    ASSERT_TRUE(p.command) << p.error;
    const CliCommand& c = *p.command;
    EXPECT_EQ(c.kind, CommandKind::Play);
    EXPECT_EQ(c.files, std::vector<std::string>{"a.mid"});
    EXPECT_EQ(c.loopFrom, "3");
    EXPECT_EQ(c.loopTo, "5:2:120");
    EXPECT_EQ(c.tempoBpm, 90);
    EXPECT_EQ(c.outputName, "Synth 128:0");
    EXPECT_EQ(c.key, 7);
    EXPECT_EQ(c.draft, 3);
    EXPECT_FALSE(c.listOutputs);
}

TEST(CliArgs, PlayListsOutputsWithoutAFileButNeedsOneToPlay) {
    CliParse p = parseArguments({"play", "--list-outputs"});
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_TRUE(p.command->listOutputs);
    EXPECT_FALSE(parseArguments({"play"}).command);
}

TEST(CliArgs, PlayRejectsBadLoopsTemposAndForeignOptions) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"play", "a.mid", "--loop", "3"},
             {"play", "a.mid", "--loop", "0", "4"},
             {"play", "a.mid", "--loop", "2:x", "4"},
             {"play", "a.mid", "--loop", "1:1:1:1", "4"},
             {"play", "a.mid", "--tempo", "7"},
             {"play", "a.mid", "--tempo", "256"},
             {"play", "a.mid", "--tempo", "fast"},
             {"play", "a.mid", "--wav", "x.wav"},
             {"play", "a.mid", "b.mid"},
             {"analyze", "a.mid", "--tempo", "90"},
         }) {
        const CliParse p = parseArguments(args);
        EXPECT_FALSE(p.command) << args.back();
        EXPECT_FALSE(p.error.empty()) << args.back();
    }
}

TEST(CliArgs, PositionTextsParseAsTheProgramPrintsThem) {
    const auto full = parsePositionText("  3:02:120");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->bar, 3);
    EXPECT_EQ(full->beat, 2);
    EXPECT_EQ(full->tick, 120);
    const auto bar = parsePositionText("12");
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->bar, 12);
    EXPECT_EQ(bar->beat, 1);
    EXPECT_EQ(bar->tick, 0);
    EXPECT_FALSE(parsePositionText(""));
    EXPECT_FALSE(parsePositionText("3:0"));
    EXPECT_FALSE(parsePositionText("100000"));
}

TEST(CliArgs, StyleOptionsAndTheStylesCommand) {
    CliParse p = parseArguments({"harmonize", "a.mid", "--style", "AUTO", "--styles", "lib"});
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_EQ(p.command->style, "auto");
    EXPECT_EQ(p.command->stylesDir, "lib");
    p = parseArguments({"play", "a.mid", "--style", "PianoBallad"});
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_EQ(p.command->style, "PianoBallad"); // names keep their case
    EXPECT_TRUE(parseArguments({"analyze", "a.mid", "--style", "none"}).command);

    p = parseArguments({"styles", "--meter", "6/8", "--json", "--styles", "lib"});
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_EQ(p.command->kind, CommandKind::Styles);
    EXPECT_EQ(p.command->meterFilter, std::make_pair(6, 8));
    EXPECT_TRUE(p.command->json);

    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"styles", "a.mid"},
                                               {"styles", "--meter", "3-4"},
                                               {"styles", "--meter", "0/4"},
                                               {"styles", "--style", "x"},
                                               {"analyze", "a.mid", "--style", ""},
                                               {"analyze", "a.mid", "--meter", "3/4"},
                                               {"dump", "a.mid", "--style", "auto"}}) {
        const CliParse bad = parseArguments(wrong);
        EXPECT_FALSE(bad.command) << wrong[1];
        EXPECT_FALSE(bad.error.empty());
    }
}

TEST(CliArgs, ProjectNamesEndInKvtAndOutputsNeedAFileName) {
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "-o", "out"}).command->output, "out.kvt");
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "-o", "out.txt"}).command->output,
              "out.txt.kvt");
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "-o", "Out.KVT"}).command->output, "Out.KVT");
    EXPECT_EQ(parseArguments({"harmonize", "a.mid", "-o", ".kvt"}).command->output, ".kvt.kvt");
    for (const char* option : {"-o", "--export", "--wav"}) {
        for (const char* value : {"", "dir/", ".", ".."}) {
            const CliParse p = parseArguments({"harmonize", "a.mid", option, value});
            EXPECT_FALSE(p.command) << option << " '" << value << "'";
            EXPECT_NE(p.error.find(option), std::string::npos) << p.error;
        }
    }
    EXPECT_FALSE(parseArguments({"harmonize", "a.mid", "--outdir", ""}).command);
    EXPECT_FALSE(parseArguments({"harmonize", "a.mid", "--export-dir", ""}).command);
}

TEST(CliArgs, DoubleDashEndsTheOptions) {
    CliParse p = parseArguments({"harmonize", "--force", "--", "-dash.mid", "--strict"});
    ASSERT_TRUE(p.command) << p.error;
    EXPECT_TRUE(p.command->force);
    EXPECT_FALSE(p.command->strict);
    EXPECT_EQ(p.command->files, (std::vector<std::string>{"-dash.mid", "--strict"}));
    EXPECT_FALSE(parseArguments({"analyze", "-dash.mid"}).command);
    // --force only makes sense where projects are written.
    EXPECT_FALSE(parseArguments({"analyze", "a.mid", "--force"}).command);
    EXPECT_TRUE(parseArguments({"analyze", "a.mid", "--strict"}).command);
}
