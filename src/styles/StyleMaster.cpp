#include "styles/StyleMaster.h"

#include "alg/song/ChordVocabulary.h"

#include <algorithm>
#include <cstdlib>

namespace korvanta {

namespace {

// The preview's one chord: C major, triad.
constexpr std::int16_t kPreviewChord = 0x0700;
constexpr int kPreviewBarLimit = 10;

// The grid a note store gets when it has none: 480 ticks per quarter and the
// style's own meter from bar 0.
void giveDefaultGrid(TMeterMap& grid, const StyleRecord& style) {
    grid.SetDivision(480);
    grid.wholeTicks = 1920;
    grid.shortestNote = 120;
    grid.sixteenthTicks = 120;
    grid.AddMeter(0, style.numerator(), style.denominator());
}

bool barTakesPattern(const TBarHarmony& h, const TMeterMap& grid, int bar,
                     const StyleRecord& style) {
    if (h.play == 0 || h.chord < 0) return false;
    const TMeterChange& m = grid.MeterAt(bar);
    return MeterSupported(style.meters, m.numerator, m.denominator);
}

} // namespace

bool MeterSupported(std::uint32_t meters, int numerator, int denominator) {
    const std::uint32_t code = meterCode(numerator, denominator);
    for (std::uint32_t rest = meters;; rest >>= 8) {
        if ((rest & 0xFFu) == code) return true;
        if (rest < 256) return false;
    }
}

ToneMap makeToneMap(std::int16_t chord) {
    ToneMap map;
    map.fill(-1);
    const ChordToneList tones = chordTonesOf(chord);
    if (tones.count < 3) return map;
    map[1] = tones.tones[0];
    map[3] = tones.tones[1];
    map[4] = map[5] = tones.tones[2];
    map[6] = map[7] = tones.count == 4 ? tones.tones[3] : tones.tones[0] + 12;
    return map;
}

int RenderPattern(TNotes& notes, std::span<const TBarHarmony> harmony, int& currentBar,
                  int barCount, const StyleRecord& style, int baseNote, int list) {
    const int first = currentBar;
    const int bars = std::min<int>(barCount, static_cast<int>(harmony.size()));
    // A style with a zero division or meter cannot be placed (it would divide
    // by zero); its bar is passed over so the caller's loop still advances.
    if (!style.usable() || first < 0 || first >= bars) {
        currentBar = first + 1;
        return 0;
    }
    TMeterMap& grid = notes.meter;
    if (grid.entryCount() == 0) giveDefaultGrid(grid, style);

    // Positions are worked out in integers: scale = songDivision / patternDivision
    // and ratio = songNumerator / styleNumerator as exact fractions, so a beat
    // that the ratio splits lands on the same tick every time.
    const std::int64_t songDivision = grid.ticksPerQuarter;
    const std::int64_t patternDivision = style.ticksPerQuarter;
    const std::int64_t styleNumerator = style.numerator();
    const std::int64_t styleDenominator = style.denominator();

    ToneMap map = makeToneMap(harmony[static_cast<std::size_t>(first)].chord);
    int mapBar = first;   // the bar whose chord `map` holds
    int lastUsed = first; // the last bar checked and taken by the pattern
    int placed = 0;
    for (const PatternEvent& e : style.events) {
        const int bar = first + e.bar;
        if (bar > lastUsed) {
            if (bar >= bars || bar > 0xFFFF) break;
            // Every bar between the last one taken and this one must take the
            // pattern too, or the pattern stops before the first that cannot.
            bool open = true;
            for (int b = lastUsed + 1; b <= bar && open; ++b) {
                if (!barTakesPattern(harmony[static_cast<std::size_t>(b)], grid, b, style))
                    open = false;
                else
                    lastUsed = b;
            }
            if (!open) break;
        }
        if (bar != mapBar) {
            map = makeToneMap(harmony[static_cast<std::size_t>(bar)].chord);
            mapBar = bar;
        }

        const int selector = std::abs(static_cast<int>(e.selector));
        const int p = selector >= 1 && selector <= 7 ? map[static_cast<std::size_t>(selector)] : -1;
        if (p < 0) continue; // no tone for this selector: nothing to sound
        const int root = map[1];
        int shift = baseNote;
        if (style.baseOctave() != e.octave) shift -= 12 * (style.baseOctave() - e.octave);
        const int pitch = p + shift + (p < root ? 12 : 0);
        if (pitch < 0 || pitch > 127 || e.duration <= 0) continue;

        // Each bar's own meter: a pattern may run on across a meter change
        // (4/4 into 2/2, say) when the style lists both.
        const std::int64_t songNumerator = grid.MeterAt(bar).numerator;
        if (songNumerator == 0) continue; // a broken grid: no beat to place it on
        std::int64_t beat = e.beat;
        std::int64_t tick = e.tick;
        if (songNumerator != styleNumerator) {
            const std::int64_t scaled = songNumerator * beat;
            beat = scaled / styleNumerator;
            const std::int64_t fraction = scaled % styleNumerator; // over styleNumerator
            tick += patternDivision * fraction * 4 / (styleDenominator * songNumerator);
        }
        tick = tick * songDivision / patternDivision;
        const std::int64_t duration = e.duration * songDivision / patternDivision;
        if (beat > 0xFF || tick > 0xFFFF || duration <= 0) continue;

        const TBarPos start{static_cast<std::uint16_t>(bar), static_cast<std::uint8_t>(beat), 0,
                            static_cast<std::uint16_t>(tick)};
        notes.AddNote(static_cast<std::uint8_t>(pitch), list, e.velocities, start,
                      static_cast<std::uint16_t>(std::min<std::int64_t>(duration, 0xFFFF)),
                      static_cast<std::uint8_t>(p % 12));
        ++placed;
    }
    currentBar = lastUsed + 1;
    return placed;
}

int BuildPreview(const StyleRecord& style, TNotes& notes) {
    notes.Construct(50);
    if (!style.usable()) return 0;
    TMeterMap& grid = notes.meter;
    grid.SetDivision(style.ticksPerQuarter);
    grid.sixteenthTicks = grid.wholeTicks / 16;
    grid.shortestNote = grid.sixteenthTicks;
    grid.AddMeter(0, style.numerator(), style.denominator());
    notes.CreateList(kChordList, 50);

    const int bars = std::clamp<int>(style.bars(), 1, kPreviewBarLimit);
    std::vector<TBarHarmony> harmony(static_cast<std::size_t>(bars));
    for (TBarHarmony& h : harmony) {
        h.chord = kPreviewChord;
        h.play = 1;
    }
    int bar = 0;
    const int placed = RenderPattern(notes, harmony, bar, kPreviewBarLimit, style,
                                     12 * style.baseOctave(), kChordList);
    // The preview lasts the pattern's bars, or longer when a note rings on.
    notes.length = grid.BarStart(bars);
    for (int i = 0; i < notes.Count(kChordList); ++i)
        notes.length = std::max(notes.length, notes.EndTick(i, kChordList, 0));
    notes.savedLength = static_cast<std::uint32_t>(notes.length);
    return placed;
}

int BuildChordNotes(TSong& song) {
    if (song.notes.Count(kChordList) > 0) song.notes.ResetList(kChordList);
    if (song.barHarmony.empty()) return 0;
    const int base = song.chordOctave * 12;
    const TMeterMap& grid = song.meter();
    const int bars = std::min<int>(song.barCount, static_cast<int>(song.barHarmony.size()));
    const std::int32_t melodyCount = song.notes.Count(kMelodyList);
    const TNote* lastNote = song.notes.Note(melodyCount - 1, kMelodyList);
    const int lastBar = lastNote ? lastNote->start.bar : -1;
    for (int bar = 0; bar < bars;) {
        const TBarHarmony& h = song.barHarmony[bar];
        if (h.play != 1 || h.chord < 0) {
            ++bar;
            continue;
        }
        // The style plays from here while it can; the bar of the last melody
        // note and bars of a meter the style does not know get a held chord.
        const TMeterChange& m = grid.MeterAt(bar);
        if (song.style && bar != lastBar &&
            MeterSupported(song.style->meters, m.numerator, m.denominator)) {
            // The pattern never runs into the last melody note's bar.
            const int styleEnd = lastBar > bar ? std::min(lastBar, bars) : bars;
            RenderPattern(song.notes, song.barHarmony, bar, styleEnd, *song.style, base,
                          kChordList);
            continue;
        }
        const ChordToneList tones = chordTonesOf(h.chord, base);
        const std::int32_t length = grid.TicksPerBar(bar) - 10;
        const auto duration = static_cast<std::uint16_t>(std::clamp(length, 0, 0xFFFF));
        const TBarPos start{static_cast<std::uint16_t>(bar), 0, 0, 0};
        for (int t = 0; t < tones.count; ++t) {
            if (tones.tones[t] < 0 || tones.tones[t] > 127) continue;
            song.notes.AddNote(static_cast<std::uint8_t>(tones.tones[t]), kChordList,
                               kBlockChordVelocities, start, duration, 0);
        }
        ++bar;
    }
    song.notes.length = static_cast<std::int32_t>(song.notes.savedLength);
    const std::int32_t count = song.notes.Count(kChordList);
    if (count > 0)
        song.notes.length =
            std::max(song.notes.length, song.notes.EndTick(count - 1, kChordList, 0));
    return count;
}

} // namespace korvanta
