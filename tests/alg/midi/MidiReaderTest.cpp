#include "alg/midi/MidiTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvanta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A track of one note, closed by end-of-track.
TrackBuilder oneNote(int channel = 0, int pitch = 60) {
    TrackBuilder t;
    t.noteOn(0, channel, pitch, 100).noteOff(96, channel, pitch, 0).endOfTrack();
    return t;
}

// --- header ---

TEST(MidiReaderHeader, SkipsWrapperBeforeHeaderAndUsesFirstMThd) {
    SmfBuilder file;
    file.raw({'R', 'I', 'F', 'F'}).fill(124, 0x00);
    file.header(0, 1, 96).track(oneNote());
    // A second header later in the file is ignored.
    file.header(1, 7, 480);
    const ReadResult r = readBytes(file.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.log.front(), "header 0 1 96");
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 60 100", "noteoff 0 60 0", "endoftrack"));
    EXPECT_THAT(r.diagnostics, IsEmpty());
}

TEST(MidiReaderHeader, ReportsMissingHeader) {
    const ReadResult r = readBytes(Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 0});
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.diagnostics, ElementsAre("error: missing midi header MThd\n"));
}

TEST(MidiReaderHeader, SkipsExtraHeaderBytes) {
    SmfBuilder file;
    file.headerChunk(10, {1, 1, 96}, Bytes{0xDE, 0xAD, 0xBE, 0xEF}).track(oneNote());
    const ReadResult r = readBytes(file.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 60 100", "noteoff 0 60 0", "endoftrack"));
}

TEST(MidiReaderHeader, RejectsShortHeaderAndUnknownFormat) {
    SmfBuilder shortHeader;
    shortHeader.headerChunk(4, {1, 1}).track(oneNote());
    const ReadResult a = readBytes(shortHeader.bytes());
    EXPECT_FALSE(a.ok);
    EXPECT_TRUE(a.hasDiagnostic("error: illegal midi header\n"));

    SmfBuilder format3;
    format3.header(3, 1, 96).track(oneNote());
    const ReadResult b = readBytes(format3.bytes());
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.hasDiagnostic("error: invalid midi version\n"));
}

TEST(MidiReaderHeader, RejectsHeaderLengthPastEndOfFile) {
    SmfBuilder file;
    file.headerChunk(5000, {0, 1, 96});
    const ReadResult r = readBytes(file.bytes());
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.hasDiagnostic("error: illegal midi header\n"));
}

TEST(MidiReaderHeader, WarnsAboutFormat0WithTwoTracksAndReadsBoth) {
    SmfBuilder file;
    file.header(0, 2, 96).track(oneNote(0, 60)).track(oneNote(1, 64));
    const ReadResult r = readBytes(file.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.diagnostics, ElementsAre("warning: wrong midi type\n"));
    EXPECT_EQ(linesStartingWith(r.log, "noteon").size(), 2u);
}

class MidiReaderDivision : public ::testing::TestWithParam<int> {};

TEST_P(MidiReaderDivision, RejectsUnusableTimeDivision) {
    SmfBuilder file;
    file.header(0, 1, GetParam()).track(oneNote());
    for (Reading reading : {Reading::Plain, Reading::Merged}) {
        const ReadResult r = readBytes(file.bytes(), reading);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.hasDiagnostic("error: unsupported time division " +
                                    std::to_string(GetParam()) + "\n"));
        EXPECT_TRUE(linesStartingWith(r.log, "noteon").empty());
    }
}

INSTANTIATE_TEST_SUITE_P(ZeroTinyAndSmpte, MidiReaderDivision,
                         ::testing::Values(0, 1, 15, 0x8000, 0xE728));

TEST(MidiReaderHeader, AcceptsSmallestDivision) {
    SmfBuilder file;
    file.header(0, 1, 16).track(oneNote());
    EXPECT_TRUE(readBytes(file.bytes()).ok);
}

// --- tracks and chunks ---

