#pragma once
// Accompaniment rendering: fitting a style's pattern to the chords and meters
// of a song's bars and placing its notes in a note list. Stateless; works on
// the note store and per-bar harmony the caller gives, on the caller's thread.

#include "alg/song/SongRecords.h"
#include "alg/song/TNotes.h"
#include "alg/song/TSong.h"
#include "styles/StyleRecords.h"

#include <array>
#include <cstdint>
#include <span>

namespace korvanta {

// The meter code of a style's meter list: numerator × 16 + denominator.
constexpr std::uint32_t meterCode(int numerator, int denominator) {
    return static_cast<std::uint32_t>(numerator) * 16u + static_cast<std::uint32_t>(denominator);
}

// Whether the meter list (up to four codes, lowest byte first, ending where
// all higher bytes are zero) names numerator/denominator.
bool MeterSupported(std::uint32_t meters, int numerator, int denominator);

// The pitch classes the selectors 1..7 stand for over a chord (index 0 is
// unused). -1 marks a selector without a tone: 2, and any selector when the
// chord code is no chord. Entries 6 and 7 are the fourth chord tone, or the
// root + 12 for a triad.
using ToneMap = std::array<int, 8>;
ToneMap makeToneMap(std::int16_t chord);

// Renders the style's pattern from bar `currentBar` on, each later pattern
// bar following its own bar's chord, into list `list` of `notes`. Stops at
// the end of the pattern, at `barCount`, or before a bar without a chord or
// with a meter the style does not list. Returns the number of notes placed
// and advances `currentBar` past the bars used. `baseNote` is the MIDI note of
// the style's base octave. An unusable style places nothing and advances one
// bar.
int RenderPattern(TNotes& notes, std::span<const TBarHarmony> harmony, int& currentBar,
                  int barCount, const StyleRecord& style, int baseNote, int list);

// Builds the style's demonstration into a fresh note store: every pattern bar
// over C major, in the style's own meter and division, at its base octave, on
// the chord list. Returns the number of notes placed.
int BuildPreview(const StyleRecord& style, TNotes& notes);

// Renders the song's chords into its chord list afresh: its applied style
// where the style fits the bar's meter (never in the bar of the last melody
// note), a held block chord above the chord octave elsewhere; muted bars and
// bars without a chord stay silent. Returns the number of chord notes.
int BuildChordNotes(TSong& song);

} // namespace korvanta
