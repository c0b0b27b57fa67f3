// Tests of key analysis: the vote and its key-signature test, segment
// statistics and candidate keys, the key marks, and whole analyses of short
// melodies whose keys are worked out in the comments. Unless a test says
// otherwise: 480 ticks per quarter, 4/4, built-in harmony settings (AutoKey on,
// ModeStT degrees 1-3-5, MinWT 0.7, MinTaktBT 4).

#include "alg/harmony/KeyAnalysis.h"

#include "alg/song/MelodyChecks.h"
#include "support/SongGrid.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <vector>

using namespace korvanta;

namespace {

constexpr int kQuarter = 480;
constexpr int kBar = 4 * kQuarter;
constexpr int kC = 7, kF = 6, kG = 8, kD = 9, kA = 10, kE = 11;
constexpr int kCm = 16, kDm = 18, kAm = 19, kEm = 20;

// Pitch classes as note names, for readable melodies.
constexpr int C4 = 60, D4 = 62, E4 = 64, F4 = 65, Fs4 = 66, G4 = 67, Gs4 = 68, A4 = 69, B4 = 71,
              C5 = 72, D5 = 74;

std::array<std::int32_t, 12> countsOf(std::initializer_list<int> pitchClasses) {
    std::array<std::int32_t, 12> counts{};
    for (const int pc : pitchClasses)
        ++counts[static_cast<std::size_t>(pc)];
    return counts;
}

std::array<std::int32_t, kKeyCount> scores(std::initializer_list<std::pair<int, int>> values) {
    std::array<std::int32_t, kKeyCount> out{};
    for (const auto& [key, value] : values)
        out[static_cast<std::size_t>(key)] = value;
    return out;
}

// Every pitch class present, every key fitting at 0.8: every key passes.
VoteEvidence openEvidence() {
    VoteEvidence e;
    e.counts.fill(1);
    e.fitness.fill(0.8f);
    e.maxFitness = 1.0f;
    e.minWeight = 0.7f;
    return e;
}

class KeyAnalysisSong : public testing::Test {
protected:
    void SetUp() override { test::useCommonTime(song.meter(), kQuarter); }

    // Four quarter notes filling bar index.
    void bar(int index, std::initializer_list<int> pitches) {
        int ticks = index * kBar;
        const int length = kBar / static_cast<int>(pitches.size());
        for (const int p : pitches) {
            song.notes.AddNote(static_cast<std::uint8_t>(p), kMelodyList, 0x6464,
                               song.meter().ToPos(ticks), static_cast<std::uint16_t>(length),
                               static_cast<std::uint8_t>(p % 12));
            ticks += length;
        }
    }

    // A plain C major tune using all seven pitch classes.
    void cMajorTune() {
        bar(0, {C4, D4, E4, F4});
        bar(1, {G4, A4, B4, C5});
        bar(2, {E4, G4, C5, G4});
        bar(3, {F4, A4, G4, E4});
        bar(4, {D4, G4, B4, D5});
        bar(5, {C5, G4, E4, C4});
    }

    void cMajorFour(int from) {
        bar(from, {C4, D4, E4, F4});
        bar(from + 1, {G4, A4, B4, C5});
        bar(from + 2, {E4, G4, C5, G4});
        bar(from + 3, {F4, D4, G4, C4});
    }
    void gMajorFour(int from) {
        bar(from, {G4, A4, B4, C5});
        bar(from + 1, {D5, B4, Fs4, G4});
        bar(from + 2, {E4, Fs4, A4, D4});
        bar(from + 3, {B4, Fs4, D4, G4});
    }

    Status analyse() {
        PrepareMelody(song, kMelodyList, PrepareMode::ProjectFile);
        analyzer = std::make_unique<KeyAnalyzer>(song, settings);
        return analyzer->Run();
    }

    int songKey() const { return song.keys.empty() ? -1 : song.keys.front().key; }
    std::vector<int> segmentKeys() const {
        std::vector<int> keys;
        for (const KeySegment& s : analyzer->segments())
            keys.push_back(s.key);
        return keys;
    }
    int mark(int key) const { return song.keyMarks[static_cast<std::size_t>(key)]; }

