#include "alg/song/PositionText.h"

#include <gtest/gtest.h>

using namespace korvanta;

namespace {

// 4/4 for two bars, then 3/4, at 480 ticks per quarter.
TMeterMap meterMap() {
    TMeterMap meter;
    meter.SetDivision(480);
    meter.AddMeter(0, 4, 4);
    meter.AddMeter(2, 3, 4);
    return meter;
}

constexpr int kBars = 10;
constexpr std::int64_t kEnd = 99999;

std::int64_t parse(std::string_view text) {
    static const TMeterMap meter = meterMap();
    return ticksOfPositionText(text, meter, kBars, kEnd);
}

} // namespace

TEST(PositionText, CountsBarsAndBeatsFromOne) {
    const TMeterMap meter = meterMap();
    EXPECT_EQ(positionText(meter, 0), "  1:01:000");
    EXPECT_EQ(positionText(meter, -500), "  1:01:000");
    EXPECT_EQ(positionText(meter, 480 + 7), "  1:02:007");
    EXPECT_EQ(positionText(meter, 480 + 45), "  1:02:045");
    EXPECT_EQ(positionText(meter, 2 * 1920 + 2 * 480 + 123), "  3:03:123");
    EXPECT_EQ(positionText(meter, 2 * 1920 + 1440 * 1000), "1003:01:000");
}

TEST(PositionText, BeatsPastNineKeepTheirDigits) {
    TMeterMap meter;
    meter.SetDivision(480);
    meter.AddMeter(0, 12, 8);
    EXPECT_EQ(positionText(meter, 9 * 240), "  1:10:000");
    EXPECT_EQ(positionText(meter, 11 * 240 + 5), "  1:12:005");
}

TEST(PositionText, StrictPositionsTurnIntoTicksThroughTheMeter) {
    const TMeterMap meter = meterMap();
    EXPECT_EQ(positionTicks(meter, 10, 9999, 1, 1, 0), 0);
    EXPECT_EQ(positionTicks(meter, 10, 9999, 4, 2, 10), 2 * 1920 + 1440 + 480 + 10);
    EXPECT_EQ(positionTicks(meter, 10, 9999, 11, 1, 0), 9999); // past the last bar: the end
    EXPECT_FALSE(positionTicks(meter, 10, 9999, 3, 4, 0));     // a 3/4 bar has no beat 4
    EXPECT_FALSE(positionTicks(meter, 10, 9999, 1, 1, 480));   // a beat has 480 ticks
    EXPECT_FALSE(positionTicks(meter, 10, 9999, 0, 1, 0));
}

TEST(PositionText, PrintedTextsReadBackToTheirTicks) {
    const TMeterMap meter = meterMap();
    for (const std::int64_t t : {0, 7, 480 + 45, 1920 + 3 * 480 + 479, 2 * 1920 + 1440 * 3 + 200})
        EXPECT_EQ(parse(positionText(meter, t)), t) << positionText(meter, t);
}

TEST(PositionText, LenientReadingFillsMissingParts) {
    EXPECT_EQ(parse("3"), 2 * 1920);
    EXPECT_EQ(parse("3:2"), 2 * 1920 + 480);
    EXPECT_EQ(parse("  2: 2: 10"), 1920 + 480 + 10);
    EXPECT_EQ(parse(""), 0);
    EXPECT_EQ(parse("0:0:0"), 0); // bar and beat 0 read as the first
    EXPECT_EQ(parse("::"), 0);
}

TEST(PositionText, LenientReadingClampsIntoTheBar) {
    EXPECT_EQ(parse("3:9"), 2 * 1920 + 2 * 480);   // a 3/4 bar's last beat
    EXPECT_EQ(parse("1:1:999"), 479);              // a beat's last tick
    EXPECT_EQ(parse("11"), kEnd);                  // past the last bar: the end
    EXPECT_EQ(parse("123456789"), parse("12345")); // only five characters of the bar
    EXPECT_EQ(parse("2:1:45,9"), 1920 + 45);       // ',' reads as '.', which ends the number
    EXPECT_EQ(parse("2.5"), 1920);
}

TEST(PositionText, GarbageNeverBreaksTheReading) {
    for (const std::string_view text :
         {"abc", ":::::", "-3:-2:-1", "\xff\xfe", "99999:99:999", "1:x:y", " : : ", "1::5"}) {
        const std::int64_t t = parse(text);
        EXPECT_GE(t, 0) << text;
        EXPECT_LE(t, kEnd) << text;
    }
    EXPECT_EQ(parse("1::5"), 5);
}

TEST(PositionText, AnEmptyMeterMapReadsAsTheStart) {
    const TMeterMap empty;
    EXPECT_EQ(ticksOfPositionText("1:3:200", empty, 4, 1000), 0);
    EXPECT_EQ(ticksOfPositionText("9", empty, 4, 1000), 1000);
}
