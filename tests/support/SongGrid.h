#pragma once
// Sets up a song's time grid for tests the way the MIDI reader leaves it for
// a file in 4/4 without a time signature.

#include "alg/song/TMeterMap.h"

namespace korvanta::test {

inline void useCommonTime(TMeterMap& meter, int ticksPerQuarter = 480) {
    meter.SetDivision(ticksPerQuarter);
    meter.sixteenthTicks = ticksPerQuarter / 4;
    meter.shortestNote = ticksPerQuarter / 4;
    meter.AddMeter(0, 4, 4);
}

} // namespace korvanta::test
