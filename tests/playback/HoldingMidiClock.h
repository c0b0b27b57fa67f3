#pragma once
// A MidiClock for player tests: time runs instantly up to a hold point and
// stands there until the test moves the hold.
//
// Whatever moment the stream's scheduler waits for up to the hold, time jumps
// straight to it, so a whole song plays at once with every message recorded at
// exactly its due time, and nothing sleeps. A moment beyond the hold parks the
// scheduler at the hold; waitForHold() returns once it is parked there, so a
// test can act "in the middle of the song". Unlike FakeMidiClock nothing here
// waits for a scheduler to exist: streams may open and close freely.

#include "playback/MidiClock.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace korvanta::test {

class HoldingMidiClock final : public MidiClock {
public:
    static constexpr Microseconds kFarAway{Microseconds::max().count() / 4};

    explicit HoldingMidiClock(Microseconds hold = kFarAway) : m_hold(hold) {}

    Microseconds now() const override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   Microseconds deadline) override {
        {
            std::lock_guard guard(m_mutex);
            if (deadline <= m_hold) {
                m_now = std::max(m_now, deadline);
                return;
            }
            if (deadline != kNever) m_now = std::max(m_now, m_hold);
            m_wake = &wake;
            m_wakeMutex = lock.mutex();
            m_parkedAtHold = deadline != kNever;
        }
        m_parked.notify_all();
        wake.wait(lock);
        std::lock_guard guard(m_mutex);
        m_wake = nullptr;
        m_wakeMutex = nullptr;
        m_parkedAtHold = false;
    }

    // Lets time run on to `hold` (kFarAway: to the end of anything).
    void holdAt(Microseconds hold) {
        std::unique_lock guard(m_mutex);
        m_hold = hold;
        std::condition_variable* wake = m_wake;
        std::mutex* wakeMutex = m_wakeMutex;
        guard.unlock();
        if (wake != nullptr) {
            { std::lock_guard waiterLock(*wakeMutex); }
            wake->notify_all();
        }
    }
    void release() { holdAt(kFarAway); }

    // Waits until a scheduler waits for a moment beyond the hold, with time
    // standing at the hold. Only for a play that is known to reach it.
    void waitForHold() {
        std::unique_lock guard(m_mutex);
        m_parked.wait(guard, [&] { return m_parkedAtHold && m_now >= m_hold; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_parked;
    Microseconds m_now{0};
    Microseconds m_hold;
    bool m_parkedAtHold = false;
    std::condition_variable* m_wake = nullptr;
    std::mutex* m_wakeMutex = nullptr;
};

} // namespace korvanta::test
