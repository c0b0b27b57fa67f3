#include "styles/StyleListLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace korvanta {

namespace {

// How often a held lock is tried again while waiting.
constexpr std::chrono::milliseconds kRetryInterval{5};

// The system's text for an error number (what strerror says, thread-safely).
std::string reason(int error) {
    return std::system_category().message(error);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

StyleListLock::StyleListLock(std::filesystem::path listFile, std::chrono::milliseconds wait)
    : m_listFile(std::move(listFile)) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const Attempt attempt = tryOnce();
        if (attempt == Attempt::Held || attempt == Attempt::Failed) return;
        if (std::chrono::steady_clock::now() >= deadline) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
            m_error = m_listFile.string() + " is locked by another import into this library " +
                      "(waited " + std::to_string(seconds) + " s); try again when it has finished";
            return;
        }
        if (attempt == Attempt::Busy) std::this_thread::sleep_for(kRetryInterval);
    }
}

StyleListLock::~StyleListLock() {
    release();
}

StyleListLock::Attempt StyleListLock::tryOnce() {
    const std::string path = m_listFile.string();
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    // A list the user may not write can still be replaced by rename, and a
    // lock needs no write access.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) return Attempt::Stale; // another import made it first
    }
    if (fd < 0) {
        m_error = "cannot lock the style list " + path + ": " + reason(errno);
        return Attempt::Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return Attempt::Busy;
        m_error = "cannot lock the style list " + path + ": " + reason(error);
        return Attempt::Failed;
    }
    // The lock counts only on the file the name points at now: the one
    // opened may have been replaced (or removed) by the holder before us.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) != 0) {
        m_error = "cannot lock the style list " + path + ": " + reason(errno);
        ::close(fd);
        return Attempt::Failed;
    }
    if (::stat(path.c_str(), &named) != 0 || !sameFile(held, named)) {
        ::close(fd);
        return Attempt::Stale;
    }
    m_fd = fd;
    return Attempt::Held;
}

void StyleListLock::release() {
    if (m_fd < 0) return;
    // Still holding the lock, so no other import can be using this list.
    struct stat held {};
    struct stat named {};
    if (::fstat(m_fd, &held) == 0 && held.st_size == 0 &&
        ::stat(m_listFile.string().c_str(), &named) == 0 && sameFile(held, named))
        ::unlink(m_listFile.string().c_str());
    ::close(m_fd);
    m_fd = -1;
}

} // namespace korvanta
