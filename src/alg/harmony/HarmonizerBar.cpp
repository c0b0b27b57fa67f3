// Harmonizing one bar: the melody window, the score of every candidate chord
// (24 roots, each with its best variant), the bonuses, and the ranked chords
// written into the bar's record.

#include "alg/harmony/ExchangeSort.h"
#include "alg/harmony/Harmonizer.h"
#include "alg/harmony/HarmonyTables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace korvanta {

namespace {

// Degree masks: bit d-1 for degree d (the altered 6th and 7th share the bits
// of the diatonic ones).
constexpr unsigned kDegrees135 = 0b10101;
constexpr unsigned kDegrees13 = 0b00101;
constexpr int kFifthUp = 7;
constexpr int kFifthDown = 5; // a fifth below, within the octave

// A pitch class as a pattern cell sees it in a key: the degree index 0..6 and
// '+' (diatonic) or '-' (altered).
struct DegreeCell {
    int index = -1;
    char kind = 0;
};

DegreeCell cellOf(int pitchClass, int key) {
    const int degree = DegreeOf(pitchClass, key);
    if (degree == 0) return {};
    return {std::abs(degree) - 1, degree > 0 ? '+' : '-'};
}

bool matches(int root, int variant, const DegreeCell& cell) {
    return cell.kind != 0 && chordCell(root, variant, cell.index) == cell.kind;
}

using VariantScores = std::array<int, kChordVariantCount>;

// Adds the count of pitch class p to every variant of root that has it as a
// chord tone. A pitch class that is not a tone of a variant may still count
// through the empty fifth above or below it (one the window does not hold);
// the degree last looked at carries over to the next variant.
void addToneScores(int root, int p, int count, const std::array<int, 12>& window,
                   VariantScores& scores) {
    DegreeCell current = cellOf(p, root);
    for (int v = 0; v < kChordVariantCount; ++v) {
        auto& score = scores[static_cast<std::size_t>(v)];
        if (matches(root, v, current)) {
            score += count;
            continue;
        }
        const int above = (p + kFifthUp) % 12;
        if (window[static_cast<std::size_t>(above)] == 0) {
            current = cellOf(above, root);
            if (matches(root, v, current)) score += count;
        }
        const int below = (p + kFifthDown) % 12;
        if (window[static_cast<std::size_t>(below)] == 0) {
            current = cellOf(below, root);
            if (matches(root, v, current)) score += count;
        }
    }
}

// How many of the window's notes each variant of root explains.
VariantScores chordToneScores(int root, const std::array<int, 12>& window) {
    VariantScores scores{};
    for (int p = 0; p < 12; ++p) {
        const int count = window[static_cast<std::size_t>(p)];
        if (count != 0) addToneScores(root, p, count, window, scores);
    }
    return scores;
}

// A melody tone lasting longer than clashTicks a semitone from a chord tone
// clashes; the test is on the numbers, so B and C do not count as neighbours.
bool clashesWithLongTone(const ChordToneList& tones, const std::array<std::int64_t, 12>& durations,
                         double clashTicks) {
    for (int p = 0; p < 12; ++p) {
        if (static_cast<double>(durations[static_cast<std::size_t>(p)]) <= clashTicks) continue;
        for (int t = 0; t < tones.count; ++t) {
            if (std::abs(p - tones.tones[static_cast<std::size_t>(t)]) == 1) return true;
        }
    }
    return false;
}

void dropClashingVariants(int root, const std::array<std::int64_t, 12>& durations,
                          double clashTicks, VariantScores& scores) {
    for (int v = 0; v < kChordVariantCount; ++v) {
        if (clashesWithLongTone(ChordTones(root, v), durations, clashTicks))
            scores[static_cast<std::size_t>(v)] = 0;
    }
}

// Plain chords close a phrase: a cadence bar keeps only the triad (or minor
// triad) and the seventh variants.
void keepPlainVariants(VariantScores& scores) {
    scores[2] = scores[3] = scores[4] = 0;
}

struct RankedVariant {
    int variant = -1;
    int score = 0;
};

// The first variant after the exchange sort, which decides between equal
// scores.
RankedVariant bestVariant(VariantScores scores) {
    std::array<int, kChordVariantCount> order{};
    std::iota(order.begin(), order.end(), 0);
    exchangeSort(std::span<int>(scores), std::span<int>(order));
    return {order[0], scores[0]};
}

// A major chord on the dominant key of the main key is heard as its dominant
// seventh: its triad is written as the seventh, any other variant as the
// triad.
int writtenVariant(int root, int variant, std::uint8_t keyMark) {
    if (isMinorKey(root) || keyMark != 3) return variant;
    return variant == 0 ? 1 : 0;
}

} // namespace

