#include "styles/StyleLibrary.h"

#include "styles/StyleChoice.h"
#include "styles/StyleTestSupport.h"
#include "support/SongGrid.h"

#include <gtest/gtest.h>

using namespace korvanta;
using namespace korvanta::test;

namespace {

// Writes a library: per group, styles named by their meter codes.
struct LibraryFolder : ScratchFolder {
    void write(const std::vector<std::vector<std::pair<std::string, int>>>& groups) {
        StyleList list;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            for (std::size_t i = 0; i < groups[g].size(); ++i) {
                const auto& [name, meters] = groups[g][i];
                list.groups[g].push_back(
                    {styleId(static_cast<int>(g), static_cast<int>(i)), {}, name});
                const StyleRecord s = makeStyle(meters >> 4 & 0xF, meters & 0xF, {meters},
                                                {patternEvent(1, 3, 0, 0, 0, 400)});
                ASSERT_TRUE(writeStyle(styleFilePath(path, name), s));
            }
        }
        ASSERT_TRUE(writeStyleList(path / kStyleListFileName, list));
    }
};

void songIn(TSong& song, int numerator, int denominator, int melodyNotes, int bars) {
    song.meter().SetDivision(480);
    song.meter().AddMeter(0, static_cast<std::uint8_t>(numerator),
                          static_cast<std::uint8_t>(denominator));
    song.setBarCount(bars);
    for (int i = 0; i < melodyNotes; ++i)
        song.notes.AddNote(60, kMelodyList, 0x5040, TBarPos{0, 0, 0, 0}, 10, 0);
    song.barHarmony.assign(static_cast<std::size_t>(bars), TBarHarmony{});
}

} // namespace

TEST(StyleIds, PackGroupAndIndex) {
    EXPECT_EQ(styleId(0, 5), 5);
    EXPECT_EQ(styleId(1, 0), 1 << 24);
    EXPECT_EQ(styleGroupOf(styleId(2, 7)), 2);
    EXPECT_EQ(styleIndexOf(styleId(2, 7)), 7);
}

TEST(StyleLibrary, LoadsTheDialogsGroupsAndFindsStyles) {
    LibraryFolder folder;
    folder.write({{{"Ballad", 0x44}, {"Waltz", 0x34}}, {{"Strum", 0x44}}, {{"Hidden", 0x44}}});
    StyleLibrary library;
    EXPECT_EQ(library.load(folder.path), StyleLibraryStatus::Loaded);
    EXPECT_EQ(library.size(), 3u); // group 2 is not asked for
    EXPECT_TRUE(library.group(2).empty());
    ASSERT_NE(library.byId(styleId(0, 1)), nullptr);
    EXPECT_EQ(library.byId(styleId(0, 1))->entry.name, "Waltz");
    EXPECT_EQ(library.byId(styleId(0, 1))->style.numerator(), 3);
    EXPECT_EQ(library.byId(styleId(1, 1)), nullptr);
    EXPECT_EQ(library.byId(-1), nullptr);
    std::int32_t id = -1;
    ASSERT_NE(library.byName("strum", &id), nullptr);
    EXPECT_EQ(id, styleId(1, 0));
    EXPECT_EQ(library.byName("Nope"), nullptr);

    EXPECT_EQ(library.load(folder.path, 7), StyleLibraryStatus::Loaded);
    EXPECT_EQ(library.group(2).size(), 1u);
}

TEST(StyleLibrary, AMissingStyleEndsItsGroupOnly) {
    LibraryFolder folder;
    folder.write({{{"A", 0x44}, {"B", 0x44}, {"C", 0x44}}, {{"D", 0x44}}});
    std::filesystem::remove(styleFilePath(folder.path, "B"));
    StyleLibrary library;
    EXPECT_EQ(library.load(folder.path), StyleLibraryStatus::StyleFailed);
    EXPECT_TRUE(library.loaded());
    EXPECT_EQ(library.group(0).size(), 1u);
    EXPECT_EQ(library.group(1).size(), 1u);
    EXPECT_NE(library.error().find("B.stt"), std::string::npos);

    std::filesystem::remove(folder.path / kStyleListFileName);
    EXPECT_EQ(library.load(folder.path), StyleLibraryStatus::NoList);
    EXPECT_FALSE(library.loaded());
    EXPECT_EQ(library.size(), 0u);
    EXPECT_EQ(library.defaultStyle(4, 4, 0), kNoStyle);
}

