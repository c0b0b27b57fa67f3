#include "alg/midi/MidiFileIO.h"

#include "alg/midi/MidiTestSupport.h"

#include <cstdio>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace korvanta::test {
namespace {

using ::testing::ElementsAre;

Bytes counting(std::size_t n) {
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

TEST(MidiFileIO, ReadsCallersMemoryWithoutCopying) {
    const Bytes bytes = counting(10);
    MidiFileIO io(std::as_bytes(std::span(bytes)));
    ASSERT_TRUE(io.isOpen());
    EXPECT_EQ(io.fileSize(), 10u);
    EXPECT_EQ(io.peekbytes(3), bytes.data());
    EXPECT_EQ(io.readbytes(4), bytes.data());
    EXPECT_EQ(io.position(), 4u);
    EXPECT_EQ(io.available(4), 6u);
    EXPECT_EQ(io.readbytes(6), bytes.data() + 4);
    EXPECT_TRUE(io.diagnostics().empty());
}

TEST(MidiFileIO, ReportsReadPastEndAndStops) {
    const Bytes bytes = counting(5);
    MidiFileIO io(bytes.data(), bytes.size());
    io.seek(3);
    EXPECT_EQ(io.peekbytes(3), nullptr);
    EXPECT_TRUE(io.diagnostics().empty()); // peeking says nothing
    EXPECT_EQ(io.readbytes(3), nullptr);
    EXPECT_EQ(io.position(), 3u);
    EXPECT_TRUE(io.errorFlag());
    EXPECT_TRUE(io.stopFlag());
    EXPECT_STREQ(io.message(), "error: unexpected end of file\n");
}

TEST(MidiFileIO, IgnoresNegativeSeekAndRefusesSkipPastEnd) {
    const Bytes bytes = counting(5);
    MidiFileIO io(bytes.data(), bytes.size());
    io.seek(2);
    io.seek(-1);
    EXPECT_EQ(io.position(), 2u);
    EXPECT_FALSE(io.skip(4));
    EXPECT_EQ(io.position(), 2u);
    EXPECT_TRUE(io.skip(3));
    EXPECT_EQ(io.position(), 5u);
    EXPECT_EQ(io.available(5), 0u);
}

TEST(MidiFileIO, ReadsWholeFileIntoOneBuffer) {
    const Bytes bytes = counting(200);
    TempFile file(bytes);
    MidiFileIO io(file.path(), MidiFileIO::BufferMode::WholeFile);
    ASSERT_TRUE(io.isOpen());
    EXPECT_TRUE(io.isWholeFileInMemory());
    EXPECT_EQ(io.available(0), 200u);
    const std::uint8_t* p = io.readbytes(200);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), p));
}

TEST(MidiFileIO, RefillsWindowAtRequestedOffset) {
    const Bytes bytes = counting(100);
    TempFile file(bytes);
    MidiFileIO io(file.path(), MidiFileIO::BufferMode::Window, 32);
    ASSERT_TRUE(io.isOpen());
    EXPECT_FALSE(io.isWholeFileInMemory());
    io.seek(30);
    const std::uint8_t* p = io.readbytes(8); // crosses the first window's end
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[7], 37);
    EXPECT_EQ(io.available(90), 10u);
    const std::uint8_t* q = io.access(5, 2);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q[1], 6);
    EXPECT_EQ(io.readbytes(33), nullptr);
    EXPECT_THAT(io.diagnostics(),
                ElementsAre("warning: midi event larger than internal bufsize ignored\n"));
    EXPECT_FALSE(io.errorFlag());
}

TEST(MidiFileIO, FallsBackToInlineBuffer) {
    const Bytes bytes = counting(40);
    TempFile file(bytes);
    MidiFileIO io(file.path(), MidiFileIO::BufferMode::Window, 0);
    ASSERT_TRUE(io.isOpen());
    EXPECT_TRUE(io.usesInlineBuffer());
    EXPECT_EQ(io.bufferSize(), MidiFileIO::kInlineBufferSize);
    io.seek(20);
    const std::uint8_t* p = io.readbytes(16);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[15], 35);
    EXPECT_EQ(io.readbytes(5), nullptr); // only 4 left
    EXPECT_STREQ(io.message(), "error: unexpected end of file\n");
}