void Harmonizer::harmonizeBar(int bar) {
    const int first = firstNoteIn(bar);
    int last = first;
    while (last + 1 < noteCount() && noteBar(last + 1) == bar)
        ++last;

    m_windowCount.fill(0);
    m_barNoteCount.fill(0);
    m_barDuration.fill(0);
    m_candidateScore.fill(0.0f);
    m_candidateVariant.fill(-1);
    m_distinctPitchClasses = 0;

    gatherWindow(bar, first, last);
    scoreNotes();
    chooseVariants(bar);
    addKeyRelationBonus();
    addFunctionBonus(bar, first, last);
    if (mark(bar) != kMarkNone) addCadenceBonus(bar);
    writeChords(bar);
}

// The bar's notes, widened by neighbouring notes while they show at most two
// pitch classes: a bar of one or two pitches says too little about its chord.
// The first bar looks only ahead and a cadence bar only back; other bars take
// a note before, then one after, and so on.
void Harmonizer::gatherWindow(int bar, int first, int last) {
    auto count = [&](int i) {
        const auto pc = static_cast<std::size_t>(pitchClass(i));
        if (m_windowCount[pc]++ == 0) ++m_distinctPitchClasses;
    };
    for (int i = first; i <= last; ++i) {
        count(i);
        const auto pc = static_cast<std::size_t>(pitchClass(i));
        ++m_barNoteCount[pc];
        m_barDuration[pc] += duration(i);
    }

    const bool aheadOnly = bar == 0;
    const bool backOnly = !aheadOnly && mark(bar) != kMarkNone;
    int low = first;
    int high = last;
    bool beforeDue = true;
    while (m_distinctPitchClasses <= 2) {
        const bool canBefore = !aheadOnly && low - 1 >= 0 && noteBar(low - 1) == bar - 1;
        const bool canAfter = !backOnly && high + 1 < noteCount() && noteBar(high + 1) == bar + 1;
        if (!canBefore && !canAfter) break;
        // The other side stands in for a missing one, and the turn passes
        // all the same.
        const bool takeBefore = beforeDue ? canBefore : !canAfter;
        count(takeBefore ? --low : ++high);
        beforeDue = !beforeDue;
    }
}

// How well the window's pitch classes sit in each candidate's key, with a
// bonus for candidates whose triad tones all sound.
void Harmonizer::scoreNotes() {
    std::array<unsigned, kCandidateCount> masks{};
    for (int p = 0; p < 12; ++p) {
        const int count = m_windowCount[static_cast<std::size_t>(p)];
        if (count == 0) continue;
        for (int j = 0; j < kCandidateCount; ++j) {
            const int degree = DegreeOf(p, j);
            const int weight = harmony::candidateDegreeWeight(degree);
            const auto at = static_cast<std::size_t>(j);
            if (degree >= 1 || degree == -6 || degree == -7) {
                m_candidateScore[at] += static_cast<float>(weight * count);
                masks[at] |= 1u << (std::abs(degree) - 1);
            }
        }
    }
    for (std::size_t j = 0; j < masks.size(); ++j) {
        if ((masks[j] & kDegrees135) == kDegrees135)
            m_candidateScore[j] += 2.0f;
        else if ((masks[j] & kDegrees13) == kDegrees13)
            m_candidateScore[j] += 1.0f;
    }
}

// The best variant of every candidate, scored by the window's pitch classes
// that are its chord tones, and added to the candidate's score; a candidate
// without a variant that scores keeps variant -1.
void Harmonizer::chooseVariants(int bar) {
    const double clashTicks = static_cast<double>(barLength(bar)) * m_settings.kDSFilter;
    const bool cadence = mark(bar) != kMarkNone;
    for (int j = 0; j < kCandidateCount; ++j) {
        VariantScores scores = chordToneScores(j, m_windowCount);
        if (m_settings.DSFilter) dropClashingVariants(j, m_barDuration, clashTicks, scores);
        if (cadence) keepPlainVariants(scores);

        const auto at = static_cast<std::size_t>(j);
        const RankedVariant best = bestVariant(scores);
        if (best.score <= 0) {
            m_candidateVariant[at] = -1;
            continue;
        }
        m_candidateVariant[at] = writtenVariant(j, best.variant, m_song.keyMarks[at]);
        m_candidateScore[at] += static_cast<float>(best.score);
    }
}

