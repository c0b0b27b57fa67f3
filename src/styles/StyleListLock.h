#pragma once
// An exclusive hold on a style library for one read-modify-write of its list.
//
// Every writer of "styles.lst" takes this lock before it reads the list and
// keeps it until the new list is in place, so two imports into one folder
// cannot both read the old list and the second write drop the first one's
// entry. The lock is flock(LOCK_EX) on styles.lst itself, which leaves no
// extra file in the folder. The list is saved by renaming a new file over it,
// and a waiter may have opened the file that was renamed away: so after
// locking, the holder checks that the file it locked is still the one the
// name points at, and otherwise opens the new one and locks again. A library
// without a list is locked by creating an empty list; a list that is still
// empty when the lock ends (the import failed) is removed again, so a failed
// import leaves no list behind.
//
// Readers that only read need no lock: a list is only ever replaced whole.
// One lock belongs to one import on one thread; it is released when
// destroyed. Times in milliseconds.

#include <chrono>
#include <filesystem>
#include <string>

namespace korvanta {

class StyleListLock {
public:
    // How long a lock is waited for before giving up: an import holds it for
    // milliseconds, so a longer wait means another import is stuck.
    static constexpr std::chrono::milliseconds kDefaultWait{10'000};

    // Locks `listFile` (a library's styles.lst), waiting up to `wait` for
    // another holder; isHeld() tells whether that worked, error() why not.
    explicit StyleListLock(std::filesystem::path listFile,
                           std::chrono::milliseconds wait = kDefaultWait);
    ~StyleListLock();
    StyleListLock(const StyleListLock&) = delete;
    StyleListLock& operator=(const StyleListLock&) = delete;

    bool isHeld() const { return m_fd >= 0; }
    // Why the lock could not be taken, with the system's reason.
    const std::string& error() const { return m_error; }

private:
    // One attempt on the file the name points at now: Held, Stale (it was
    // replaced or removed after it was opened: try again), Busy or Failed.
    enum class Attempt { Held, Stale, Busy, Failed };
    Attempt tryOnce();
    void release();

    std::filesystem::path m_listFile;
    int m_fd = -1;
    std::string m_error;
};

} // namespace korvanta
