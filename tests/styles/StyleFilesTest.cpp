#include "styles/StyleFiles.h"

#include "styles/StyleLibrary.h"
#include "styles/StyleTestSupport.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

using namespace korvanta;
using namespace korvanta::test;

namespace {

StyleList threeGroups() {
    StyleList list;
    list.groups[0] = {{styleId(0, 0), {}, "Ballad"},
                      {styleId(0, 1), {1, 2, 3, 4, 5, 6, 7, 8}, "Pop"}};
    list.groups[1] = {{styleId(1, 0), {}, "Strum"}};
    list.groups[2] = {{styleId(2, 0), {}, "Other"}};
    return list;
}

std::vector<std::byte> bytesOf(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values)
        out.push_back(static_cast<std::byte>(v));
    return out;
}

std::vector<std::byte> readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::byte> out(chars.size());
    std::memcpy(out.data(), chars.data(), chars.size());
    return out;
}

} // namespace

TEST(StyleListFile, KeepsItsLayoutAndRoundTrips) {
    const StyleList list = threeGroups();
    const auto bytes = encodeStyleList(list);
    ASSERT_EQ(bytes.size(), kListHeaderSize + 4 * kListEntrySize);
    EXPECT_EQ(bytes[0], std::byte{'L'});
    EXPECT_EQ(bytes[2], std::byte{'T'});
    EXPECT_EQ(bytes[4], std::byte{2}); // two entries in group 0
    EXPECT_EQ(bytes[8], std::byte{1});
    // Second entry of group 0: identifier 1, reserved bytes, then the name.
    const std::size_t second = kListHeaderSize + kListEntrySize;
    EXPECT_EQ(bytes[second], std::byte{1});
    EXPECT_EQ(bytes[second + 4], std::byte{1});
    EXPECT_EQ(bytes[second + 12], std::byte{'P'});
    EXPECT_EQ(bytes[second + 15], std::byte{0});

    const auto back = parseStyleList(bytes, 7);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, list);
}

TEST(StyleListFile, MaskSkipsGroupsButStillPassesTheirEntries) {
    const auto bytes = encodeStyleList(threeGroups());
    const auto onlyGuitar = parseStyleList(bytes, 2);
    ASSERT_TRUE(onlyGuitar);
    EXPECT_TRUE(onlyGuitar->groups[0].empty());
    ASSERT_EQ(onlyGuitar->groups[1].size(), 1u);
    EXPECT_EQ(onlyGuitar->groups[1][0].name, "Strum");
    EXPECT_TRUE(onlyGuitar->groups[2].empty());

    const auto dialog = parseStyleList(bytes, kDialogStyleGroups);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->groups[0].size(), 2u);
    EXPECT_TRUE(dialog->groups[2].empty());
}

