#include "project/OutputSink.h"

#include <random>
#include <system_error>
#include <utility>

namespace korvanta {

namespace {

constexpr int kTemporaryNameAttempts = 16;

} // namespace

AtomicFileSink::AtomicFileSink(std::filesystem::path target) : m_target(std::move(target)) {
    // A fresh name in the target's own folder, so the final rename never crosses
    // file systems; "x" refuses to reuse a name some other save holds.
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !m_file; ++attempt) {
        std::filesystem::path candidate = m_target;
        candidate += ".save-" + std::to_string(random() % 1000000u) + ".tmp";
        m_file = std::fopen(candidate.string().c_str(), "wbx");
        if (m_file) m_temporary = std::move(candidate);
    }
    if (!m_file) {
        fail("cannot create a file in the folder of " + m_target.string());
        return;
    }
    // Keep the permissions of the file being replaced.
    std::error_code ec;
    const auto status = std::filesystem::status(m_target, ec);
    if (!ec && std::filesystem::is_regular_file(status))
        std::filesystem::permissions(m_temporary, status.permissions(), ec);
}

AtomicFileSink::~AtomicFileSink() {
    if (!m_committed) discard();
}

bool AtomicFileSink::write(std::span<const std::byte> bytes) {
    if (m_failed || !m_file) return false;
    if (bytes.empty()) return true;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        fail("write error (the disk may be full)");
        discard();
        return false;
    }
    return true;
}

bool AtomicFileSink::commit() {
    if (m_failed || !m_file) return false;
    const bool flushed = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed) {
        fail("write error (the disk may be full)");
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
        std::error_code ec;
        std::filesystem::remove(m_temporary, ec);
        m_temporary.clear();
    }
}

} // namespace korvanta
