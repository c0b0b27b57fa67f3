// Stopping a playing stream from another thread, the way the player does:
// set the stop flag, reset the stream so that its buffers come back and the
// worker wakes, join the worker, close. Repeated at many points of the play
// and racing the worker's start; a deadlock shows as a test that never ends.

#include "FakeMidiClock.h"
#include "StreamTestSupport.h"
#include "playback/MidiStream.h"
#include "playback/RecordingOutput.h"

#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <thread>

namespace korvanta {
namespace {

using test::noteOff;
using test::noteOn;
using test::Us;

// A worker like the player's: two buffers in turn, each refilled with the
// next few notes when it comes back, until stopped or out of notes.
class Worker {
public:
    Worker(MidiStream& stream, std::atomic<bool>& stop, int notesToPlay, int notesPerBuffer = 4)
        : m_stream(stream), m_stop(stop), m_notesLeft(notesToPlay),
          m_notesPerBuffer(notesPerBuffer) {}

    void run() {
        int outstanding = start();
        m_started.count_down();
        while (outstanding > 0 && !m_stop) {
            m_stream.waitForCompletion();
            if (m_stop) return;
            for (MidiBuffer& buffer : m_stream.takeCompleted()) {
                --outstanding;
                ++m_buffersBack;
                if (!fill(buffer)) continue;
                if (!m_stream.queue(std::move(buffer))) return;
                ++outstanding;
            }
            if (!m_stream.isOpen()) return; // closed under us
        }
    }

    int buffersBack() const { return m_buffersBack; }
    // The fake clock only lets time run for a playing stream; before that
    // it would just jump ahead.
    void waitUntilPlaying() { m_started.wait(); }

private:
    // Queues the first two buffers and starts the stream; the number queued.
    int start() {
        int outstanding = 0;
        for (int id = 0; id < 2; ++id) {
            MidiBuffer buffer;
            buffer.id = id;
            if (!fill(buffer) || !m_stream.queue(std::move(buffer))) break;
            ++outstanding;
            if (id == 0 && !m_stream.restart()) return 0;
        }
        return outstanding;
    }

    // Up to m_notesPerBuffer notes, each on for 470 ticks after a 10-tick rest.
    bool fill(MidiBuffer& buffer) {
        buffer.words.assign(8192, 0);
        buffer.usedWords = 0;
        for (int i = 0; i < m_notesPerBuffer && m_notesLeft > 0; ++i, --m_notesLeft) {
            const int key = 48 + m_notesLeft % 24;
            const std::uint32_t events[2][2] = {{10, noteOn(0, key)}, {470, noteOff(0, key)}};
            for (const auto& event : events) {
                buffer.words[buffer.usedWords++] = event[0];
                buffer.words[buffer.usedWords++] = 0;
                buffer.words[buffer.usedWords++] = event[1];
            }
        }
        return buffer.usedWords > 0;
    }

    MidiStream& m_stream;
    std::atomic<bool>& m_stop;
    int m_notesLeft;
    int m_notesPerBuffer;
    int m_buffersBack = 0;
    std::latch m_started{1};
};

void stop(MidiStream& stream, std::atomic<bool>& flag, std::thread& worker) {
    flag = true;
    (void)stream.reset();
    worker.join();
    stream.close();
}

TEST(MidiStreamStop, StoppingMidPlayManyTimesNeverDeadlocksNorLeavesANoteSounding) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    int stoppedDuringANote = 0;
    for (int round = 0; round < 200; ++round) {
        MidiStream stream(output, clock);
        ASSERT_TRUE(stream.open());
        std::atomic<bool> flag{false};
        // Two buffers of 20 s: on the fake clock a worker thread that is
        // slow to refill would let time jump ahead, and the stop would land
        // between buffers instead of on a sounding note.
        Worker worker(stream, flag, 80, 40);
        std::thread thread([&] { worker.run(); });
        worker.waitUntilPlaying();

        // Somewhere within ten seconds of music, on and between note edges.
        clock.runFor(Us(1 + round * 49'999 % 10'000'000));
        if (test::soundingNotes(output.messages()) > 0) ++stoppedDuringANote;
        stop(stream, flag, thread);

        EXPECT_EQ(test::soundingNotes(output.messages()), 0) << "round " << round;
        EXPECT_FALSE(stream.isOpen());
    }
    EXPECT_GT(stoppedDuringANote, 180); // a note sounds 47 of every 48 ticks
}

TEST(MidiStreamStop, StopRacingTheWorkersStartStillEndsIt) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    for (int round = 0; round < 200; ++round) {
        MidiStream stream(output, clock);
        ASSERT_TRUE(stream.open());
        std::atomic<bool> flag{false};
        Worker worker(stream, flag, 40);
        std::thread thread([&] { worker.run(); });
        stop(stream, flag, thread); // no time passes: it lands anywhere in the start
        EXPECT_EQ(test::soundingNotes(output.messages()), 0) << "round " << round;
    }
}

TEST(MidiStreamStop, CloseAloneWakesAWaitingWorkerWhoseNextCallFails) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    MidiStream stream(output, clock);
    ASSERT_TRUE(stream.open());
    std::atomic<bool> flag{false};
    Worker worker(stream, flag, 40);
    std::thread thread([&] { worker.run(); });
    worker.waitUntilPlaying();
    clock.runFor(Us(700'000));
    stream.close(); // without reset and without the flag
    thread.join();
    EXPECT_EQ(test::soundingNotes(output.messages()), 0);
}

TEST(MidiStreamStop, ConcurrentClosesBothReturnAndCloseOnce) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    for (int round = 0; round < 50; ++round) {
        MidiStream stream(output, clock);
        ASSERT_TRUE(stream.open());
        std::atomic<bool> flag{false};
        Worker worker(stream, flag, 8);
        std::thread thread([&] { worker.run(); });
        worker.waitUntilPlaying();
        clock.runFor(Us(round * 20'000));
        std::thread otherCloser([&] { stream.close(); });
        stream.close();
        otherCloser.join();
        thread.join();
        EXPECT_FALSE(stream.isOpen());
        EXPECT_TRUE(stream.open()) << "reopens after concurrent closes, round " << round;
    }
}

TEST(MidiStreamStop, AnUnstoppedWorkerPlaysEveryNoteAndGetsEachBufferBack) {
    FakeMidiClock clock;
    RecordingOutput output(clock);
    MidiStream stream(output, clock);
    ASSERT_TRUE(stream.open());
    std::atomic<bool> flag{false};
    Worker worker(stream, flag, 10);
    std::thread thread([&] { worker.run(); });
    worker.waitUntilPlaying();
    clock.runFor(Us(60'000'000));
    thread.join();
    EXPECT_EQ(test::noteMessages(output.messages()).size(), 20u);
    EXPECT_EQ(worker.buffersBack(), 3); // 10 notes in buffers of four
    EXPECT_EQ(test::soundingNotes(output.messages()), 0);
    stream.close();
}

} // namespace
} // namespace korvanta