TEST(StyleListFile, RefusesWhatIsNoListOrLiesAboutItsCounts) {
    const auto noMagic = parseStyleList(bytesOf({'L', 'S', 'X', 0}), 7);
    EXPECT_FALSE(noMagic);
    EXPECT_EQ(noMagic.status, kStatusLoadFailed);
    EXPECT_NE(noMagic.message.find("LST"), std::string::npos);
    EXPECT_FALSE(parseStyleList(bytesOf({'L', 'S', 'T', 0, 1, 0}), 7)); // counts cut
    // A count of four billion entries in a 16-byte file: refused before allocating.
    const auto lying = parseStyleList(
        bytesOf({'L', 'S', 'T', 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}), 7);
    EXPECT_FALSE(lying);
    EXPECT_NE(lying.message.find("announces"), std::string::npos);
    // The counts of skipped groups are checked as well.
    auto bytes = encodeStyleList(threeGroups());
    bytes.pop_back();
    EXPECT_FALSE(parseStyleList(bytes, 1));
    // The fourth magic byte is not checked; an empty list is a list.
    const auto empty =
        parseStyleList(bytesOf({'L', 'S', 'T', 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 7);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->groups[0].empty());
}

TEST(StyleListFile, NamesFillTheirFieldAtMost) {
    StyleList list;
    list.groups[0] = {{0, {}, "ExactlySixteen16"}};
    auto bytes = encodeStyleList(list);
    EXPECT_EQ(parseStyleList(bytes, 1)->groups[0][0].name, "ExactlySixteen1");
    // A field that a foreign writer filled without a terminator keeps all 16.
    bytes[kListHeaderSize + 12 + 15] = std::byte{'6'};
    EXPECT_EQ(parseStyleList(bytes, 1)->groups[0][0].name, "ExactlySixteen16");
}

TEST(StyleFile, KeepsItsLayoutAndRoundTrips) {
    StyleRecord s =
        makeStyle(3, 4, {0x34, 0x68},
                  {patternEvent(1, 3, 0, 0, 0, 400, 100), patternEvent(-5, 4, 1, 2, 120, -3)}, 2);
    s.setProgram(24);
    const auto bytes = encodeStyle(s);
    ASSERT_EQ(bytes.size(), kStyleHeaderSize + 2 * kPatternEventSize);
    EXPECT_EQ(bytes[1], std::byte{2});     // bars
    EXPECT_EQ(bytes[2], std::byte{4});     // base octave
    EXPECT_EQ(bytes[3], std::byte{3});     // beats per bar
    EXPECT_EQ(bytes[4], std::byte{24});    // program
    EXPECT_EQ(bytes[8], std::byte{3});     // numerator
    EXPECT_EQ(bytes[9], std::byte{4});     // denominator
    EXPECT_EQ(bytes[10], std::byte{0xE0}); // 480, little-endian
    EXPECT_EQ(bytes[11], std::byte{0x01});
    EXPECT_EQ(bytes[12], std::byte{0x34});
    EXPECT_EQ(bytes[13], std::byte{0x68});
    EXPECT_EQ(bytes[16], std::byte{2}); // event count
    const std::size_t e1 = kStyleHeaderSize + kPatternEventSize;
    EXPECT_EQ(bytes[e1 + 0], std::byte{0xFB}); // selector -5
    EXPECT_EQ(bytes[e1 + 2], std::byte{4});    // octave
    EXPECT_EQ(bytes[e1 + 4], std::byte{0xFD}); // duration -3
    EXPECT_EQ(bytes[e1 + 5], std::byte{0xFF});
    EXPECT_EQ(bytes[e1 + 6], std::byte{1});    // bar
    EXPECT_EQ(bytes[e1 + 8], std::byte{2});    // beat
    EXPECT_EQ(bytes[e1 + 10], std::byte{120}); // tick
    EXPECT_EQ(bytes[e1 + 13], std::byte{90});  // on velocity, high byte

    const StyleLoad back = parseStyle(bytes);
    ASSERT_TRUE(back.ok()) << back.message;
    EXPECT_EQ(back.value, s);
}

TEST(StyleFile, AShortOrUnusableFileFailsButKeepsWhatWasRead) {
    const StyleRecord s = makeStyle(
        4, 4, {0x44}, {patternEvent(1, 3, 0, 0, 0, 400), patternEvent(3, 4, 0, 1, 0, 400)});
    auto bytes = encodeStyle(s);

    auto cut = bytes;
    cut.resize(bytes.size() - 1);
    StyleLoad load = parseStyle(cut);
    EXPECT_FALSE(load.ok());
    EXPECT_NE(load.message.find("announces 2 events"), std::string::npos);
    ASSERT_EQ(load.value.events.size(), 1u);
    EXPECT_EQ(load.value.events[0], s.events[0]);

    cut.resize(12);
    load = parseStyle(cut);
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.value.header, s.header);

    // A huge count in a small file is refused without allocating for it.
    auto lying = bytes;
    lying[19] = std::byte{0x7F};
    EXPECT_FALSE(parseStyle(lying).ok());

    // Zero division or meter would divide by zero when rendering or drawing.
    for (std::size_t zeroed : {std::size_t{8}, std::size_t{9}}) {
        auto zero = bytes;
        zero[zeroed] = std::byte{0};
        EXPECT_FALSE(parseStyle(zero).ok()) << "byte " << zeroed;
    }
    auto noDivision = bytes;
    noDivision[10] = noDivision[11] = std::byte{0};
    EXPECT_FALSE(parseStyle(noDivision).ok());
}

TEST(StyleFile, LoadStaysInsideTheStylesFolder) {
    EXPECT_TRUE(isSafeStyleName("Piano6-8Jig"));
    for (const char* bad : {"", ".", "..", "../outside", "a/b", "a\\b", "c:x", "tab\there"})
        EXPECT_FALSE(isSafeStyleName(bad)) << bad;

    ScratchFolder folder;
    const StyleLoad load = loadStyle(folder.path, {0, {}, "../escape"});
    EXPECT_FALSE(load.ok());
    EXPECT_NE(load.message.find("no file name"), std::string::npos);
}

TEST(StyleFiles, WritesGoThroughATemporaryFile) {
    ScratchFolder folder;
    const auto listPath = folder.path / kStyleListFileName;
    ASSERT_TRUE(writeStyleList(listPath, threeGroups()));
    const auto before = readAll(listPath);

    // A failed write (its folder is gone) leaves nothing behind and says why.
    const Outcome failed =
        writeStyleList(folder.path / "missing" / kStyleListFileName, threeGroups());
    EXPECT_EQ(failed.status, kStatusSaveFailed);
    EXPECT_FALSE(failed.message.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);
    EXPECT_EQ(readAll(listPath), before);

    // Names the list could not hold are refused rather than cut.
    StyleList tooLong;
    tooLong.groups[1] = {{styleId(1, 0), {}, "ExactlySixteen16"}};
    const Outcome refused = writeStyleList(listPath, tooLong);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.message.find("ExactlySixteen16"), std::string::npos);
    tooLong.groups[1][0].name = "../up";
    EXPECT_FALSE(writeStyleList(listPath, tooLong));
    EXPECT_EQ(readAll(listPath), before);

    const StyleRecord s = makeStyle(4, 4, {0x44}, {patternEvent(1, 3, 0, 0, 0, 400)});
    ASSERT_TRUE(writeStyle(styleFilePath(folder.path, "Ballad"), s));
    const StyleLoad load = loadStyle(folder.path, {0, {}, "Ballad"});
    ASSERT_TRUE(load.ok()) << load.message;
    EXPECT_EQ(load.value, s);
    EXPECT_FALSE(loadStyle(folder.path, {0, {}, "Pop"}).ok());
}
