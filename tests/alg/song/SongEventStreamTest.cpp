#include "alg/song/SongEventStream.h"

#include "alg/song/ChannelMixState.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace korvanta;

namespace {

constexpr int kQuarter = 480;
constexpr int kBar = 4 * kQuarter;

// A 4/4 song at 480 ticks per quarter, built note by note and event by event
// (events must be added in time order, as the reader stores them).
struct SongBuilder {
    std::unique_ptr<TSong> song = std::make_unique<TSong>();

    SongBuilder() {
        song->meter().SetDivision(kQuarter);
        song->meter().sixteenthTicks = kQuarter / 4;
        song->meter().AddMeter(0, 4, 4);
        song->notes.CreateList(kChordList, 10);
    }
    SongBuilder& note(int list, int pitch, int startTicks, int duration, int onVelocity = 100,
                      int offVelocity = 64) {
        song->notes.AddNote(static_cast<std::uint8_t>(pitch), list,
                            static_cast<std::uint16_t>(onVelocity << 8 | offVelocity),
                            song->meter().ToPos(startTicks), static_cast<std::uint16_t>(duration),
                            static_cast<std::uint8_t>(pitch % 12));
        song->notes.length = std::max(song->notes.length, startTicks + duration);
        return *this;
    }
    SongBuilder& event(TEventList& list, std::uint8_t type, std::uint32_t value, int ticks) {
        TSongEvent e;
        e.type = type;
        e.value = value;
        e.setPosition(song->meter().ToPos(ticks));
        list.Append(e);
        return *this;
    }
    SongBuilder& tempo(std::uint32_t microseconds, int ticks) {
        return event(song->metaEvents, kMetaTempo, microseconds, ticks);
    }
    SongBuilder& meta(std::uint8_t type, std::uint32_t value, int ticks) {
        return event(song->metaEvents, type, value, ticks);
    }
    SongBuilder& channel(std::uint8_t status, std::uint8_t b0, std::uint8_t b1, int ticks) {
        return event(song->channelEvents, status, packEventBytes(b0, b1), ticks);
    }
};

std::uint32_t msg(int status, int d1, int d2) {
    return static_cast<std::uint32_t>(status | d1 << 8 | d2 << 16);
}

// One stream event with its tick counted from the start of the stream.
struct Timed {
    std::int64_t ticks;
    std::uint32_t word;
    friend bool operator==(const Timed&, const Timed&) = default;
};

std::ostream& operator<<(std::ostream& os, const Timed& t) {
    return os << "{" << t.ticks << ", 0x" << std::hex << t.word << std::dec << "}";
}

std::vector<Timed> decode(const std::vector<std::uint32_t>& words) {
    std::vector<Timed> out;
    std::int64_t clock = 0;
    for (std::size_t i = 0; i + 2 < words.size(); i += 3) {
        EXPECT_EQ(words[i + 1], 0u) << "stream id of event " << i / 3;
        clock += words[i];
        out.push_back({clock, words[i + 2]});
    }
    return out;
}

struct Played {
    std::vector<std::uint32_t> words;
    int fills = 0;
    bool failed = false;
};

// Fills buffers of the given capacity until the stream reports the end.
Played playAll(const TSong& song, StreamCursors& cursors, std::size_t capacity,
               std::uint32_t sources = StreamSource::kAll) {
    GatherState state;
    Played played;
    std::vector<std::uint32_t> buffer(capacity, 0xDEADBEEF);
    for (int guard = 0; guard < 20'000; ++guard) {
        const FillResult r = Fill(song, buffer, sources, cursors, state);
        ++played.fills;
        EXPECT_LE(static_cast<std::size_t>(r.words), capacity);
        played.words.insert(played.words.end(), buffer.begin(), buffer.begin() + r.words);
        if (r.status == FillStatus::Failed) played.failed = true;
        if (r.status != FillStatus::More) return played;
    }
    ADD_FAILURE() << "the stream never ended";
    return played;
}

std::vector<Timed> play(TSong& song, int fromTicks = 0, int toTicks = 0,
                        std::uint32_t sources = StreamSource::kAll) {
    StreamCursors cursors;
    PositionCursors(song, cursors, fromTicks, toTicks);
    return decode(playAll(song, cursors, 8192, sources).words);
}

} // namespace

