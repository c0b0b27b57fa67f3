#include "alg/song/TSongReader.h"

#include "support/SmfBuilder.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace korvanta;
using korvanta::test::Bytes;
using korvanta::test::SmfBuilder;
using korvanta::test::TrackBuilder;

namespace {

MidiLoadResult load(TSong& song, const Bytes& file) {
    return loadMidiMemory(song, std::as_bytes(std::span(file)));
}

Bytes file480(std::initializer_list<TrackBuilder> tracks, int format = 1) {
    SmfBuilder b;
    b.header(format, static_cast<int>(tracks.size()), 480);
    for (const TrackBuilder& t : tracks)
        b.track(t);
    return b.bytes();
}

bool hasDiagnostic(const MidiLoadResult& r, const std::string& text) {
    return std::any_of(r.diagnostics.begin(), r.diagnostics.end(),
                       [&](const std::string& d) { return d.find(text) != std::string::npos; });
}

} // namespace

TEST(TSongReader, FillsHeaderMeterAndNotes) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).noteOff(480, 0, 60, 40).noteOn(0, 0, 62, 90).noteOn(480, 0, 62, 0);
    t.endOfTrack();
    TSong song;
    const MidiLoadResult r = load(song, file480({t}, 0));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(song.format, 0);
    EXPECT_EQ(song.trackCount, 1);
    EXPECT_EQ(song.ticksPerQuarter, 480);
    const TMeterMap& m = song.meter();
    EXPECT_EQ(m.wholeTicks, 1920);
    EXPECT_EQ(m.sixteenthTicks, 120);
    EXPECT_EQ(m.shortestNote, 120); // no note shorter than a sixteenth
    ASSERT_EQ(m.entryCount(), 1u);  // 4/4 without a time signature
    EXPECT_EQ(m.entries()[0].numerator, 4);
    ASSERT_EQ(song.notes.Count(0), 2);
    const TNote* a = song.notes.Note(0, 0);
    EXPECT_EQ(a->pitch, 60);
    EXPECT_EQ(a->duration, 480);
    EXPECT_EQ(a->velocities, (100 << 8) | 40);
    EXPECT_EQ(a->pitchClass, 0);
    const TNote* b = song.notes.Note(1, 0);
    EXPECT_EQ(b->start, (TBarPos{0, 1, 0, 0}));
    EXPECT_EQ(b->duration, 480); // velocity 0 closes like a note-off
    EXPECT_EQ(song.notes.length, 960);
    EXPECT_EQ(r.melodyChannel, 0);
    EXPECT_EQ(r.multiChannel, 0);
}

TEST(TSongReader, SameKeyNotesCloseFirstInFirstOut) {
    TrackBuilder t;
    t.noteOn(0, 2, 67, 100).noteOn(100, 2, 67, 90).noteOff(100, 2, 67).noteOff(300, 2, 67);
    t.noteOff(0, 2, 50).endOfTrack(); // no such note: only the length moves
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    ASSERT_EQ(song.notes.Count(2), 2);
    EXPECT_EQ(song.notes.Note(0, 2)->duration, 200);
    EXPECT_EQ(song.notes.Note(1, 2)->duration, 400);
    EXPECT_EQ(song.notes.Note(0, 2)->list, 2);
    EXPECT_EQ(song.notes.length, 500);
    EXPECT_EQ(song.meter().shortestNote, 120);
}

TEST(TSongReader, ShortestNoteFollowsShortNotes) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).noteOff(30, 0, 60).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    EXPECT_EQ(song.meter().shortestNote, 30);
}

TEST(TSongReader, OverlongNotesHoldTheLongestDuration) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).noteOff(70000, 0, 60).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    EXPECT_EQ(song.notes.Note(0, 0)->duration, 65535);
    EXPECT_EQ(song.notes.length, 70000);
}

TEST(TSongReader, NotesOnASecondChannelGiveCode89) {
    TrackBuilder a, b;
    a.noteOn(10, 1, 60, 100).noteOff(100, 1, 60).endOfTrack();
    b.noteOn(0, 3, 64, 100).noteOff(100, 3, 64).endOfTrack();
    TSong song;
    const MidiLoadResult r = load(song, file480({a, b}));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.multiChannel, 89);
    // Merged in time: the channel-3 note at tick 0 comes first.
    EXPECT_EQ(r.melodyChannel, 3);
    EXPECT_EQ(song.notes.Count(1), 1);
    EXPECT_EQ(song.notes.Count(3), 1);
}

