// Broken and truncated files, and the buffer modes: every input ends cleanly, and how the bytes
// are buffered never changes what is delivered.

#include "alg/midi/MidiTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace korvanta::test {
namespace {

using ::testing::ElementsAre;

// A file touching most of the parser: wrapper bytes, a long header, an unknown chunk, running
// status, meta, sysex with and without a usable length, system messages and an RPN sequence.
Bytes richFile() {
    TrackBuilder conductor;
    conductor.text(0, 3, "Song").tempo(0, 600000).timeSig(0, 6, 3).keySig(0, -2, 0);
    conductor.meta(0, 0x54, {0x60, 0, 0, 0, 0}).tempo(384, 450000).endOfTrack();
    TrackBuilder melody;
    melody.program(0, 0, 73).noteOn(0, 0, 72, 90).running(48, {72, 0}).running(0, {74, 80});
    melody.event(0, {0xF0, 0x02, 0x41, 0x10, 0x42, 0xF7}); // length field that does not fit
    melody.running(48, {74, 0}).pitchBend(0, 0, 9000).event(0, {0xF8});
    melody.noteOn(96, 0, 76, 70).noteOff(96, 0, 76, 30).endOfTrack();
    TrackBuilder bass;
    bass.controller(0, 1, 101, 0).controller(0, 1, 100, 0).controller(0, 1, 6, 12);
    bass.sysex(0, {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7});
    bass.noteOn(24, 1, 36, 100).running(72, {36, 0}).event(0, {0xD1, 40});
    bass.noteOn(96, 1, 43, 100).noteOff(96, 1, 43).endOfTrack();
    SmfBuilder file;
    file.raw({'R', 'I', 'F', 'F'}).fill(16, 0);
    file.headerChunk(8, {1, 3, 192, 0}).track(conductor).chunk("XMET", Bytes{1, 2, 3});
    file.track(melody).track(bass);
    return file.bytes();
}

// The reader over a heap copy of exactly the given bytes, so reading past them is caught by
// the address sanitizer.
ReadResult readExactCopy(const Bytes& bytes, Reading reading) {
    const std::size_t n = bytes.size();
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[n ? n : 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    RecordingReader reader(copy.get(), n);
    ReadResult result;
    result.ok = reading == Reading::Plain ? reader.readPlain() : reader.readMerged();
    result.log = reader.log;
    result.diagnostics = reader.diagnostics();
    return result;
}

TEST(MidiRobustness, RichFileReadsCleanly) {
    for (Reading reading : {Reading::Plain, Reading::Merged}) {
        const ReadResult r = readBytes(richFile(), reading);
        EXPECT_TRUE(r.ok);
        EXPECT_THAT(r.diagnostics, ElementsAre("warning: unknown chunk XMET skipped\n"));
        EXPECT_THAT(r.events(), ::testing::Contains("xgon"));
        EXPECT_THAT(r.events(), ::testing::Contains("bendrange 1 12"));
        EXPECT_THAT(r.events(), ::testing::Contains("sysex 5 [02 41 10 42 F7]"));
    }
}

TEST(MidiRobustness, EveryTruncatedPrefixEndsCleanly) {
    const Bytes full = richFile();
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        for (Reading reading : {Reading::Plain, Reading::Merged}) {
            const ReadResult r = readExactCopy(prefix, reading);
            if (!r.ok) {
                EXPECT_FALSE(r.diagnostics.empty()) << "prefix " << n;
            }
        }
    }
    // Cut inside the last track's events: the reading fails and says why.
    const Bytes cut(full.begin(), full.end() - 6);
    const ReadResult r = readExactCopy(cut, Reading::Merged);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.hasDiagnostic("error: unexpected end of file\n"));
}

TEST(MidiRobustness, EveryTruncatedPrefixEndsCleanlyThroughSmallWindow) {
    const Bytes full = richFile();
    for (std::size_t n = 0; n < full.size(); n += 7) {
        TempFile file(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
        RecordingReader reader(file.path(), MidiFileIO::BufferMode::Window, 0);
        if (!reader.readMerged()) {
            EXPECT_FALSE(reader.diagnostics().empty()) << "prefix " << n;
        }
    }
}

// Deterministic byte mutations of a valid file: whatever the parser meets, it ends and stays
// inside the bytes (the sanitizers watch the reads).
TEST(MidiRobustness, MutatedFilesEndCleanly) {
    const Bytes full = richFile();
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        Bytes mutated = full;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c)
            mutated[random() % mutated.size()] = static_cast<std::uint8_t>(random());
        for (Reading reading : {Reading::Plain, Reading::Merged}) {
            const ReadResult r = readExactCopy(mutated, reading);
            if (!r.ok) {
                EXPECT_FALSE(r.diagnostics.empty()) << "round " << round;
            }
        }
        if (round % 20 == 0) {
            TempFile file(mutated);
            RecordingReader reader(file.path(), MidiFileIO::BufferMode::Window, 0);
            reader.readMerged();
        }
    }
}

