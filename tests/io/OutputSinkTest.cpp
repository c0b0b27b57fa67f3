// Tests of AtomicFileSink on disk: what a save keeps of the file it replaces,
// which leftovers of killed saves it clears away (and which it must not), and
// the reasons it gives when the system refuses.

#include "io/OutputSink.h"

#include "support/ScratchPath.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <span>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace korvanta;
namespace fs = std::filesystem;

namespace {

std::span<const std::byte> bytesOf(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

class OutputSinkToFile : public testing::Test {
protected:
    void SetUp() override {
        m_dir = test::scratchPath("korvanta-sink");
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static void writeFile(const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    static std::string readAll(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The pid of a process that has exited and been reaped.
    static pid_t deadPid() {
        const pid_t child = fork();
        if (child == 0) _exit(0);
        int status = 0;
        waitpid(child, &status, 0);
        return child;
    }

    fs::path m_dir;
};

} // namespace

// ---- saves that succeed ----

TEST_F(OutputSinkToFile, AReplacedFileKeepsItsPermissions) {
    const fs::path target = m_dir / "song.kvt";
    // Two modes, so that neither matches what a fresh file gets from the umask.
    for (const fs::perms mode :
         {fs::perms::owner_read | fs::perms::owner_write,
          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read}) {
        writeFile(target, "previous");
        fs::permissions(target, mode);
        AtomicFileSink sink(target);
        ASSERT_TRUE(sink.isOpen()) << sink.error();
        ASSERT_TRUE(sink.write(bytesOf("new contents")));
        ASSERT_TRUE(sink.commit()) << sink.error();
        EXPECT_EQ(readAll(target), "new contents");
        EXPECT_EQ(fs::status(target).permissions(), mode);
        EXPECT_EQ(entries(), std::vector<std::string>{"song.kvt"});
    }
}

TEST_F(OutputSinkToFile, TwoSavesInOneFolderLeaveEachOtherAlone) {
    AtomicFileSink first(m_dir / "a.kvt");
    ASSERT_TRUE(first.isOpen()) << first.error();
    ASSERT_TRUE(first.write(bytesOf("first")));
    const std::string name = first.temporaryPath().filename().string();
    const std::string ours = "a.kvt.save-" + std::to_string(getpid()) + "-";
    EXPECT_EQ(name.rfind(ours, 0), 0u) << name;
    EXPECT_TRUE(name.ends_with(".tmp")) << name;

    // A second save starting while the first runs finds the first's file
    // with a live pid and must not take it away.
    AtomicFileSink second(m_dir / "b.kvt");
    ASSERT_TRUE(second.isOpen()) << second.error();
    EXPECT_TRUE(fs::exists(first.temporaryPath()));
    ASSERT_TRUE(second.write(bytesOf("second")));
    EXPECT_TRUE(second.commit()) << second.error();
    EXPECT_TRUE(first.commit()) << first.error();
    EXPECT_EQ(readAll(m_dir / "a.kvt"), "first");
    EXPECT_EQ(readAll(m_dir / "b.kvt"), "second");
    EXPECT_EQ(entries(), (std::vector<std::string>{"a.kvt", "b.kvt"}));
}

TEST_F(OutputSinkToFile, ANewSaveRemovesOnlyTheLeftoversOfDeadProcesses) {
    const std::string dead = std::to_string(deadPid());
    const std::string live = std::to_string(getpid());
    const std::vector<std::string> leftovers{"song.kvt.save-" + dead + "-123456.tmp",
                                             "other.mid.save-" + dead + "-7.tmp"};
    const std::vector<std::string> kept{
        "live.kvt.save-" + live + "-42.tmp", // a save of this process in progress
        "x.save-abc.tmp",
        "x.tmp",
        "x.save-" + dead + ".tmp",
        "x.save-" + dead + "-12.tmp.bak",
        "x.save-" + dead + "-1x.tmp",
        "x.save-0" + dead + "-1.tmp",
        ".save-" + dead + "-1.tmp",
    };
    for (const std::string& name : leftovers)
        writeFile(m_dir / name, "left over");
    for (const std::string& name : kept)
        writeFile(m_dir / name, "keep");
    // Only plain files of this folder: not a folder with such a name, not a
    // link to a file elsewhere, not what lies in a folder below.
    const std::string lookalike = "dir.kvt.save-" + dead + "-1.tmp";
    fs::create_directory(m_dir / lookalike);
    fs::create_directory(m_dir / "sub");
    writeFile(m_dir / "sub" / ("deep.kvt.save-" + dead + "-1.tmp"), "keep");
    const fs::path outside = test::scratchPath("korvanta-sink-outside");
    writeFile(outside, "keep");
    const std::string link = "link.kvt.save-" + dead + "-1.tmp";
    fs::create_symlink(outside, m_dir / link);

    AtomicFileSink sink(m_dir / "song.kvt");
    ASSERT_TRUE(sink.isOpen()) << sink.error();
    ASSERT_TRUE(sink.write(bytesOf("saved")));
    ASSERT_TRUE(sink.commit()) << sink.error();

    std::vector<std::string> expected = kept;
    expected.insert(expected.end(), {"song.kvt", lookalike, "sub", link});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(), expected);
    EXPECT_TRUE(fs::exists(m_dir / "sub" / ("deep.kvt.save-" + dead + "-1.tmp")));
    EXPECT_EQ(readAll(outside), "keep");
    fs::remove(outside);
}

// ---- saves that fail ----

TEST_F(OutputSinkToFile, AReadOnlyFolderSaysPermissionDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    const fs::path target = m_dir / "song.kvt";
    writeFile(target, "previous");
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    AtomicFileSink sink(target);
    EXPECT_FALSE(sink.isOpen());
    EXPECT_FALSE(sink.commit());
    EXPECT_EQ(sink.error(),
              "cannot create a file in the folder of " + target.string() + ": Permission denied");
    EXPECT_EQ(readAll(target), "previous");
}

TEST_F(OutputSinkToFile, ATargetThatIsNoFileIsRefusedByName) {
    const std::string slash = m_dir.string() + "/";
    AtomicFileSink trailing(slash);
    EXPECT_FALSE(trailing.isOpen());
    EXPECT_EQ(trailing.error(), "no file name in " + slash);

    fs::create_directory(m_dir / "song.kvt");
    writeFile(m_dir / "song.kvt" / "inside", "keep");
    AtomicFileSink folder(m_dir / "song.kvt");
    EXPECT_FALSE(folder.isOpen());
    EXPECT_FALSE(folder.commit());
    EXPECT_EQ(folder.error(), (m_dir / "song.kvt").string() + " is a folder, not a file");
    EXPECT_EQ(readAll(m_dir / "song.kvt" / "inside"), "keep");

    AtomicFileSink empty{fs::path()};
    EXPECT_FALSE(empty.isOpen());
    EXPECT_FALSE(empty.error().empty());
    EXPECT_EQ(entries(), std::vector<std::string>{"song.kvt"});
}

TEST_F(OutputSinkToFile, AWriteRefusedByTheSystemKeepsTheOldFileAndSaysWhy) {
    const fs::path target = m_dir / "song.kvt";
    writeFile(target, "the previous save, kept as it was");
    const std::string before = readAll(target);
    const std::string large(1 << 16, 'x');

    // Files may grow to 64 bytes only: the save runs out of room midway.
    rlimit usual{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &usual), 0);
    rlimit small = usual;
    small.rlim_cur = 64;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool savedOk = false;
    std::string error;
    {
        AtomicFileSink sink(target);
        savedOk = sink.isOpen() && sink.write(bytesOf(large)) && sink.commit();
        error = sink.error();
    }
    setrlimit(RLIMIT_FSIZE, &usual);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(savedOk);
    EXPECT_EQ(error, "write error: File too large");
    EXPECT_EQ(readAll(target), before);
    EXPECT_EQ(entries(), std::vector<std::string>{"song.kvt"});
}

TEST_F(OutputSinkToFile, AFailedRenameKeepsTheOldFileAndSaysWhy) {
    const fs::path target = m_dir / "song.kvt";
    writeFile(target, "previous");
    AtomicFileSink sink(target);
    ASSERT_TRUE(sink.isOpen()) << sink.error();
    ASSERT_TRUE(sink.write(bytesOf("new contents")));
    // Something else takes the temporary name: a folder cannot replace a file.
    fs::remove(sink.temporaryPath());
    fs::create_directory(sink.temporaryPath());
    EXPECT_FALSE(sink.commit());
    EXPECT_EQ(sink.error().rfind("cannot replace " + target.string() + ": ", 0), 0u)
        << sink.error();
    EXPECT_GT(sink.error().size(), ("cannot replace " + target.string() + ": ").size());
    EXPECT_EQ(readAll(target), "previous");
    EXPECT_EQ(entries(), std::vector<std::string>{"song.kvt"});
}