TEST(TSongReader, StoresMetaAndChannelEventsPacked) {
    TrackBuilder t;
    t.tempo(0, 600000).keySig(0, -3, 1).meta(0, 0x54, {0x61, 2, 3, 4, 5});
    t.program(0, 5, 40).controller(0, 5, 7, 99).event(0, {0xA5, 60, 33}).event(0, {0xD5, 44});
    t.pitchBend(0, 5, 8192).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    ASSERT_EQ(song.metaEvents.Count(), 3);
    EXPECT_EQ(song.metaEvents.At(0)->type, kMetaTempo);
    EXPECT_EQ(song.metaEvents.At(0)->value, 600000u);
    EXPECT_EQ(song.metaEvents.At(1)->value, packEventBytes(0xFD, 1));
    EXPECT_EQ(song.QueryMeta(kMetaKeySignature), 16);
    EXPECT_EQ(song.metaEvents.At(2)->type, kMetaSmpte);
    EXPECT_EQ(song.metaEvents.At(2)->value, packEventBytes(3, 1, 2, 3)); // 0x61: rate 3, hour 1
    EXPECT_EQ(song.metaEvents.At(2)->value2, static_cast<std::int32_t>(packEventBytes(4, 5)));
    ASSERT_EQ(song.channelEvents.Count(), 4); // the pitch bend is not stored
    EXPECT_EQ(song.channelEvents.At(0)->type, 0xC5);
    EXPECT_EQ(song.channelEvents.At(1)->value, packEventBytes(7, 99));
    EXPECT_EQ(song.channelEvents.At(2)->type, 0xA5);
    EXPECT_EQ(song.channelEvents.At(2)->value, packEventBytes(60, 33));
    EXPECT_EQ(song.channelEvents.At(3)->value, packEventBytes(44));
    EXPECT_EQ(song.QueryMeta(0xC5, 0), 40);
    EXPECT_EQ(song.QueryMeta(kMetaTempo, 60), 100);
}

TEST(TSongReader, TimeSignatureAtTheStartReplacesTheDefaultMeter) {
    TrackBuilder t;
    t.timeSig(0, 3, 2).noteOn(0, 0, 60, 100).noteOff(1440, 0, 60).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    ASSERT_EQ(song.meter().entryCount(), 1u);
    EXPECT_EQ(song.meter().entries()[0].numerator, 3);
    EXPECT_EQ(song.meter().entries()[0].ticksPerBar, 1440);
    ASSERT_EQ(song.metaEvents.Count(), 1);
    EXPECT_EQ(song.metaEvents.At(0)->value, packEventBytes(3, 4, 24, 8));
}

TEST(TSongReader, LaterTimeSignatureStartsAfterTheLastStoredBar) {
    // Notes in bars 0-2 of 4/4; a 3/4 signature in the middle of bar 2 takes
    // effect at bar 3.
    TrackBuilder t;
    t.timeSig(0, 4, 2);
    for (int bar = 0; bar < 3; ++bar)
        t.noteOn(bar == 0 ? 0 : 960, 0, 60, 100).noteOff(960, 0, 60);
    t.timeSig(0, 3, 2); // at tick 4800, beat 3 of bar 2
    t.noteOn(960, 0, 62, 100).noteOff(1440, 0, 62).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    const TMeterMap& m = song.meter();
    ASSERT_EQ(m.entryCount(), 2u);
    // The last stored item before the signature was the note-on in bar 2.
    EXPECT_EQ(m.entries()[1].firstBar, 3);
    EXPECT_EQ(m.entries()[1].numerator, 3);
    EXPECT_EQ(song.notes.Note(3, 0)->start, (TBarPos{3, 0, 0, 0}));
    EXPECT_EQ(m.barCount, 3); // the bar of the last stored item
}

TEST(TSongReader, AMeterStartsOnTheBarLineItStandsOn) {
    // A one-beat pickup bar in 1/4, then 4/4 from bar 1.
    TrackBuilder t;
    t.timeSig(0, 1, 2).noteOn(0, 0, 60, 100).noteOff(480, 0, 60);
    t.timeSig(0, 4, 2).noteOn(0, 0, 62, 100).noteOff(1920, 0, 62).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    const TMeterMap& m = song.meter();
    ASSERT_EQ(m.entryCount(), 2u);
    EXPECT_EQ(m.entries()[0].numerator, 1);
    EXPECT_EQ(m.entries()[1].firstBar, 1);
    EXPECT_EQ(song.notes.Note(1, 0)->start, (TBarPos{1, 0, 0, 0}));
}