// --- cursors -----------------------------------------------------------------

TEST(SongEventStream, CursorsOfTheWholeSongSpanEveryItem) {
    SongBuilder b;
    b.tempo(500000, 0).channel(0xC0, 5, 0, 0).note(0, 60, 0, 480).note(0, 62, 480, 480);
    b.note(1, 48, 0, 1910);
    StreamCursors cursors;
    cursors.sources[7].next = 99;
    PositionCursors(*b.song, cursors, 0, 0);
    const int counts[] = {1, 1, 2, 1};
    for (int c = 0; c < StreamCursors::kUsed; ++c) {
        EXPECT_EQ(cursors.sources[c].savedStart, 0);
        EXPECT_EQ(cursors.sources[c].next, 0);
        EXPECT_EQ(cursors.sources[c].end, counts[c]);
    }
    static_assert(StreamCursors::kCapacity == 10);
    EXPECT_EQ(cursors.sources[7].next, 0); // the unused triples are cleared too
    EXPECT_EQ(b.song->playFrom, 0);
    EXPECT_EQ(b.song->playTo, 0);
}

TEST(SongEventStream, CursorsOfARangeStartAtItsFirstNoteAndTheLastEventBeforeIt) {
    SongBuilder b;
    b.tempo(500000, 0).tempo(400000, kBar).tempo(300000, 3 * kBar);
    for (int bar = 0; bar < 4; ++bar)
        b.note(0, 60 + bar, bar * kBar, kBar);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 2 * kBar, 3 * kBar);
    EXPECT_EQ(b.song->playFrom, 2 * kBar);
    EXPECT_EQ(b.song->playTo, 3 * kBar);
    const StreamCursor& melody = cursors.sources[StreamCursors::kMelody];
    EXPECT_EQ(melody.savedStart, 2);
    EXPECT_EQ(melody.next, 2);
    EXPECT_EQ(melody.end, 3);
    const StreamCursor& meta = cursors.sources[StreamCursors::kMeta];
    EXPECT_EQ(meta.next, 1); // the tempo in force at bar 2
    EXPECT_EQ(meta.end, 2);  // the tempo at bar 3 lies outside the range

    cursors.sources[StreamCursors::kMelody].next = 3;
    cursors.rewind();
    EXPECT_EQ(cursors.sources[StreamCursors::kMelody].next, 2);
}

// --- order -------------------------------------------------------------------

TEST(SongEventStream, WritesThreeWordEventsWithDeltaTicksAndStreamIdZero) {
    SongBuilder b;
    b.tempo(600000, 0).note(0, 60, 0, 480, 90, 40).note(1, 48, 240, 100, 70, 30);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    const Played p = playAll(*b.song, cursors, 8192);
    const std::vector<std::uint32_t> expected = {
        0,   0, kStreamTempoEvent | 600000, // tempo
        0,   0, msg(0x90, 60, 90),          // melody on channel 0
        240, 0, msg(0x91, 48, 70),          // chord note on channel 1
        99,  0, msg(0x81, 48, 30),          // off one tick before its end
        140, 0, msg(0x80, 60, 40)};
    EXPECT_EQ(p.words, expected);
    EXPECT_EQ(p.fills, 1);
}

TEST(SongEventStream, ANoteEndsBeforeTheNextOneStartsOnTheSameKey) {
    SongBuilder b;
    b.note(0, 60, 0, 480).note(0, 60, 480, 480);
    const auto out = play(*b.song);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1], (Timed{479, msg(0x80, 60, 64)}));
    EXPECT_EQ(out[2], (Timed{480, msg(0x90, 60, 100)}));
}

TEST(SongEventStream, AtOneTickMetaComesBeforeChannelEventsBeforeNoteOffsBeforeNoteOns) {
    SongBuilder b;
    b.note(0, 60, 0, 481);       // ends (one tick early) at 480
    b.note(0, 64, 480, 480);     // starts at 480
    b.channel(0xC0, 40, 0, 480); // the program meant for it
    b.channel(0xB0, 7, 90, 480); // two channel events of one tick keep their list order
    b.tempo(400000, 480);
    const auto out = play(*b.song);
    ASSERT_EQ(out.size(), 7u);
    EXPECT_EQ(out[1], (Timed{480, kStreamTempoEvent | 400000}));
    EXPECT_EQ(out[2], (Timed{480, msg(0xC0, 40, 0)}));
    EXPECT_EQ(out[3], (Timed{480, msg(0xB0, 7, 90)}));
    EXPECT_EQ(out[4], (Timed{480, msg(0x80, 60, 64)}));
    EXPECT_EQ(out[5], (Timed{480, msg(0x90, 64, 100)}));
}

