#include "alg/song/TMeterMap.h"

#include <gtest/gtest.h>
#include <random>

using namespace korvanta;

namespace {

TMeterMap makeMap(std::int32_t ticksPerQuarter) {
    TMeterMap m;
    m.SetDivision(ticksPerQuarter);
    m.sixteenthTicks = m.wholeTicks / 16;
    return m;
}

// The bar walk, step by step, as a reference for the searched version.
TBarPos walkToPos(const TMeterMap& m, std::int64_t ticks) {
    const auto& entries = m.entries();
    std::size_t e = 0;
    std::int64_t sum = 0;
    std::int64_t bar = -1;
    std::int64_t barStart = 0;
    do {
        ++bar;
        if (e + 1 < entries.size() && bar >= entries[e + 1].firstBar) ++e;
        barStart = sum;
        sum += entries[e].ticksPerBar;
    } while (sum <= ticks);
    const std::int64_t offset = ticks - barStart;
    const std::int64_t beat = offset / entries[e].ticksPerBeat;
    return TBarPos{static_cast<std::uint16_t>(bar), static_cast<std::uint8_t>(beat), 0,
                   static_cast<std::uint16_t>(offset - beat * entries[e].ticksPerBeat)};
}

} // namespace

TEST(TMeterMap, EntryFieldsFollowTheMeter) {
    TMeterMap m = makeMap(480);
    m.AddMeter(0, 6, 8);
    m.AddMeter(4, 3, 4);
    m.AddMeter(8, 2, 2);
    EXPECT_EQ(m.MeterAt(0).ticksPerBar, 1440);
    EXPECT_EQ(m.MeterAt(0).ticksPerBeat, 240);
    EXPECT_EQ(m.TicksPerBar(5), 1440);
    EXPECT_EQ(m.MeterAt(5).ticksPerBeat, 480);
    EXPECT_EQ(m.TicksPerBar(100), 1920);
    EXPECT_EQ(m.MeterAt(100).ticksPerBeat, 960);
}

TEST(TMeterMap, MeterAtBeforeTheFirstEntryIsTheFirstEntry) {
    TMeterMap m = makeMap(480);
    m.AddMeter(2, 3, 4);
    m.AddMeter(5, 2, 4);
    EXPECT_EQ(m.MeterAt(0).numerator, 3);
    EXPECT_EQ(m.MeterAt(4).numerator, 3);
    EXPECT_EQ(m.MeterAt(5).numerator, 2);
}

TEST(TMeterMap, ConvertsAcrossAMeterChange) {
    TMeterMap m = makeMap(480);
    m.AddMeter(0, 4, 4);
    m.AddMeter(2, 3, 4);
    EXPECT_EQ(m.ToTicks(TBarPos{3, 1, 0, 0}), 5760);
    EXPECT_EQ(m.ToPos(5760), (TBarPos{3, 1, 0, 0}));
    EXPECT_EQ(m.ToPos(0), (TBarPos{0, 0, 0, 0}));
    EXPECT_EQ(m.ToPos(1920), (TBarPos{1, 0, 0, 0}));
    EXPECT_EQ(m.ToPos(3839), (TBarPos{1, 3, 0, 479}));
    EXPECT_EQ(m.BarStart(2), 3840);
    EXPECT_EQ(m.BarStart(3), 5280);
    EXPECT_EQ(m.Distance(TBarPos{3, 0, 0, 0}, TBarPos{2, 0, 0, 0}, 100), 1340);
}

TEST(TMeterMap, WithoutEntriesPositionsDegenerate) {
    TMeterMap m = makeMap(480);
    EXPECT_EQ(m.ToTicks(TBarPos{3, 1, 0, 5}), 0);
    const TBarPos p = m.ToPos(300);
    EXPECT_EQ(p.bar, 0);
    EXPECT_EQ(p.beat, 300 & 0xFF);
    EXPECT_EQ(p.tick, 300 - (300 & 0xFF));
}