TEST(MidiFileIO, ReportsFileThatCannotBeOpened) {
    const std::string missing = ::testing::TempDir() + "korvanta_no_such_file.mid";
    MidiFileIO io(missing.c_str());
    EXPECT_FALSE(io.isOpen());
    EXPECT_TRUE(io.errorFlag());
    EXPECT_EQ(io.readbytes(1), nullptr);
    EXPECT_STREQ(io.message(), "error: out of memory\n");
    EXPECT_EQ(io.diagnostics().front(),
              "error: cannot open file " + missing + ": No such file or directory\n");
}

TEST(MidiFileIO, RefusesWhatIsNoRegularFileWithoutWaiting) {
    // A folder, and a FIFO no one writes to: opening that for reading would
    // wait for a writer for ever.
    const std::string folder = ::testing::TempDir();
    MidiFileIO dir(folder.c_str());
    EXPECT_FALSE(dir.isOpen());
    EXPECT_NE(dir.diagnostics().front().find("it is a folder"), std::string::npos);

    const std::string fifo = folder + "korvanta_fifo_" + std::to_string(getpid()) + ".mid";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    MidiFileIO io(fifo.c_str());
    EXPECT_FALSE(io.isOpen());
    EXPECT_EQ(io.diagnostics().front(),
              "error: cannot open file " + fifo + ": not a regular file\n");
    std::remove(fifo.c_str());
}

TEST(MidiFileIO, LeavesCallersStreamOpen) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::fputs("MThd", stream);
    {
        MidiFileIO io(stream, MidiFileIO::BufferMode::WholeFile);
        ASSERT_TRUE(io.isOpen());
        EXPECT_EQ(io.fileSize(), 4u);
    }
    EXPECT_EQ(std::fputc('x', stream), 'x');
    EXPECT_EQ(std::fclose(stream), 0);
}

TEST(MidiFileIO, WritesThroughItsBufferAndReadsBack) {
    TempFile file(Bytes{}, "write");
    const Bytes data = counting(100);
    {
        MidiFileIO out(file.path(), MidiFileIO::BufferMode::Window, 24, MidiFileIO::Access::Write);
        ASSERT_TRUE(out.isOpen());
        EXPECT_TRUE(out.writebytes(data.data(), 60));
        EXPECT_TRUE(out.writebytes(data.data() + 60, 40));
        out.seek(4); // patch bytes already written out, as a track length would be
        const std::uint8_t patch[] = {0xAA, 0xBB};
        EXPECT_TRUE(out.writebytes(patch, 2));
        EXPECT_EQ(out.fileSize(), 100u);
        EXPECT_TRUE(out.close());
        EXPECT_TRUE(out.diagnostics().empty());
    }
    MidiFileIO in(file.path(), MidiFileIO::BufferMode::WholeFile);
    ASSERT_EQ(in.fileSize(), 100u);
    Bytes expected = data;
    expected[4] = 0xAA;
    expected[5] = 0xBB;
    const std::uint8_t* p = in.readbytes(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Bytes(p, p + 100), expected);
}

TEST(MidiFileIO, ReportsFailedWrite) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    MidiFileIO out("/dev/full", MidiFileIO::BufferMode::Window, 64, MidiFileIO::Access::Write);
    ASSERT_TRUE(out.isOpen());
    const Bytes data = counting(100);
    out.writebytes(data.data(), data.size());
    EXPECT_FALSE(out.close());
    EXPECT_TRUE(out.errorFlag());
    EXPECT_THAT(out.diagnostics(), ElementsAre("error: write error (may be disk full)\n"));
}

TEST(MidiFileIO, RefusesWritesWhenReading) {
    const Bytes bytes = counting(4);
    MidiFileIO io(bytes.data(), bytes.size());
    EXPECT_FALSE(io.writebytes(bytes.data(), 1));
    EXPECT_TRUE(io.close());
}

} // namespace
} // namespace korvanta::test
