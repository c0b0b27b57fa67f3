#pragma once

// Shared helpers of the MIDI reader tests: run a reader over bytes and collect what it reported.

#include "alg/midi/RecordingReader.h"
#include "support/SmfBuilder.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace korvanta::test {

struct ReadResult {
    bool ok = false;
    std::vector<std::string> log;
    std::vector<std::string> diagnostics;
    std::uint64_t clockMs = 0;

    bool hasDiagnostic(const std::string& text) const {
        return std::find(diagnostics.begin(), diagnostics.end(), text) != diagnostics.end();
    }
    // Only the event lines: no header, track start/end or finished.
    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const auto& full : log) {
            // Lines may start with a "T<track>@<ticks> " context.
            const std::string line = full.rfind("T", 0) == 0 && full.find('@') != std::string::npos
                                         ? full.substr(full.find(' ') + 1)
                                         : full;
            if (line.rfind("header", 0) == 0 || line.rfind("trackstart", 0) == 0 ||
                line.rfind("trackend", 0) == 0 || line == "finished")
                continue;
            out.push_back(full);
        }
        return out;
    }
};

enum class Reading { Plain, Merged };

inline ReadResult readBytes(const Bytes& file, Reading reading = Reading::Plain,
                            std::uint32_t options = 0, bool withContext = false) {
    RecordingReader reader(file.data(), file.size());
    reader.setOptions(options);
    reader.withContext = withContext;
    ReadResult result;
    result.ok = reading == Reading::Plain ? reader.readPlain() : reader.readMerged();
    result.log = reader.log;
    result.diagnostics = reader.diagnostics();
    result.clockMs = reader.clockMs();
    return result;
}

inline ReadResult readMerged(const Bytes& file, std::uint32_t options = 0,
                             bool withContext = false) {
    return readBytes(file, Reading::Merged, options, withContext);
}

// A file in the test's temporary folder, removed at the end of the scope.
class TempFile {
public:
    explicit TempFile(const Bytes& bytes, const std::string& name = "midi") {
        m_path = ::testing::TempDir() + "korvanta_" + name + "_" +
                 std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".mid";
        std::FILE* f = std::fopen(m_path.c_str(), "wb");
        if (f) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* path() const { return m_path.c_str(); }

private:
    std::string m_path;
};

} // namespace korvanta::test