TEST(MidiReaderTrack, SkipsUnknownChunkBetweenTracksAndCountsOnlyTracks) {
    SmfBuilder file;
    file.header(1, 2, 96).track(oneNote(0, 60)).chunk("XFIH", Bytes{1, 2, 3, 4, 5});
    file.track(oneNote(0, 62));
    for (Reading reading : {Reading::Plain, Reading::Merged}) {
        const ReadResult r = readBytes(file.bytes(), reading);
        EXPECT_TRUE(r.ok);
        EXPECT_THAT(r.diagnostics, ElementsAre("warning: unknown chunk XFIH skipped\n"));
        EXPECT_THAT(linesStartingWith(r.log, "noteon"),
                    ElementsAre("noteon 0 60 100", "noteon 0 62 100"));
        EXPECT_THAT(linesStartingWith(r.log, "trackend"), ElementsAre("trackend 1", "trackend 2"));
    }
}

TEST(MidiReaderTrack, RejectsChunkThatIsNeitherTrackNorPlausible) {
    SmfBuilder pastEnd;
    pastEnd.header(1, 2, 96).track(oneNote()).chunkHeader("XFIH", 1000).raw({1, 2, 3});
    SmfBuilder unprintable;
    unprintable.header(1, 2, 96).track(oneNote()).chunk(std::string_view("\x01\x02\x03\x04", 4),
                                                        Bytes{0});
    for (const SmfBuilder* file : {&pastEnd, &unprintable}) {
        for (Reading reading : {Reading::Plain, Reading::Merged}) {
            const ReadResult r = readBytes(file->bytes(), reading);
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(r.hasDiagnostic("error: missing midi track MTrk\n"));
        }
    }
}

TEST(MidiReaderTrack, ReportsTracksDeclaredButMissing) {
    SmfBuilder file;
    file.header(1, 3, 96).track(oneNote());
    const ReadResult r = readBytes(file.bytes());
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.hasDiagnostic("error: missing midi track MTrk\n"));
    EXPECT_EQ(linesStartingWith(r.log, "noteon").size(), 1u); // track 1 came through
}

TEST(MidiReaderTrack, ReadsHeaderWithNoTracks) {
    SmfBuilder file;
    file.header(1, 0, 96);
    EXPECT_TRUE(readBytes(file.bytes()).ok);
    EXPECT_TRUE(readMerged(file.bytes()).ok);
}

TEST(MidiReaderTrack, ClampsTrackLengthPastEndOfFile) {
    SmfBuilder file;
    file.header(0, 1, 96).trackWithLength(oneNote(), 4000);
    const ReadResult r = readBytes(file.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.hasDiagnostic("warning: track 1 length past end of file\n"));
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 60 100", "noteoff 0 60 0", "endoftrack"));
}

TEST(MidiReaderTrack, WarnsAboutGarbageAfterEndOfTrackAndSkipsIt) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).endOfTrack().raw({0x00, 0x3C, 0x40}); // would be an illegal command
    SmfBuilder file;
    file.header(1, 2, 96).track(t).track(oneNote(0, 64));
    for (Reading reading : {Reading::Plain, Reading::Merged}) {
        const ReadResult r = readBytes(file.bytes(), reading);
        EXPECT_TRUE(r.ok);
        EXPECT_THAT(r.diagnostics, ElementsAre("warning: 3 bytes garbage at end of track 1\n"));
        EXPECT_THAT(linesStartingWith(r.log, "noteon"),
                    ElementsAre("noteon 0 60 100", "noteon 0 64 100"));
    }
}

TEST(MidiReaderTrack, ReportsTheChannelOfEachTrack) {
    TrackBuilder none;
    none.tempo(0, 500000).endOfTrack();
    TrackBuilder mixed;
    mixed.noteOn(0, 1, 60, 90).program(0, 2, 5).endOfTrack();
    SmfBuilder file;
    file.header(1, 3, 96).track(none).track(oneNote(9, 36)).track(mixed);
    const ReadResult r = readBytes(file.bytes());
    EXPECT_THAT(linesStartingWith(r.log, "trackstart"),
                ElementsAre("trackstart 1 11 -1", "trackstart 2 12 9", "trackstart 3 11 -2"));
}

TEST(MidiReaderTrack, ScanOnlyDeliversNoEvents) {
    SmfBuilder file;
    file.header(1, 2, 96).track(oneNote()).track(oneNote());
    const ReadResult r = readBytes(file.bytes(), Reading::Plain, MidiReader::kScanOnly);
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.log, ElementsAre("header 1 2 96", "trackstart 1 12 -1", "trackend 1",
                                   "trackstart 2 12 -1", "trackend 2"));
}

