#pragma once
// Writes a project file holding just a melody in 4/4, one note per quarter
// (pitch, duration in ticks at 480 a quarter), prepared as a loaded project
// would be: tests reach melodies a MIDI file could not pin down as exactly.

#include "alg/harmony/HarmonySettings.h"
#include "alg/song/MelodyChecks.h"
#include "alg/song/TSong.h"
#include "project/ProjectFile.h"

#include <string>
#include <utility>
#include <vector>

namespace korvanta::test {

// False when the project could not be written.
inline bool writeMelodyProject(const std::string& fileName,
                               const std::vector<std::pair<int, int>>& notes) {
    constexpr int kQuarter = 480;
    TSong song;
    TMeterMap& meter = song.meter();
    meter.wholeTicks = 4 * kQuarter;
    meter.sixteenthTicks = kQuarter / 4;
    meter.shortestNote = kQuarter / 4;
    meter.SetDivision(kQuarter);
    meter.AddMeter(0, 4, 4);
    int ticks = 0;
    for (const auto& [pitch, duration] : notes) {
        song.notes.AddNote(static_cast<std::uint8_t>(pitch), kMelodyList, 0x6464,
                           meter.ToPos(ticks), static_cast<std::uint16_t>(duration),
                           static_cast<std::uint8_t>(pitch % 12));
        ticks += kQuarter;
    }
    PrepareMelody(song, kMelodyList, PrepareMode::ProjectFile);
    HarmonySettings settings = kBuiltInHarmonySettings;
    return ProjectFile(fileName, song, settings).save().ok();
}

// A melody on which the key schemes disagree: harmonizing it asks whether
// the key is C major or A minor.
inline const std::vector<std::pair<int, int>> kAmbiguousMelody{
    {60, 160}, {60, 160}, {65, 0},   {69, 0},   {69, 480}, {68, 480}, {62, 320}, {62, 160},
    {62, 480}, {62, 480}, {60, 320}, {71, 0},   {65, 480}, {71, 0},   {62, 320}, {69, 320},
    {68, 480}, {67, 480}, {60, 0},   {60, 480}, {62, 480}, {69, 160}, {69, 320}, {69, 0},
    {67, 480}, {60, 320}, {68, 0},   {60, 160}, {67, 320}, {67, 0},   {69, 0},   {67, 0}};

} // namespace korvanta::test
