#pragma once
// Fills a TSong from a Standard MIDI File: the notes of channel n go to note
// list n, tempo, time, key signature and SMPTE events to the meta events,
// controllers, programs and pressures to the channel events, and time
// signatures build the meter map. Created for one load, on the thread that
// owns the song; positions are bar:beat:tick through the song's meter map.

#include "alg/midi/MidiMergeReader.h"
#include "alg/song/TSong.h"
#include "io/Result.h"
#include "io/StatusCodes.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvanta {

class TSongReader : public MidiMergeReader {
public:
    explicit TSongReader(const char* fileName, BufferMode mode = BufferMode::WholeFile);
    explicit TSongReader(std::span<const std::byte> memory);

    // -1: the file could not be opened; 0: ready to run.
    int attach(TSong& song);
    // Reads the whole file into the attached song; 0 on success, else 101.
    Status run();

    Status result() const { return m_result; }
    Status multiChannel() const { return m_multiChannel; }
    int melodyChannel() const { return m_melodyChannel; }

protected:
    bool readheader() override;
    void onsmpte(int rateCode, int hours, int minutes, int seconds, int frames,
                 int fractionalFrames) override;
    void ontimesig(int numerator, int denominator, int clocksPerClick,
                   int thirtySecondsPerQuarter) override;
    void ontempo(std::uint32_t microsecondsPerQuarter) override;
    void onkeysig(int sf, int mi) override;
    void onprogram(int channel, int program) override;
    void oncontroller(int channel, int controller, int value) override;
    void onnoteon(int channel, int pitch, int velocity) override;
    void onnoteoff(int channel, int pitch, int velocity) override;
    void onpitchbend(int channel, int value) override {}
    void onkeypressure(int channel, int pitch, int pressure) override;
    void onchannelpressure(int channel, int pressure) override;

private:
    // A sounding note waiting for its note-off.
    struct OpenNote {
        std::int32_t index = 0;      // index of the note in its list
        std::int64_t startTicks = 0; // when it started
    };
    // Sounding notes of one channel and pitch, oldest first: notes with the same
    // key are closed first in, first out.
    struct OpenQueue {
        std::vector<OpenNote> notes;
        std::size_t head = 0;
    };

    std::int64_t nowTicks() const { return trackTime(); }
    // Converts the current time to a position and records its bar.
    TBarPos takePosition();
    void noteChannel(int channel);
    void appendMeta(std::uint8_t type, std::uint32_t value, std::int32_t value2 = 0);
    void appendChannelEvent(std::uint8_t status, int channel, std::uint32_t value);

    TSong* m_song = nullptr;
    int m_melodyChannel = -1;
    std::vector<OpenQueue> m_open; // by channel * 128 + pitch
    std::int32_t m_openCount = 0;
    Status m_result = 0;
    Status m_multiChannel = 0;
    TBarPos m_position;
    std::int32_t m_currentBar = 0;
    // Where bar kMaxSongBars starts; -1 until needed after a meter change.
    std::int64_t m_barLimitTicks = -1;
    bool m_cutAtBarLimit = false;
};

// What one load of a MIDI file reports besides the filled song.
// status: 0 success, 101 unreadable; diagnostics: the reader's "error: ...\n"
// and "warning: ...\n" texts in order.
struct MidiLoadResult : Outcome {
    Status multiChannel = 0; // 89 when notes lie on more than one channel
    int melodyChannel = -1;  // channel of the first note event, -1 without notes
    bool opened = false;     // false when the file could not be opened at all
    std::uint32_t fileSize = 0;
};

// Reads a MIDI file whole into a fresh song, the way the program opens one.
MidiLoadResult loadMidiFile(TSong& song, const std::string& fileName);
MidiLoadResult loadMidiMemory(TSong& song, std::span<const std::byte> bytes);

} // namespace korvanta
