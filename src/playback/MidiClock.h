#pragma once
// The time source of a MidiStream's scheduler.
//
// MidiClock gives the time on a monotonic scale in microseconds and lets the
// scheduler wait for a moment on that scale. SteadyMidiClock is the real one;
// tests drive a fake clock instead so that they never sleep. A clock is owned
// by whoever owns the stream and outlives it; now() may be called from any
// thread, waitUntil() only by a stream's scheduler thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace korvanta {

class MidiClock {
public:
    using Microseconds = std::chrono::microseconds;
    // A deadline that never comes: wait until woken.
    static constexpr Microseconds kNever = Microseconds::max();

    virtual ~MidiClock() = default;
    virtual Microseconds now() const = 0;
    // Waits, with `lock` held on entry and again on return, until `deadline`
    // has come or `wake` is notified. May return early; the caller checks
    // again. Whoever changes what the waiter looks at notifies `wake` while
    // or after holding the lock's mutex.
    virtual void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                           Microseconds deadline) = 0;
};

class SteadyMidiClock final : public MidiClock {
public:
    Microseconds now() const override {
        return std::chrono::duration_cast<Microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   Microseconds deadline) override {
        if (deadline == kNever) {
            wake.wait(lock);
            return;
        }
        // Far deadlines are cut to an hour: the caller waits again, and no
        // time_point arithmetic can overflow.
        constexpr Microseconds kLongestWait = std::chrono::hours(1);
        const Microseconds current = now();
        const Microseconds wait =
            deadline - current > kLongestWait ? kLongestWait : deadline - current;
        wake.wait_until(lock, std::chrono::steady_clock::time_point(
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      current + wait)));
    }
};

} // namespace korvanta
