#include "alg/song/SongEventStream.h"

#include "alg/song/ChannelMixState.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>

namespace korvanta {

namespace {

// Order of entries that share a tick. Events in force before the start of the
// range come first of all, then meta events (a tempo change takes effect before
// the notes at its tick), channel events (the program a note needs), note-offs
// (a note ending where the next one starts on the same key) and note-ons. A
// note too short to end after its own start ends right after the note-ons of
// its tick, so its note-off never precedes its note-on.
constexpr std::uint8_t kRankInForce = 0;
constexpr std::uint8_t kRankMeta = 1;
constexpr std::uint8_t kRankChannel = 2;
constexpr std::uint8_t kRankNoteOff = 3;
constexpr std::uint8_t kRankNoteOn = 4;
constexpr std::uint8_t kRankShortNoteOff = 5;

constexpr std::uint8_t kControllerVolume = 7;
constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

bool isSelected(std::uint32_t sources, int cursor) {
    return (sources & (std::uint32_t{1} << cursor)) != 0;
}

const TEventList& eventList(const TSong& song, int cursor) {
    return cursor == StreamCursors::kMeta ? song.metaEvents : song.channelEvents;
}

int noteList(int cursor) {
    return cursor == StreamCursors::kMelody ? kMelodyList : kChordList;
}

std::int32_t itemCount(const TSong& song, int cursor) {
    if (cursor == StreamCursors::kMeta || cursor == StreamCursors::kChannel)
        return eventList(song, cursor).Count();
    return song.notes.Count(noteList(cursor));
}

// Cursors come from the caller; keep them inside the lists they index.
void clampCursor(StreamCursor& c, std::int32_t count) {
    c.end = std::clamp(c.end, 0, count);
    c.savedStart = std::clamp(c.savedStart, 0, c.end);
    c.next = std::clamp(c.next, 0, c.end);
}

bool isNoteOn(const StreamEntry& e) {
    return e.rank == kRankNoteOn;
}

bool isNoteEntry(const StreamEntry& e) {
    return e.source == StreamCursors::kMelody || e.source == StreamCursors::kChords;
}

// The note-on and note-off entries of notes [first, last) of a list. A note
// ends one tick before its start + duration, but no later than endTicks.
void gatherNotes(const TNotes& notes, int list, std::uint8_t source, std::int32_t first,
                 std::int32_t last, std::int64_t endTicks, std::vector<StreamEntry>& out) {
    for (std::int32_t i = first; i < last; ++i) {
        const TNote* note = notes.Note(i, list);
        if (!note) continue;
        const std::int64_t on = notes.StartTick(i, list);
        std::int64_t off = std::min<std::int64_t>(on + note->duration - 1, endTicks);
        std::uint8_t offRank = kRankNoteOff;
        if (off <= on) {
            off = on;
            offRank = kRankShortNoteOff;
        }
        out.push_back(StreamEntry{on, i, source, kRankNoteOn, {0, 0}});
        out.push_back(StreamEntry{off, i, source, offRank, {0, 0}});
    }
}

void sortEntries(std::vector<StreamEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const StreamEntry& a, const StreamEntry& b) {
                         if (a.ticks != b.ticks) return a.ticks < b.ticks;
                         return a.rank < b.rank;
                     });
}

std::uint32_t shortMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    // Data bytes are 7-bit; a stored byte with the top bit set must not reach
    // the output as a status byte.
    return std::uint32_t{status} | (std::uint32_t{data1 & 0x7Fu} << 8) |
           (std::uint32_t{data2 & 0x7Fu} << 16);
}

std::uint32_t noteWord(const TNote& note, int list, bool on) {
    const auto channel = static_cast<std::uint8_t>(list & 0x0F);
    return on ? shortMessage(static_cast<std::uint8_t>(0x90 | channel), note.pitch,
                             note.onVelocity())
              : shortMessage(static_cast<std::uint8_t>(0x80 | channel), note.pitch,
                             note.offVelocity());
}

std::uint32_t tempoWord(std::uint32_t microsecondsPerQuarter) {
    // A tempo of 0 cannot be played (files may carry one): the default instead.
    std::uint32_t tempo = microsecondsPerQuarter == 0 ? static_cast<std::uint32_t>(kDefaultTempo)
                                                      : microsecondsPerQuarter;
    tempo = std::min(tempo, kMaxStreamTempo);
    return kStreamTempoEvent | tempo;
}

// The event word of a stored event, or nothing when it is not sent: meta
// events other than tempo, messages that are not channel messages, and volume
// changes of a part the mixer silences (muted, or not soloed while another
// part is).
std::optional<std::uint32_t> eventWord(const TSongEvent& event, const ChannelMixState* mix) {
    const std::uint8_t type = event.type;
    if (type >= 0xA0 && type <= 0xEF) {
        const std::uint8_t data1 = event.dataByte(0);
        if ((type & 0xF0) == 0xB0 && data1 == kControllerVolume && mix &&
            mix->silenced(type & 0x0F))
            return std::nullopt;
        return shortMessage(type, data1, event.dataByte(1));
    }
    if (type == kMetaTempo) return tempoWord(event.value);
    return std::nullopt;
}