// Whole file, windows of several sizes and the inline buffer deliver the same callbacks.
TEST(MidiRobustness, BufferModesDeliverTheSameCallbacks) {
    const Bytes bytes = richFile();
    TempFile file(bytes);
    const ReadResult memory = readMerged(bytes, 0, true);
    ASSERT_TRUE(memory.ok);

    struct Mode {
        MidiFileIO::BufferMode mode;
        std::uint32_t size;
    };
    for (const Mode m :
         {Mode{MidiFileIO::BufferMode::WholeFile, 0},
          Mode{MidiFileIO::BufferMode::Window, MidiFileIO::kDefaultBufferSize},
          Mode{MidiFileIO::BufferMode::Window, 40}, Mode{MidiFileIO::BufferMode::Window, 17},
          Mode{MidiFileIO::BufferMode::Window, 0}}) {
        for (Reading reading : {Reading::Plain, Reading::Merged}) {
            RecordingReader reader(file.path(), m.mode, m.size);
            reader.withContext = true;
            EXPECT_EQ(reader.usesInlineBuffer(),
                      m.mode == MidiFileIO::BufferMode::Window && m.size == 0);
            const bool ok = reading == Reading::Plain ? reader.readPlain() : reader.readMerged();
            EXPECT_TRUE(ok) << "buffer " << m.size;
            const ReadResult expected = readBytes(bytes, reading, 0, true);
            EXPECT_EQ(reader.log, expected.log) << "buffer " << m.size;
            EXPECT_EQ(reader.diagnostics(), expected.diagnostics) << "buffer " << m.size;
        }
    }
}

TEST(MidiRobustness, HandsItemsLargerThanTheWindowToFileCallbacks) {
    TrackBuilder t;
    t.text(0, 1, std::string(100, 'x'));
    t.delta(0).raw({0xF0}).raw(vlq(60)).raw(Bytes(59, 0x11)).raw({0xF7});
    t.noteOn(0, 0, 60, 100).endOfTrack();
    TempFile file(singleTrackFile(t));
    RecordingReader reader(file.path(), MidiFileIO::BufferMode::Window, 32);
    EXPECT_TRUE(reader.readPlain());
    EXPECT_THAT(reader.log,
                ElementsAre("header 0 1 96", "trackstart 1 175 0", "metafile 01 100",
                            "sysexfile 60", "noteon 0 60 100", "endoftrack", "trackend 1"));
}

TEST(MidiRobustness, FindsHeaderOnlyInTheFirstKilobyteThroughSmallWindow) {
    for (const std::size_t wrapper : {std::size_t{500}, std::size_t{2000}}) {
        SmfBuilder file;
        file.fill(wrapper, 0).header(0, 1, 96).track(TrackBuilder().endOfTrack());
        TempFile onDisk(file.bytes());
        RecordingReader windowed(onDisk.path(), MidiFileIO::BufferMode::Window, 0);
        EXPECT_EQ(windowed.readPlain(), wrapper < 1024) << wrapper;
        RecordingReader whole(onDisk.path(), MidiFileIO::BufferMode::WholeFile);
        EXPECT_TRUE(whole.readPlain()) << wrapper;
    }
}

struct BrokenFile {
    const char* name;
    Bytes bytes;
    const char* diagnostic; // expected among the diagnostics
    bool readable;          // read() may still succeed
};

void PrintTo(const BrokenFile& f, std::ostream* os) {
    *os << f.name;
}

Bytes withHeader(int format, int tracks, const Bytes& rest) {
    SmfBuilder file;
    file.header(format, tracks, 96).raw(rest);
    return file.bytes();
}

Bytes trackChunk(const Bytes& events, std::uint32_t declared) {
    TrackBuilder t;
    t.raw(events);
    SmfBuilder s;
    s.trackWithLength(t, declared);
    return s.bytes();
}

