#pragma once
// The song as a timed stream of MIDI messages for playback.
//
// PositionCursors marks the range to play on the song's four event sources;
// Fill then writes the range, in tick order, as stream events into buffers the
// caller owns, one buffer at a time, resuming exactly where the previous fill
// stopped. The events are gathered and ordered once per play (Gather); later
// fills only walk the ordered entries.
//
// Stream event layout: three 32-bit words per event,
//   word 0  delta ticks since the previous event of the stream (the first event
//           of a fresh gather counts from the start of the range)
//   word 1  stream identifier, always 0
//   word 2  the event word:
//             short message: status | data1 << 8 | data2 << 16 (top byte 0)
//             tempo change:  0x01000000 | microseconds per quarter (low 24 bits)
//
// Who calls: the player, on its worker thread, while the song is read-only (the
// commands that change the song do nothing during playback). Nothing here
// touches a device, a clock or the GUI. Units: ticks of the song's division;
// tempo in microseconds per quarter.

#include "alg/song/TSong.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace korvanta {

// Event sources, a bit set.
namespace StreamSource {
constexpr std::uint32_t kMeta = 1;    // the song's meta events (tempo, meters, keys)
constexpr std::uint32_t kChannel = 2; // the song's channel events (programs, controllers)
constexpr std::uint32_t kMelody = 4;  // note list 0
constexpr std::uint32_t kChords = 8;  // note list 1
constexpr std::uint32_t kAll = 15;
} // namespace StreamSource

constexpr int kStreamEventWords = 3;
constexpr std::uint32_t kStreamTempoEvent = 0x01000000;
constexpr std::uint32_t kMaxStreamTempo = 0x00FFFFFF; // microseconds per quarter

// Read cursors of one event source, as item indices.
struct StreamCursor {
    std::int32_t savedStart = 0; // where a restart begins
    std::int32_t end = 0;        // one past the last item to play
    std::int32_t next = 0;       // the next item to play
};

// The cursor block of one play: room for ten sources, the first four used in
// the order meta, channel, melody, chords. Owned by the player; written by
// PositionCursors and Fill on the player's worker thread.
struct StreamCursors {
    static constexpr int kCapacity = 10;
    static constexpr int kMeta = 0;
    static constexpr int kChannel = 1;
    static constexpr int kMelody = 2;
    static constexpr int kChords = 3;
    static constexpr int kUsed = 4;

    std::array<StreamCursor, kCapacity> sources{};

    // Back to the start of the positioned range, for playing it again.
    void rewind() {
        for (StreamCursor& c : sources)
            c.next = c.savedStart;
    }
};

// One gathered item: which source and item, when, and its place among items
// of the same tick.
struct StreamEntry {
    std::int64_t ticks = 0;
    std::int32_t index = 0;  // item index in its source
    std::uint8_t source = 0; // StreamCursors::kMeta ... kChords
    std::uint8_t rank = 0;   // order at equal ticks, see SongEventStream.cpp
    std::uint8_t pad[2] = {0, 0};
};

enum class GatherMode : std::uint8_t {
    Free = 0,      // release the entries
    Remaining = 1, // count the entries not yet written
    Fresh = 2,     // gather and order the range afresh
};

enum class FillStatus : std::uint8_t { Done = 0, More = 1, Failed = 2 };

struct FillResult {
    std::int32_t words = 0; // words written into the buffer
    FillStatus status = FillStatus::Done;
};

class GatherState;

// Sets the song's playFrom/playTo and the cursors of all four sources for the
// range [fromTicks, toTicks); toTicks 0 (or not after fromTicks) means to the end.
void PositionCursors(TSong& song, StreamCursors& cursors, std::int32_t fromTicks,
                     std::int32_t toTicks);

// Fresh: gathers and orders the selected sources between the cursors and
// returns the entry count, or -1 when memory runs out. Remaining: the number
// of entries not yet written. Free: releases them, 0.
std::int32_t Gather(const TSong& song, GatherMode mode, StreamCursors& cursors,
                    std::uint32_t sources, GatherState& state);

// Writes the next stream events into buffer. A fill stops once fewer than four
// words are left, with status More; Done when everything was written (the
// gather state is released); Failed when the events could not be gathered or
// the buffer cannot hold one event (nothing written then).
FillResult Fill(const TSong& song, std::span<std::uint32_t> buffer, std::uint32_t sources,
                StreamCursors& cursors, GatherState& state);

// All notes of the chord list of notes as one stream (6 words per note), for
// previewing a pattern: deltas from the earliest note. False when memory runs
// out (words is empty then).
bool BuildPreview(const TNotes& notes, std::vector<std::uint32_t>& words);

// The gathered, ordered entries of one play and how far Fill has written them.
// Owned by the player next to its cursors; used on the worker thread only.
class GatherState {
public:
    std::int32_t entryCount() const { return static_cast<std::int32_t>(m_entries.size()); }
    std::int32_t remaining() const { return entryCount() - m_emitted; }
    const std::vector<StreamEntry>& entries() const { return m_entries; }

private:
    friend std::int32_t Gather(const TSong&, GatherMode, StreamCursors&, std::uint32_t,
                               GatherState&);
    friend FillResult Fill(const TSong&, std::span<std::uint32_t>, std::uint32_t, StreamCursors&,
                           GatherState&);
    void clear();
    bool continuesFrom(const TSong& song, const StreamCursors& cursors,
                       std::uint32_t sources) const;
    void rememberCursors(const TSong& song, const StreamCursors& cursors);

    std::vector<StreamEntry> m_entries; // in emission order
    std::int32_t m_emitted = 0;         // entries already walked by Fill
    std::int32_t m_written = 0;         // stream events already written
    std::int64_t m_clockTicks = 0;      // tick of the last written event
    std::uint32_t m_sources = 0;
    // The range and cursors as the last gather or fill left them: a fill goes
    // on from there only while nobody moved them; otherwise it gathers afresh.
    std::array<StreamCursor, StreamCursors::kUsed> m_cursorsAtRest{};
    std::int32_t m_playFrom = 0;
    std::int32_t m_playTo = 0;
};

} // namespace korvanta
