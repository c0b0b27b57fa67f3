#pragma once
// A MidiClock for tests: time stands still until the test lets it run.
//
// runUntil(t) allows time up to t and returns once the stream's scheduler
// has done everything due by then and waits again. While allowed, time jumps
// straight to whatever moment the scheduler waits for, so a recording shows
// each message at exactly its due time and nothing ever sleeps. Only one
// scheduler may use a clock; runUntil() needs that scheduler running (an
// open stream), or it waits for ever.

#include "playback/MidiClock.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace korvanta {

class FakeMidiClock final : public MidiClock {
public:
    Microseconds now() const override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   Microseconds deadline) override {
        {
            std::lock_guard guard(m_mutex);
            if (deadline <= m_limit) {
                m_now = std::max(m_now, deadline);
                return;
            }
            m_now = std::max(m_now, m_limit);
            m_wake = &wake;
            m_wakeMutex = lock.mutex();
            m_settledGeneration = m_generation;
        }
        m_settled.notify_all();
        wake.wait(lock);
        std::lock_guard guard(m_mutex);
        m_wake = nullptr;
        m_wakeMutex = nullptr;
    }

    void runUntil(Microseconds limit) {
        std::unique_lock guard(m_mutex);
        m_limit = std::max(m_limit, limit);
        const std::uint64_t generation = ++m_generation;
        std::condition_variable* wake = m_wake;
        std::mutex* wakeMutex = m_wakeMutex;
        guard.unlock();
        if (wake != nullptr) {
            // Taking the waiter's mutex first means it is inside wait() and
            // cannot miss this notification.
            { std::lock_guard waiterLock(*wakeMutex); }
            wake->notify_all();
        }
        guard.lock();
        m_settled.wait(guard, [&] { return m_settledGeneration >= generation; });
    }

    void runFor(Microseconds duration) { runUntil(now() + duration); }
    // Lets the scheduler act on what was just queued, without moving time.
    void settle() { runUntil(now()); }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_settled;
    Microseconds m_now{0};
    Microseconds m_limit{0};
    std::uint64_t m_generation = 0;
    std::uint64_t m_settledGeneration = 0;
    std::condition_variable* m_wake = nullptr;
    std::mutex* m_wakeMutex = nullptr;
};

} // namespace korvanta
