#pragma once
// Positions as both programs show and read them: bar and beat counted from 1,
// the tick within the beat from 0, "  1:01:000" at the start of a song. Pure
// functions over the song's meter map.

#include "alg/song/TMeterMap.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvanta {

// "%3d:" of the bar, the beat in at least two digits, the tick in at least
// three. Negative ticks count as 0.
std::string positionText(const TMeterMap& meter, std::int64_t ticks);

// The tick of a position given as bar, beat (both from 1) and tick; a bar
// past the song's last gives songEndTicks. Empty for a bar or beat below 1, a
// negative tick, or a beat or tick outside the bar.
std::optional<std::int64_t> positionTicks(const TMeterMap& meter, int barCount,
                                          std::int64_t songEndTicks, int bar, int beat, int tick);

// The window's lenient reading of a typed position. The part before the first
// ':' (its first 5 characters) is the bar, the next part (2) the beat, the next
// (3) the tick. Spaces read as 0; ',' is read as '.', and a '.' (like any other
// character that is no digit) ends the number of its part. Bar and beat count
// from 1 (0 reads as 1). A bar past barCount gives songEndTicks; a beat past
// the bar's numerator is clamped to the bar's last beat and a tick past the
// beat to the beat's last tick, so the result always lies within the bar.
std::int64_t ticksOfPositionText(std::string_view text, const TMeterMap& meter, int barCount,
                                 std::int64_t songEndTicks);

} // namespace korvanta
