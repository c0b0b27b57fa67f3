#pragma once
// Key analysis: finds the main key of a prepared melody and marks the keys the
// melody touches, for the harmony engine.
//
// With AutoKey on, the whole melody votes first (a global key, when some key
// fits every note); then the melody is cut into segments of at least
// MinTaktBT bars and seven pitch classes, each with its own key; when the
// global vote found nothing, the keys the segments chose vote again. With
// AutoKey off the key comes from the song's key signature. The key found
// becomes the song's first key entry; keyMarks get 4 for it, 3 for its
// dominant, 2 for its subdominant and 1 for other keys the segments support.
//
// Run() replaces the song's key list and keyMarks; with no key found both are
// left empty.
//
// One KeyAnalyzer per analysis, created by the chord master and thrown away
// after Run(). It refers to the song and the settings (both must outlive it)
// and runs on the thread that owns the song. The song's keyStatistics exist
// only while Run() works. Durations are ticks.

#include "alg/harmony/HarmonySettings.h"
#include "alg/harmony/KeySegment.h"
#include "alg/harmony/KeyVote.h"
#include "alg/song/TSong.h"
#include "io/StatusCodes.h"

#include <array>
#include <vector>

namespace korvanta {

// Keys with a mark other than 0 beyond which the melody counts as wandering
// through too many keys (status 97, still harmonized).
constexpr int kMaxMarkedKeys = 10;
// A key met in a single segment is marked only with at least this fitness
// over the whole melody.
constexpr double kMarkFitness = 0.7;

// The relative key of a key (C major <-> A minor); -1 for a non-key.
constexpr int relativeKey(int key) {
    return isKey(key) ? (key + 12) % kKeyCount : -1;
}

// The key of a major/relative-minor ambiguity among the three schemes' vote
// results: scheme 1's key when scheme 0 found none and scheme 2 found its
// relative; else scheme 0's key when scheme 1 or 2 found its relative. Given
// as its major key (a minor result becomes its relative major); -1 when the
// results show no such ambiguity.
int ambiguousMajorKey(const std::array<int, kWeightRowCount>& schemeResults);

// Sets marks 4, 3 and 2 for key, its dominant and its subdominant.
void markMainKey(std::array<std::uint8_t, kKeyCount>& marks, int key);

// Marks (1) the keys the segments support, group by group, then the main key
// and its neighbours (markMainKey). Returns how many keys carry a mark.
int markSegmentKeys(std::array<std::uint8_t, kKeyCount>& marks,
                    const std::vector<KeySegment>& segments, int mainKey,
                    const std::array<float, kKeyCount>& melodyFitness);

class KeyAnalyzer {
public:
    KeyAnalyzer(TSong& song, const HarmonySettings& settings);

    // Analyses the melody list. Returns and keeps the status: 0 key found;
    // 97 key found but more than 10 keys marked; 92 two or fewer pitch
    // classes; 95 no key; 96 a major key and its relative minor both
    // plausible (keyResult() is then the major one); 1 out of memory.
    Status Run();

    Status status() const { return m_status; }
    // The key analysis result: the best-voted key (with 2 or more votes), the
    // major key of an ambiguity (96), the key-signature key with AutoKey off,
    // else -1.
    int keyResult() const { return m_keyResult; }
    // The key the whole melody voted for before segments were looked at; -1
    // when no key fits every note or the vote was not clear.
    int globalKey() const { return m_globalKey; }
    // Each scheme's result of the vote over the segments' keys (-1 each when
    // that vote did not run).
    const std::array<int, kWeightRowCount>& schemeResults() const { return m_schemeResults; }
    const std::vector<KeySegment>& segments() const { return m_segments; }
    const VoteTally& tally() const { return m_tally; }
    const std::array<float, kKeyCount>& melodyFitness() const { return m_evidence.fitness; }

private:
    Status runAutomatic();
    void findGlobalKey();
    bool buildSegments(); // false: too few pitch classes for any segment
    void closeSegment(KeySegment& current, bool& lastKeyless, int nextNote);
    void voteOverSegments();
    void settleKnownKey();
    void settleUnknownKey();
    void takeKeyFromSignature();

    std::span<const std::int32_t, kKeyCount> melodyCountScores(int row) const;
    std::span<const std::int32_t, kKeyCount> melodyDurationScores(int row) const;
    void setSongKey(int key);

    TSong& m_song;
    HarmonySettings m_settings;
    Status m_status = kStatusNoResult;
    int m_keyResult = -1;
    int m_globalKey = -1;
    std::array<int, kWeightRowCount> m_schemeResults{-1, -1, -1};
    VoteEvidence m_evidence; // the whole melody
    VoteTally m_tally;       // the whole melody's votes
    std::vector<KeySegment> m_segments;
};

} // namespace korvanta
