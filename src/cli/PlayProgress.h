#pragma once
// What `korvanta-cli play` shows while it plays: the position as the program
// formats positions (alg/song/PositionText.h, shared with the window) and a
// progress bar. Pure functions; the caller writes the texts.

#include "alg/song/PositionText.h"

#include <cstdint>
#include <string>

namespace korvanta::cli {

// "[#####.....]  50%" for ticks done of total, `width` cells wide.
std::string progressBar(std::int64_t doneTicks, std::int64_t totalTicks, int width = 30);

} // namespace korvanta::cli
