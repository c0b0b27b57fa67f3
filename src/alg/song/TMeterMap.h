#pragma once
// The time grid of a song: the meter changes by bar and the conversions
// between absolute ticks and bar:beat:tick positions. Owned by the note store
// (TNotes); used from the GUI thread and by whoever holds the song.

#include "alg/song/SongRecords.h"

#include <cstdint>
#include <vector>

namespace korvanta {

// Ticks held in 32 bits saturate instead of overflowing: a song read from a
// hostile file may lie at the very end of the range.
constexpr std::int32_t saturateTicks(std::int64_t ticks) {
    constexpr std::int64_t kMin = -2147483647 - 1;
    constexpr std::int64_t kMax = 2147483647;
    return static_cast<std::int32_t>(ticks < kMin ? kMin : ticks > kMax ? kMax : ticks);
}

class TMeterMap {
public:
    // The eight header fields, in the order the project file stores them.
    std::int32_t wholeTicks = 0;     // ticks of a whole note
    std::int32_t shortestNote = 0;   // shortest note met while reading, in ticks
    std::uint32_t quantUnit = 0;     // melody quantisation unit, in 64th notes
    std::int32_t gridTicks = 0;      // finer grid step in ticks (a 32nd or a 16th)
    std::int32_t barCount = 0;       // bars of the song
    std::int32_t resolution = 64;    // the grid divides a whole note into 64ths
    std::int32_t sixteenthTicks = 0; // wholeTicks / 16
    std::int32_t ticksPerQuarter = 0;

    void Clear();
    void SetDivision(std::int32_t ticksPerQuarterNote);
    void AddMeter(std::int32_t firstBar, std::uint8_t numerator, std::uint8_t denominator);
    void AddEntry(const TMeterChange& entry);
    // Replaces the last entry's meter (keeping its firstBar); the reader uses it
    // when a time signature arrives for the bar its default meter starts at.
    void ReplaceLastMeter(std::uint8_t numerator, std::uint8_t denominator);

    const TMeterChange& MeterAt(std::int32_t bar) const;
    std::int32_t TicksPerBar(std::int32_t bar) const { return MeterAt(bar).ticksPerBar; }
    TBarPos ToPos(std::int64_t ticks) const;
    std::int32_t ToTicks(const TBarPos& pos) const;
    std::int32_t BarStart(std::int32_t bar) const;
    std::int32_t Distance(const TBarPos& a, const TBarPos& b, std::int32_t minus) const {
        return saturateTicks(std::int64_t{ToTicks(a)} - minus - ToTicks(b));
    }
    std::uint32_t QuantUnit(std::int32_t durationTicks) const;

    std::size_t entryCount() const { return m_entries.size(); }
    const std::vector<TMeterChange>& entries() const { return m_entries; }

    TMeterChange makeEntry(std::int32_t firstBar, std::uint8_t numerator,
                           std::uint8_t denominator) const;

private:
    // A run of bars that one entry covers when the bars are walked from bar 0:
    // the walk moves to the next entry once its firstBar is reached, but by at
    // most one entry per bar. ToPos searches these runs instead of walking.
    struct Run {
        std::int64_t startBar = 0;
        std::int64_t startTicks = 0;
        std::int32_t ticksPerBar = 0;
        std::size_t entry = 0;
    };
    void rebuildRunsFrom(std::size_t entry);

    std::vector<TMeterChange> m_entries;
    std::vector<Run> m_runs;
};

} // namespace korvanta
