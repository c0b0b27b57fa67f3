#pragma once
// The harmony engine: gives every bar of a prepared melody a ranked list of
// chords in the song's TBarChords records (main chords first, then additional
// ones), and marks the bars that close a phrase (cadence marks).
//
// One Harmonizer per run, owned by the chord master, which keeps it until the
// song is closed. It holds a reference to the song (which must outlive it),
// and copies of the harmony settings and of the progression table it is
// given, so a run depends on nothing but its arguments. Deterministic: the
// same melody, key, key marks, settings and progression table always give the
// same chords. A Harmonizer is used on one thread at a time, the one that owns
// its song; Harmonizers of different songs share no state and may run side by
// side. Times are ticks; scores are plain numbers without unit.
//
// Inputs: the melody list (list 0) as prepared by PrepareMelody, the song's
// first key entry (the main key) and keyMarks, and the progression table of
// the main key (progression::progressionTableFor), which the unusual-chord
// filter (CSFilter) consults.

#include "alg/harmony/HarmonySettings.h"
#include "alg/harmony/ProgressionTables.h"
#include "alg/song/ChordVocabulary.h"
#include "alg/song/TSong.h"

#include <array>
#include <cstdint>
#include <vector>

namespace korvanta {

// What a run achieved.
enum class HarmonizerResult {
    Done,     // every bar's record is filled
    NotSetUp, // the records could not be allocated; nothing ran
    NoKey,    // the song has no main key (empty key list or a key outside 0..23)
    NoMelody, // the melody list is empty
};

// Cadence marks as a TBarChords record stores them.
constexpr std::uint8_t kMarkNone = 0;
constexpr std::uint8_t kMarkLongNote = 1;   // the bar holds a long anchor note
constexpr std::uint8_t kMarkEmptyBar = 255; // the bar has no notes
// A bar closed by cadence rule type t (1..4) is marked t + 1.
constexpr std::uint8_t cadenceRuleMark(int type) {
    return static_cast<std::uint8_t>(type + 1);
}

class Harmonizer {
public:
    static constexpr int kCandidateCount = 24;
    static constexpr int kMaxMainChords = 3;
    // A record holds 12 codes: 3 main chords leave room for 9 additional ones,
    // whatever MaxNumCustomChords says.
    static constexpr int kMaxAdditionalChords = TBarChords::kCapacity - kMaxMainChords;

    // Allocates the per-note flags, the song's TBarChords (MakeBarChords) and
    // the per-bar anchors. failed() tells whether the records could not be had.
    // progressions should be those of the song's main key.
    Harmonizer(TSong& song, const HarmonySettings& settings,
               progression::ProgressionTable progressions);

    bool failed() const { return m_failed; }

    // Harmonizes the whole melody into the song's TBarChords, replacing what
    // they held. Does nothing (and says why) when failed(), without a main key
    // or without melody notes; the records are then left empty.
    HarmonizerResult Run();

    // The working state, readable after a run (the candidate values are those
    // of the last bar harmonized).
    int direction() const { return m_direction; }
    int keyRelationWeight() const { return m_keyRelationWeight; }
    int upbeat() const { return m_upbeat; }
    int firstBar() const { return m_firstBar; }
    int firstCadenceBar() const { return m_firstCadenceBar; }
    int lastAnchorBar() const { return m_lastAnchorBar; }
    int anchorNote(int bar) const;         // -1 when none or out of range
    int noteFunctionFlags(int note) const; // 255 when out of range or not yet known
    int candidateFunction(int candidate) const;
    float candidateScore(int candidate) const;
    int candidateVariant(int candidate) const;
    // MaxNumCustomChords as the run uses it: 0..kMaxAdditionalChords.
    int additionalChordLimit() const { return m_additionalLimit; }
    const progression::ProgressionTable& progressionTable() const { return m_progressions; }

private:
    // Melody access (list 0), with start ticks cached per note and per bar.
    int noteCount() const { return static_cast<int>(m_startTicks.size()); }
    const TNote& note(int i) const;
    int noteBar(int i) const;
    int pitchClass(int i) const;
    int duration(int i) const;
    int startTick(int i) const { return m_startTicks[static_cast<std::size_t>(i)]; }
    int barStart(int bar) const;
    int barLength(int bar) const;
    bool isBar(int bar) const { return bar >= 0 && bar < m_barCount; }
    int firstNoteIn(int bar) const; // -1 for a bar without notes or outside the song
    TBarChords& record(int bar) { return m_song.barChords[static_cast<std::size_t>(bar)]; }
    const TBarChords& record(int bar) const {
        return m_song.barChords[static_cast<std::size_t>(bar)];
    }
    std::uint8_t mark(int bar) const { return record(bar).cadenceMark; }
    void setAnchor(int bar, int note, std::uint8_t mark);

    void reset();
    void setUpFirstBar();
    void computeFunctions();
    void cacheWalkBack();
    void harmonizeBars(int from, int to, int direction);
    void fillAdditionalChords();

    // Anchors and cadences (HarmonizerCadence.cpp).
    void markAnchorsAndCadences();
    void markLongNotes();
    int searchCadence(int bar, int type);
    int tryCadence(int base, int offset, int type, bool inner);
    bool runRule(int type, int bar);
    // The rules return the note found, or -1.
    int ruleRest(int bar, int from, int end) const;
    int ruleRepeatedPitch(int bar, int from, int end) const;
    int ruleLongNote(int bar, int from, int end) const;
    int ruleStableTone(int bar, int from, int end) const;
    void findLastAnchorBar();
    void addCadenceBonus(int bar);

    // One bar (HarmonizerBar.cpp).
    void harmonizeBar(int bar);
    void gatherWindow(int bar, int first, int last);
    void scoreNotes();
    void chooseVariants(int bar);
    void addKeyRelationBonus();
    void addFunctionBonus(int bar, int first, int last);
    void writeChords(int bar);

    TSong& m_song;
    HarmonySettings m_settings;
    progression::ProgressionTable m_progressions;
    bool m_failed = false;

    int m_mainKey = -1;
    int m_barCount = 0;
    int m_additionalLimit = 0;
    int m_direction = 1;
    int m_keyRelationWeight = 3;
    int m_upbeat = 0;
    int m_firstBar = 0;
    int m_firstCadenceBar = 0;
    int m_lastAnchorBar = 0;

    std::vector<int> m_anchorNote;          // per bar, -1 none
    std::vector<std::uint8_t> m_noteFlags;  // per melody note, 255 until known
    std::vector<std::int32_t> m_startTicks; // per melody note
    std::vector<std::int32_t> m_barStarts;  // per bar, and one past the last
    std::vector<int> m_walkBackNote;        // per note: nearest earlier note of another pitch class
    std::vector<std::int32_t> m_walkBackRest; // per note: largest rest met on the way there

    std::array<int, kCandidateCount> m_candidateFunction{};
    std::array<float, kCandidateCount> m_candidateScore{};
    std::array<int, kCandidateCount> m_candidateVariant{};
    std::array<int, 12> m_windowCount{};          // pitch-class counts of the widened window
    std::array<int, 12> m_barNoteCount{};         // notes per pitch class in the bar itself
    std::array<std::int64_t, 12> m_barDuration{}; // summed ticks per pitch class in the bar
    int m_distinctPitchClasses = 0;
};

} // namespace korvanta
