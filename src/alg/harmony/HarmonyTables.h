#pragma once
// The constant tables the harmony engine scores with: the harmonic function of
// a candidate chord in the main key, the function flags of a melody note, the
// weight of a melody pitch class for a candidate, and the score of moving from
// one function to the next. Pure functions over constant tables; any thread.
// Degrees are the key model's: 1..7 diatonic, -1..-7 altered.

#include "alg/song/Keys.h"

#include <array>
#include <cstdint>

namespace korvanta::harmony {

// Harmonic functions of a chord in the main key.
constexpr int kNoFunction = -1;
constexpr int kTonic = 0;
constexpr int kSubdominant = 1;
constexpr int kDominant = 2;
constexpr int kFunctionCount = 3;

// Function flags of a melody note: which functions the note can belong to.
constexpr std::uint8_t kTonicFlag = 1;
constexpr std::uint8_t kSubdominantFlag = 2;
constexpr std::uint8_t kDominantFlag = 4;
constexpr std::uint8_t kFunctionFlags[kFunctionCount] = {kTonicFlag, kSubdominantFlag,
                                                         kDominantFlag};

// Column of a degree in the function tables: 0-6 diatonic 1-7, 7-13 altered
// 1-7; -1 for anything else.
constexpr int degreeColumn(int degree) {
    if (degree >= 1 && degree <= 7) return degree - 1;
    if (degree <= -1 && degree >= -7) return 6 - degree;
    return -1;
}

// By main key mode and candidate mode (0 major, 1 minor), then degree column
// of the candidate's root in the main key.
inline constexpr std::array<std::array<std::array<std::int8_t, 14>, 2>, 2> kChordFunctions{{
    {{
        {0, 1, 0, 1, 2, 1, 2, 1, 2, -1, -1, 2, 2, -1}, // major key, major chord
        {0, 1, 0, 1, 2, 1, 2, 2, 1, -1, 1, 2, -1, -1}, // major key, minor chord
    }},
    {{
        {0, 1, 0, 1, 2, 1, 2, 1, -1, -1, -1, -1, -1, -1},   // minor key, major chord
        {0, 1, -1, 1, 2, -1, 2, 2, -1, -1, -1, -1, -1, -1}, // minor key, minor chord
    }},
}};

// By main key mode, then degree column of the note's pitch class.
inline constexpr std::array<std::array<std::uint8_t, 14>, 2> kNoteFunctionFlags{{
    {1, 2, 1, 2, 4, 2, 4, 6, 6, 0, 2, 4, 4, 0},
    {1, 2, 1, 2, 4, 2, 4, 6, 0, 7, 7, 0, 7, 4},
}};

// Weight of a melody pitch class for a candidate, by its diatonic degree 1-7
// in the candidate's key. Altered 6 and 7 weigh 3; other altered degrees 0.
inline constexpr std::array<std::int8_t, 7> kCandidateDegreeWeights = {6, 2, 6, 2, 6, 4, 4};
constexpr int kAlteredSixSevenWeight = 3;

// Score of moving from the previous chord's function (row) to the next one
// (column); moving to a chord without a function scores 0.
inline constexpr std::array<std::array<std::int8_t, kFunctionCount>, kFunctionCount>
    kFunctionTransitions{{{1, 4, 3}, {3, 1, 4}, {4, 2, 1}}};

// Function of candidate chord root (a key index) in mainKey; kNoFunction for
// keys outside 0..23.
inline int chordFunction(int mainKey, int candidate) {
    if (!isKey(mainKey) || !isKey(candidate)) return kNoFunction;
    const int column = degreeColumn(DegreeOf(keyTonic(candidate), mainKey));
    if (column < 0) return kNoFunction;
    return kChordFunctions[keyMode(mainKey)][keyMode(candidate)][column];
}

// Function flags of a note of pitch class pitchClass in mainKey; 0 outside
// the tables.
inline std::uint8_t noteFunctionFlags(int mainKey, int pitchClass) {
    const int column = degreeColumn(DegreeOf(pitchClass, mainKey));
    if (!isKey(mainKey) || column < 0) return 0;
    return kNoteFunctionFlags[keyMode(mainKey)][column];
}

// Weight of a degree for the candidate scores.
constexpr int candidateDegreeWeight(int degree) {
    if (degree >= 1 && degree <= 7) return kCandidateDegreeWeights[degree - 1];
    if (degree == -6 || degree == -7) return kAlteredSixSevenWeight;
    return 0;
}

// Transition score; 0 when either side has no function.
constexpr int functionTransition(int previous, int next) {
    if (previous < 0 || previous >= kFunctionCount || next < 0 || next >= kFunctionCount) return 0;
    return kFunctionTransitions[previous][next];
}

} // namespace korvanta::harmony
