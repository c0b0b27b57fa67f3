#include "alg/harmony/HarmonySettings.h"

#include <array>
#include <bit>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace korvanta {
namespace {

// A record with every field away from its default.
HarmonySettings allChanged() {
    HarmonySettings s;
    s.TSYmode = 0;
    s.ApplyPKey = true;
    s.MinTaktBT = 7;
    s.ModeStT = 0x05;
    s.MinWT = 0.5f;
    s.CSFilter = true;
    s.DSFilter = true;
    s.kRecomChr = 0.6f;
    s.kDSFilter = 0.25f;
    s.MaxNumCustomChords = 2;
    s.AutoKey = false;
    s.DefAccPatch = 33;
    s.AutoSaveOpt = false;
    return s;
}

TEST(HarmonySettingsRecord, DefaultsAreTheBuiltInValues) {
    const HarmonySettings d = kBuiltInHarmonySettings;
    EXPECT_EQ(d.TSYmode, 1);
    EXPECT_FALSE(d.ApplyPKey);
    EXPECT_EQ(d.MinTaktBT, 4);
    EXPECT_EQ(d.ModeStT, 21);
    EXPECT_FLOAT_EQ(d.MinWT, 0.7f);
    EXPECT_FALSE(d.CSFilter);
    EXPECT_FALSE(d.DSFilter);
    EXPECT_FLOAT_EQ(d.kRecomChr, 0.8f);
    EXPECT_FLOAT_EQ(d.kDSFilter, 0.4f);
    EXPECT_EQ(d.MaxNumCustomChords, 9);
    EXPECT_TRUE(d.AutoKey);
    EXPECT_EQ(d.DefAccPatch, 0);
    EXPECT_TRUE(d.AutoSaveOpt);
    EXPECT_EQ(firstInvalidHarmonySetting(d), nullptr);
}

// The in-memory bytes of the defaults are the record a project file holds.
TEST(HarmonySettingsRecord, DefaultRecordBytesMatchTheProjectFileRecord) {
    if constexpr (std::endian::native != std::endian::little) GTEST_SKIP();
    const std::array<unsigned char, 32> expected = {
        0x01, 0x00, 0x04, 0x00, // TSYmode, ApplyPKey, MinTaktBT
        0x15, 0x00, 0x00, 0x00, // ModeStT
        0x33, 0x33, 0x33, 0x3F, // MinWT 0.7f
        0x00, 0x00, 0x00, 0x00, // CSFilter, DSFilter, padding
        0xCD, 0xCC, 0x4C, 0x3F, // kRecomChr 0.8f
        0xCD, 0xCC, 0xCC, 0x3E, // kDSFilter 0.4f
        0x09, 0x00, 0x01, 0x00, // MaxNumCustomChords, AutoKey, DefAccPatch
        0x01, 0x00, 0x00, 0x00, // AutoSaveOpt, padding
    };
    std::array<unsigned char, 32> actual{};
    std::memcpy(actual.data(), &kBuiltInHarmonySettings, actual.size());
    EXPECT_EQ(actual, expected);
}

TEST(HarmonySettingsRecord, FirstInvalidSettingNamesTheFieldOutsideItsLimits) {
    HarmonySettings s;
    s.TSYmode = 2;
    EXPECT_STREQ(firstInvalidHarmonySetting(s), "TSYmode");
    s = {};
    s.MaxNumCustomChords = 10;
    EXPECT_STREQ(firstInvalidHarmonySetting(s), "MaxNumCustomChords");
    s.MaxNumCustomChords = -1;
    EXPECT_STREQ(firstInvalidHarmonySetting(s), "MaxNumCustomChords");
    s = {};
    s.DefAccPatch = 128;
    EXPECT_STREQ(firstInvalidHarmonySetting(s), "DefAccPatch");
    s = {};
    s.kDSFilter = std::numeric_limits<float>::quiet_NaN();
    EXPECT_STREQ(firstInvalidHarmonySetting(s), "kDSFilter");
    EXPECT_EQ(firstInvalidHarmonySetting(allChanged()), nullptr);
}

TEST(HarmonyDrafts, MenuTagsOneToThreeSelectTheDrafts) {
    EXPECT_EQ(harmonyDraftFromTag(1), HarmonyDraft::DraftI);
    EXPECT_EQ(harmonyDraftFromTag(2), HarmonyDraft::DraftII);
    EXPECT_EQ(harmonyDraftFromTag(3), HarmonyDraft::DraftIII);
    EXPECT_EQ(harmonyDraftFromTag(0), std::nullopt); // "Create manually ..."
    EXPECT_EQ(harmonyDraftFromTag(4), std::nullopt);
    EXPECT_EQ(harmonyDraftFromTag(-1), std::nullopt);
}

TEST(HarmonyDrafts, DraftOneRestoresEveryDefault) {
    HarmonySettings s = allChanged();
    applyHarmonyDraft(HarmonyDraft::DraftI, s);
    EXPECT_EQ(s, kBuiltInHarmonySettings);
}

TEST(HarmonyDrafts, DraftTwoSetsFiveValuesAndKeepsTheRest) {
    HarmonySettings s = allChanged();
    s.TSYmode = 1;
    s.CSFilter = false;
    s.DSFilter = false;
    s.MaxNumCustomChords = 9;
    HarmonySettings expected = allChanged();
    expected.TSYmode = 0;
    expected.ApplyPKey = false;
    expected.CSFilter = true;
    expected.DSFilter = true;
    expected.MaxNumCustomChords = 5;

    applyHarmonyDraft(HarmonyDraft::DraftII, s);
    EXPECT_EQ(s, expected);
}

TEST(HarmonyDrafts, DraftThreeIsTheDefaultsWithTheRelativeKey) {
    HarmonySettings s = allChanged();
    s.ApplyPKey = false;
    applyHarmonyDraft(HarmonyDraft::DraftIII, s);
    HarmonySettings expected = kBuiltInHarmonySettings;
    expected.ApplyPKey = true;
    EXPECT_EQ(s, expected);
}

} // namespace
} // namespace korvanta