TEST(SongEventStream, ManyEventsOfOneTickKeepTheirListOrder) {
    SongBuilder b;
    for (int k = 0; k < 50; ++k)
        b.channel(0xB0, 10, static_cast<std::uint8_t>(k), 0);
    const auto out = play(*b.song);
    ASSERT_EQ(out.size(), 50u);
    for (int k = 0; k < 50; ++k)
        EXPECT_EQ(out[k].word, msg(0xB0, 10, k));
}

TEST(SongEventStream, NotesTooShortToEndStillEndAfterTheyStart) {
    SongBuilder b;
    b.note(0, 60, 0, 0).note(0, 62, 480, 1).note(0, 64, 960, 2);
    const auto out = play(*b.song);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[0], (Timed{0, msg(0x90, 60, 100)}));
    EXPECT_EQ(out[1], (Timed{0, msg(0x80, 60, 64)}));
    EXPECT_EQ(out[2], (Timed{480, msg(0x90, 62, 100)}));
    EXPECT_EQ(out[3], (Timed{480, msg(0x80, 62, 64)}));
    EXPECT_EQ(out[5], (Timed{961, msg(0x80, 64, 64)}));
}

TEST(SongEventStream, TheStreamClockStartsAtTheRangeStartNotAtTheFirstNote) {
    SongBuilder b;
    b.note(0, 60, 300, 480);
    EXPECT_EQ(play(*b.song).front().ticks, 300);
    SongBuilder c;
    for (int bar = 0; bar < 4; ++bar)
        c.note(0, 60, bar * kBar + 240, 480);
    // From bar 2 the first note lies 240 ticks into the range.
    EXPECT_EQ(play(*c.song, 2 * kBar).front(), (Timed{240, msg(0x90, 60, 100)}));
}

// --- playing from the middle -------------------------------------------------

TEST(SongEventStream, EventsInForceAtTheStartGoOutFirstOneTickApart) {
    SongBuilder b;
    b.tempo(600000, 0).meta(kMetaTimeSignature, packEventBytes(4, 4, 24, 8), 0);
    b.channel(0xC0, 40, 0, 0).channel(0xB0, 7, 90, 0).channel(0xB0, 7, 70, kBar);
    b.channel(0xB0, 10, 20, 2 * kBar); // at the start itself: an ordinary event
    for (int bar = 0; bar < 4; ++bar)
        b.note(0, 60 + bar, bar * kBar, kBar);
    const auto out = play(*b.song, 2 * kBar);
    ASSERT_GE(out.size(), 6u);
    // The time signature is not sent, so the four kept events take ticks 0-3.
    EXPECT_EQ(out[0], (Timed{0, kStreamTempoEvent | 600000}));
    EXPECT_EQ(out[1], (Timed{1, msg(0xC0, 40, 0)}));
    EXPECT_EQ(out[2], (Timed{2, msg(0xB0, 7, 90)}));
    EXPECT_EQ(out[3], (Timed{3, msg(0xB0, 7, 70)})); // the later volume wins
    EXPECT_EQ(out[4], (Timed{3, msg(0xB0, 10, 20)}));
    EXPECT_EQ(out[5], (Timed{3, msg(0x90, 62, 100)}));
}

TEST(SongEventStream, ASingleEventBeforeTheStartIsSentAtTheStart) {
    SongBuilder b;
    b.tempo(400000, 0);
    for (int bar = 0; bar < 12; ++bar)
        b.note(0, 60, bar * kBar, kBar);
    const auto out = play(*b.song, 10 * kBar);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0], (Timed{0, kStreamTempoEvent | 400000}));
    EXPECT_EQ(out[1], (Timed{0, msg(0x90, 60, 100)})); // no ten bars of silence first
}

