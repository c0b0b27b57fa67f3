#include "alg/midi/MidiTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvanta::test {
namespace {

using ::testing::ElementsAre;

// Three tracks with events at shared and separate ticks, running status, meta and sysex.
Bytes threeTrackFile() {
    TrackBuilder conductor;
    conductor.tempo(0, 500000).timeSig(0, 3, 2).tempo(192, 250000).endOfTrack();
    TrackBuilder melody;
    melody.noteOn(0, 0, 60, 100).running(0, {64, 100}).running(96, {60, 0});
    melody.sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).running(0, {64, 0});
    melody.noteOn(96, 0, 67, 80).noteOff(96, 0, 67).endOfTrack();
    TrackBuilder bass;
    bass.program(0, 1, 33).noteOn(48, 1, 36, 90).running(48, {36, 0});
    bass.controller(0, 1, 101, 0).controller(0, 1, 100, 0).controller(0, 1, 6, 2);
    bass.noteOn(96, 1, 43, 90).endOfTrack(96);
    return SmfBuilder().header(1, 3, 96).track(conductor).track(melody).track(bass).bytes();
}

TEST(MidiMergeReader, DeliversEventsInTimeThenTrackThenFileOrder) {
    const ReadResult r = readMerged(threeTrackFile(), 0, true);
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(),
                ElementsAre("T1@0 tempo 500000", "T1@0 timesig 3 4 24 8", "T2@0 noteon 0 60 100",
                            "T2@0 noteon 0 64 100", "T3@0 program 1 33", "T3@48 noteon 1 36 90",
                            "T2@96 noteoff 0 60 0", "T2@96 gmon", "T2@96 noteoff 0 64 0",
                            "T3@96 noteoff 1 36 0", "T3@96 bendrange 1 2",
                            "T3@96 controller 1 101 0", "T3@96 controller 1 100 0",
                            "T3@96 controller 1 6 2", "T1@192 tempo 250000", "T1@192 endoftrack",
                            "T2@192 noteon 0 67 80", "T3@192 noteon 1 43 90",
                            "T2@288 noteoff 0 67 0", "T2@288 endoftrack", "T3@288 endoftrack"));
}

TEST(MidiMergeReader, DeliversTheSameEventsAsPlainReading) {
    const Bytes file = threeTrackFile();
    auto sorted = [](std::vector<std::string> lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(sorted(readMerged(file).events()), sorted(readBytes(file).events()));
}

TEST(MidiMergeReader, ReportsEventTimeOfTheCurrentTrack) {
    const Bytes file = threeTrackFile();
    RecordingReader reader(file.data(), file.size());
    ASSERT_TRUE(reader.readMerged());
    EXPECT_THAT(reader.eventTimes, ElementsAre(0, 0, 48, 96, 96, 96, 192, 192, 288));
}

TEST(MidiMergeReader, ReportsProgressUpToOneHundredAndFinishes) {
    const Bytes file = threeTrackFile();
    RecordingReader reader(file.data(), file.size());
    ASSERT_TRUE(reader.readMerged());
    ASSERT_FALSE(reader.progressSeen.empty());
    EXPECT_TRUE(std::is_sorted(reader.progressSeen.begin(), reader.progressSeen.end()));
    EXPECT_EQ(reader.progressSeen.back(), 100);
    EXPECT_EQ(reader.log.back(), "finished");
}

TEST(MidiMergeReader, ScansTracksWithoutEventsAndRestoresOptions) {
    const Bytes file = threeTrackFile();
    RecordingReader reader(file.data(), file.size());
    reader.setOptions(MidiReader::kAllControllersGeneric);
    ASSERT_TRUE(reader.readMerged());
    EXPECT_EQ(reader.options(), MidiReader::kAllControllersGeneric);
    // The tracks are scanned before delivery, so no channel is known.
    EXPECT_THAT(
        linesStartingWith(reader.log, "trackstart"),
        ::testing::AllOf(::testing::SizeIs(3), ::testing::Each(::testing::EndsWith(" -1"))));
    // The generic option applied during delivery: no bend-range recognition.
    EXPECT_TRUE(linesStartingWith(reader.log, "bendrange").empty());
}

TEST(MidiMergeReader, CountsMillisecondsAcrossTracks) {
    // 96 ticks at 500000 us, then 96 at 500000 and 96 at 250000 after the tempo change at 192.
    const ReadResult r = readMerged(threeTrackFile());
    EXPECT_EQ(r.clockMs, 500u + 500u + 250u);
}

TEST(MidiMergeReader, StopsAtUnrealisticPauseKeepingWhatCameBefore) {
    TrackBuilder a;
    a.noteOn(0, 0, 60, 100).noteOff(10, 0, 60).noteOn(0xFFFFFF, 0, 62, 100).endOfTrack();
    TrackBuilder b;
    b.noteOn(5, 1, 40, 100).noteOff(10, 1, 40).endOfTrack();
    const Bytes file = SmfBuilder().header(1, 2, 96).track(a).track(b).bytes();
    const ReadResult r = readMerged(file);
    EXPECT_TRUE(r.ok);
    // 16777210 ticks at 5 ms each is far above an hour.
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 60 100", "noteon 1 40 100", "noteoff 0 60 0",
                                        "noteoff 1 40 0", "endoftrack", "largepause 16777210"));
}

TEST(MidiMergeReader, StopsAtLargeFirstDelta) {
    TrackBuilder a;
    a.noteOn(0x1000000, 0, 60, 100).endOfTrack();
    const ReadResult r = readMerged(singleTrackFile(a));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(linesStartingWith(r.log, "noteon").empty());
    EXPECT_TRUE(r.hasDiagnostic("warning: Unrealistic large pause found\n"));
}

TEST(MidiMergeReader, FailsCleanlyOnHugeTrackCountInTinyFile) {
    const Bytes file = SmfBuilder().header(1, 65535, 96).track(TrackBuilder().endOfTrack()).bytes();
    for (Reading reading : {Reading::Plain, Reading::Merged}) {
        const ReadResult r = readBytes(file, reading);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.hasDiagnostic("error: missing midi track MTrk\n"));
    }
}

TEST(MidiMergeReader, TreatsEmptyTrackAsDone) {
    const Bytes file = SmfBuilder()
                           .header(1, 2, 96)
                           .track(TrackBuilder())
                           .track(TrackBuilder().noteOn(0, 0, 1, 1))
                           .bytes();
    const ReadResult r = readMerged(file);
    EXPECT_TRUE(r.ok);
    EXPECT_THAT(r.events(), ElementsAre("noteon 0 1 1"));
}

} // namespace
} // namespace korvanta::test