std::vector<BrokenFile> brokenFiles() {
    return {
        {"Empty", {}, "error: missing midi header MThd\n", false},
        {"OnlyMagic", {'M', 'T', 'h', 'd'}, "error: unexpected end of file\n", false},
        {"HeaderCut",
         {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1},
         "error: illegal midi header\n",
         false},
        {"HeaderLengthHuge",
         {'M', 'T', 'h', 'd', 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 1, 0, 96},
         "error: illegal midi header\n",
         false},
        {"DivisionZero", SmfBuilder().header(0, 1, 0).bytes(),
         "error: unsupported time division 0\n", false},
        {"SmpteDivision", SmfBuilder().header(0, 1, 0xE250).bytes(),
         "error: unsupported time division 57936\n", false},
        {"TrackCount65535", withHeader(1, 65535, {}), "error: missing midi track MTrk\n", false},
        {"TracksMissing", withHeader(1, 2, trackChunk({0x00, 0xFF, 0x2F, 0x00}, 4)),
         "error: missing midi track MTrk\n", false},
        {"ChunkIdGarbage", withHeader(0, 1, {0x00, 0x01, 0x02, 0x03, 0, 0, 0, 0}),
         "error: missing midi track MTrk\n", false},
        {"UnknownChunkPastEnd", withHeader(0, 1, {'J', 'U', 'N', 'K', 0, 0, 0x10, 0}),
         "error: missing midi track MTrk\n", false},
        {"TrackLengthPastEndEventCut", withHeader(0, 1, trackChunk({0x00, 0x90, 0x3C}, 1000)),
         "error: unexpected end of file\n", false},
        {"TrackLengthTooShort",
         withHeader(0, 1, trackChunk({0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}, 2)), "",
         true},
        {"DeltaCutAtEnd", withHeader(0, 1, trackChunk({0x81, 0x80}, 2)),
         "error: unexpected end of file\n", false},
        {"MetaLengthHuge",
         withHeader(0, 1, trackChunk({0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F}, 7)),
         "error: meta event length 268435455 past end of track 1\n", false},
        {"KeySignatureEmptyAtEndOfFile", withHeader(0, 1, trackChunk({0x00, 0xFF, 0x59, 0x00}, 4)),
         "", true},
        {"MetaTypeMissing", withHeader(0, 1, trackChunk({0x00, 0xFF}, 2)),
         "error: unexpected end of file\n", false},
        {"SysexWithoutF7", withHeader(0, 1, trackChunk({0x00, 0xF0, 0x03, 0x01, 0x02, 0x03}, 6)),
         "error: end of sysex not found\n", false},
        {"SysexLengthHuge",
         withHeader(0, 1, trackChunk({0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0xF7}, 7)), "", true},
        {"DataByteFirst", withHeader(0, 1, trackChunk({0x00, 0x40, 0x40}, 3)),
         "error: illegal midi command 40\n", false},
        {"UndefinedCommand", withHeader(0, 1, trackChunk({0x00, 0xF5}, 2)),
         "error: unexpected command byte F5\n", false},
        {"NoteCutAtEnd", withHeader(0, 1, trackChunk({0x00, 0x90, 0x3C}, 3)),
         "error: unexpected end of file\n", false},
        {"LongestDelta", withHeader(0, 1, trackChunk({0xFF, 0xFF, 0xFF, 0x7F, 0xF8}, 5)),
         "warning: Unrealistic large pause found\n", true},
        {"FiveByteDelta", withHeader(0, 1, trackChunk({0x80, 0x80, 0x80, 0x80, 0x00, 0xF8}, 6)),
         "error: illegal midi command 00\n", false},
        {"RpnCutAtTrackEnd",
         withHeader(0, 1, trackChunk({0x00, 0xB0, 0x65, 0x00, 0x00, 0xB0, 0x64}, 7)),
         "error: unexpected end of file\n", false},
    };
}

class MidiBrokenFile : public ::testing::TestWithParam<BrokenFile> {};

TEST_P(MidiBrokenFile, EndsCleanlyWithItsDiagnostic) {
    const BrokenFile& f = GetParam();
    for (Reading reading : {Reading::Plain, Reading::Merged}) {
        const ReadResult r = readExactCopy(f.bytes, reading);
        if (!f.readable) {
            EXPECT_FALSE(r.ok);
        }
        if (*f.diagnostic) {
            EXPECT_TRUE(r.hasDiagnostic(f.diagnostic)) << ::testing::PrintToString(r.diagnostics);
        }
    }
    // The same through the inline buffer.
    TempFile file(f.bytes);
    RecordingReader reader(file.path(), MidiFileIO::BufferMode::Window, 0);
    const bool ok = reader.readMerged();
    if (!f.readable) {
        EXPECT_FALSE(ok);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, MidiBrokenFile, ::testing::ValuesIn(brokenFiles()),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace korvanta::test
