#include "playback/TPlayerThread.h"

#include "playback/Player.h"

#include <new>
#include <system_error>

namespace korvanta {

TPlayerThread::~TPlayerThread() {
    join();
}

bool TPlayerThread::resume() {
    if (m_thread.joinable()) return true;
    try {
        m_thread = std::thread(&TPlayerThread::run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TPlayerThread::join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void TPlayerThread::run() {
    m_player.m_workerId.store(std::this_thread::get_id());
    try {
        m_player.playLoop();
    } catch (const PlayerError& error) {
        m_player.reportError(error.what());
    } catch (const std::bad_alloc&) {
        m_player.reportError("Not enough memory to play the song.");
    } catch (const std::exception& error) {
        m_player.reportError(error.what());
    } catch (...) {
        m_player.reportError({});
    }
    m_player.finishPlay();
}

} // namespace korvanta
