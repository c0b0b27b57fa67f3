#include "io/OutputSink.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <limits>
#include <random>
#include <signal.h>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace korvanta {

namespace {

constexpr int kTemporaryNameAttempts = 16;
constexpr std::string_view kTemporaryMark = ".save-";
constexpr std::string_view kTemporaryExtension = ".tmp";

std::string errnoText(int code) {
    return std::error_code(code, std::generic_category()).message();
}

// "write error: <reason>", or without a reason when the system gave none.
std::string writeError(int code) {
    return code == 0 ? std::string("write error") : "write error: " + errnoText(code);
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The process id in the name of one of our temporary files
// ("NAME.save-PID-DIGITS.tmp" with a non-empty NAME), or 0 for any other name.
pid_t temporaryOwner(std::string_view name) {
    if (name.size() <= kTemporaryExtension.size() || !name.ends_with(kTemporaryExtension)) return 0;
    name.remove_suffix(kTemporaryExtension.size());
    const std::size_t dash = name.rfind('-');
    if (dash == std::string_view::npos || !allDigits(name.substr(dash + 1))) return 0;
    name = name.substr(0, dash);
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string_view::npos || mark == 0) return 0;
    const std::string_view pid = name.substr(mark + kTemporaryMark.size());
    // Our names never pad the pid; a leading zero is someone else's file.
    if (!allDigits(pid) || pid.front() == '0') return 0;
    long long value = 0;
    const auto [end, ec] = std::from_chars(pid.data(), pid.data() + pid.size(), value);
    if (ec != std::errc() || end != pid.data() + pid.size() ||
        value > std::numeric_limits<pid_t>::max())
        return 0;
    return static_cast<pid_t>(value);
}

// Removes the temporary files of saves whose process is gone (killed before
// it could clean up). A file whose process still runs may be a save in
// progress and stays; so does anything that is not a plain file of ours. The
// clean-up is a courtesy: whatever goes wrong here leaves the save alone.
void removeLeftovers(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        const pid_t owner = temporaryOwner(path.filename().native());
        if (owner <= 0) continue;
        std::error_code statusError;
        if (!std::filesystem::is_regular_file(it->symlink_status(statusError)) || statusError)
            continue;
        if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
}

// Makes a rename in folder survive a power cut. A failure is not the save's:
// the file is already in place and complete.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

AtomicFileSink::AtomicFileSink(std::filesystem::path target) : m_target(std::move(target)) {
    const std::filesystem::path name = m_target.filename();
    if (m_target.empty()) {
        fail("no file name given");
        return;
    }
    if (name.empty()) {
        fail("no file name in " + m_target.string());
        return;
    }
    std::error_code ec;
    const auto status = std::filesystem::status(m_target, ec);
    if (name == "." || name == ".." || std::filesystem::is_directory(status)) {
        fail(m_target.string() + " is a folder, not a file");
        return;
    }
    const std::filesystem::path folder =
        m_target.has_parent_path() ? m_target.parent_path() : std::filesystem::path(".");
    removeLeftovers(folder);

    // A fresh name in the target's own folder, so the final rename never crosses
    // file systems; "x" refuses to reuse a name some other save holds. The pid
    // in the name tells a later save whether the file's owner is still running.
    std::random_device seed;
    std::mt19937 random(seed());
    const std::string prefix =
        std::string(kTemporaryMark) + std::to_string(static_cast<long long>(::getpid())) + "-";
    int openError = 0;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !m_file; ++attempt) {
        std::filesystem::path candidate = m_target;
        candidate += prefix + std::to_string(random()) + std::string(kTemporaryExtension);
        errno = 0;
        m_file = std::fopen(candidate.c_str(), "wbxe");
        openError = errno;
        if (m_file) {
            m_temporary = std::move(candidate);
        } else if (openError != EEXIST) {
            break;
        }
    }
    if (!m_file) {
        fail("cannot create a file in the folder of " + m_target.string() + ": " +
             errnoText(openError == 0 ? EIO : openError));
        return;
    }
    // Keep the permissions of the file being replaced.
    if (!ec && std::filesystem::is_regular_file(status))
        std::filesystem::permissions(m_temporary, status.permissions(), ec);
}

AtomicFileSink::~AtomicFileSink() {
    if (!m_committed) discard();
}

bool AtomicFileSink::write(std::span<const std::byte> bytes) {
    if (m_failed || !m_file) return false;
    if (bytes.empty()) return true;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        fail(writeError(errno));
        discard();
        return false;
    }
    return true;
}

bool AtomicFileSink::commit() {
    if (m_failed || !m_file) return false;
    // The bytes reach the disk before the name does: after a power cut the
    // target is either the old file or the whole new one, never an empty file.
    errno = 0;
    int problem = 0;
    if (std::fflush(m_file) != 0 || std::ferror(m_file) != 0) problem = errno == 0 ? EIO : errno;
    if (problem == 0) {
        int synced = 0;
        do {
            synced = ::fsync(::fileno(m_file));
        } while (synced != 0 && errno == EINTR);
        if (synced != 0) problem = errno;
    }
    errno = 0;
    const bool closed = std::fclose(m_file) == 0;
    if (!closed && problem == 0) problem = errno == 0 ? EIO : errno;
    m_file = nullptr;
    if (problem != 0) {
        fail(writeError(problem));
        discard();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(m_temporary, m_target, ec);
    if (ec) {
        fail("cannot replace " + m_target.string() + ": " + ec.message());
        discard();
        return false;
    }
    m_committed = true;
    syncFolder(m_target.has_parent_path() ? m_target.parent_path() : std::filesystem::path("."));
    return true;
}

void AtomicFileSink::fail(std::string text) {
    m_failed = true;
    if (m_error.empty()) m_error = std::move(text);
}

void AtomicFileSink::discard() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temporary.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_temporary, ignored);
        m_temporary.clear();
    }
}

} // namespace korvanta