std::int32_t firstEventAtOrAfter(const TEventList& list, std::int32_t ticks) {
    const std::int32_t count = list.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        if (list.TickOf(i) >= ticks) return i;
    }
    return count;
}

std::int32_t clampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

void GatherState::clear() {
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_emitted = 0;
    m_written = 0;
    m_clockTicks = 0;
    m_sources = 0;
    m_cursorsAtRest = {};
    m_playFrom = 0;
    m_playTo = 0;
}

bool GatherState::continuesFrom(const TSong& song, const StreamCursors& cursors,
                                std::uint32_t sources) const {
    if (remaining() <= 0 || sources != m_sources) return false;
    if (song.playFrom != m_playFrom || song.playTo != m_playTo) return false;
    for (int c = 0; c < StreamCursors::kUsed; ++c) {
        const StreamCursor& a = cursors.sources[c];
        const StreamCursor& b = m_cursorsAtRest[c];
        if (a.savedStart != b.savedStart || a.end != b.end || a.next != b.next) return false;
    }
    return true;
}

void GatherState::rememberCursors(const TSong& song, const StreamCursors& cursors) {
    for (int c = 0; c < StreamCursors::kUsed; ++c)
        m_cursorsAtRest[c] = cursors.sources[c];
    m_playFrom = song.playFrom;
    m_playTo = song.playTo;
}

void PositionCursors(TSong& song, StreamCursors& cursors, std::int32_t fromTicks,
                     std::int32_t toTicks) {
    song.playFrom = fromTicks;
    song.playTo = toTicks;
    cursors = StreamCursors{};
    for (int c = 0; c < StreamCursors::kUsed; ++c)
        cursors.sources[c].end = std::max(itemCount(song, c), 0);

    if (fromTicks <= 0 && fromTicks >= toTicks) return; // the whole song

    const TNotes& notes = song.notes;
    const bool hasChords = notes.Count(kChordList) > 0;
    StreamCursor& melody = cursors.sources[StreamCursors::kMelody];
    StreamCursor& chords = cursors.sources[StreamCursors::kChords];
    if (fromTicks > 0) {
        melody.savedStart = melody.next = notes.FindAtTick(fromTicks, kMelodyList);
        if (hasChords) chords.savedStart = chords.next = notes.FindAtTick(fromTicks, kChordList);
        // The event lists start one event early: the last one before the start.
        for (int c : {StreamCursors::kMeta, StreamCursors::kChannel}) {
            std::int32_t i = firstEventAtOrAfter(eventList(song, c), fromTicks);
            if (i > 0) --i;
            cursors.sources[c].savedStart = cursors.sources[c].next = i;
        }
    }

    if (fromTicks >= toTicks) return; // to the end
    melody.end = notes.FindAtTick(toTicks, kMelodyList);
    if (hasChords) chords.end = notes.FindAtTick(toTicks, kChordList);
    if (melody.end == notes.Count(kMelodyList)) return;
    for (int c : {StreamCursors::kMeta, StreamCursors::kChannel}) {
        const TEventList& list = eventList(song, c);
        const std::int32_t count = list.Count();
        std::int32_t i = cursors.sources[c].next + 1;
        while (i < count && list.TickOf(i) < toTicks)
            ++i;
        cursors.sources[c].end = std::min(i, count);
    }
}

std::int32_t Gather(const TSong& song, GatherMode mode, StreamCursors& cursors,
                    std::uint32_t sources, GatherState& state) {
    if (mode == GatherMode::Free) {
        state.clear();
        return 0;
    }
    if (mode == GatherMode::Remaining) return state.remaining();

    state.clear();
    for (int c = 0; c < StreamCursors::kUsed; ++c)
        clampCursor(cursors.sources[c], itemCount(song, c));

    std::int64_t count = 0;
    for (int c = 0; c < StreamCursors::kUsed; ++c) {
        if (!isSelected(sources, c)) continue;
        const StreamCursor& cur = cursors.sources[c];
        const bool events = c == StreamCursors::kMeta || c == StreamCursors::kChannel;
        count += events ? cur.end : 2 * std::int64_t{cur.end - cur.next};
    }
    if (count > std::numeric_limits<std::int32_t>::max()) return -1;

    const std::int64_t fromTicks = song.playFrom;
    const bool fromStart = fromTicks <= 0;
    // A range end not after the start means "to the end of the notes".
    const bool limited = song.playTo > 0 && song.playTo > fromTicks;
    const std::int64_t endTicks = limited ? song.playTo : song.notes.length;

    try {
        state.m_entries.reserve(static_cast<std::size_t>(count));
        for (int c : {StreamCursors::kMeta, StreamCursors::kChannel}) {
            if (!isSelected(sources, c)) continue;
            const TEventList& list = eventList(song, c);
            const std::uint8_t rank = c == StreamCursors::kMeta ? kRankMeta : kRankChannel;
            const auto source = static_cast<std::uint8_t>(c);
            for (std::int32_t i = 0; i < cursors.sources[c].end; ++i) {
                const std::int64_t ticks = list.TickOf(i);
                if (!fromStart && ticks < fromTicks) {
                    // In force at the start: sent first, in list order.
                    state.m_entries.push_back(StreamEntry{fromTicks, i, source, kRankInForce, {}});
                } else if (!limited || ticks < endTicks) {
                    state.m_entries.push_back(StreamEntry{ticks, i, source, rank, {}});
                }
            }
        }
        for (int c : {StreamCursors::kMelody, StreamCursors::kChords}) {
            if (!isSelected(sources, c)) continue;
            const StreamCursor& cur = cursors.sources[c];
            gatherNotes(song.notes, noteList(c), static_cast<std::uint8_t>(c), cur.next, cur.end,
                        endTicks, state.m_entries);
        }
        sortEntries(state.m_entries);
    } catch (const std::bad_alloc&) {
        state.clear();
        return -1;
    }

    // The stream's clock starts at the start of the range, so that stream
    // ticks plus the start tick give the song position.
    std::int64_t clock = std::max<std::int64_t>(fromTicks, 0);
    if (!state.m_entries.empty()) clock = std::min(clock, state.m_entries.front().ticks);
    state.m_clockTicks = clock;
    state.m_sources = sources;
    state.rememberCursors(song, cursors);
    return state.entryCount();
}