    TSong song;
    HarmonySettings settings = kBuiltInHarmonySettings;
    std::unique_ptr<KeyAnalyzer> analyzer;
};

} // namespace

// --- The vote -----------------------------------------------------------

TEST(KeyAnalysisVote, SignatureAccidentalsMustAllOccur) {
    // D major needs F# and C#; it forgives nothing.
    EXPECT_TRUE(signatureAccidentalsPresent(kD, countsOf({2, 6, 1})));
    EXPECT_FALSE(signatureAccidentalsPresent(kD, countsOf({2, 6, 0})));
    // G major's F# is its 7th, but G major forgives nothing either.
    EXPECT_FALSE(signatureAccidentalsPresent(kG, countsOf({7, 5})));
    // A major: a missing G# (7th) is forgiven when G occurs instead.
    EXPECT_TRUE(signatureAccidentalsPresent(kA, countsOf({9, 1, 6, 7})));
    EXPECT_FALSE(signatureAccidentalsPresent(kA, countsOf({9, 1, 6})));
    // F major's B flat is its 4th: never forgiven.
    EXPECT_FALSE(signatureAccidentalsPresent(kF, countsOf({5, 9, 0, 11})));
    // C minor: a missing A flat (6th) is forgiven when A, above it, occurs.
    EXPECT_TRUE(signatureAccidentalsPresent(kCm, countsOf({0, 3, 7, 10, 9})));
    EXPECT_FALSE(signatureAccidentalsPresent(kCm, countsOf({0, 3, 7, 10})));
    // B major is written with seven flats (C flat major): E (F flat) must occur.
    EXPECT_FALSE(signatureAccidentalsPresent(2, countsOf({10, 3, 8, 1, 6, 11})));
    EXPECT_TRUE(signatureAccidentalsPresent(2, countsOf({10, 3, 8, 1, 6, 11, 4})));
    EXPECT_TRUE(signatureAccidentalsPresent(kC, countsOf({})));
    EXPECT_FALSE(signatureAccidentalsPresent(24, countsOf({0, 2, 4})));
}

TEST(KeyAnalysisVote, KeyBelowMinWTGetsNoVote) {
    VoteEvidence e = openEvidence();
    e.fitness[kC] = 0.69f;
    EXPECT_FALSE(keyPasses(kC, e));
    e.fitness[kC] = 0.7f;
    EXPECT_TRUE(keyPasses(kC, e));
}

TEST(KeyAnalysisVote, FirstKeyThatPassesIsTheResultAndGetsTheOnlyVote) {
    VoteEvidence e = openEvidence();
    e.fitness[kG] = 0.5f; // fails
    std::vector<int> keys{kG, kC, kF};
    VoteTally tally;
    const auto cs = scores({{kG, 30}, {kC, 20}, {kF, 10}});
    EXPECT_EQ(Vote(keys, cs, scores({}), e, tally), kC);
    EXPECT_EQ(tally.votes[kC], 1);
    EXPECT_EQ(tally.votes[kF], 0);
    EXPECT_EQ(tally.bestKey, kC);
}

TEST(KeyAnalysisVote, LastKeyIsNeverTriedOnItsOwnAndZeroScoresEndTheVote) {
    VoteEvidence e = openEvidence();
    e.fitness[kG] = 0.5f;
    VoteTally tally;
    std::vector<int> two{kG, kC};
    EXPECT_EQ(Vote(two, scores({{kG, 30}, {kC, 20}}), scores({}), e, tally), -1);
    std::vector<int> zero{kC, kF, kG};
    EXPECT_EQ(Vote(zero, scores({{kF, 5}}), scores({}), e, tally), -1);
    EXPECT_EQ(tally.bestKey, -1);
}