TEST(SongEventStream, EarlierControllersNeverOverrideThoseOfTheRange) {
    SongBuilder b;
    for (int k = 0; k < 100; ++k) // a volume sweep before the start
        b.channel(0xB0, 7, static_cast<std::uint8_t>(k), k * 10);
    b.channel(0xB0, 7, 127, kBar + 5);
    b.note(0, 60, 0, kBar).note(0, 62, kBar, kBar);
    const auto out = play(*b.song, kBar);
    std::vector<std::uint32_t> volumes;
    for (const Timed& t : out) {
        if ((t.word & 0xFFFF) == 0x07B0) volumes.push_back(t.word >> 16);
    }
    ASSERT_EQ(volumes.size(), 101u);
    EXPECT_EQ(volumes.back(), 127u);
}

// --- ranges and loops --------------------------------------------------------

TEST(SongEventStream, ARangeCutsNotesAndEventsAtItsEnd) {
    SongBuilder b;
    b.channel(0xB0, 10, 1, kBar).channel(0xB0, 10, 2, 3 * kBar);
    for (int bar = 0; bar < 4; ++bar)
        b.note(0, 60 + bar, bar * kBar + 100, kBar);
    const auto out = play(*b.song, kBar, 3 * kBar);
    const std::vector<Timed> expected = {
        {0, msg(0xB0, 10, 1)},          {100, msg(0x90, 61, 100)},
        {1920 + 99, msg(0x80, 61, 64)}, {1920 + 100, msg(0x90, 62, 100)},
        {3840, msg(0x80, 62, 64)}, // lowered to the range end
    };
    EXPECT_EQ(out, expected);
}

TEST(SongEventStream, ARangeEndingBeforeItStartsPlaysToTheEnd) {
    SongBuilder b;
    for (int bar = 0; bar < 4; ++bar)
        b.note(0, 60 + bar, bar * kBar, kBar);
    const auto out = play(*b.song, 2 * kBar, kBar);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], (Timed{0, msg(0x90, 62, 100)}));
    EXPECT_EQ(out[1], (Timed{kBar - 1, msg(0x80, 62, 64)}));
    EXPECT_EQ(out[3], (Timed{2 * kBar - 1, msg(0x80, 63, 64)}));
}

TEST(SongEventStream, ARewoundLoopPlaysTheSameStreamAgain) {
    SongBuilder b;
    b.tempo(500000, 0).channel(0xC0, 3, 0, 0);
    for (int i = 0; i < 40; ++i)
        b.note(0, 60 + i % 12, i * kQuarter, kQuarter);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 2 * kBar, 6 * kBar);
    const Played first = playAll(*b.song, cursors, 30);
    cursors.rewind();
    const Played second = playAll(*b.song, cursors, 30);
    EXPECT_GT(first.fills, 1);
    EXPECT_EQ(first.words, second.words);
}

TEST(SongEventStream, MovingTheCursorsBetweenFillsStartsAFreshGather) {
    SongBuilder b;
    for (int i = 0; i < 40; ++i)
        b.note(0, 60, i * kQuarter, kQuarter);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    GatherState state;
    std::vector<std::uint32_t> buffer(12);
    EXPECT_EQ(Fill(*b.song, buffer, StreamSource::kAll, cursors, state).status, FillStatus::More);
    PositionCursors(*b.song, cursors, 9 * kBar, 0); // the last bar
    std::vector<std::uint32_t> rest;
    for (;;) {
        const FillResult r = Fill(*b.song, buffer, StreamSource::kAll, cursors, state);
        rest.insert(rest.end(), buffer.begin(), buffer.begin() + r.words);
        if (r.status != FillStatus::More) break;
    }
    const auto out = decode(rest);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out.front(), (Timed{0, msg(0x90, 60, 100)}));
}

// --- buffers -----------------------------------------------------------------

