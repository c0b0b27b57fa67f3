#include "styles/StyleChoice.h"

namespace korvanta {

std::int32_t songStyleId(const TSong& song) {
    return song.barHarmony.empty() ? kNoStyle : song.barHarmony.front().style;
}

void setSongStyleId(TSong& song, std::int32_t id) {
    if (!song.barHarmony.empty()) song.barHarmony.front().style = id;
}

void applySongStyle(TSong& song, const StyleRecord* style) {
    song.style = style;
    song.style2 = style;
}

SongMeter songMeter(const TSong& song) {
    if (song.meter().entryCount() == 0) return {};
    const TMeterChange& m = song.meter().entries().front();
    return {m.numerator, m.denominator};
}

bool chooseStyleForMeter(TSong& song, const StyleLibrary& library, std::int32_t& lastChosen) {
    if (!library.loaded()) return false;
    const SongMeter meter = songMeter(song);
    std::int32_t id = songStyleId(song);
    if (id == kNoStyle) {
        const LoadedStyle* last = library.byId(lastChosen);
        if (last && styleFitsMeter(last->style, meter.numerator, meter.denominator))
            id = lastChosen;
    }
    if (id == kNoStyle) {
        const int n = defaultStyleN(song.notes.Count(kMelodyList), song.barCount);
        id = library.defaultStyle(meter.numerator, meter.denominator, n);
        lastChosen = id;
    }
    if (id == kNoStyle) return false;
    setSongStyleId(song, id);
    const LoadedStyle* chosen = library.byId(id);
    if (!chosen) return false;
    applySongStyle(song, &chosen->style);
    return true;
}

} // namespace korvanta