TEST(KeyAnalysisVote, TieGroupIsSettledByDurationScore) {
    VoteEvidence e = openEvidence();
    VoteTally tally;
    std::vector<int> keys{kC, kAm, kF};
    const int result = Vote(keys, scores({{kC, 20}, {kAm, 20}, {kF, 10}}),
                            scores({{kC, 100}, {kAm, 300}}), e, tally);
    EXPECT_EQ(result, kAm);
    EXPECT_EQ(tally.votes[kC], 0);
}

TEST(KeyAnalysisVote, TieOnBothScoresVotesForEveryMemberWithMaximalFitness) {
    VoteEvidence e = openEvidence();
    e.maxFitness = 0.8f;
    e.fitness[kF] = 0.75f; // tied, but below the maximal fitness
    VoteTally tally;
    std::vector<int> keys{kC, kF, kAm, kG};
    const int result = Vote(keys, scores({{kC, 20}, {kF, 20}, {kAm, 20}, {kG, 5}}),
                            scores({{kC, 50}, {kF, 50}, {kAm, 50}}), e, tally);
    EXPECT_EQ(result, kC);
    EXPECT_EQ(tally.votes[kC], 1);
    EXPECT_EQ(tally.votes[kAm], 1);
    EXPECT_EQ(tally.votes[kF], 0);
    EXPECT_EQ(tally.votes[kG], 0); // the vote ended with the tie group's result
}

TEST(KeyAnalysisVote, TallyKeepsTheEarlierLeaderOnEqualVotes) {
    VoteTally tally;
    tally.addVote(kG);
    tally.addVote(kC);
    EXPECT_EQ(tally.bestKey, kG);
    EXPECT_EQ(tally.decided(), -1);
    tally.addVote(kC);
    EXPECT_EQ(tally.bestKey, kC);
    EXPECT_EQ(tally.decided(), kC);
}

// --- Segments ---------------------------------------------------------------

TEST(KeyAnalysisSegment, CandidateKeysAreListedInTheOrderTheyQualify) {
    KeySegment s;
    for (const int pc : {0, 4, 7, 9, 11, 2})
        s.addNote(pc, 480);
    HarmonySettings settings = kBuiltInHarmonySettings;
    s.computeKey(settings);
    // C-E-G completes C major; A adds A minor (A-C-E); B adds E minor (E-G-B);
    // D adds G major (G-B-D).
    EXPECT_EQ(s.candidates, (std::vector<int>{kC, kAm, kEm, kG}));

    // With ModeStT 0 two of the three stable tones suffice: C-E already makes
    // C major and A minor candidates, G then C minor and E minor.
    settings.ModeStT = 0;
    s.computeKey(settings);
    ASSERT_GE(s.candidates.size(), 4u);
    EXPECT_EQ(std::vector<int>(s.candidates.begin(), s.candidates.begin() + 4),
              (std::vector<int>{kC, kAm, kCm, kEm}));
}

TEST(KeyAnalysisSegment, KeysWithoutTheirTonicTriadScoreNothing) {
    KeySegment s;
    for (const int pc : {0, 2, 4, 5, 7})
        s.addNote(pc, 480);
    s.computeKey(kBuiltInHarmonySettings);
    EXPECT_GT(s.countScores[0][kC], 0);
    EXPECT_EQ(s.countScores[0][kAm], 0);   // no A
    EXPECT_EQ(s.durationScores[1][kG], 0); // no B
    EXPECT_EQ(s.countScores[2][kF], 0);    // no A
}

TEST(KeyAnalysisSegment, MaximalFitnessIsTheBestCandidateFitnessWithoutAPerfectKey) {
    KeySegment s;
    for (const int pc : {0, 2, 4, 7, 9})
        s.addNote(pc, 480);
    s.computeKey(kBuiltInHarmonySettings);
    // C-D-E-G-A: C major and A minor are the candidates; F and B are missing
    // along with their rivals, so five of seven degrees count for both.
    EXPECT_EQ(s.candidates, (std::vector<int>{kC, kAm}));
    EXPECT_FLOAT_EQ(s.maxFitness, 5.0f / 7.0f);
}

