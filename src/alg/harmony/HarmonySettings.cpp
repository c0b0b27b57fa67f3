#include "alg/harmony/HarmonySettings.h"

#include <cmath>

namespace korvanta {

const char* firstInvalidHarmonySetting(const HarmonySettings& settings) {
    if (settings.TSYmode != kTSYmodeStandard && settings.TSYmode != kTSYmodeAdvanced)
        return "TSYmode";
    if (!std::isfinite(settings.MinWT)) return "MinWT";
    if (!std::isfinite(settings.kRecomChr)) return "kRecomChr";
    if (!std::isfinite(settings.kDSFilter)) return "kDSFilter";
    if (settings.MaxNumCustomChords < 0 || settings.MaxNumCustomChords > kMaxNumCustomChordsLimit)
        return "MaxNumCustomChords";
    if (settings.DefAccPatch > kDefAccPatchLimit) return "DefAccPatch";
    return nullptr;
}

std::optional<HarmonyDraft> harmonyDraftFromTag(int tag) {
    switch (tag) {
    case 1:
        return HarmonyDraft::DraftI;
    case 2:
        return HarmonyDraft::DraftII;
    case 3:
        return HarmonyDraft::DraftIII;
    default:
        return std::nullopt;
    }
}

void applyHarmonyDraft(HarmonyDraft draft, HarmonySettings& settings) {
    switch (draft) {
    case HarmonyDraft::DraftI:
        settings = kBuiltInHarmonySettings;
        break;
    case HarmonyDraft::DraftII:
        settings.TSYmode = kTSYmodeStandard;
        settings.ApplyPKey = false;
        settings.CSFilter = true;
        settings.DSFilter = true;
        settings.MaxNumCustomChords = 5;
        break;
    case HarmonyDraft::DraftIII:
        settings = kBuiltInHarmonySettings;
        settings.ApplyPKey = true;
        break;
    }
}

} // namespace korvanta
