// Where phrases close: anchor notes (notes held for most of a bar), the search
// for cadences every eight bars by four rules, and the bonus that a cadence
// bar gives the chords that close on its anchor note.

#include "alg/harmony/Harmonizer.h"
#include "alg/harmony/HarmonyTables.h"

#include <algorithm>
#include <initializer_list>

namespace korvanta {

namespace {

// A note lasting this share of a bar holds the bar.
constexpr double kHeldShare = 0.9;
// Bars between two cadence searches.
constexpr int kCadenceSpacing = 8;
// Where the second bar of a cadence lies, from the first.
constexpr int kSecondCadenceBar = 4;
// The bars around a search bar that are tried, in this order.
constexpr int kTryOffsets[] = {0, -1, 1, 2};
constexpr int kFirstRule = 1;
constexpr int kLastRule = 4;
// Bits of a cadence try: the first bar closed, the second bar closed.
constexpr int kFirstClosed = 2;
constexpr int kSecondClosed = 1;
constexpr int kBothClosed = kFirstClosed | kSecondClosed;

bool oneOf(int value, std::initializer_list<int> set) {
    return std::find(set.begin(), set.end(), value) != set.end();
}

// Which candidates a cadence favours: those whose function is in functions
// (harmony::k*Flag bits), and, with root 1..7, only those rooted on that
// degree of the main key.
struct CadenceTarget {
    std::uint8_t functions = 0;
    int root = 0;
};

constexpr std::uint8_t kTonic = harmony::kTonicFlag;
constexpr std::uint8_t kSubdominant = harmony::kSubdominantFlag;
constexpr std::uint8_t kDominant = harmony::kDominantFlag;

constexpr CadenceTarget favour(std::uint8_t functions, int root = 0) {
    return {functions, root};
}
constexpr CadenceTarget favourEither(std::uint8_t one, std::uint8_t other) {
    return {static_cast<std::uint8_t>(one | other), 0};
}

bool isDiatonic(int degree) {
    return degree >= 1 && degree <= 7;
}

// In the functions below p is the degree the melody came from and held tells
// whether the anchor lasts at least as long as that note; a step that no
// customary cadence takes favours nothing.

// A held tonic closes on the tonic chord (after 4 or 6 on a tonic or
// subdominant one); a short one takes its chord from the step into it: the
// dominant on degree 5 after 2 or 7, the tonic after 3 or 5, the
// subdominant after 4 or 6.
CadenceTarget cadenceOnDegree1(bool held, int p) {
    if (held) {
        if (oneOf(p, {4, 6, -6})) return favourEither(kTonic, kSubdominant);
        if (isDiatonic(p) || p == -7) return favour(kTonic, 1);
        return {};
    }
    if (oneOf(p, {2, 7, -7})) return favour(kDominant, 5);
    if (oneOf(p, {3, 5})) return favour(kTonic, 1);
    if (oneOf(p, {4, 6, -6})) return favour(kSubdominant);
    return {};
}

// Degrees 2 and 7, held or not, are tones of the dominant.
CadenceTarget cadenceOnDegree2Or7(int p) {
    if (isDiatonic(p) || p == -6) return favour(kDominant);
    return {};
}

CadenceTarget cadenceOnDegree3(bool held, int p) {
    if (held) {
        if (oneOf(p, {4, 6, -6})) return favourEither(kTonic, kDominant);
        if (isDiatonic(p) || p == -7) return favour(kTonic);
        return {};
    }
    if (p == 1) return favour(kTonic, 1);
    if (oneOf(p, {4, 6, -6})) return favour(kSubdominant);
    if (isDiatonic(p) || p == -7) return favour(kDominant);
    return {};
}

CadenceTarget cadenceOnDegree5(bool held, int p) {
    if (oneOf(p, {1, 3})) return favour(kTonic, 1);
    if (held) {
        if (isDiatonic(p) || p == -6 || p == -7) return favourEither(kTonic, kDominant);
        return {};
    }
    if (oneOf(p, {4, 6, -6})) return favourEither(kSubdominant, kDominant);
    if (isDiatonic(p) || p == -7) return favour(kDominant);
    return {};
}

// Degrees 4 and 6: held after a tonic triad tone they rest on the
// subdominant; short after a dominant tone they pass through the dominant.
CadenceTarget cadenceOnDegree4Or6(bool held, int p) {
    if (held && oneOf(p, {1, 3, 5})) return favour(kSubdominant);
    if (!held && oneOf(p, {2, 7, -7})) return favour(kDominant);
    return {};
}

// The cadence that anchor degree a, held long or not, reached from degree p
// (both degrees of the main key) makes. Altered anchors make none.
CadenceTarget cadenceTarget(int a, bool held, int p) {
    switch (a) {
    case 1:
        return cadenceOnDegree1(held, p);
    case 2:
    case 7:
        return cadenceOnDegree2Or7(p);
    case 3:
        return cadenceOnDegree3(held, p);
    case 5:
        return cadenceOnDegree5(held, p);
    case 4:
    case 6:
        return cadenceOnDegree4Or6(held, p);
    default:
        return {};
    }
}

} // namespace

void Harmonizer::markAnchorsAndCadences() {
    markLongNotes();
    for (int bar = m_firstCadenceBar; bar < m_barCount; bar += kCadenceSpacing) {
        if (mark(bar) != kMarkNone) continue;
        for (int type = kFirstRule; type <= kLastRule; ++type) {
            if (searchCadence(bar, type) == kBothClosed) break;
        }
    }
}

// A bar holds a long note when one of its notes lasts, or is followed by
// silence or its own sound until the next onset (the next bar's start for
// the bar's last note), for most of the bar.
void Harmonizer::markLongNotes() {
    for (int bar = std::max(m_firstCadenceBar, 0); bar < m_barCount; ++bar) {
        const int first = firstNoteIn(bar);
        if (first < 0) {
            record(bar).cadenceMark = kMarkEmptyBar;
            continue;
        }
        const double held = kHeldShare * barLength(bar);
        for (int i = first; i < noteCount() && noteBar(i) == bar; ++i) {
            const bool lastInBar = i + 1 >= noteCount() || noteBar(i + 1) != bar;
            const int next = lastInBar ? barStart(bar + 1) : startTick(i + 1);
            if (duration(i) >= held || next - startTick(i) >= held) {
                setAnchor(bar, i, kMarkLongNote);
                break;
            }
        }
    }
}

// Tries one rule around bar: the first bar of a cadence near it, the second
// four bars on; failing a second bar, an inner search four bars on. Returns
// the bits kFirstClosed and kSecondClosed.
int Harmonizer::searchCadence(int bar, int type) {
    int result = 0;
    for (const int offset : kTryOffsets) {
        const int tried = tryCadence(bar, offset, type, false);
        result |= tried;
        if ((tried & kFirstClosed) != 0) break;
    }
    if ((result & kSecondClosed) == 0) {
        for (const int offset : kTryOffsets) {
            if ((tryCadence(bar + kSecondCadenceBar, offset, type, true) & kFirstClosed) != 0) {
                result |= kSecondClosed;
                break;
            }
        }
    }
    return result;
}

// A bar that can not take a cadence (outside the song, without notes, or
// marked already) counts as done: as the second bar of an outer try, as the
// bar itself of an inner one.
int Harmonizer::tryCadence(int base, int offset, int type, bool inner) {
    const int bar = base + offset;
    if (!isBar(bar) || firstNoteIn(bar) < 0 || mark(bar) != kMarkNone)
        return inner ? kFirstClosed : kSecondClosed;
    const bool first = runRule(type, bar);
    bool second = false;
    if (first && !inner) second = runRule(type, bar + offset + kSecondCadenceBar);
    return (first ? kFirstClosed : 0) | (second ? kSecondClosed : 0);
}

// Runs rule type on the notes from the bar's first note up to the next bar's
// first note (up to the melody's last note when the next bar is silent); on
// success the note found becomes the bar's anchor and the bar is marked.
bool Harmonizer::runRule(int type, int bar) {
    const int from = firstNoteIn(bar);
    if (from < 0) return false;
    const int nextFirst = firstNoteIn(bar + 1);
    const int end = nextFirst >= 0 ? nextFirst : noteCount() - 1;
    int found = -1;
    switch (type) {
    case 1:
        found = ruleRest(bar, from, end);
        break;
    case 2:
        found = ruleRepeatedPitch(bar, from, end);
        break;
    case 3:
        found = ruleLongNote(bar, from, end);
        break;
    case 4:
        found = ruleStableTone(bar, from, end);
        break;
    default:
        break;
    }
    if (found < 0) return false;
    setAnchor(bar, found, cadenceRuleMark(type));
    return true;
}

// A note followed by a rest of at least a sixteenth.
int Harmonizer::ruleRest(int bar, int from, int end) const {
    const int sixteenth = m_song.meter().sixteenthTicks;
    for (int i = from; i < end; ++i) {
        // Summed in 64 bits: a note may start at the very end of the tick range.
        const std::int64_t next = i + 1 < end ? startTick(i + 1) : barStart(bar + 1);
        if (next - (std::int64_t{startTick(i)} + duration(i)) >= sixteenth) return i;
    }
    return -1;
}

// Two or more notes of one pitch class, each close to the next, together
// lasting most of the bar; the first of them is found.
int Harmonizer::ruleRepeatedPitch(int bar, int from, int end) const {
    const double held = kHeldShare * barLength(bar);
    const int grid = m_song.meter().gridTicks;
    int i = from;
    while (i < end) {
        std::int64_t sum = duration(i);
        int last = i;
        while (last + 1 < end && pitchClass(last + 1) == pitchClass(i) &&
               m_song.MelodyGap(last, last + 1) < grid) {
            ++last;
            sum += duration(last);
        }
        if (last > i && static_cast<double>(sum) >= held) return i;
        // A run starting inside this one is shorter and fails as well.
        i = last + 1;
    }
    return -1;
}

int Harmonizer::ruleLongNote(int bar, int from, int end) const {
    const double held = kHeldShare * barLength(bar);
    for (int i = from; i < end; ++i) {
        if (duration(i) >= held) return i;
    }
    return -1;
}

// A note of at least most of a quarter on degree 1, 3 or 5 of the main key.
int Harmonizer::ruleStableTone(int /*bar*/, int from, int end) const {
    const double held = kHeldShare * m_song.meter().wholeTicks / 4.0;
    for (int i = from; i < end; ++i) {
        if (duration(i) >= held && oneOf(DegreeOf(pitchClass(i), m_mainKey), {1, 3, 5})) return i;
    }
    return -1;
}

void Harmonizer::findLastAnchorBar() {
    m_lastAnchorBar = 0;
    for (int bar = m_barCount - 1; bar >= 0; --bar) {
        if (m_anchorNote[static_cast<std::size_t>(bar)] > 0) {
            m_lastAnchorBar = bar;
            return;
        }
    }
}

// In a cadence bar only the chords that close on the anchor note keep a
// score. The cadence is read from the anchor and the nearest earlier note of
// another pitch class; when the two are parted by a rest longer than the grid
// (or there is no such note) the bar is not treated as a cadence here.
void Harmonizer::addCadenceBonus(int bar) {
    const int anchor = anchorNote(bar);
    if (anchor < 0 || anchor >= noteCount()) return;
    const int previous = m_walkBackNote[static_cast<std::size_t>(anchor)];
    if (previous < 0) return;
    if (m_walkBackRest[static_cast<std::size_t>(anchor)] > m_song.meter().gridTicks) return;

    const int a = DegreeOf(pitchClass(anchor), m_mainKey);
    const int p = DegreeOf(pitchClass(previous), m_mainKey);
    const TMeterMap& meter = m_song.meter();
    const bool held = meter.QuantUnit(saturateTicks(std::int64_t{duration(anchor)} +
                                                    m_song.MelodyGap(anchor, anchor + 1))) >=
                      meter.QuantUnit(duration(previous));
    const CadenceTarget target = cadenceTarget(a, held, p);

    for (int j = 0; j < kCandidateCount; ++j) {
        const auto at = static_cast<std::size_t>(j);
        const int function = m_candidateFunction[at];
        int bonus = 0;
        if (function >= 0 && (target.functions & harmony::kFunctionFlags[function]) != 0 &&
            (target.root == 0 || DegreeOf(keyTonic(j), m_mainKey) == target.root)) {
            const bool minorOnFifth = target.root == 5 &&
                                      (target.functions & harmony::kDominantFlag) != 0 &&
                                      isMinorKey(j);
            bonus = minorOnFifth ? 2 : 3;
        }
        m_candidateScore[at] = bonus != 0 ? m_candidateScore[at] + static_cast<float>(bonus) : 0.0f;
    }
}

} // namespace korvanta
