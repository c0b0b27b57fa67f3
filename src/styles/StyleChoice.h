#pragma once
// Which style a song is accompanied in. The song keeps a current style (the
// one the accompaniment uses; none means block chords), a saved style (put
// back when the style is switched on again) and the style's identifier, which
// the project file stores with the first bar's harmony. These functions are
// the rules the main window and the command line share; they run on the
// thread that owns the song.

#include "alg/song/TSong.h"
#include "styles/StyleLibrary.h"

#include <cstdint>

namespace korvanta {

// The identifier stored with bar 0; kNoStyle when none (or no harmony yet).
std::int32_t songStyleId(const TSong& song);
// Stores the identifier with bar 0; does nothing before the song has harmony.
void setSongStyleId(TSong& song, std::int32_t id);

// Makes `style` the song's current and saved style (null: block chords).
void applySongStyle(TSong& song, const StyleRecord* style);

// The meter the style choice looks at: the song's first meter (4/4 when the
// song has no meter yet).
struct SongMeter {
    int numerator = 4;
    int denominator = 4;
};
SongMeter songMeter(const TSong& song);

// Finds a style for the song's meter as the main window does after creating
// the accompaniment: the song's own identifier if it has one; else the style
// chosen last (`lastChosen`, kept by the caller across songs) when it fits;
// else the default style for the meter, which also becomes `lastChosen`. The
// found style becomes the song's current and saved style. False when the
// library is not loaded, nothing fits, or the song names a style the library
// does not have (the song's style is then left as it was).
bool chooseStyleForMeter(TSong& song, const StyleLibrary& library, std::int32_t& lastChosen);

} // namespace korvanta
