#include "alg/midi/MidiFileIO.h"

#include "alg/midi/MidiReader.h"
#include "alg/midi/MidiTestSupport.h"

#include <cstdio>
#include <fcntl.h>
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

TEST(MidiFileIO, MeasuresCallersStreamFromItsStartAndLeavesItWhereItWas) {
    const Bytes bytes = counting(100);
    for (const auto mode : {MidiFileIO::BufferMode::Window, MidiFileIO::BufferMode::WholeFile}) {
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), stream), bytes.size());
        ASSERT_EQ(std::fseek(stream, 30, SEEK_SET), 0);
        {
            MidiFileIO io(stream, mode, 32);
            ASSERT_TRUE(io.isOpen());
            EXPECT_EQ(io.fileSize(), 100u);
            if (mode == MidiFileIO::BufferMode::Window) {
                EXPECT_EQ(std::ftell(stream), 30);
            }
            // Offsets count from the start of the file, not from where the stream stood.
            const std::uint8_t* p = io.access(90, 10);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p[0], 90);
            EXPECT_EQ(p[9], 99);
            EXPECT_EQ(io.access(95, 6), nullptr);
        }
        std::fclose(stream);
    }
}

TEST(MidiFileIO, RefusesStreamThatCannotSeek) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "MThd", 4), 4);
    ::close(fds[1]);
    std::FILE* stream = ::fdopen(fds[0], "rb");
    ASSERT_NE(stream, nullptr);
    {
        MidiFileIO io(stream);
        EXPECT_FALSE(io.isOpen());
        EXPECT_TRUE(io.errorFlag());
        EXPECT_EQ(io.readbytes(1), nullptr);
        EXPECT_EQ(io.diagnostics().front(), "error: cannot read file \n");
    }
    std::fclose(stream);
}

// A sparse file of the given size with marker bytes at offset; empty path when the file
// system cannot hold it.
std::string sparseFile(std::uint64_t size, std::uint64_t offset, const Bytes& marker) {
    const std::string path =
        ::testing::TempDir() + "korvanta_sparse_" + std::to_string(getpid()) + ".mid";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return {};
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
                    ::pwrite(fd, marker.data(), marker.size(), static_cast<off_t>(offset)) ==
                        static_cast<ssize_t>(marker.size());
    ::close(fd);
    if (!ok) {
        std::remove(path.c_str());
        return {};
    }
    return path;
}

TEST(MidiFileIO, ReadsWindowsPastTwoGigabytes) {
    constexpr std::uint64_t kOffset = 3ull << 30;
    const Bytes marker = {'M', 'T', 'r', 'k', 0x12, 0x34};
    const std::string path = sparseFile(kOffset + 100, kOffset, marker);
    if (path.empty()) GTEST_SKIP() << "no room for a sparse file of 3 GiB here";
    {
        MidiFileIO io(path.c_str(), MidiFileIO::BufferMode::WholeFile, 64);
        ASSERT_TRUE(io.isOpen());
        EXPECT_FALSE(io.isWholeFileInMemory()); // too large for one buffer
        EXPECT_EQ(io.fileSize(), kOffset + 100);
        const std::uint8_t* p = io.access(kOffset, 6);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Bytes(p, p + 6), marker);
        EXPECT_EQ(io.available(kOffset + 60), 40u);
        EXPECT_EQ(io.access(kOffset + 99, 2), nullptr);
        const std::uint8_t* start = io.access(0, 4); // and back to the start
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(start[0], 0);
    }
    std::remove(path.c_str());
}

TEST(MidiFileIO, RefusesFileOverFourGigabytes) {
    constexpr std::uint64_t kSize = (4ull << 30) + 1;
    const std::string path = sparseFile(kSize, kSize - 1, Bytes{0});
    if (path.empty()) GTEST_SKIP() << "no room for a sparse file of 4 GiB here";
    {
        MidiFileIO io(path.c_str());
        EXPECT_FALSE(io.isOpen());
        EXPECT_THAT(io.diagnostics(), ElementsAre("error: file too large\n"));
    }
    std::remove(path.c_str());
}

// Keeps the bytes that the reader's file callbacks find at the stream they are handed.
class StreamCollectingReader : public MidiReader {
public:
    using MidiReader::MidiReader;
    std::vector<Bytes> items;

protected:
    void onmetafile(int type, std::uint32_t length, std::FILE* file) override {
        take(length, file);
    }
    void onsysexfile(std::uint32_t length, std::FILE* file) override { take(length, file); }
    void onrawfileevent(int status, std::uint32_t length, std::FILE* file) override {
        take(length, file);
    }

private:
    void take(std::uint32_t length, std::FILE* file) {
        Bytes bytes(length);
        if (!file || std::fread(bytes.data(), 1, length, file) != length) bytes.clear();
        items.push_back(std::move(bytes));
    }
};

TEST(MidiFileIO, HandsFileCallbacksTheStreamAtTheirData) {
    const std::string text(100, 'x');
    Bytes sysex(59, 0x11);
    sysex.push_back(0xF7);
    TrackBuilder t;
    t.text(0, 1, text);
    t.delta(0).raw({0xF0}).raw(vlq(60)).raw(sysex);
    t.noteOn(0, 0, 60, 100).endOfTrack();
    const Bytes bytes = singleTrackFile(t);
    TempFile file(bytes);

    StreamCollectingReader reader(file.path(), MidiFileIO::BufferMode::Window, 32);
    ASSERT_TRUE(reader.read());
    EXPECT_THAT(reader.items, ElementsAre(Bytes(text.begin(), text.end()), sysex));

    // A raw meta event comes with its type and length.
    StreamCollectingReader raw(file.path(), MidiFileIO::BufferMode::Window, 32);
    raw.setOptions(MidiReader::kRawSystem);
    ASSERT_TRUE(raw.read());
    ASSERT_EQ(raw.items.size(), 2u);
    Bytes meta(2 + text.size(), 'x');
    meta[0] = 0x01;
    meta[1] = 100;
    EXPECT_EQ(raw.items[0], meta);
    EXPECT_EQ(raw.items[1], sysex);
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