TEST(SongEventStream, An8192WordBufferTakes2730EventsAndTheNextFillGoesOn) {
    SongBuilder b;
    for (int k = 0; k < 3000; ++k)
        b.channel(0xB0, 10, static_cast<std::uint8_t>(k % 128), k);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    GatherState state;
    std::vector<std::uint32_t> buffer(8192);
    const FillResult first = Fill(*b.song, buffer, StreamSource::kAll, cursors, state);
    EXPECT_EQ(first.status, FillStatus::More);
    EXPECT_EQ(first.words, 2730 * 3);
    EXPECT_EQ(Gather(*b.song, GatherMode::Remaining, cursors, StreamSource::kAll, state), 270);
    const FillResult second = Fill(*b.song, buffer, StreamSource::kAll, cursors, state);
    EXPECT_EQ(second.status, FillStatus::Done);
    EXPECT_EQ(second.words, 270 * 3);
    EXPECT_EQ(buffer[0], 1u); // the 2731st event, one tick after the 2730th
    EXPECT_EQ(buffer[2], msg(0xB0, 10, 2730 % 128));
    EXPECT_EQ(state.entryCount(), 0); // released at the end
}

TEST(SongEventStream, ManySmallFillsGiveTheSameStreamAsOneBigFill) {
    SongBuilder b;
    b.tempo(500000, 0).channel(0xC0, 5, 0, 0);
    for (int i = 0; i < 300; ++i) {
        b.note(0, 60 + i % 7, i * 240, 240 + (i % 3) * 10);
        if (i % 4 == 0) b.note(1, 48 + i % 5, i * 240, 900);
        if (i % 10 == 0) b.channel(0xB0, 7, static_cast<std::uint8_t>(i % 128), i * 240);
        if (i % 50 == 0) b.tempo(400000 + i, i * 240);
    }
    b.song->notes.length += 2000;
    for (const auto& [from, to] : {std::pair{0, 0}, std::pair{5 * kBar + 7, 20 * kBar}}) {
        StreamCursors big;
        PositionCursors(*b.song, big, from, to);
        const Played whole = playAll(*b.song, big, 1 << 16);
        ASSERT_EQ(whole.fills, 1);
        for (std::size_t capacity : {3u, 4u, 7u, 9u, 100u}) {
            StreamCursors small;
            PositionCursors(*b.song, small, from, to);
            const Played pieces = playAll(*b.song, small, capacity);
            EXPECT_EQ(pieces.words, whole.words) << "capacity " << capacity << " from " << from;
            EXPECT_GT(pieces.fills, 1);
        }
    }
}

TEST(SongEventStream, ManyEventsBeforeTheFirstNoteDoNotRestartTheStream) {
    SongBuilder b;
    for (int k = 0; k < 5000; ++k)
        b.channel(0xB0, 10, static_cast<std::uint8_t>(k % 128), k / 10);
    b.note(0, 60, kBar, kBar);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    const Played p = playAll(*b.song, cursors, 8192);
    EXPECT_EQ(p.fills, 2);
    EXPECT_EQ(decode(p.words).size(), 5002u);
}

TEST(SongEventStream, ABufferTooSmallForOneEventFailsWithoutWriting) {
    SongBuilder b;
    b.note(0, 60, 0, 480);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    GatherState state;
    std::uint32_t two[2] = {7, 7};
    const FillResult r = Fill(*b.song, two, StreamSource::kAll, cursors, state);
    EXPECT_EQ(r.status, FillStatus::Failed);
    EXPECT_EQ(r.words, 0);
    EXPECT_EQ(two[0], 7u);
}

TEST(SongEventStream, AnEmptySongIsDoneAtOnce) {
    SongBuilder b;
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    const Played p = playAll(*b.song, cursors, 64);
    EXPECT_EQ(p.fills, 1);
    EXPECT_TRUE(p.words.empty());
    EXPECT_FALSE(p.failed);
}

TEST(SongEventStream, CursorsOutsideTheListsAreKeptInside) {
    SongBuilder b;
    b.note(0, 60, 0, 480).tempo(500000, 0);
    StreamCursors cursors;
    cursors.sources[StreamCursors::kMelody] = {-5, 1000, -2};
    cursors.sources[StreamCursors::kMeta] = {0, 50, -3};
    GatherState state;
    EXPECT_EQ(Gather(*b.song, GatherMode::Fresh, cursors, StreamSource::kAll, state), 3);
    EXPECT_EQ(cursors.sources[StreamCursors::kMelody].end, 1);
}

// --- gather ------------------------------------------------------------------