// --- channel messages ---

TEST(MidiReaderEvents, KeepsRunningStatusAcrossMetaAndSysex) {
    TrackBuilder t;
    t.noteOn(0, 2, 60, 100);
    t.text(0, 1, "hi");
    t.sysex(0, {0x43, 0x12, 0xF7});
    t.running(10, {62, 90}).running(0, {62, 0}).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("noteon 2 60 100", "text 1 text 'hi'", "sysex 3 [43 12 F7]",
                                        "noteon 2 62 90", "noteoff 2 62 0", "endoftrack"));
}

TEST(MidiReaderEvents, DeliversEveryChannelMessage) {
    TrackBuilder t;
    t.noteOff(0, 3, 61, 64).event(0, {0xA3, 61, 20}).controller(0, 3, 7, 100);
    t.program(0, 3, 19).event(0, {0xD3, 33}).pitchBend(0, 3, 8192 + 100).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_THAT(r.events(), ElementsAre("noteoff 3 61 64", "keypressure 3 61 20",
                                        "controller 3 7 100", "program 3 19",
                                        "channelpressure 3 33", "pitchbend 3 8292", "endoftrack"));
}

TEST(MidiReaderEvents, DeliversVelocityZeroNoteOnAsNoteOff) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 0).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t)).events(),
                ElementsAre("noteoff 0 60 0", "endoftrack"));
}

TEST(MidiReaderEvents, DropsNoteNumbersAbove127WithWarning) {
    TrackBuilder t;
    t.noteOn(0, 0, 200, 100).noteOff(0, 0, 128, 0).noteOn(0, 0, 60, 200).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 60 200", "endoftrack"));
    EXPECT_THAT(r.diagnostics, ElementsAre("warning: invalid note value used\n",
                                           "warning: invalid note value used\n",
                                           "warning: invalid note velocity used\n"));
}

TEST(MidiReaderEvents, WarnsAboutControlAndProgramValuesAbove127) {
    TrackBuilder t;
    t.controller(0, 0, 7, 0x90).program(0, 0, 0x85).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.diagnostics, ElementsAre("warning: invalid control value used\n",
                                           "warning: invalid program used\n"));
}

// Overrides two per-controller callbacks to see the dispatch.
class ControllerReader : public RecordingReader {
public:
    using RecordingReader::RecordingReader;

protected:
    void onvolume(int channel, int value) override { log.push_back("volume"); }
    void onsustain(int channel, int value) override { log.push_back("sustain"); }
};

TEST(MidiReaderEvents, DispatchesControllersUnlessAllGenericIsSet) {
    TrackBuilder t;
    t.controller(0, 0, 7, 100).controller(0, 0, 64, 127).controller(0, 0, 10, 64);
    t.controller(0, 0, 74, 3).endOfTrack();
    const Bytes file = singleTrackFile(t);
    {
        ControllerReader reader(file.data(), file.size());
        EXPECT_TRUE(reader.readPlain());
        EXPECT_THAT(linesStartingWith(reader.log, ""),
                    ::testing::IsSupersetOf(
                        {"volume", "sustain", "controller 0 10 64", "controller 0 74 3"}));
    }
    {
        ControllerReader reader(file.data(), file.size());
        reader.setOptions(MidiReader::kAllControllersGeneric);
        EXPECT_TRUE(reader.readPlain());
        EXPECT_THAT(linesStartingWith(reader.log, "controller"),
                    ElementsAre("controller 0 7 100", "controller 0 64 127", "controller 0 10 64",
                                "controller 0 74 3"));
    }
}

TEST(MidiReaderEvents, RecognisesBendRangeRpnSequence) {
    TrackBuilder t;
    t.controller(0, 1, 101, 0).controller(0, 1, 100, 0).controller(0, 1, 6, 12);
    t.noteOn(0, 1, 60, 100).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t)).events(),
                ElementsAre("bendrange 1 12", "controller 1 101 0", "controller 1 100 0",
                            "controller 1 6 12", "noteon 1 60 100", "endoftrack"));
}

