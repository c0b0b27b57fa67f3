// Statistics, candidate keys and the key of one melody segment.

#include "alg/harmony/KeySegment.h"

#include "alg/harmony/ExchangeSort.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace korvanta {

namespace {

void addSaturated(std::int32_t& slot, std::int64_t amount) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    slot = static_cast<std::int32_t>(std::clamp(std::int64_t{slot} + amount, kMin, kMax));
}

} // namespace

bool satisfiesStableTones(std::uint32_t degreeMask, std::int32_t modeMask) {
    if (modeMask != 0) {
        const auto wanted = static_cast<std::uint32_t>(modeMask);
        return (degreeMask & wanted) == wanted;
    }
    constexpr std::uint32_t kFirst = 1u << 0, kThird = 1u << 2, kFifth = 1u << 4;
    const int present = ((degreeMask & kFirst) ? 1 : 0) + ((degreeMask & kThird) ? 1 : 0) +
                        ((degreeMask & kFifth) ? 1 : 0);
    return present >= 2;
}

bool KeySegment::isCandidate(int k) const {
    return std::find(candidates.begin(), candidates.end(), k) != candidates.end();
}

void KeySegment::addNote(int pitchClass, std::int32_t durationTicks) {
    if (pitchClass < 0 || pitchClass >= 12) return;
    const auto pc = static_cast<std::size_t>(pitchClass);
    if (counts[pc] == 0) pitchClasses.push_back(static_cast<std::uint8_t>(pitchClass));
    addSaturated(counts[pc], 1);
    addSaturated(durations[pc], durationTicks);
}

void KeySegment::merge(const KeySegment& later) {
    for (const std::uint8_t pc : later.pitchClasses) {
        if (counts[pc] == 0) pitchClasses.push_back(pc);
    }
    for (std::size_t pc = 0; pc < 12; ++pc) {
        addSaturated(counts[pc], later.counts[pc]);
        addSaturated(durations[pc], later.durations[pc]);
    }
    if (later.lastNote >= 0) {
        lastNote = later.lastNote;
        lastBar = later.lastBar;
    }
}

void KeySegment::computeKey(const HarmonySettings& settings) {
    for (auto& row : countScores)
        row.fill(0);
    for (auto& row : durationScores)
        row.fill(0);
    degreeMasks.fill(0);
    candidates.clear();
    tally.clear();
    key = -1;

    // Pitch classes in order of arrival, so that candidate keys are listed in
    // the order in which the melody establishes them.
    for (const std::uint8_t pc : pitchClasses) {
        const std::int32_t count = counts[pc];
        const std::int32_t duration = durations[pc];
        for (int k = 0; k < kKeyCount; ++k) {
            const auto ki = static_cast<std::size_t>(k);
            const int degree = DegreeOf(pc, k);
            for (int row = 0; row < kWeightRowCount; ++row) {
                const std::int64_t weight = Weight(degree, row);
                addSaturated(countScores[static_cast<std::size_t>(row)][ki], weight * count);
                addSaturated(durationScores[static_cast<std::size_t>(row)][ki], weight * duration);
            }
            degreeMasks[ki] |= DegreeMaskBit(degree);
            if (!isCandidate(k) && satisfiesStableTones(degreeMasks[ki], settings.ModeStT))
                candidates.push_back(k);
        }
    }
    // A key without its tonic triad complete does not compete at all.
    for (std::size_t ki = 0; ki < static_cast<std::size_t>(kKeyCount); ++ki) {
        if ((degreeMasks[ki] & kTonicTriadMask) == kTonicTriadMask) continue;
        for (int row = 0; row < kWeightRowCount; ++row) {
            countScores[static_cast<std::size_t>(row)][ki] = 0;
            durationScores[static_cast<std::size_t>(row)][ki] = 0;
        }
    }

    const bool perfect = ScoreKeys(counts, fitness) == 2;
    maxFitness = 0.0f;
    if (perfect) {
        maxFitness = 1.0f;
    } else {
        for (const int k : candidates)
            maxFitness = std::max(maxFitness, fitness[static_cast<std::size_t>(k)]);
    }

    VoteEvidence evidence;
    evidence.counts = counts;
    evidence.fitness = fitness;
    evidence.maxFitness = maxFitness;
    evidence.minWeight = settings.MinWT;
    for (int row = 0; row < kWeightRowCount; ++row) {
        const auto r = static_cast<std::size_t>(row);
        KeyScores sorted = countScores[r];
        std::array<int, kKeyCount> order{};
        std::iota(order.begin(), order.end(), 0);
        exchangeSort<std::int32_t>(sorted, order);
        Vote(order, countScores[r], durationScores[r], evidence, tally);
    }
    key = tally.decided();
}

} // namespace korvanta