TEST(StyleLibrary, DefaultStyleCountsFittingStylesAcrossGroups) {
    LibraryFolder folder;
    folder.write({{{"F1", 0x44}, {"W1", 0x34}, {"F2", 0x44}}, {{"F3", 0x44}, {"F4", 0x44}}});
    StyleLibrary library;
    library.load(folder.path);
    // n = -1 wants the fifth fitting style, n = 2 the second.
    EXPECT_EQ(library.defaultStyle(4, 4, 2), styleId(0, 2));
    EXPECT_EQ(library.defaultStyle(4, 4, 1), styleId(1, 0));
    EXPECT_EQ(library.defaultStyle(4, 4, 0), styleId(1, 1));
    EXPECT_EQ(library.defaultStyle(4, 4, -1), styleId(1, 1)); // only four fit: the last
    EXPECT_EQ(library.defaultStyle(3, 4, 2), styleId(0, 1));
    EXPECT_EQ(library.defaultStyle(5, 4, 0), kNoStyle);

    // n from the low bytes of the counts: (300 + 10) -> (44 + 10) mod 4 - 1.
    EXPECT_EQ(defaultStyleN(300, 10), 1);
    EXPECT_EQ(defaultStyleN(4, 4), -1);
    EXPECT_EQ(defaultStyleN(255, 255), 1);
}

TEST(StyleChoice, PrefersTheSongsStyleThenTheLastChosenThenTheDefault) {
    LibraryFolder folder;
    folder.write({{{"F1", 0x44}, {"W1", 0x34}, {"F2", 0x44}}, {{"F3", 0x44}}});
    StyleLibrary library;
    library.load(folder.path);

    // 6 notes + 3 bars: n = 1, so the default is the third fitting style.
    TSong song;
    songIn(song, 4, 4, 6, 3);
    std::int32_t last = kNoStyle;
    ASSERT_TRUE(chooseStyleForMeter(song, library, last));
    EXPECT_EQ(songStyleId(song), styleId(1, 0));
    EXPECT_EQ(last, styleId(1, 0));
    EXPECT_EQ(song.style, &library.byId(styleId(1, 0))->style);
    EXPECT_EQ(song.style2, song.style);

    // The last chosen style is taken when it fits the new song ...
    TSong next;
    songIn(next, 4, 4, 6, 3);
    last = styleId(0, 0);
    ASSERT_TRUE(chooseStyleForMeter(next, library, last));
    EXPECT_EQ(songStyleId(next), styleId(0, 0));
    // ... and passed over when it does not.
    TSong waltz;
    songIn(waltz, 3, 4, 6, 3);
    last = styleId(0, 0);
    ASSERT_TRUE(chooseStyleForMeter(waltz, library, last));
    EXPECT_EQ(songStyleId(waltz), styleId(0, 1));
    EXPECT_EQ(last, styleId(0, 1));

    // A song's own style wins, even over a fitting last choice.
    TSong stored;
    songIn(stored, 4, 4, 6, 3);
    setSongStyleId(stored, styleId(0, 2));
    last = styleId(0, 0);
    ASSERT_TRUE(chooseStyleForMeter(stored, library, last));
    EXPECT_EQ(song.style, &library.byId(styleId(1, 0))->style);
    EXPECT_EQ(stored.style, &library.byId(styleId(0, 2))->style);
}

TEST(StyleChoice, ReportsFailureWhenNothingCanBeApplied) {
    LibraryFolder folder;
    folder.write({{{"F1", 0x44}}});
    StyleLibrary library;
    std::int32_t last = kNoStyle;
    TSong song;
    songIn(song, 4, 4, 6, 3);
    EXPECT_FALSE(chooseStyleForMeter(song, library, last)); // not loaded
    library.load(folder.path);

    TSong fiveFour;
    songIn(fiveFour, 5, 4, 6, 3);
    EXPECT_FALSE(chooseStyleForMeter(fiveFour, library, last));
    EXPECT_EQ(fiveFour.style, nullptr);
    EXPECT_EQ(songStyleId(fiveFour), kNoStyle);

    // A stored identifier the library lacks: no style, and the song keeps its id.
    TSong foreign;
    songIn(foreign, 4, 4, 6, 3);
    setSongStyleId(foreign, styleId(1, 9));
    EXPECT_FALSE(chooseStyleForMeter(foreign, library, last));
    EXPECT_EQ(foreign.style, nullptr);
    EXPECT_EQ(songStyleId(foreign), styleId(1, 9));
}