TEST(MidiReaderEvents, LeavesOtherRpnSequencesAsControllers) {
    TrackBuilder otherRpn; // RPN 1/0 is not the bend range
    otherRpn.controller(0, 0, 101, 1).controller(0, 0, 100, 0).controller(0, 0, 6, 12);
    otherRpn.endOfTrack();
    EXPECT_THAT(
        readBytes(singleTrackFile(otherRpn)).events(),
        ElementsAre("controller 0 101 1", "controller 0 100 0", "controller 0 6 12", "endoftrack"));

    TrackBuilder withTime; // time between the controllers
    withTime.controller(0, 0, 101, 0).controller(5, 0, 100, 0).controller(0, 0, 6, 2);
    withTime.endOfTrack();
    EXPECT_THAT(
        readBytes(singleTrackFile(withTime)).events(),
        ElementsAre("controller 0 101 0", "controller 0 100 0", "controller 0 6 2", "endoftrack"));
}

TEST(MidiReaderEvents, RejectsDataByteWithoutRunningStatus) {
    TrackBuilder t;
    t.event(0, {0x3C, 0x40}).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.hasDiagnostic("error: illegal midi command 3C\n"));
}

class MidiReaderCommandByte : public ::testing::TestWithParam<int> {};

TEST_P(MidiReaderCommandByte, RejectsUndefinedSystemCommand) {
    TrackBuilder t;
    t.event(0, {GetParam(), 0x00}).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_FALSE(r.ok);
    char text[64];
    std::snprintf(text, sizeof text, "error: unexpected command byte %02X\n", GetParam());
    EXPECT_TRUE(r.hasDiagnostic(text));
}

INSTANTIATE_TEST_SUITE_P(Undefined, MidiReaderCommandByte,
                         ::testing::Values(0xF1, 0xF4, 0xF5, 0xF9, 0xFD));

TEST(MidiReaderEvents, DeliversSystemCommonAndRealTime) {
    TrackBuilder t;
    t.event(0, {0xF2, 0x10, 0x02}).event(0, {0xF3, 5});
    for (int s : {0xF6, 0xF8, 0xFA, 0xFB, 0xFC, 0xFE})
        t.event(0, {s});
    t.endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t)).events(),
                ElementsAre("songposition 272", "songselect 5", "tunerequest", "clock", "start",
                            "continue", "stop", "activesensing", "endoftrack"));
}

// --- meta events ---

TEST(MidiReaderMeta, TakesTempoFromFirstThreeBytesOfLongerEvent) {
    TrackBuilder t;
    t.meta(0, 0x51, {0x07, 0xA1, 0x20, 0x99}).noteOn(0, 0, 60, 1).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("tempo 500000", "noteon 0 60 1", "endoftrack"));
}

TEST(MidiReaderMeta, DeliversTooShortTempoAsUnknownMeta) {
    TrackBuilder t;
    t.meta(0, 0x51, {0x07, 0xA1}).noteOn(0, 0, 60, 1).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t)).events(),
                ElementsAre("meta 51 2 [07 A1]", "noteon 0 60 1", "endoftrack"));
}

TEST(MidiReaderMeta, DeliversKeySignaturesOutOfRangeAsUnknownMeta) {
    TrackBuilder t;
    t.keySig(0, -7, 1).keySig(0, 8, 0).keySig(0, 2, 2).keySig(0, 7, 0).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t)).events(),
                ElementsAre("keysig -7 1", "meta 59 2 [08 00]", "meta 59 2 [02 02]", "keysig 7 0",
                            "endoftrack"));
}

TEST(MidiReaderMeta, IgnoresImpossibleTimeSignatureWithWarning) {
    TrackBuilder t;
    t.timeSig(0, 6, 3, 36, 8).timeSig(0, 0, 2).timeSig(0, 4, 8).timeSig(0, 4, 200);
    t.endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("timesig 6 8 36 8", "endoftrack"));
    EXPECT_THAT(r.diagnostics, ElementsAre("warning: invalid time signature 0/2^2 ignored\n",
                                           "warning: invalid time signature 4/2^8 ignored\n",
                                           "warning: invalid time signature 4/2^200 ignored\n"));
}

