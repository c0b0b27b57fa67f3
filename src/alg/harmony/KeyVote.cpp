// The vote of key analysis and the key-signature test it relies on.

#include "alg/harmony/KeyVote.h"

#include "alg/harmony/ExchangeSort.h"

#include <cstdlib>
#include <vector>

namespace korvanta {

namespace {

// Signature accidentals in signature order, as pitch classes: the sharps
// (F#, C#, G#, D#, A#, E#, B#) and the flats (Bb, Eb, Ab, Db, Gb, Cb, Fb).
constexpr std::array<int, 7> kSharpOrder{6, 1, 8, 3, 10, 5, 0};
constexpr std::array<int, 7> kFlatOrder{10, 3, 8, 1, 6, 11, 4};

constexpr int kKeyGMajor = 8;
constexpr int kKeyDMajor = 9;
constexpr int kKeyGMinor = 17;
constexpr int kKeyDMinor = 18;

bool writtenWithSharps(int key) {
    const int base = key % 12;
    return base >= 7; // C and the sharp keys, major and minor alike
}

// How many sharps or flats the key's signature has: its distance from C (or
// A minor) on the circle of fifths, taken the short way round.
int accidentalCount(int key) {
    int d = std::abs(7 - key % 12);
    if (d >= 5) d = 12 - d;
    return d;
}

bool forgivesMissing(int key) {
    return key != kKeyGMajor && key != kKeyDMajor && key != kKeyGMinor && key != kKeyDMinor;
}

std::int32_t scoreOf(std::span<const std::int32_t, kKeyCount> scores, int key) {
    return isKey(key) ? scores[static_cast<std::size_t>(key)] : 0;
}

float fitnessOf(const VoteEvidence& evidence, int key) {
    return isKey(key) ? evidence.fitness[static_cast<std::size_t>(key)] : 0.0f;
}

// Tries key and gives it its vote when it passes.
bool tryKey(int key, const VoteEvidence& evidence, VoteTally& tally) {
    if (!keyPasses(key, evidence)) return false;
    tally.addVote(key);
    return true;
}

} // namespace

void VoteTally::addVote(int key) {
    if (!isKey(key)) return;
    const std::int32_t count = ++votes[static_cast<std::size_t>(key)];
    if (count > bestCount) {
        bestCount = count;
        bestKey = key;
    }
}

bool signatureAccidentalsPresent(int key, std::span<const std::int32_t, 12> counts) {
    if (!isKey(key)) return false;
    const auto& order = writtenWithSharps(key) ? kSharpOrder : kFlatOrder;
    const int n = accidentalCount(key);
    const bool minor = isMinorKey(key);
    for (int a = 0; a < n; ++a) {
        const int pc = order[static_cast<std::size_t>(a)];
        if (counts[static_cast<std::size_t>(pc)] > 0) continue;
        const int degree = DegreeOf(pc, key);
        if ((degree != 6 && degree != 7) || !forgivesMissing(key)) return false;
        // A melody may use the natural 6th or 7th in place of the signature's.
        const int neighbour = Wrap12(minor ? pc + 1 : pc - 1);
        if (counts[static_cast<std::size_t>(neighbour)] <= 0) return false;
    }
    return true;
}

bool keyPasses(int key, const VoteEvidence& evidence) {
    if (!isKey(key)) return false;
    if (!(fitnessOf(evidence, key) >= evidence.minWeight)) return false;
    return signatureAccidentalsPresent(key, evidence.counts);
}

int Vote(std::span<int> keys, std::span<const std::int32_t, kKeyCount> countScores,
         std::span<const std::int32_t, kKeyCount> durationScores, const VoteEvidence& evidence,
         VoteTally& tally) {
    const std::size_t n = keys.size();
    int result = -1;
    std::size_t k = 0;
    // A last key on its own is never tried: a vote needs a rival.
    while (k + 1 < n && result == -1) {
        const int d = keys[k];
        const std::int32_t score = scoreOf(countScores, d);
        if (score == 0) break;
        if (scoreOf(countScores, keys[k + 1]) != score) {
            if (tryKey(d, evidence, tally)) result = d;
            ++k;
            continue;
        }

        std::size_t m = 2;
        while (k + m < n && scoreOf(countScores, keys[k + m]) == score)
            ++m;
        const std::span<int> group = keys.subspan(k, m);
        std::vector<std::int32_t> durations(m);
        for (std::size_t i = 0; i < m; ++i)
            durations[i] = scoreOf(durationScores, group[i]);
        exchangeSort<std::int32_t>(durations, group);

        for (std::size_t o = 0; o < m && result == -1; ++o) {
            const std::int32_t next = o + 1 < m ? durations[o + 1] : 0;
            if (next == durations[o]) {
                // Tied on both scores: every member that fits as well as the
                // best key may have its say.
                for (std::size_t p = o; p < m; ++p) {
                    const int member = group[p];
                    if (fitnessOf(evidence, member) != evidence.maxFitness) continue;
                    if (tryKey(member, evidence, tally) && result == -1) result = member;
                }
            } else if (tryKey(group[o], evidence, tally)) {
                result = group[o];
            }
        }
        k += m;
    }
    return result;
}

} // namespace korvanta