TEST(SongEventStream, GatherModesGatherCountAndRelease) {
    SongBuilder b;
    b.tempo(500000, 0).channel(0xC0, 1, 0, 0).note(0, 60, 0, 480).note(1, 48, 0, 480);
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    GatherState state;
    EXPECT_EQ(Gather(*b.song, GatherMode::Fresh, cursors, StreamSource::kAll, state), 6);
    EXPECT_EQ(Gather(*b.song, GatherMode::Remaining, cursors, StreamSource::kAll, state), 6);
    std::vector<std::uint32_t> buffer(6);
    EXPECT_EQ(Fill(*b.song, buffer, StreamSource::kAll, cursors, state).status, FillStatus::More);
    // Three words left after the first event: the fill stops there.
    EXPECT_EQ(Gather(*b.song, GatherMode::Remaining, cursors, StreamSource::kAll, state), 5);
    EXPECT_EQ(Gather(*b.song, GatherMode::Free, cursors, StreamSource::kAll, state), 0);
    EXPECT_EQ(state.entryCount(), 0);
    const std::uint32_t melodyOnly = StreamSource::kMelody;
    EXPECT_EQ(Gather(*b.song, GatherMode::Fresh, cursors, melodyOnly, state), 2);
}

TEST(SongEventStream, OnlyTheChosenSourcesAreSent) {
    SongBuilder b;
    b.tempo(500000, 0).channel(0xC0, 1, 0, 0).note(0, 60, 0, 480).note(1, 48, 0, 480);
    const auto out = play(*b.song, 0, 0, StreamSource::kAll & ~StreamSource::kChords);
    ASSERT_EQ(out.size(), 4u);
    for (const Timed& t : out)
        EXPECT_NE(t.word & 0x0F, 1u) << t;
}

TEST(SongEventStream, OnlyTempoAndChannelMessagesAreSent) {
    SongBuilder b;
    b.tempo(500000, 0).meta(kMetaKeySignature, packEventBytes(0, 0), 0);
    b.channel(0xD0, 50, 0, 0).channel(0xE0, 0, 64, 0).channel(0xFF, 0, 0, 0);
    b.channel(0x90, 60, 100, 0);
    const auto out = play(*b.song);
    const std::vector<Timed> expected = {
        {0, kStreamTempoEvent | 500000}, {0, msg(0xD0, 50, 0)}, {0, msg(0xE0, 0, 64)}};
    EXPECT_EQ(out, expected);
}

TEST(SongEventStream, DataBytesNeverCarryAStatusBit) {
    SongBuilder b;
    b.note(0, 200, 0, 480, 255, 200).channel(0xB0, 0x87, 0xFF, 0);
    for (const Timed& t : play(*b.song)) {
        EXPECT_EQ(t.word & 0x8000u, 0u) << t;
        EXPECT_EQ(t.word & 0x800000u, 0u) << t;
    }
}

// --- tempo -------------------------------------------------------------------

TEST(SongEventStream, ATempoOfZeroPlaysAtTheDefaultTempo) {
    SongBuilder b;
    b.tempo(0, 0).tempo(0x2000000, kBar).note(0, 60, 0, 2 * kBar);
    const auto out = play(*b.song);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].word, kStreamTempoEvent | 500000);
    EXPECT_EQ(out[2].word, kStreamTempoEvent | kMaxStreamTempo); // no wrap to a tiny tempo
}

// --- mixer -------------------------------------------------------------------

TEST(SongEventStream, AMutedPartLosesItsVolumeChangesButKeepsOtherControllers) {
    SongBuilder b;
    b.channel(0xB0, 7, 90, 0).channel(0xB0, 10, 30, 0).channel(0xB1, 7, 80, 0);
    ChannelMixState mix;
    b.song->channelSettings = &mix;
    EXPECT_EQ(play(*b.song).size(), 3u);
    mix.setMuted(0, true);
    const std::vector<Timed> expected = {{0, msg(0xB0, 10, 30)}, {0, msg(0xB1, 7, 80)}};
    EXPECT_EQ(play(*b.song), expected);
}

