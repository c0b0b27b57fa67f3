#pragma once
// A timed MIDI stream over an output backend.
//
// The player queues buffers of stream events; a scheduler thread inside the
// stream turns their ticks into time with the current tempo and hands each
// message to the backend at its moment. A stream event is three 32-bit words:
// delta ticks since the previous event, a stream id (ignored), and an event
// word whose top byte is its type: kShortMessageEvent carries a short message
// in the low 24 bits (status | data1 << 8 | data2 << 16), kTempoEvent carries
// microseconds per quarter in the low 24 bits; other types only take time.
//
// Lifecycle: open() (paused, position 0) -> setDivision(), setTempo() ->
// queue() buffers -> restart() plays -> each played buffer comes back through
// takeCompleted() and signals waitForCompletion() -> reset() stops, silences
// the sounding notes and hands back every buffer it holds -> close().
//
// The stream is owned by the player, together with its backend and clock,
// which outlive it. Every public method may be called from any thread; they
// are serialised by one lock, which is also held around every backend call,
// so the backend never sees two threads. Ticks are the division's ticks per
// quarter; tempo is microseconds per quarter.

#include "alg/song/SongEventStream.h"
#include "playback/MidiClock.h"
#include "playback/MidiOutput.h"

#include <array>
#include <bitset>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvanta {

// The layout is the one the song's event stream writes: its constants decide.
inline constexpr std::size_t kWordsPerStreamEvent = kStreamEventWords;
inline constexpr std::uint32_t kShortMessageEvent = 0x00;
inline constexpr std::uint32_t kTempoEvent = kStreamTempoEvent >> 24;

constexpr std::uint32_t eventType(std::uint32_t eventWord) {
    return eventWord >> 24;
}
constexpr std::uint32_t eventParameter(std::uint32_t eventWord) {
    return eventWord & 0xFFFFFF;
}
constexpr std::uint32_t tempoEventWord(std::uint32_t microsecondsPerQuarter) {
    return kTempoEvent << 24 | (microsecondsPerQuarter & 0xFFFFFF);
}

// One block of stream events. Its owner fills `words` (any size) and sets
// `usedWords`, a multiple of three; the stream owns it from queue() until it
// hands it back, marked done, through takeCompleted() or reset().
struct MidiBuffer {
    std::vector<std::uint32_t> words;
    std::size_t usedWords = 0;
    int id = 0;        // the owner's number for the buffer; the stream keeps it
    bool done = false; // set when the stream hands the buffer back
};

class MidiStream {
public:
    static constexpr std::uint32_t kDefaultTicksPerQuarter = 480;
    static constexpr std::uint32_t kDefaultMicrosecondsPerQuarter = 500000;
    static constexpr std::uint32_t kMaxTicksPerQuarter = 0x7FFF;
    static constexpr std::uint32_t kMaxMicrosecondsPerQuarter = 0xFFFFFF;

    MidiStream(MidiOutput& output, MidiClock& clock);
    ~MidiStream(); // closes
    MidiStream(const MidiStream&) = delete;
    MidiStream& operator=(const MidiStream&) = delete;

    // Opens the backend unless it is open already and starts the scheduler.
    // The stream starts paused at position 0 with an empty queue; the
    // division and tempo keep their last values. Fails with the backend's
    // text, or when the stream is open already.
    MidiResult open();
    // Silences the sounding notes, drops the queued buffers, wakes every
    // waiter and joins the scheduler. The backend stays open for the next
    // open(); its owner closes it. Closing a closed stream does nothing.
    void close();
    bool isOpen() const;

    // Takes the buffer when it succeeds; on failure it stays with the caller.
    MidiResult queue(MidiBuffer&& buffer);
    // Starts or resumes playing; playing on does nothing.
    MidiResult restart();
    // Stops playing, sends a note-off for every note the stream left
    // sounding and then sustain off and all notes off on every channel,
    // rewinds the position to 0 and wakes the waiter. Returns every buffer the
    // stream held (finished ones not yet taken, then the queued ones in queue
    // order), all marked done. Division and tempo stay.
    std::vector<MidiBuffer> reset();
    // The buffers played to their end since the last call, in order.
    std::vector<MidiBuffer> takeCompleted();
    // Waits until a buffer has been played to its end, reset() or close() ran,
    // or the stream is not open. Like an auto-reset event: one signal wakes
    // one wait, signals that come while nobody waits are kept (as one), so a
    // signal that comes before the wait is not lost.
    void waitForCompletion();

    // Both act at once, also in the middle of a buffer: ticks already played
    // stay where they are, the remaining ones run at the new rate.
    MidiResult setDivision(std::uint32_t ticksPerQuarter);
    MidiResult setTempo(std::uint32_t microsecondsPerQuarter);
    std::uint32_t division() const;
    std::uint32_t tempo() const;

    // Ticks played since the last open() or reset(); stands still while
    // paused, and runs on past the last event.
    std::uint64_t positionTicks() const;

    // Sends one short message now, between the scheduled ones.
    MidiResult sendShortMessage(std::uint32_t message);

    // A test every queued short message must pass when it falls due (false:
    // it is not sent). Called on the scheduler thread with the stream's lock
    // held, so it must be quick and must not call the stream. Messages sent
    // with sendShortMessage() do not pass through it. Empty: send everything.
    void setScheduledFilter(std::function<bool(std::uint32_t)> keep);

private:
    using Microseconds = MidiClock::Microseconds;

    void run();
    bool usable() const { return m_open && !m_closing; }
    // The ticks and time of the anchor are where the tick grid was last
    // re-based (restart, tempo or division change).
    std::uint64_t ticksAt(Microseconds time) const;
    Microseconds timeOfTick(std::uint64_t ticks) const;
    void rebase(Microseconds time, std::uint64_t ticks);
    MidiResult send(std::uint32_t message);
    void silence();
    void finishFrontBuffer();
    std::vector<MidiBuffer> takeAllBuffers();
    MidiResult takePendingError();

    MidiOutput& m_output;
    MidiClock& m_clock;

    std::mutex m_lifecycleMutex; // serialises open() and close(); never taken by the scheduler
    mutable std::mutex m_mutex;  // everything below, and every backend call
    std::condition_variable m_wakeScheduler;
    std::condition_variable m_completion;
    std::thread m_scheduler;

    std::function<bool(std::uint32_t)> m_scheduledFilter;
    bool m_open = false;
    bool m_closing = false;
    bool m_playing = false;
    bool m_signaled = false;
    std::uint32_t m_ticksPerQuarter = kDefaultTicksPerQuarter;
    std::uint32_t m_microsecondsPerQuarter = kDefaultMicrosecondsPerQuarter;
    Microseconds m_anchorTime{0};
    std::uint64_t m_anchorTicks = 0;
    std::uint64_t m_lastEventTicks = 0; // when the last played event was due
    std::deque<MidiBuffer> m_queue;
    std::size_t m_nextWord = 0; // in the front buffer of the queue
    std::vector<MidiBuffer> m_completed;
    bool m_pendingFailure = false; // a scheduled send failed; the next queue() or restart() says so
    std::string m_pendingError;
    std::array<std::bitset<128>, 16> m_soundingNotes;
};

} // namespace korvanta
