#pragma once
// The harmony settings that steer key analysis, harmonization and
// accompaniment, the built-in defaults and the three harmony drafts.
//
// HarmonySettings is a plain record; its in-memory layout is exactly the
// 32-byte record a project file stores (little-endian, offsets asserted
// below). This module keeps no record of its own: whoever opens a tune owns
// the record it works with and hands it on. The constants and functions here
// may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace korvanta {

struct HarmonySettings {
    std::uint8_t TSYmode = 1;            // harmonization method: 0 Standard, 1 Advanced
    bool ApplyPKey = false;              // replace the detected key by its relative key
    std::int16_t MinTaktBT = 4;          // minimum bars of a key-analysis segment
    std::int32_t ModeStT = 0x15;         // stable-tone degree mask, bit d-1 for degree d
    float MinWT = 0.7f;                  // minimum key weight of an acceptable key
    bool CSFilter = false;               // limit the number of unusual chords
    bool DSFilter = false;               // limit the number of dissonances
    std::uint8_t padding14[2] = {};      // always zero
    float kRecomChr = 0.8f;              // share of the best chord score a main chord needs
    float kDSFilter = 0.4f;              // share of the bar length for the dissonance test
    std::int16_t MaxNumCustomChords = 9; // additional chords per bar, at most
    bool AutoKey = true;                 // recognize the key; off: take the key signature
    std::uint8_t DefAccPatch = 0;        // default accompaniment instrument (list index)
    bool AutoSaveOpt = true;             // the options dialog's "Save as Default" box
    std::uint8_t padding29[3] = {};      // always zero

    bool operator==(const HarmonySettings&) const = default;
};

static_assert(sizeof(bool) == 1, "booleans of the record are single bytes");
static_assert(sizeof(float) == 4, "reals of the record are IEEE singles");
static_assert(sizeof(HarmonySettings) == 32);
static_assert(offsetof(HarmonySettings, TSYmode) == 0);
static_assert(offsetof(HarmonySettings, ApplyPKey) == 1);
static_assert(offsetof(HarmonySettings, MinTaktBT) == 2);
static_assert(offsetof(HarmonySettings, ModeStT) == 4);
static_assert(offsetof(HarmonySettings, MinWT) == 8);
static_assert(offsetof(HarmonySettings, CSFilter) == 12);
static_assert(offsetof(HarmonySettings, DSFilter) == 13);
static_assert(offsetof(HarmonySettings, kRecomChr) == 16);
static_assert(offsetof(HarmonySettings, kDSFilter) == 20);
static_assert(offsetof(HarmonySettings, MaxNumCustomChords) == 24);
static_assert(offsetof(HarmonySettings, AutoKey) == 26);
static_assert(offsetof(HarmonySettings, DefAccPatch) == 27);
static_assert(offsetof(HarmonySettings, AutoSaveOpt) == 28);

// The values a fresh program holds.
inline constexpr HarmonySettings kBuiltInHarmonySettings{};

// Limits of the values the program can work with; stored or loaded values
// outside them are rejected rather than used.
constexpr int kTSYmodeStandard = 0;
constexpr int kTSYmodeAdvanced = 1;
constexpr int kMaxNumCustomChordsLimit = 9; // the options dialog allows no more
constexpr int kDefAccPatchLimit = 127;      // the instrument list has 128 entries

// Name of the first field of settings outside the limits above (or a real that
// is not finite), or nullptr when every field is usable.
const char* firstInvalidHarmonySetting(const HarmonySettings& settings);

// The harmony drafts of the Harmony menu; the values are the menu tags.
enum class HarmonyDraft { DraftI = 1, DraftII = 2, DraftIII = 3 };

// The draft a menu tag selects; tag 0 ("Create manually ...") and unknown tags
// select none.
std::optional<HarmonyDraft> harmonyDraftFromTag(int tag);

// Sets settings as the draft prescribes; the changes persist until the next
// change.
void applyHarmonyDraft(HarmonyDraft draft, HarmonySettings& settings);

} // namespace korvanta
