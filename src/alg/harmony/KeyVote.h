#pragma once
// The vote of key analysis: one weighting scheme's say over an ordered list of
// keys. The first key of the list (or of a tie group) that fits the notes well
// enough and whose key signature the notes bear out receives a vote and is the
// scheme's result. Tallies accumulate over several votes (the three schemes),
// so the best-voted key of a tally is what a whole analysis step found.
//
// Plain functions over values the caller owns; any thread. Fitness is the
// 0..1 value of ScoreKeys; scores are the weighted sums of the key statistics.

#include "alg/song/Keys.h"

#include <array>
#include <cstdint>
#include <span>

namespace korvanta {

// What the tried keys are measured against: the notes (melody or segment).
struct VoteEvidence {
    std::array<std::int32_t, 12> counts{};  // notes per pitch class
    std::array<float, kKeyCount> fitness{}; // per key, from ScoreKeys
    float maxFitness = 1.0f;                // what a tie-group member must equal
    float minWeight = 0.7f;                 // MinWT: the least fitness a key may have
};

// Votes per key, and the best-voted key so far (-1 none). A later key takes
// the lead only with strictly more votes.
struct VoteTally {
    std::array<std::int32_t, kKeyCount> votes{};
    int bestKey = -1;
    std::int32_t bestCount = 0;

    void clear() { *this = VoteTally{}; }
    void addVote(int key);
    // The best-voted key when it has at least two votes, else -1.
    int decided() const { return bestCount >= 2 ? bestKey : -1; }
};

// Whether the notes bear out key's signature: every sharp or flat of it
// occurs, except that a missing 6th or 7th degree is forgiven when the note a
// semitone below it (major) or above it (minor) occurs instead; G and D major
// and minor forgive nothing. false for anything that is not a key.
bool signatureAccidentalsPresent(int key, std::span<const std::int32_t, 12> counts);

// Whether key can receive a vote: fitness at least minWeight and its
// signature borne out by the notes.
bool keyPasses(int key, const VoteEvidence& evidence);

// One scheme's vote over keys, ordered by count score (highest first). Runs of
// equal count scores are tie groups, settled by duration score; tie groups may
// be reordered in keys. Keys outside 0..23 in the list are never voted for.
// Returns the scheme's result: the first key that received a vote, or -1.
int Vote(std::span<int> keys, std::span<const std::int32_t, kKeyCount> countScores,
         std::span<const std::int32_t, kKeyCount> durationScores, const VoteEvidence& evidence,
         VoteTally& tally);

} // namespace korvanta