TEST(TMeterMap, SearchedToPosMatchesTheBarWalk) {
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        TMeterMap m = makeMap(96 * (1 + round % 5));
        std::int32_t bar = 0;
        m.AddMeter(0, static_cast<std::uint8_t>(1 + rng() % 12),
                   static_cast<std::uint8_t>(1 << (rng() % 4)));
        for (int k = 0; k < 6; ++k) {
            // Includes entries that start at the same bar or at bar 0 again,
            // where the walk moves by only one entry per bar.
            bar += static_cast<std::int32_t>(rng() % 4);
            m.AddMeter(bar, static_cast<std::uint8_t>(1 + rng() % 12),
                       static_cast<std::uint8_t>(1 << (rng() % 4)));
        }
        for (int t = 0; t < 200; ++t) {
            const std::int64_t ticks = rng() % 60000;
            ASSERT_EQ(m.ToPos(ticks), walkToPos(m, ticks))
                << "round " << round << " ticks " << ticks;
        }
    }
}

TEST(TMeterMap, ToTicksInvertsToPosForOrderedEntries) {
    TMeterMap m = makeMap(120);
    m.AddMeter(0, 4, 4);
    m.AddMeter(3, 5, 8);
    m.AddMeter(7, 7, 4);
    m.AddMeter(9, 12, 8);
    for (std::int32_t ticks = 0; ticks < 20000; ticks += 7) {
        ASSERT_EQ(m.ToTicks(m.ToPos(ticks)), ticks);
    }
}

TEST(TMeterMap, ReplaceLastMeterKeepsTheStartBar) {
    TMeterMap m = makeMap(480);
    m.AddMeter(0, 4, 4);
    m.ReplaceLastMeter(3, 4);
    ASSERT_EQ(m.entryCount(), 1u);
    EXPECT_EQ(m.MeterAt(0).firstBar, 0);
    EXPECT_EQ(m.ToPos(1440), (TBarPos{1, 0, 0, 0}));
}

TEST(TMeterMap, ZeroLengthBarsNeitherDivideByZeroNorLoop) {
    TMeterMap m = makeMap(16); // a 1/128 bar rounds to no ticks at all
    m.AddMeter(0, 1, 128);
    EXPECT_EQ(m.MeterAt(0).ticksPerBar, 0);
    EXPECT_EQ(m.ToPos(5000).bar, 0);
    m.AddMeter(3, 4, 4);
    EXPECT_EQ(m.ToPos(64), (TBarPos{4, 0, 0, 0}));
}

TEST(TMeterMap, QuantUnitRoundsToSixteenthsOrSixtyFourths) {
    TMeterMap m = makeMap(480);
    EXPECT_EQ(m.QuantUnit(480), 16u); // a quarter is 16 64ths
    EXPECT_EQ(m.QuantUnit(120), 4u);  // a sixteenth
    EXPECT_EQ(m.QuantUnit(179), 4u);  // just under a sixteenth and a half
    EXPECT_EQ(m.QuantUnit(180), 8u);  // half a step rounds up
    EXPECT_EQ(m.QuantUnit(60), 2u);   // shorter than a sixteenth: 64ths
    EXPECT_EQ(m.QuantUnit(10), 1u);   // at least one step
    EXPECT_EQ(m.QuantUnit(44), 1u);
    EXPECT_EQ(m.QuantUnit(45), 2u);
    TMeterMap empty;
    EXPECT_EQ(empty.QuantUnit(480), 0u);
}

TEST(TMeterMap, ClearDropsEntriesAndDivision) {
    TMeterMap m = makeMap(480);
    m.AddMeter(0, 3, 4);
    m.resolution = 12;
    m.Clear();
    EXPECT_EQ(m.entryCount(), 0u);
    EXPECT_EQ(m.ticksPerQuarter, 0);
    EXPECT_EQ(m.wholeTicks, 0);
    EXPECT_EQ(m.resolution, 64);
}
