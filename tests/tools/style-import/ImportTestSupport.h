#pragma once
// Scratch folders, files and small MIDI patterns for the style import tests.

#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvanta::test {

// A fresh folder in the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "kv-style-import")
        : m_path(scratchPath(prefix)) {
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void writeFile(const std::filesystem::path& file, const Bytes& bytes) {
    writeFile(file, std::string(bytes.begin(), bytes.end()));
}

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A one-bar 4/4 pattern at division 480 on channel `channel` (0-based):
// C2 on beat 1, E3 G3 on beat 2, D3 (no chord tone) on beat 3, G2 on beat 4.
inline Bytes simplePatternMidi(int channel = 0) {
    TrackBuilder t;
    t.noteOn(0, channel, 36, 100).noteOff(480, channel, 36, 10);
    t.noteOn(0, channel, 52, 80).noteOn(0, channel, 55, 70);
    t.noteOff(240, channel, 52).noteOff(0, channel, 55);
    t.noteOn(240, channel, 50, 60).noteOff(480, channel, 50);
    t.noteOn(0, channel, 43, 90).noteOff(480, channel, 43);
    t.endOfTrack();
    return singleTrackFile(t, 480);
}

} // namespace korvanta::test
