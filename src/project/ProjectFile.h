#pragma once
// Reading and writing a project file (.kvt): one harmonized song with the
// harmony settings in force, so that it can be reopened without analysing it
// again.
//
// A ProjectFile does one load or one save and is then thrown away. It refers to
// the file name, the song and the settings record it was created with; they
// must outlive it. The chord master creates it on the GUI thread, the thread
// that owns the song and the settings record. Sizes and offsets are bytes;
// positions and lengths inside the song are its own (bar:beat:tick, ticks).
//
// The file: "VKvt", an i32 version (1), then tagged chunks "POpt" (settings),
// "GPar" / "TPar" (meta and channel events), "MNts" (melody), "AChr" (chosen
// chord per bar), "RChr" (candidate chords per bar), "TTel" (meter map and
// keys), "Qsec" (reserved, skipped by its length), and "FEnd". All integers
// little-endian, records field by field with zero padding.
//
// Loading. The song must be freshly constructed. The whole file is checked
// before anything is handed over: on failure the song and the settings are
// left exactly as they were. On success the song holds the events, melody,
// per-bar chords, meter map and keys; its bar count (song and note store) and
// ticks per quarter come from the meter map; a "POpt" record has replaced the
// settings. The melody is not prepared: the caller runs loadProjectMelody()
// next (MelodyChecks.h).
//
// Saving writes everything through an OutputSink; save() by file name writes
// a temporary file beside the target and replaces the target only when every
// byte is on disk, so a failed save leaves the previous project intact.

#include "alg/harmony/HarmonySettings.h"
#include "alg/song/TSong.h"
#include "io/OutputSink.h"
#include "io/Result.h"
#include "io/StatusCodes.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace korvanta {

// The outcome of one load or save: a status for the chord master (0, 101 or
// 102) and, on failure, a sentence for the user saying what was wrong.
using ProjectResult = Outcome;

class ProjectFile {
public:
    static constexpr std::int32_t kVersion = 1;
    // Far beyond any song: a project of 65536 bars with all their chords and a
    // melody of a million notes stays below it.
    static constexpr std::uintmax_t kMaxFileBytes = 64u * 1024u * 1024u;

    ProjectFile(std::filesystem::path fileName, TSong& song, HarmonySettings& settings);

    // Reads the file named at creation.
    ProjectResult load();
    // Reads a project held in memory; the file name only labels messages.
    ProjectResult load(std::span<const std::byte> bytes);

    // Writes to the file named at creation, replacing it only on success and
    // only when the bytes open again as a project whose melody is accepted.
    ProjectResult save();
    // Writes to sink and commits it; 102 as soon as a write or the commit fails.
    ProjectResult save(OutputSink& sink);

    const std::filesystem::path& fileName() const { return m_fileName; }

private:
    // Why bytes written by save() would not open again as a project with an
    // accepted melody; empty when they would.
    std::string reopenProblem(std::span<const std::byte> bytes) const;

    std::filesystem::path m_fileName;
    TSong& m_song;
    HarmonySettings& m_settings;
};

} // namespace korvanta
