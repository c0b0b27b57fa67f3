#pragma once
// The note store of a song: 16 note lists (one per MIDI channel while a file is
// read; afterwards list 0 holds the melody and list 1 the generated chord
// notes), the meter map, and a few facts about the melody. Owned by TSong; used
// from the thread that owns the song. Positions are bar:beat:tick, lengths ticks.

#include "alg/song/SongRecords.h"
#include "alg/song/TMeterMap.h"

#include <array>
#include <cstdint>
#include <vector>

namespace korvanta {

constexpr int kNoteListCount = 16;
constexpr int kMelodyList = 0;
constexpr int kChordList = 1;

class TNotes {
public:
    explicit TNotes(int capacity = 50) { Construct(capacity); }

    std::int32_t length = 0;       // end of the song in ticks (latest note end)
    std::uint32_t savedLength = 0; // length when the melody was selected
    std::int32_t error = 0;        // 0 fine, 1 allocation failed, 90/92 melody checks
    std::int16_t pitchMask = 0;    // bit n: pitch class n occurs in the melody list
    std::uint8_t pitchClassCount = 0;
    std::int32_t upbeat = -1; // ticks from the first bar line to the first note; -1 unknown
    std::vector<std::int32_t> barFirstNote; // per bar: first melody note starting there, or -1
    std::int32_t barCount = 0;              // bar of the last appended note + 1
    TMeterMap meter;

    void Construct(int capacity);
    void CreateList(int list, int capacity);
    void ResetList(int list);
    void FreeList(int list);
    void Append(int list, const TNote& note);
    void AddNote(std::uint8_t pitch, int list, std::uint16_t velocities, const TBarPos& start,
                 std::uint16_t duration, std::uint8_t pitchClass);

    std::int32_t Count(int list) const;
    const TNote* Note(int i, int list) const;
    TNote* Note(int i, int list);
    const TNote* NoteInBar(int i, int bar, int list) const;
    int PitchClassOf(int i, int bar, int list) const;
    std::int32_t StartTick(int i, int list) const;
    std::int32_t EndTick(int i, int list, int mode) const;
    std::int32_t Gap(int i, int j, int list) const;
    int FirstNoteOfBar(int bar, int list, bool skipEmpty) const;
    int FindAtTick(std::int32_t ticks, int list, const TNote** found = nullptr) const;
    int CountPitchClasses(int mask) const;

    const std::vector<TNote>& list(int list) const { return m_lists[validList(list)]; }

private:
    static bool isList(int list) { return list >= 0 && list < kNoteListCount; }
    static int validList(int list) { return isList(list) ? list : 0; }

    std::array<std::vector<TNote>, kNoteListCount> m_lists;
    static const std::vector<TNote> kEmpty;
};

} // namespace korvanta