TEST(KeyAnalysisSegment, MergeAppendsNewPitchClassesAndSumsCounts) {
    KeySegment a;
    a.addNote(0, 100);
    a.addNote(4, 100);
    KeySegment b;
    b.addNote(7, 50);
    b.addNote(0, 50);
    b.lastNote = 9;
    a.merge(b);
    EXPECT_EQ(a.pitchClasses, (std::vector<std::uint8_t>{0, 4, 7}));
    EXPECT_EQ(a.counts[0], 2);
    EXPECT_EQ(a.durations[0], 150);
    EXPECT_EQ(a.lastNote, 9);
}

// --- Key marks --------------------------------------------------------------

TEST(KeyAnalysisMarks, FewSegmentsMarkTheirCandidatesThatFitTheMelody) {
    std::vector<KeySegment> segments(2);
    segments[0].candidates = {kC, kAm};
    segments[1].candidates = {kEm};
    std::array<float, kKeyCount> fitness{};
    fitness[kC] = 0.9f;
    fitness[kAm] = 0.71f;
    fitness[kEm] = 0.7f; // not above 0.7
    std::array<std::uint8_t, kKeyCount> marks{};
    const int marked = markSegmentKeys(marks, segments, kE, fitness);
    EXPECT_EQ(marks[kC], 1);
    EXPECT_EQ(marks[kAm], 1);
    EXPECT_EQ(marks[kEm], 0);
    // E major 4, its dominant B major 3, its subdominant A major 2.
    EXPECT_EQ(marks[kE], 4);
    EXPECT_EQ(marks[2], 3);
    EXPECT_EQ(marks[kA], 2);
    EXPECT_EQ(marked, 5);
}

TEST(KeyAnalysisMarks, GroupWalkMarksTheTopLevelSkipsTheFirstDropAndStopsAtTheSecond) {
    // Seven segments form groups of 7 / ceil(1.4) = 3; the short last group
    // joins the one before, so the groups are segments 0-2 and 3-6.
    std::vector<KeySegment> segments(7);
    for (int i = 0; i < 3; ++i)
        segments[static_cast<std::size_t>(i)].candidates = {kC};
    segments[0].candidates.push_back(kG);
    segments[1].candidates.push_back(kG);
    segments[2].candidates.push_back(kF);
    // Group 2: D minor in all four, A minor in three, E minor in two.
    for (int i = 3; i < 7; ++i)
        segments[static_cast<std::size_t>(i)].candidates = {kDm};
    segments[3].candidates.push_back(kAm);
    segments[4].candidates.push_back(kAm);
    segments[5].candidates.push_back(kAm);
    segments[6].candidates.push_back(kEm);
    std::array<std::uint8_t, kKeyCount> marks{};
    markSegmentKeys(marks, segments, -1, {});
    // Group 1: C (3) marked; G (2) is the first drop and stays unmarked; F
    // (1) is the second drop and ends the walk.
    EXPECT_EQ(marks[kC], 1);
    EXPECT_EQ(marks[kG], 0);
    EXPECT_EQ(marks[kF], 0);
    // Group 2: D minor marked, A minor skipped, E minor ends the walk.
    EXPECT_EQ(marks[kDm], 1);
    EXPECT_EQ(marks[kAm], 0);
    EXPECT_EQ(marks[kEm], 0);
}

TEST(KeyAnalysisMarks, AWalkMarkingMoreThanTenKeysDropsItsLastLevel) {
    // Six segments, one group of 6 / ceil(1.2) = 3 and another of 3. In the
    // first, keys 0-11 are candidates in two segments and keys 12-23 in one:
    // the walk marks keys 0-11, drops to 1 (key 12 unmarked) and marks 13-23,
    // 23 keys in all; the last level (count 1) is taken back.
    std::vector<KeySegment> segments(6);
    for (int k = 0; k < 12; ++k) {
        segments[0].candidates.push_back(k);
        segments[1].candidates.push_back(k);
    }
    for (int k = 12; k < 24; ++k)
        segments[2].candidates.push_back(k);
    std::array<std::uint8_t, kKeyCount> marks{};
    const int marked = markSegmentKeys(marks, segments, -1, {});
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(marks[static_cast<std::size_t>(k)], 1) << k;
    for (int k = 12; k < 24; ++k)
        EXPECT_EQ(marks[static_cast<std::size_t>(k)], 0) << k;
    EXPECT_EQ(marked, 12);
    EXPECT_GT(marked, kMaxMarkedKeys);
}