FillResult Fill(const TSong& song, std::span<std::uint32_t> buffer, std::uint32_t sources,
                StreamCursors& cursors, GatherState& state) {
    const std::size_t capacity = buffer.size();
    if (capacity < static_cast<std::size_t>(kStreamEventWords)) return {0, FillStatus::Failed};

    if (!state.continuesFrom(song, cursors, sources)) {
        if (Gather(song, GatherMode::Fresh, cursors, sources, state) < 0)
            return {0, FillStatus::Failed};
    }

    const ChannelMixState* mix = song.channelSettings;
    const std::int32_t count = state.entryCount();
    std::size_t written = 0;
    while (state.m_emitted < count) {
        const StreamEntry& entry = state.m_entries[static_cast<std::size_t>(state.m_emitted)];
        ++state.m_emitted;
        StreamCursor& cursor = cursors.sources[entry.source];

        std::optional<std::uint32_t> word;
        if (isNoteEntry(entry)) {
            const int list = noteList(entry.source);
            if (const TNote* note = song.notes.Note(entry.index, list)) {
                word = noteWord(*note, list, isNoteOn(entry));
                if (isNoteOn(entry)) cursor.next = std::min(cursor.next + 1, cursor.end);
            }
        } else if (const TSongEvent* event = eventList(song, entry.source).At(entry.index)) {
            word = eventWord(*event, mix);
            cursor.next = std::clamp(entry.index + 1, cursor.next, cursor.end);
        }

        if (word) {
            // Events in force at the start go out one tick apart; an entry
            // never moves the clock backwards.
            std::int64_t ticks = std::max(entry.ticks, state.m_clockTicks);
            if (entry.rank == kRankInForce && state.m_written > 0) ticks = state.m_clockTicks + 1;
            const std::int64_t delta = ticks - state.m_clockTicks;
            buffer[written] = static_cast<std::uint32_t>(
                std::min<std::int64_t>(delta, std::numeric_limits<std::uint32_t>::max()));
            buffer[written + 1] = 0;
            buffer[written + 2] = *word;
            written += kStreamEventWords;
            state.m_clockTicks = ticks;
            ++state.m_written;
        }
        if (capacity - written <= static_cast<std::size_t>(kStreamEventWords)) break;
    }

    const auto words = clampToInt32(static_cast<std::int64_t>(written));
    if (state.m_emitted >= count) {
        state.clear();
        return {words, FillStatus::Done};
    }
    state.rememberCursors(song, cursors);
    return {words, FillStatus::More};
}

bool BuildPreview(const TNotes& notes, std::vector<std::uint32_t>& words) {
    words.clear();
    const std::int32_t count = notes.Count(kChordList);
    if (count <= 0) return true;
    // A note store whose length was never set does not cut its notes short.
    const std::int64_t endTicks = notes.length > 0 ? notes.length : kNoLimit;
    try {
        std::vector<StreamEntry> entries;
        entries.reserve(2 * static_cast<std::size_t>(count));
        gatherNotes(notes, kChordList, StreamCursors::kChords, 0, count, endTicks, entries);
        sortEntries(entries);
        words.reserve(entries.size() * kStreamEventWords);
        std::int64_t clock = entries.front().ticks;
        for (const StreamEntry& e : entries) {
            const TNote* note = notes.Note(e.index, kChordList);
            words.push_back(static_cast<std::uint32_t>(e.ticks - clock));
            words.push_back(0);
            words.push_back(note ? noteWord(*note, kChordList, isNoteOn(e)) : 0);
            clock = e.ticks;
        }
    } catch (const std::bad_alloc&) {
        words.clear();
        words.shrink_to_fit();
        return false;
    }
    return true;
}

} // namespace korvanta