TEST(MidiReaderMeta, DeliversTextAndSmallMetaEvents) {
    TrackBuilder t;
    t.meta(0, 0x00, {0x01, 0x02}).text(0, 3, "Lead").text(0, 0x0A, "x");
    t.meta(0, 0x20, {5}).meta(0, 0x21, {2}).meta(0, 0x54, {0x61, 2, 3, 4, 5});
    t.meta(0, 0x7F, {0x43, 0x01}).meta(0, 0x20, {5, 6}).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t)).events(),
                ElementsAre("seqnumber 258", "text 3 trackname 'Lead'", "text 10  'x'",
                            "channelprefix 5", "port 2", "smpte 3 1 2 3 4 5", "meta 7F 2 [43 01]",
                            "meta 20 2 [05 06]", "endoftrack"));
}

TEST(MidiReaderMeta, RejectsMetaLengthPastEndOfTrack) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).raw({0x00, 0xFF, 0x01, 0x40, 'a'});
    SmfBuilder file;
    file.header(1, 2, 96).track(t).track(oneNote()); // the text would run into track 2
    const ReadResult r = readBytes(file.bytes());
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.hasDiagnostic("error: meta event length 64 past end of track 1\n"));
}

// --- system exclusive ---

TEST(MidiReaderSysex, RecognisesTheFixedMessages) {
    TrackBuilder t;
    t.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
    t.sysex(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
    t.sysex(0, {0x41, 0x1F, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x7F, 0x42, 0xF7});
    t.sysex(0, {0x43, 0x13, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7});
    t.sysex(0, {0x43, 0x20, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}); // not a device number
    t.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0x00, 0xF7});             // does not end at F7
    t.endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(t));
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("gmon", "gsreset", "gsexit", "xgon",
                                        "sysex 8 [43 20 4C 00 00 7E 00 F7]",
                                        "sysex 6 [7E 7F 09 01 00 F7]", "endoftrack"));
}

TEST(MidiReaderSysex, DeliversFixedMessagesRawWithRawSysexOption) {
    TrackBuilder t;
    t.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t), Reading::Plain, MidiReader::kRawSysex).events(),
                ElementsAre("sysex 5 [7E 7F 09 01 F7]", "endoftrack"));
}

TEST(MidiReaderSysex, FindsEndByF7WhenLengthFieldIsWrong) {
    TrackBuilder t;
    t.event(0, {0xF0, 0x03, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).noteOn(0, 0, 60, 1).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t)).events(),
                ElementsAre("sysex 6 [03 7E 7F 09 01 F7]", "noteon 0 60 1", "endoftrack"));
}

TEST(MidiReaderSysex, ReportsSysexWithoutF7InItsTrack) {
    TrackBuilder t;
    t.event(0, {0xF0, 0x05, 0x43, 0x10}).endOfTrack();
    TrackBuilder next; // an F7 in the next track must not be taken
    next.sysex(0, {0x01, 0xF7}).endOfTrack();
    SmfBuilder file;
    file.header(1, 2, 96).track(t).track(next);
    for (Reading reading : {Reading::Plain, Reading::Merged}) {
        const ReadResult r = readBytes(file.bytes(), reading);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.hasDiagnostic("error: end of sysex not found\n"));
    }
}

// --- raw delivery options ---

TEST(MidiReaderOptions, DeliversChosenKindsRaw) {
    TrackBuilder t;
    t.noteOn(0, 1, 60, 100).event(0, {0xA1, 60, 5}).controller(0, 1, 7, 90).program(0, 1, 3);
    t.event(0, {0xD1, 9}).pitchBend(0, 1, 0).endOfTrack();
    const std::uint32_t all = MidiReader::kRawNotes | MidiReader::kRawKeyPressure |
                              MidiReader::kRawControllers | MidiReader::kRawPrograms |
                              MidiReader::kRawChannelPressure | MidiReader::kRawPitchBend;
    EXPECT_THAT(readBytes(singleTrackFile(t), Reading::Plain, all).events(),
                ElementsAre("raw 91 2 [3C 64]", "raw A1 2 [3C 05]", "raw B1 2 [07 5A]",
                            "raw C1 1 [03]", "raw D1 1 [09]", "raw E1 2 [00 00]", "endoftrack"));
}