TEST(KeyAnalysisMarks, AmbiguityNeedsAMajorKeyAndItsRelativeMinorAmongTheSchemes) {
    EXPECT_EQ(ambiguousMajorKey({kC, kAm, -1}), kC);
    EXPECT_EQ(ambiguousMajorKey({kC, -1, kAm}), kC);
    EXPECT_EQ(ambiguousMajorKey({kAm, kC, kC}), kC); // asked as C major
    EXPECT_EQ(ambiguousMajorKey({-1, kAm, kC}), kC);
    EXPECT_EQ(ambiguousMajorKey({-1, kC, -1}), -1);
    EXPECT_EQ(ambiguousMajorKey({kC, kG, kD}), -1);
    EXPECT_EQ(ambiguousMajorKey({-1, -1, -1}), -1);
}

// --- Whole analyses ---------------------------------------------------------

TEST_F(KeyAnalysisSong, PlainCMajorTuneFitsCMajorAsAWhole) {
    cMajorTune();
    // Only naturals: C major and A minor both fit every note (fitness 1.0);
    // C major scores higher on the stable tones C-E-G in all three schemes.
    EXPECT_EQ(analyse(), kStatusOk);
    EXPECT_EQ(analyzer->globalKey(), kC);
    EXPECT_EQ(songKey(), kC);
    EXPECT_EQ(analyzer->keyResult(), kC);
    EXPECT_EQ(analyzer->tally().votes[kC], 3);
    EXPECT_EQ(mark(kC), 4);
    EXPECT_EQ(mark(kG), 3);
    EXPECT_EQ(mark(kF), 2);
    EXPECT_TRUE(song.keyStatistics.empty()); // freed when the analysis ends
}

TEST_F(KeyAnalysisSong, ApplyPKeyTurnsCMajorIntoAMinorAndBack) {
    cMajorTune();
    settings.ApplyPKey = true;
    EXPECT_EQ(analyse(), kStatusOk);
    EXPECT_EQ(songKey(), kAm);
    EXPECT_EQ(mark(kAm), 4);
    EXPECT_EQ(mark(kE), 3);  // A minor's dominant is E major
    EXPECT_EQ(mark(kDm), 2); // its subdominant D minor
}

TEST_F(KeyAnalysisSong, AMinorTuneWithGSharpIsAMinor) {
    bar(0, {A4, C5, B4, A4});
    bar(1, {E4, Gs4, A4, B4});
    bar(2, {C5, D5, C5, B4});
    bar(3, {A4, F4, E4, Gs4});
    bar(4, {A4, B4, C5, E4});
    bar(5, {D4, F4, Gs4, A4});
    // G sharp is A minor's raised 7th: no key fits every note, so no global
    // key; the one segment votes A minor in its schemes (C major fails on
    // fitness: G# against its G).
    EXPECT_EQ(analyse(), kStatusOk);
    EXPECT_EQ(analyzer->globalKey(), -1);
    EXPECT_EQ(songKey(), kAm);
    EXPECT_EQ(mark(kAm), 4);
    EXPECT_EQ(mark(kE), 3);

    settings.ApplyPKey = true;
    EXPECT_EQ(analyse(), kStatusOk);
    EXPECT_EQ(songKey(), kC);
}