TEST(SongEventStream, ASoloLeavesOnlyTheSoloedPartsVolumeChanges) {
    SongBuilder b;
    b.channel(0xB0, 7, 90, 0).channel(0xB1, 7, 80, 0);
    ChannelMixState mix;
    b.song->channelSettings = &mix;
    mix.setSoloed(1, true);
    EXPECT_EQ(play(*b.song), (std::vector<Timed>{{0, msg(0xB1, 7, 80)}}));
    mix.setMuted(1, true); // muted wins over solo
    EXPECT_TRUE(play(*b.song).empty());
}

TEST(SongEventStream, MutingDuringPlayAffectsTheNextFill) {
    SongBuilder b;
    for (int k = 0; k < 10; ++k)
        b.channel(0xB0, 7, static_cast<std::uint8_t>(k), k);
    ChannelMixState mix;
    b.song->channelSettings = &mix;
    StreamCursors cursors;
    PositionCursors(*b.song, cursors, 0, 0);
    GatherState state;
    std::vector<std::uint32_t> buffer(12);
    EXPECT_EQ(Fill(*b.song, buffer, StreamSource::kAll, cursors, state).words, 9);
    mix.setMuted(0, true);
    const FillResult rest = Fill(*b.song, buffer, StreamSource::kAll, cursors, state);
    EXPECT_EQ(rest.status, FillStatus::Done);
    EXPECT_EQ(rest.words, 0);
}

TEST(ChannelMixState, StartsWithTheFreshDefaults) {
    ChannelMixState mix;
    for (int p = 0; p < ChannelMixState::kPartCount; ++p) {
        EXPECT_EQ(mix.program(p), 0);
        EXPECT_EQ(mix.volume(p), 100);
        EXPECT_FALSE(mix.muted(p));
        EXPECT_FALSE(mix.soloed(p));
        EXPECT_FALSE(mix.silenced(p));
    }
    mix.setVolume(3, 200);
    mix.setProgram(3, 40);
    mix.setMuted(3, true);
    mix.setVolume(16, 5); // no such part: ignored
    EXPECT_EQ(mix.volume(3), 127);
    EXPECT_EQ(mix.volume(16), 100);
    EXPECT_EQ(mix.program(-1), 0);
    mix.reset();
    EXPECT_EQ(mix.volume(3), 100);
    EXPECT_EQ(mix.program(3), 0);
    EXPECT_FALSE(mix.muted(3));
}

TEST(ChannelMixState, ASoloSilencesEveryOtherPart) {
    ChannelMixState mix;
    mix.setSoloed(0, true);
    EXPECT_FALSE(mix.silenced(0));
    EXPECT_TRUE(mix.silenced(1));
    mix.setSoloed(1, true);
    EXPECT_FALSE(mix.silenced(1));
    EXPECT_TRUE(mix.silenced(2));
}

// --- preview -----------------------------------------------------------------

TEST(SongEventStream, APreviewHoldsSixWordsPerChordNoteFromTheEarliestNote) {
    SongBuilder b;
    b.note(0, 72, 0, 100); // the melody is not previewed
    b.note(1, 48, 480, 960, 80, 10).note(1, 52, 480, 960, 80, 10).note(1, 55, 960, 2000);
    b.song->notes.length = 2400; // cuts the last note
    std::vector<std::uint32_t> words;
    ASSERT_TRUE(BuildPreview(b.song->notes, words));
    ASSERT_EQ(words.size(), 18u);
    const std::vector<Timed> expected = {
        {0, msg(0x91, 48, 80)},   {0, msg(0x91, 52, 80)},   {480, msg(0x91, 55, 100)},
        {959, msg(0x81, 48, 10)}, {959, msg(0x81, 52, 10)}, {1920, msg(0x81, 55, 64)},
    };
    EXPECT_EQ(decode(words), expected);

    b.song->notes.length = 0; // never set: nothing is cut
    ASSERT_TRUE(BuildPreview(b.song->notes, words));
    EXPECT_EQ(decode(words).back(), (Timed{480 + 1999, msg(0x81, 55, 64)}));
}

TEST(SongEventStream, APreviewOfNoChordNotesIsEmpty) {
    SongBuilder b;
    b.note(0, 72, 0, 100);
    std::vector<std::uint32_t> words{1, 2, 3};
    EXPECT_TRUE(BuildPreview(b.song->notes, words));
    EXPECT_TRUE(words.empty());
}
