#include "session/PatchNames.h"

#include "support/ScratchPath.h"

#include <fstream>
#include <gtest/gtest.h>

namespace korvanta {
namespace {

TEST(PatchNamesTest, AShortListIsCompletedWithNumberedNames) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "Name " + std::to_string(i) + "\n";
    const PatchNames names = parsePatchNames(text);
    EXPECT_EQ(names[0], "Name 0");
    EXPECT_EQ(names[99], "Name 99");
    EXPECT_EQ(names[100], "101");
    EXPECT_EQ(names[127], "128");
}

TEST(PatchNamesTest, LineEndsBlanksAndLongNamesAreHandled) {
    const PatchNames names =
        parsePatchNames("Acoustic Grand\r\n  Bright  \r\rOrgan\n" + std::string(200, 'x'));
    EXPECT_EQ(names[0], "Acoustic Grand");
    EXPECT_EQ(names[1], "Bright");
    EXPECT_EQ(names[2], "3"); // an empty line keeps the number
    EXPECT_EQ(names[3], "Organ");
    EXPECT_EQ(names[4].size(), kMaxPatchNameLength);
}

TEST(PatchNamesTest, TheShippedListNamesEveryProgram) {
    const Result<PatchNames> names =
        readPatchNames(std::filesystem::path(KORVANTA_DATA_DIR) / "gmi.txt");
    ASSERT_TRUE(names.ok()) << names.message;
    EXPECT_NE(names->at(0), "1");
    EXPECT_NE(names->at(127), "128");
}

TEST(PatchNamesTest, AMissingFileIsAFailureNamingIt) {
    const Result<PatchNames> names = readPatchNames("/nonexistent/gmi.txt");
    EXPECT_FALSE(names.ok());
    EXPECT_NE(names.message.find("/nonexistent/gmi.txt"), std::string::npos);
}

} // namespace
} // namespace korvanta
