#pragma once
// Destinations for the bytes a file writer produces.
//
// OutputSink is what a writer writes to: every write and the final commit say
// whether they succeeded, so a writer never reports success for bytes the disk
// refused. MemorySink keeps the bytes (tests, fuzzing). AtomicFileSink writes
// a temporary file beside the target and renames it over the target only on
// commit; when it is destroyed uncommitted, or a write or the commit fails,
// the temporary file is removed and the target stays as it was. The new file
// keeps the permissions of the one it replaces, and commit() syncs the bytes
// to disk before the rename, so a power cut leaves the old file or the whole
// new one. A sink is owned by the one save that uses it, on that save's
// thread; sizes in bytes.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace korvanta {

class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual bool write(std::span<const std::byte> bytes) = 0;
    // Makes what was written final; false when that did not succeed.
    virtual bool commit() = 0;
    // Why the last write or commit failed; empty when nothing failed.
    virtual std::string error() const { return {}; }
};

class MemorySink : public OutputSink {
public:
    bool write(std::span<const std::byte> bytes) override {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return true;
    }
    bool commit() override {
        m_committed = true;
        return true;
    }
    const std::vector<std::byte>& bytes() const { return m_bytes; }
    bool committed() const { return m_committed; }

private:
    std::vector<std::byte> m_bytes;
    bool m_committed = false;
};

class AtomicFileSink : public OutputSink {
public:
    // Creates the temporary file TARGET.save-PID-NUMBER.tmp at once; isOpen()
    // tells whether that worked. A target that is a folder or has no file name
    // is refused. Before that, such files in the same folder whose process no
    // longer runs (leftovers of a save that was killed) are removed.
    explicit AtomicFileSink(std::filesystem::path target);
    ~AtomicFileSink() override;
    AtomicFileSink(const AtomicFileSink&) = delete;
    AtomicFileSink& operator=(const AtomicFileSink&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    bool write(std::span<const std::byte> bytes) override;
    bool commit() override;
    std::string error() const override { return m_error; }
    const std::filesystem::path& temporaryPath() const { return m_temporary; }

private:
    void fail(std::string text);
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::FILE* m_file = nullptr;
    std::string m_error;
    bool m_failed = false;
    bool m_committed = false;
};

} // namespace korvanta
