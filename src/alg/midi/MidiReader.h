#pragma once

#include "alg/midi/MidiFileIO.h"

#include <cstdint>

namespace korvanta {

// The Standard MIDI File parser: header chunk, track chunks, variable-length quantities, running
// status, meta, system-exclusive and channel events, with one virtual callback per kind of event
// and a diagnostic for every malformed input. Subclasses override the callbacks they need.
// Owned by its caller; one thread. Times are in ticks (deltas and trackTime), the clock in
// milliseconds, tempo in microseconds per quarter note, offsets in bytes from the file start.
//
// Data pointers handed to callbacks stay valid only until the callback returns.
class MidiReader : public MidiFileIO {
public:
    // First byte of the options word.
    static constexpr std::uint32_t kAllControllersGeneric = 0x01;
    static constexpr std::uint32_t kScanOnly = 0x02;
    static constexpr std::uint32_t kRawMeta = 0x04;
    static constexpr std::uint32_t kRawSysex = 0x08;
    static constexpr std::uint32_t kRawNotes = 0x10;
    static constexpr std::uint32_t kRawKeyPressure = 0x20;
    static constexpr std::uint32_t kRawControllers = 0x40;
    static constexpr std::uint32_t kRawPrograms = 0x80;
    // Second byte.
    static constexpr std::uint32_t kRawChannelPressure = 0x100;
    static constexpr std::uint32_t kRawPitchBend = 0x200;
    static constexpr std::uint32_t kRawSystem = 0x400;

    static constexpr std::uint32_t kDefaultTempo = 500000;
    // Deltas from here on are an unrealistic pause.
    static constexpr std::int64_t kLargeDelta = 0x1000000;

    explicit MidiReader(const char* fileName, BufferMode mode = BufferMode::Window,
                        std::uint32_t bufferSize = kDefaultBufferSize)
        : MidiFileIO(fileName, mode, bufferSize) {}
    explicit MidiReader(std::FILE* stream, BufferMode mode = BufferMode::Window,
                        std::uint32_t bufferSize = kDefaultBufferSize)
        : MidiFileIO(stream, mode, bufferSize) {}
    explicit MidiReader(std::span<const std::byte> memory) : MidiFileIO(memory) {}
    MidiReader(const void* data, std::size_t size) : MidiFileIO(data, size) {}
    ~MidiReader() override = default;

    // Header, then tracks 1..trackCount one after the other. True when nothing failed; an
    // unrealistic pause stops the reading early and still counts as success.
    virtual bool read();

    // The next count bytes in the buffer, not consumed; nullptr when they are not there.
    virtual const std::uint8_t* peek(std::uint32_t count) { return peekbytes(count); }

    std::uint32_t options() const { return m_options; }
    void setOptions(std::uint32_t options) { m_options = options; }
    int format() const { return m_format; }
    int trackCount() const { return m_trackCount; }
    int division() const { return m_division; }
    int currentTrack() const { return m_currentTrack; }
    int trackChannel() const { return m_trackChannel; }
    // Time of the event being delivered, in ticks from the start of its track (in merged reading
    // the time of the merged stream).
    std::int64_t trackTime() const { return m_trackTime; }
    std::uint64_t clockMs() const { return m_clockMs; }
    std::uint32_t tempo() const { return m_tempo; }
    int progress() const { return m_progress; }
    int runningStatus() const { return m_runningStatus; }

protected:
    virtual bool readheader();
    virtual bool readtrack(int track);
    // One event ending at most at trackEnd; bytes it took, or <= 0 on failure.
    virtual int readevent(std::uint64_t trackEnd);