TEST(TSongReader, AMeterAfterAnEmptyBarStartsWhereItStands) {
    // Notes in bar 0, a silent bar 1, 3/4 from bar 2.
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).noteOff(1920, 0, 60).timeSig(1920, 3, 2);
    t.noteOn(0, 0, 62, 100).noteOff(1440, 0, 62).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    ASSERT_EQ(song.meter().entryCount(), 2u);
    EXPECT_EQ(song.meter().entries()[1].firstBar, 2);
    EXPECT_EQ(song.notes.Note(1, 0)->start, (TBarPos{2, 0, 0, 0}));
}

TEST(TSongReader, AMeterInsideABarStartsWithTheNextBar) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).noteOff(2400, 0, 60).timeSig(0, 6, 3).endOfTrack();
    TSong song;
    ASSERT_EQ(load(song, file480({t})).status, 0);
    ASSERT_EQ(song.meter().entryCount(), 2u);
    EXPECT_EQ(song.meter().entries()[0].numerator, 4);
    EXPECT_EQ(song.meter().entries()[1].firstBar, 2);
    EXPECT_EQ(song.meter().entries()[1].denominator, 8);
}

TEST(TSongReader, UnreadableFilesGive101) {
    TSong song;
    const Bytes junk = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 7, 0, 1, 0, 96};
    const MidiLoadResult r = load(song, junk);
    EXPECT_EQ(r.status, 101);
    EXPECT_TRUE(hasDiagnostic(r, "invalid midi version"));

    const MidiLoadResult missing = loadMidiFile(song, "no/such/file.mid");
    EXPECT_EQ(missing.status, 101);
    EXPECT_FALSE(missing.diagnostics.empty());
}

TEST(TSongReader, DropsNotesWithPitchesOutsideMidi) {
    TrackBuilder t;
    t.noteOn(0, 0, 0x80 | 5, 100).noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
    TSong song;
    const MidiLoadResult r = load(song, file480({t}));
    EXPECT_TRUE(hasDiagnostic(r, "invalid note value used"));
    ASSERT_EQ(song.notes.Count(0), 1);
    EXPECT_EQ(song.notes.Note(0, 0)->pitch, 60);
}

TEST(TSongReader, ReadsEverySample) {
    for (const char* name : {"ode-to-joy", "twinkle-twinkle", "amazing-grace", "greensleeves",
                             "row-row-row-your-boat", "frere-jacques", "auld-lang-syne"}) {
        TSong song;
        const MidiLoadResult r =
            loadMidiFile(song, std::string(KORVANTA_DATA_DIR) + "/samples/" + name + ".mid");
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_TRUE(r.diagnostics.empty()) << name << ": " << r.diagnostics.front();
        EXPECT_GE(r.melodyChannel, 0) << name;
        EXPECT_GT(song.meter().barCount, 7) << name;
        EXPECT_EQ(r.multiChannel, std::string(name) == "frere-jacques" ? 89 : 0) << name;
    }
}

TEST(TSongReader, ThousandsOfTracksMergeInTimeOrder) {
    // Track k holds one note at tick 3000 - k: the merged stream runs the
    // tracks backwards.
    constexpr int kTracks = 3000;
    SmfBuilder b;
    b.header(1, kTracks, 480);
    for (int k = 0; k < kTracks; ++k) {
        TrackBuilder t;
        t.noteOn(static_cast<std::uint32_t>(kTracks - k), 0, 48 + k % 40, 100)
            .noteOff(1, 0, 48 + k % 40);
        t.endOfTrack();
        b.track(t);
    }
    TSong song;
    ASSERT_EQ(load(song, b.bytes()).status, 0);
    ASSERT_EQ(song.notes.Count(0), kTracks);
    for (int i = 1; i < kTracks; ++i) {
        ASSERT_LE(song.notes.StartTick(i - 1, 0), song.notes.StartTick(i, 0));
    }
    EXPECT_EQ(song.notes.Note(0, 0)->pitch, 48 + (kTracks - 1) % 40);
}
