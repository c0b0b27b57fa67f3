#pragma once
// One loaded tune and everything derived from it: the notes and meter map, the
// stored MIDI events, the per-bar chord candidates and chosen chords, the keys
// and the playback range. Owned by the chord master (one song at a time); used
// on the GUI thread, and read by the player only while a play runs.

#include "alg/song/SongRecords.h"
#include "alg/song/TEventList.h"
#include "alg/song/TNotes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korvanta {

struct ChannelMixState;
struct StyleRecord;

// Change-flag bits of a song.
namespace SongChange {
constexpr std::uint8_t kKeyByHand = 1;
constexpr std::uint8_t kSettings = 2;
constexpr std::uint8_t kNewMelody = 4;
constexpr std::uint8_t kStyle = 8;
constexpr std::uint8_t kMix = 16;
constexpr std::uint8_t kUnsavedMask = 27; // everything but kNewMelody
} // namespace SongChange

constexpr std::uint16_t kBlockChordVelocities = 25700; // 100 on, 100 off
constexpr std::int32_t kDefaultTempo = 500000;         // microseconds per quarter

// Beats per minute of a tempo in microseconds per quarter, rounded: a file
// at 666,667 microseconds is 90 beats a minute, not 89. 0 for no tempo.
constexpr std::int32_t beatsPerMinute(std::int64_t microsecondsPerQuarter) {
    if (microsecondsPerQuarter <= 0) return 0;
    return static_cast<std::int32_t>((std::int64_t{60000000} + microsecondsPerQuarter / 2) /
                                     microsecondsPerQuarter);
}
constexpr int kKeyStatisticsSize = 240;

class TSong {
public:
    TSong();
    TSong(const TSong&) = delete;
    TSong& operator=(const TSong&) = delete;

    std::uint8_t changes = 0;
    std::uint8_t format = 1;
    std::uint8_t trackCount = 0;
    std::int16_t ticksPerQuarter = 480;
    TNotes notes{50};
    TEventList metaEvents;    // tempo, SMPTE offset, time and key signatures
    TEventList channelEvents; // controllers, programs, pressures
    const ChannelMixState* channelSettings = nullptr; // the notes view's, not owned
    std::array<std::uint8_t, 24> keyMarks{};
    std::vector<TBarChords> barChords;   // one per bar, or empty
    std::vector<TBarHarmony> barHarmony; // one per bar, or empty
    std::uint32_t barCount2 = 0;
    std::int32_t barCount = 0;
    const StyleRecord* style = nullptr; // the applied accompaniment style, not owned
    const StyleRecord* style2 = nullptr;
    std::vector<std::int32_t> keyStatistics; // 240 values during key detection, else empty
    std::uint8_t chordOctave = 255;
    std::vector<TKeyEntry> keys;
    std::int32_t warning = 0;
    std::string text; // comment stored with the song; empty when none
    std::int32_t playFrom = 0;
    std::int32_t playTo = 0; // 0: up to the end of the notes

    TMeterMap& meter() { return notes.meter; }
    const TMeterMap& meter() const { return notes.meter; }
    std::vector<std::int32_t>& barFirstNote() { return notes.barFirstNote; }
    std::int32_t keyCount() const { return static_cast<std::int32_t>(keys.size()); }
    void setBarCount(std::int32_t bars) {
        barCount = bars;
        barCount2 = static_cast<std::uint32_t>(bars);
    }

    void ClearAnalysis();

    void SetFlags(std::uint8_t mask, bool on);
    bool TestFlags(std::uint8_t mask) const { return (changes & mask) != 0; }

    TSongEvent* FindEvent(std::uint8_t type, std::uint8_t sub, int list);
    const TSongEvent* FindEvent(std::uint8_t type, std::uint8_t sub, int list) const;
    void SetEvent(std::uint8_t type, std::uint8_t sub, std::uint32_t value, std::int32_t value2,
                  int list, std::int32_t ticks);
    std::int32_t QueryMeta(std::uint8_t type, std::int32_t arg = 0,
                           std::int32_t* out = nullptr) const;
    void KeepChannelEvents(int channel, int newChannel);

    bool MakeBarChords();
    bool MakeBarHarmony();
    void ClampSecondGroups(int limit);

    std::int16_t BarChord(int bar) const;
    void SetBarChord(int bar, std::int16_t chord);
    void SetBarPlay(int bar, std::uint8_t play);
    std::int16_t BarCandidate(int bar, int index) const;

    // The melody as the harmony engine sees it.
    std::int16_t MelodyPitchClassOf(int i, int bar) const;
    std::int32_t MelodyStartTick(int i, int bar = -1) const;
    std::int32_t MelodyGap(int i, int j) const;
    int MelodyFirstNoteOfBar(int bar) const;

private:
    TEventList& eventList(int list) { return list == 0 ? metaEvents : channelEvents; }
    const TEventList& eventList(int list) const { return list == 0 ? metaEvents : channelEvents; }
};

} // namespace korvanta
