#include "PlayProgress.h"

#include <gtest/gtest.h>

using namespace korvanta;
using namespace korvanta::cli;

namespace {

// 4/4 for two bars, then 3/4, at 480 ticks per quarter.
TMeterMap meterMap() {
    TMeterMap meter;
    meter.SetDivision(480);
    meter.AddMeter(0, 4, 4);
    meter.AddMeter(2, 3, 4);
    return meter;
}

} // namespace

TEST(PlayProgress, PositionTextsCountBarsAndBeatsFromOne) {
    const TMeterMap meter = meterMap();
    EXPECT_EQ(positionText(meter, 0), "  1:01:000");
    EXPECT_EQ(positionText(meter, 480 + 7), "  1:02:007");
    EXPECT_EQ(positionText(meter, 2 * 1920 + 2 * 480 + 45), "  3:03:045");
    EXPECT_EQ(positionText(meter, 2 * 1920 + 1440 * 1000), "1003:01:000");
}

TEST(PlayProgress, PositionsTurnIntoTicksThroughTheMeter) {
    const TMeterMap meter = meterMap();
    EXPECT_EQ(positionTicks(meter, 10, 9999, 1, 1, 0), 0);
    EXPECT_EQ(positionTicks(meter, 10, 9999, 4, 2, 10), 2 * 1920 + 1440 + 480 + 10);
    EXPECT_EQ(positionTicks(meter, 10, 9999, 11, 1, 0), 9999); // past the last bar: the end
    EXPECT_FALSE(positionTicks(meter, 10, 9999, 3, 4, 0));     // a 3/4 bar has no beat 4
    EXPECT_FALSE(positionTicks(meter, 10, 9999, 1, 1, 480));   // a beat has 480 ticks
}

TEST(PlayProgress, TheBarFillsWithTheTicksPlayed) {
    EXPECT_EQ(progressBar(0, 100, 10), "[..........]   0%");
    EXPECT_EQ(progressBar(50, 100, 10), "[#####.....]  50%");
    EXPECT_EQ(progressBar(150, 100, 10), "[##########] 100%");
    EXPECT_EQ(progressBar(-5, 100, 4), "[....]   0%");
    EXPECT_EQ(progressBar(0, 0, 4), "[####] 100%");
}
