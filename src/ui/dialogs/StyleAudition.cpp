#include "ui/dialogs/StyleAudition.h"

#include "alg/song/TNotes.h"
#include "styles/StyleMaster.h"

#include <utility>

namespace korvanta::ui {

bool StyleAudition::play(const StyleRecord& style) {
    if (busy()) return false;
    TNotes notes;
    if (BuildPreview(style, notes) == 0) return false;
    return m_player.startPreview(std::move(notes), kMicrosecondsPerQuarter, style.ticksPerQuarter,
                                 style.program());
}

} // namespace korvanta::ui