TEST_F(KeyAnalysisSong, TuneModulatingToTheDominantShowsItInItsSegments) {
    // Eight bars of C major, then eight of G major: F four times, F# six.
    for (int b = 0; b < 8; b += 4)
        cMajorFour(b);
    for (int b = 8; b < 16; b += 4)
        gMajorFour(b);
    EXPECT_EQ(analyse(), kStatusOk);
    EXPECT_EQ(segmentKeys(), (std::vector<int>{kC, kC, kG, kG}));
    ASSERT_EQ(analyzer->segments().size(), 4u);
    EXPECT_EQ(analyzer->segments()[2].firstBar, 8);
    EXPECT_EQ(analyzer->segments()[3].lastBar, 15);
    // G major fits the whole melody: its 7th F# against F is 6/10, and the
    // rarer F, its lowered 7th, adds the missing 4/10. So the whole melody
    // already votes G major.
    EXPECT_EQ(analyzer->globalKey(), kG);
    EXPECT_EQ(songKey(), kG);
    EXPECT_EQ(mark(kG), 4);
    EXPECT_EQ(mark(kC), 2);
    EXPECT_EQ(mark(kD), 3);
}

TEST_F(KeyAnalysisSong, TuneVisitingTheDominantKeepsItsHomeKey) {
    // Eight bars of C major, four of G major: F four times, F# three times.
    for (int b = 0; b < 8; b += 4)
        cMajorFour(b);
    gMajorFour(8);
    EXPECT_EQ(analyse(), kStatusOk);
    EXPECT_EQ(segmentKeys(), (std::vector<int>{kC, kC, kG}));
    // F against F# is 4/7 in C major and no key fits every note. C was chosen
    // by two segments, G by one: the list is C, A minor, and C passes in all
    // three schemes.
    EXPECT_EQ(analyzer->globalKey(), -1);
    EXPECT_EQ(analyzer->schemeResults(), (std::array<int, 3>{kC, kC, kC}));
    EXPECT_EQ(songKey(), kC);
    EXPECT_EQ(mark(kC), 4);
    EXPECT_EQ(mark(kG), 3);
    EXPECT_EQ(mark(kF), 2);
}

TEST_F(KeyAnalysisSong, TwoPitchClassesAreTooFewForAKey) {
    for (int b = 0; b < 4; ++b)
        bar(b, {C4, G4, C4, G4});
    EXPECT_EQ(analyse(), kStatusKeyNotRecognised);
    EXPECT_TRUE(song.keys.empty());
    EXPECT_TRUE(analyzer->segments().empty());
}

TEST_F(KeyAnalysisSong, ChromaticTuneHasNoKey) {
    // Every pitch class equally often: no key reaches the fitness of 0.7.
    for (int b = 0; b < 6; ++b)
        bar(b, {C4 + (4 * b) % 12, C4 + (4 * b + 1) % 12, C4 + (4 * b + 2) % 12,
                C4 + (4 * b + 3) % 12});
    EXPECT_EQ(analyse(), kStatusKeyUnknown);
    EXPECT_EQ(analyzer->keyResult(), -1);
    EXPECT_TRUE(song.keys.empty());
    EXPECT_EQ(std::count(song.keyMarks.begin(), song.keyMarks.end(), 0), kKeyCount);
}

TEST_F(KeyAnalysisSong, AutoKeyOffTakesTheKeySignature) {
    cMajorTune();
    settings.AutoKey = false;
    EXPECT_EQ(analyse(), kStatusOk); // no key signature: C major
    EXPECT_EQ(songKey(), kC);

    song.SetEvent(kMetaKeySignature, 0, packEventBytes(1, 0), 0, 0, 0); // one sharp
    settings.ApplyPKey = true; // does not apply to a key taken from the signature
    EXPECT_EQ(analyse(), kStatusOk);
    EXPECT_EQ(songKey(), kG);
    EXPECT_EQ(analyzer->keyResult(), kG);
    EXPECT_EQ(mark(kG), 4);
    EXPECT_EQ(mark(kD), 3);
    EXPECT_EQ(mark(kC), 2);
    EXPECT_EQ(std::count(song.keyMarks.begin(), song.keyMarks.end(), 0), kKeyCount - 3);
}

TEST_F(KeyAnalysisSong, AnalysisOfAnEmptyMelodyEndsWithoutAKey) {
    EXPECT_EQ(analyse(), kStatusKeyNotRecognised);
    EXPECT_TRUE(song.keys.empty());
}
