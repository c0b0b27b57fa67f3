#include "CliArgs.h"

#include <gtest/gtest.h>

using namespace korvanta::cli;

TEST(CliArgs, DumpTakesOneFileAndAnOptionalJsonFlag) {
    CliParse p = parseArguments({"dump", "song.mid"});
    ASSERT_TRUE(p.command);
    EXPECT_EQ(p.command->kind, CommandKind::Dump);
    EXPECT_EQ(p.command->file, "song.mid");
    EXPECT_FALSE(p.command->json);

    p = parseArguments({"dump", "--json", "song.mid"});
    ASSERT_TRUE(p.command);
    EXPECT_TRUE(p.command->json);
    EXPECT_EQ(p.command->file, "song.mid");
}

TEST(CliArgs, RejectsWrongArgumentsWithAReason) {
    EXPECT_EQ(parseArguments({}).error, "no command given");
    EXPECT_EQ(parseArguments({"play"}).error, "unknown command 'play'");
    EXPECT_EQ(parseArguments({"dump"}).error, "dump needs a FILE");
    EXPECT_EQ(parseArguments({"dump", "a.mid", "b.mid"}).error, "more than one file given to dump");
    EXPECT_EQ(parseArguments({"dump", "a.mid", "--jsn"}).error, "unknown option '--jsn' for dump");
    EXPECT_FALSE(parseArguments({"dump", "a.mid", "--jsn"}).command);
}

TEST(CliArgs, HelpIsACommand) {
    for (const char* h : {"help", "--help", "-h"}) {
        const CliParse p = parseArguments({h});
        ASSERT_TRUE(p.command) << h;
        EXPECT_EQ(p.command->kind, CommandKind::Help);
    }
    EXPECT_NE(usageText().find("dump FILE [--json]"), std::string::npos);
}

TEST(CliArgs, ALoneDashIsAFileName) {
    const CliParse p = parseArguments({"dump", "-"});
    ASSERT_TRUE(p.command);
    EXPECT_EQ(p.command->file, "-");
}
