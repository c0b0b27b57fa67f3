// Tests of where the programs find their data: share/korvanta beside the bin
// folder of an installed program, else the data folder of the build tree.

#include "io/DataFolder.h"

#include "support/ScratchPath.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace korvanta;
namespace fs = std::filesystem;

namespace {

class InstalledDataFolder : public testing::Test {
protected:
    void SetUp() override {
        m_prefix = test::scratchPath("korvanta-prefix");
        fs::create_directories(m_prefix / "bin");
        fs::create_directories(data());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_prefix, ec);
    }
    fs::path program() const { return m_prefix / "bin" / "korvanta-cli"; }
    fs::path data() const { return m_prefix / "share" / "korvanta"; }
    void writeInstrumentNames() const { std::ofstream(data() / "gmi.txt") << "Acoustic Grand\n"; }

    fs::path m_prefix;
};

TEST_F(InstalledDataFolder, IsFoundBesideTheBinFolder) {
    writeInstrumentNames();
    EXPECT_EQ(installedDataFolder(program()), data());
    EXPECT_EQ(programDataFolder(program()), data());
    // A program path with dots in it still gives a clean folder.
    EXPECT_EQ(installedDataFolder(m_prefix / "bin" / ".." / "bin" / "korvanta"), data());
}

TEST_F(InstalledDataFolder, NeedsTheInstrumentNamesInIt) {
    // An empty share/korvanta (an install that failed half-way) is not used.
    EXPECT_TRUE(installedDataFolder(program()).empty());
    EXPECT_EQ(programDataFolder(program()), fs::path(KORVANTA_DATA_DIR));

    fs::create_directory(data() / "gmi.txt");
    EXPECT_TRUE(installedDataFolder(program()).empty()) << "a folder named gmi.txt counted";
}

TEST(DataFolder, AProgramWithoutAFolderFallsBackOnTheBuildTree) {
    EXPECT_TRUE(installedDataFolder({}).empty());
    EXPECT_TRUE(installedDataFolder("korvanta-cli").empty());
    EXPECT_EQ(programDataFolder({}), fs::path(KORVANTA_DATA_DIR));
}

TEST(DataFolder, TheRunningTestProgramUsesTheBuildTree) {
    const fs::path self = runningProgramPath();
    ASSERT_TRUE(self.is_absolute()) << self;
    EXPECT_TRUE(fs::is_regular_file(self)) << self;
    EXPECT_EQ(self.filename(), "korvanta_core_tests");
    EXPECT_EQ(programDataFolder(), fs::path(KORVANTA_DATA_DIR));
}

} // namespace