    virtual void onheader(int format, int trackCount, int division) {}
    virtual void ontrackstart(int track, std::uint32_t chunkLength, int channel) {}
    virtual void ontrackend(int track) {}
    virtual void ondelta(std::int64_t deltaTicks) {}
    virtual void onrawevent(int status, std::uint32_t length, const std::uint8_t* data) {}
    // An item larger than the buffer; the stream is positioned at its first data byte.
    virtual void onrawfileevent(int status, std::uint32_t length, std::FILE* file) {}
    virtual void onmeta(int type, std::uint32_t length, const std::uint8_t* data) {}
    virtual void onmetafile(int type, std::uint32_t length, std::FILE* file) {}
    // name is "" for text types 0x08-0x0F.
    virtual void ontext(int type, std::uint32_t length, const char* name,
                        const std::uint8_t* data) {}
    virtual void onendoftrack() {}
    virtual void onchannelprefix(int channel) {}
    virtual void onport(int port) {}
    virtual void onseqnumber(int number) {}
    virtual void onsmpte(int rateCode, int hours, int minutes, int seconds, int frames,
                         int fractionalFrames) {}
    virtual void ontimesig(int numerator, int denominator, int clocksPerClick,
                           int thirtySecondsPerQuarter) {}
    virtual void ontempo(std::uint32_t microsecondsPerQuarter) {}
    virtual void onkeysig(int sf, int mi) {}
    virtual void onprogram(int channel, int program) {}
    virtual void oncontroller(int channel, int controller, int value) {}
    virtual void onbank(int channel, int value) { oncontroller(channel, 0, value); }
    virtual void onmodulation(int channel, int value) { oncontroller(channel, 1, value); }
    virtual void onbreath(int channel, int value) { oncontroller(channel, 2, value); }
    virtual void onfoot(int channel, int value) { oncontroller(channel, 4, value); }
    virtual void onportamentotime(int channel, int value) { oncontroller(channel, 5, value); }
    virtual void ondataentry(int channel, int value) { oncontroller(channel, 6, value); }
    virtual void onvolume(int channel, int value) { oncontroller(channel, 7, value); }
    virtual void onpan(int channel, int value) { oncontroller(channel, 10, value); }
    virtual void ondynamics(int channel, int value) { oncontroller(channel, 11, value); }
    virtual void onbanklsb(int channel, int value) { oncontroller(channel, 32, value); }
    virtual void onsustain(int channel, int value) { oncontroller(channel, 64, value); }
    virtual void onreverb(int channel, int value) { oncontroller(channel, 91, value); }
    virtual void onchorus(int channel, int value) { oncontroller(channel, 93, value); }
    virtual void ondataincrement(int channel, int value) { oncontroller(channel, 96, value); }
    virtual void ondatadecrement(int channel, int value) { oncontroller(channel, 97, value); }
    virtual void onrpnlsb(int channel, int value) { oncontroller(channel, 100, value); }
    virtual void onrpnmsb(int channel, int value) { oncontroller(channel, 101, value); }
    virtual void onbendrange(int channel, int semitones);
    virtual void onnoteon(int channel, int pitch, int velocity) {}
    virtual void onnoteoff(int channel, int pitch, int velocity) {}
    // value 0-16383, 8192 is the centre.
    virtual void onpitchbend(int channel, int value) {}
    virtual void onkeypressure(int channel, int pitch, int pressure) {}
    virtual void onchannelpressure(int channel, int pressure) {}
    virtual void onsongposition(int value) {}
    virtual void onsongselect(int number) {}
    virtual void ontunerequest() {}
    virtual void onclock() {}
    virtual void onstart() {}
    virtual void oncontinue() {}
    virtual void onstop() {}
    virtual void onactivesensing() {}
    virtual void onsysex(std::uint32_t length, const std::uint8_t* data) {}
    virtual void onsysexfile(std::uint32_t length, std::FILE* file) {}
    virtual void onxgon() {}
    virtual void ongmon() {}
    virtual void ongsreset() {}
    virtual void ongsexit() {}
    virtual void onfinished() {}
    virtual void onlargepause(std::int64_t deltaTicks);
    virtual void onprogress(int percent) {}

    // Byte helpers at the position: one byte (-1 at the end), big-endian numbers (0 when the
    // bytes are missing) and a variable-length quantity (0 and the error flag at the end).
    int readbyte();
    std::uint32_t read16();
    std::uint32_t read24();
    std::uint32_t read32();
    std::uint32_t readvlq();

    // Calls onlargepause() and sets the stop flag.
    void largePause(std::int64_t deltaTicks);
    // Advances the millisecond clock by a delta; false (after largePause) for an unrealistic one.
    bool advanceClock(std::int64_t deltaTicks);
    // Reports progress through the file when the percentage changes.
    void updateProgress();
    // The channel of a track's channel messages: -1 none, -2 several.
    int scanTrackChannel(std::uint64_t start, std::uint64_t end);

    std::uint32_t m_options = 0;
    int m_format = 0;
    int m_trackCount = 0;
    int m_division = 0;
    int m_currentTrack = 0;
    int m_trackChannel = -1;
    std::int64_t m_trackTime = 0;
    std::uint64_t m_clockMs = 0;
    std::uint64_t m_clockRemainder = 0;
    std::uint32_t m_division1000 = 0;
    std::uint32_t m_tempo = kDefaultTempo;
    int m_progress = 0;
    int m_runningStatus = -1;
    std::uint32_t m_chunkLength = 0;
    std::uint64_t m_chunkStart = 0;
    std::uint64_t m_trackEnd = 0; // end offset of the current track chunk, clamped to the file
    std::uint64_t m_eventStart = 0;
    std::uint8_t m_lastVlqLength = 0;
    bool m_endOfTrackSeen = false;
    std::uint64_t m_nextProgressAt = 0; // position at which the percentage next changes
    // The clock's per-tick rate, cached for the tempo and division it was computed for.
    std::uint32_t m_rateTempo = 0;
    std::uint32_t m_rateDivision1000 = 0;
    std::uint64_t m_msPerTick = 0;
    std::uint64_t m_restPerTick = 0;

    // A variable-length quantity at the position; false (error reported) at the end of file.
    bool readVlq(std::uint32_t& value);

private:
    std::uint64_t sysexLength(std::uint64_t trackEnd);
    int readSysex(int status, std::uint64_t trackEnd);
    int readMeta(std::uint64_t trackEnd);
    bool readSystemCommon(int status);
    bool readChannelMessage(int status, std::uint64_t trackEnd);
    void deliverController(int channel, int controller, int value, int status,
                           std::uint64_t trackEnd);
    bool findNextTrackChunk(int track, std::uint32_t& length);
};

} // namespace korvanta
