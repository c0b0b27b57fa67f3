#pragma once
// What `korvanta-cli play` shows while it plays: the position as the program
// formats positions (bar and beat from 1, "  1:01:000" at the start) and a
// progress bar. Pure functions; the caller writes the texts.

#include "alg/song/TMeterMap.h"

#include <cstdint>
#include <optional>
#include <string>

namespace korvanta::cli {

// "%3d:" of the bar, the beat in two digits, the tick in three.
std::string positionText(const TMeterMap& meter, std::int64_t ticks);

// The tick of a position given as bar, beat (both from 1) and tick; a bar
// past the song's last gives the song's end. Empty for a beat or tick
// outside the bar.
std::optional<std::int32_t> positionTicks(const TMeterMap& meter, int barCount,
                                          std::int32_t songEndTicks, int bar, int beat, int tick);

// "[#####.....]  50%" for ticks done of total, `width` cells wide.
std::string progressBar(std::int64_t doneTicks, std::int64_t totalTicks, int width = 30);

} // namespace korvanta::cli