TEST(MidiReaderOptions, DeliversMetaAndSystemRawButEndOfTrackAsUsual) {
    TrackBuilder t;
    t.tempo(0, 400000).sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).event(0, {0xF8}).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(t), Reading::Plain, MidiReader::kRawMeta).events(),
                ElementsAre("meta 51 3 [06 1A 80]", "gmon", "clock", "endoftrack"));
    EXPECT_THAT(readBytes(singleTrackFile(t), Reading::Plain, MidiReader::kRawSystem).events(),
                ElementsAre("raw FF 5 [51 03 06 1A 80]", "raw F0 5 [7E 7F 09 01 F7]", "raw F8 0 []",
                            "endoftrack"));
}

// --- pauses and the clock ---

TEST(MidiReaderClock, CountsMillisecondsWithTempoChanges) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100);
    for (int i = 0; i < 480; ++i)
        t.running(1, {60, 100});                            // 480 ticks at 480 tpq: 500 ms
    t.tempo(0, 250000).noteOff(960, 0, 60, 0).endOfTrack(); // two quarters at 250 ms
    const ReadResult r = readBytes(singleTrackFile(t, 480));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.clockMs, 1000u);
}

TEST(MidiReaderClock, StopsAtDeltaOfSixteenMillionTicks) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).noteOff(0x1000000, 0, 60, 0).endOfTrack();
    SmfBuilder file;
    file.header(1, 2, 96).track(t).track(oneNote(0, 70));
    const ReadResult r = readBytes(file.bytes());
    EXPECT_TRUE(r.ok); // what came before the pause stays
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 60 100", "largepause 16777216"));
    EXPECT_THAT(r.diagnostics, ElementsAre("warning: Unrealistic large pause found\n"));
}

TEST(MidiReaderClock, StopsAtPauseOfAnHourOrMore) {
    // 96 tpq at 500000 us: 5 whole ms per tick, so 720000 ticks make 3600 of those units.
    TrackBuilder below;
    below.noteOn(0, 0, 60, 100).noteOff(719999, 0, 60, 0).endOfTrack();
    EXPECT_THAT(readBytes(singleTrackFile(below)).events(),
                ElementsAre("noteon 0 60 100", "noteoff 0 60 0", "endoftrack"));

    TrackBuilder at;
    at.noteOn(0, 0, 60, 100).noteOff(720000, 0, 60, 0).endOfTrack();
    const ReadResult r = readBytes(singleTrackFile(at));
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 60 100", "largepause 720000"));
}

TEST(MidiReaderClock, ReportsProgressThroughTheFileAsItGrows) {
    TrackBuilder t;
    for (int i = 0; i < 300; ++i)
        t.noteOn(1, 0, 60, 100).noteOff(1, 0, 60);
    t.endOfTrack();
    const Bytes file = singleTrackFile(t);
    RecordingReader reader(file.data(), file.size());
    ASSERT_TRUE(reader.readPlain());
    EXPECT_GE(reader.progressSeen.size(), 90u);
    EXPECT_TRUE(std::is_sorted(reader.progressSeen.begin(), reader.progressSeen.end()));
    EXPECT_EQ(std::adjacent_find(reader.progressSeen.begin(), reader.progressSeen.end()),
              reader.progressSeen.end()); // each percentage once
    EXPECT_EQ(reader.progressSeen.back(), 99);
}

// --- byte helpers ---

TEST(MidiReaderBytes, ReadsNumbersAndQuantitiesAndReportsTheEnd) {
    const Bytes bytes{0x12, 0x34, 0x56, 0x78, 0x81, 0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
    RecordingReader reader(bytes.data(), bytes.size());
    EXPECT_EQ(reader.read16(), 0x1234u);
    EXPECT_EQ(reader.readbyte(), 0x56);
    EXPECT_EQ(reader.readbyte(), 0x78);
    EXPECT_EQ(reader.readvlq(), 0x4000u);
    EXPECT_EQ(reader.readvlq(), 0x0FFFFFFFu); // four bytes at most
    EXPECT_FALSE(reader.errorFlag());
    EXPECT_EQ(reader.readvlq(), 0u); // 0x80 and then the end
    EXPECT_TRUE(reader.errorFlag());
    EXPECT_STREQ(reader.message(), "error: unexpected end of file\n");
    EXPECT_EQ(reader.readbyte(), -1);
    EXPECT_EQ(reader.read32(), 0u);
}

} // namespace
} // namespace korvanta::test
