#include "PlayProgress.h"

#include <gtest/gtest.h>

using namespace korvanta;
using namespace korvanta::cli;

TEST(PlayProgress, TheBarFillsWithTheTicksPlayed) {
    EXPECT_EQ(progressBar(0, 100, 10), "[..........]   0%");
    EXPECT_EQ(progressBar(50, 100, 10), "[#####.....]  50%");
    EXPECT_EQ(progressBar(150, 100, 10), "[##########] 100%");
    EXPECT_EQ(progressBar(-5, 100, 4), "[....]   0%");
    EXPECT_EQ(progressBar(0, 0, 4), "[####] 100%");
}