void Harmonizer::addKeyRelationBonus() {
    for (std::size_t j = 0; j < m_candidateScore.size(); ++j) {
        const int keyMark = m_song.keyMarks[j];
        if (keyMark == 1)
            m_candidateScore[j] += 1.0f;
        else if (keyMark >= 2 && keyMark <= 4)
            m_candidateScore[j] += static_cast<float>(m_keyRelationWeight);
    }
}

// Rewards the customary move from the previous chord's function to each
// candidate's, weighed by how strongly the bar's notes point to that function.
void Harmonizer::addFunctionBonus(int bar, int first, int last) {
    ChordCode previous = kNoChord;
    for (int k = bar - m_direction; isBar(k); k -= m_direction) {
        if (record(k).mainCount > 0) {
            previous = record(k).codes[0];
            break;
        }
        if (mark(k) != kMarkNone) break; // a phrase boundary lies between
    }
    const int previousRoot = chordRoot(previous);
    if (previousRoot < 0) return;
    const int previousFunction = m_candidateFunction[static_cast<std::size_t>(previousRoot)];
    if (previousFunction < 0) return;

    std::array<int, harmony::kFunctionCount> counts{};
    for (int i = first; i <= last; ++i) {
        for (int f = 0; f < harmony::kFunctionCount; ++f) {
            if ((m_noteFlags[static_cast<std::size_t>(i)] & harmony::kFunctionFlags[f]) != 0)
                ++counts[static_cast<std::size_t>(f)];
        }
    }
    std::array<int, harmony::kFunctionCount> order{};
    std::iota(order.begin(), order.end(), 0);
    exchangeSort(std::span<int>(counts), std::span<int>(order));
    std::array<double, harmony::kFunctionCount> weights{};
    double given = 1.0;
    for (std::size_t r = 0; r < counts.size(); ++r) {
        if (counts[r] == 0) break;
        if (r > 0 && counts[r] != counts[r - 1]) given /= 2.0;
        weights[static_cast<std::size_t>(order[r])] = given;
    }

    for (int j = 0; j < kCandidateCount; ++j) {
        const int function = m_candidateFunction[static_cast<std::size_t>(j)];
        if (function < 0) continue;
        const int transition = m_direction > 0
                                   ? harmony::functionTransition(previousFunction, function)
                                   : harmony::functionTransition(function, previousFunction);
        m_candidateScore[static_cast<std::size_t>(j)] +=
            static_cast<float>(transition * weights[static_cast<std::size_t>(function)]);
    }
}

// Ranks the candidates and writes up to three main chords (those near the
// best score) and the additional ones after them.
void Harmonizer::writeChords(int bar) {
    std::array<float, kCandidateCount> scores = m_candidateScore;
    std::array<int, kCandidateCount> order{};
    std::iota(order.begin(), order.end(), 0);
    exchangeSort(std::span<float>(scores), std::span<int>(order));

    const double share = static_cast<double>(m_settings.kRecomChr) * scores[0];
    const int threshold = static_cast<int>(std::clamp(share, -1e9, 1e9));

    TBarChords& here = record(bar);
    here.mainCount = 0;
    here.extraCount = 0;

    const int previousBar = bar - m_direction;
    if (m_settings.CSFilter && isBar(previousBar) && record(previousBar).mainCount >= 1) {
        // Unusual chords drop out; customary successors of the previous
        // chord gain a point.
        const ChordCode previous = record(previousBar).codes[0];
        for (int n = 0; n < kCandidateCount && scores[n] >= static_cast<float>(threshold); ++n) {
            const int j = order[n];
            const int variant = m_candidateVariant[static_cast<std::size_t>(j)];
            if (!m_progressions.isKnownChord(makeChordCode(j, 0)))
                scores[n] = 0.0f;
            else if (variant >= 0 &&
                     m_progressions.isKnownMove(previous, makeChordCode(j, variant)))
                scores[n] += 1.0f;
        }
        exchangeSort(std::span<float>(scores), std::span<int>(order));
    }
    if (scores[0] <= 0.0f) return;

    int n = 0;
    for (; n < kCandidateCount && scores[n] >= static_cast<float>(threshold) &&
           here.mainCount < kMaxMainChords;
         ++n) {
        const int variant = m_candidateVariant[static_cast<std::size_t>(order[n])];
        if (variant >= 0) here.codes[here.mainCount++] = makeChordCode(order[n], variant);
    }
    for (; n < kCandidateCount && scores[n] > 0.0f && here.extraCount < m_additionalLimit; ++n) {
        const int variant = m_candidateVariant[static_cast<std::size_t>(order[n])];
        if (variant >= 0)
            here.codes[here.mainCount + here.extraCount++] = makeChordCode(order[n], variant);
    }
}

} // namespace korvanta
