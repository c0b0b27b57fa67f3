#pragma once
// One stretch of a melody as key analysis sees it: the pitch classes met in
// it (in order of arrival), their counts and durations, and what follows from
// them per key (weighted scores, degree masks, fitness, candidate keys, votes)
// up to the key the stretch is in, if any.
//
// A value type owned by the key analyzer's segment list; any thread. Note
// indices are indices into the melody list; durations are ticks.

#include "alg/harmony/HarmonySettings.h"
#include "alg/harmony/KeyVote.h"
#include "alg/song/Keys.h"

#include <array>
#include <cstdint>
#include <vector>

namespace korvanta {

// The stable degrees 1, 3 and 5 as degree-mask bits.
constexpr std::uint32_t kTonicTriadMask = 0x15;

// Whether a degree mask shows the stable tones a candidate key needs: every
// bit of modeMask when it is not 0; otherwise at least two of degrees 1, 3, 5.
bool satisfiesStableTones(std::uint32_t degreeMask, std::int32_t modeMask);

struct KeySegment {
    using KeyScores = std::array<std::int32_t, kKeyCount>;

    std::vector<std::uint8_t> pitchClasses;   // distinct, in order of arrival
    std::array<std::int32_t, 12> counts{};    // notes per pitch class
    std::array<std::int32_t, 12> durations{}; // summed ticks per pitch class

    std::array<KeyScores, kWeightRowCount> countScores{};    // per scheme and key
    std::array<KeyScores, kWeightRowCount> durationScores{}; // per scheme and key
    std::array<std::uint32_t, kKeyCount> degreeMasks{};
    std::array<float, kKeyCount> fitness{};
    float maxFitness = 0.0f;
    VoteTally tally;
    std::vector<int> candidates; // candidate keys, in the order they qualified
    int key = -1;                // the segment's key, -1 none

    int firstNote = 0;
    int lastNote = -1;
    int firstBar = 0;
    int lastBar = 0;

    bool empty() const { return pitchClasses.empty(); }
    int distinctPitchClasses() const { return static_cast<int>(pitchClasses.size()); }
    int candidateCount() const { return static_cast<int>(candidates.size()); }
    bool isCandidate(int k) const;

    // Adds one note of the given pitch class (0..11; others are ignored).
    void addNote(int pitchClass, std::int32_t durationTicks);
    // Adds another segment's notes: pitch classes it brings first are appended
    // in its order of arrival, counts and durations summed.
    void merge(const KeySegment& later);

    // Everything that follows from the notes: scores, masks and candidate keys
    // (stable tones as settings.ModeStT asks), fitness, the three schemes'
    // votes (settings.MinWT) and the key. Replaces whatever was computed
    // before, so it may run again after notes were added.
    void computeKey(const HarmonySettings& settings);
};

} // namespace korvanta
