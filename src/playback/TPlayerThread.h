#pragma once
// The player's worker thread: created suspended, resume() runs the player's
// play loop on a new thread, catching every error. An error with a text goes
// to the error handler with the caption "Error" and that text, any other as
// "Unknown Error"; then the player is marked idle and the end-of-playback
// handler runs, both on this thread.
//
// Owned by the player, which joins it on the next start, on stop and when it
// is destroyed. resume() and join() are for the player's owner thread.

#include <thread>

namespace korvanta {

class Player;

class TPlayerThread {
public:
    explicit TPlayerThread(Player& player) : m_player(player) {}
    ~TPlayerThread(); // joins
    TPlayerThread(const TPlayerThread&) = delete;
    TPlayerThread& operator=(const TPlayerThread&) = delete;

    // Starts the thread; false when the system refuses one.
    bool resume();
    void join();
    std::thread::id id() const { return m_thread.get_id(); }

private:
    void run();

    Player& m_player;
    std::thread m_thread;
};

} // namespace korvanta
