#pragma once
// The player: plays the open song through a MIDI output on a worker thread,
// sounds single chords for the chord palette and previews style patterns.
//
// Owned by the main window (or the command line); one per window. Every
// public method is for the owner's thread (the GUI thread), except
// isPlaying(), position() and bufferStatus(), which any thread may call. The
// play loop runs on a TPlayerThread; it sees the song, the mixer settings and
// the play positions it was handed, and nothing else.
//
// Threading contract:
//  - start() launches the worker; stop() sets the atomic stop flag, resets the
//    stream (its buffers come back and the worker wakes) and joins the worker.
//    Stopping is safe at any moment, twice, after the end, and from the
//    end-of-playback handler itself (which then does not join).
//  - Live changes (tempo, instrument, volume, channel settings, short
//    messages) go straight to the stream, whose one lock serialises them with
//    the worker's queueing.
//  - The worker reports back only through atomics (position, buffer status,
//    isPlaying) and two callbacks that run on the worker thread: the error
//    handler (caption "Error", the error's text or "Unknown Error") and then
//    the end-of-playback handler. A GUI turns both into queued signals.
//
// Units: ticks of the song's division; tempo in microseconds per quarter;
// MIDI channels 0-15 (part 0 the melody, part 1 the chords).

#include "alg/song/ChannelMixState.h"
#include "alg/song/ChordVocabulary.h"
#include "alg/song/SongEventStream.h"
#include "alg/song/TSong.h"
#include "playback/FluidSynthOutput.h"
#include "playback/MidiClock.h"
#include "playback/MidiOutput.h"
#include "playback/MidiStream.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace korvanta {

class TPlayerThread;

// The four tick positions of a play, owned by the notes view (or the command
// line) and shared with the player: the worker writes the song's end and, on a
// restart request, the start; the GUI thread reads them.
struct PlayPositions {
    static constexpr int kStart = 0;
    static constexpr int kSongEnd = 1;
    static constexpr int kLoopStart = 2;
    static constexpr int kLoopEnd = 3;

    std::int32_t get(int entry) const {
        return entry >= 0 && entry < 4 ? m_ticks[entry].load(std::memory_order_acquire) : 0;
    }
    void set(int entry, std::int32_t ticks) {
        if (entry >= 0 && entry < 4) m_ticks[entry].store(ticks, std::memory_order_release);
    }

private:
    std::array<std::atomic<std::int32_t>, 4> m_ticks{};
};

// What the play loop raises: a device or stream failure with its text (which
// may be empty), shown by the worker's error handler.
class PlayerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Play modes: mode m plays from position entry m to entry m + 1.
constexpr std::uint8_t kPlaySongMode = 0;
constexpr std::uint8_t kPlayLoopMode = 2;

class Player {
public:
    using EndHandler = std::function<void()>;
    using ErrorHandler = std::function<void(const std::string& caption, const std::string& text)>;

    static constexpr int kBuiltInSynth = -1; // the device id of the embedded synth
    static constexpr std::size_t kBufferWords = 8192;
    static constexpr std::uint8_t kChordVelocity = 100;
    static constexpr std::uint8_t kControllerVolume = 7;
    static constexpr const char* kErrorCaption = "Error";
    static constexpr const char* kUnknownErrorText = "Unknown Error";

    // Plays through the system: the embedded synth (device -1) or a MIDI
    // port chosen with setDevice(), on the steady clock.
    explicit Player(FluidSynthOptions synthOptions = {});
    // Plays through the given output on the given clock (tests, benchmarks);
    // both outlive the player. setDevice() is refused.
    Player(MidiOutput& output, MidiClock& clock);
    ~Player(); // stops and closes the output
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Set-up, while idle. The song, mixer settings, positions and restart
    // flag are not owned and must outlive any play.
    void setSong(TSong* song) { m_song = song; }
    void setChannelSettings(ChannelMixState* mix) { m_mix = mix; }
    void setPositions(PlayPositions* positions) { m_positions = positions; }
    void setRestartFlag(std::atomic<bool>* restart) { m_restart = restart; }
    void setDivision(std::uint32_t ticksPerQuarter) { m_ticksPerQuarter = ticksPerQuarter; }
    // With false, the song's own tempo changes are left out and the tempo set
    // here holds for the whole play.
    void setFollowSongTempo(bool follow) { m_followSongTempo = follow; }
    void setEndHandler(EndHandler handler) { m_endHandler = std::move(handler); }
    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }
    // Device -1 is the embedded synth; any other id plays to the system MIDI
    // port called portName. Stops a play and closes the old output first.
    MidiResult setDevice(int device, const std::string& portName = {});
    int device() const { return m_device; }

    // Plays the song from position entry 0 to the song's end, or the loop
    // from entry 2 to entry 3 again and again until stopped. False (and
    // nothing happens) while a play runs or without song or positions.
    bool start(bool loop);
    void stop();
    bool isPlaying() const { return m_running.load(std::memory_order_acquire); }

    // The song position in ticks: the start entry of the current mode plus the
    // stream's position, or the mode's end entry once within a sixteenth of it.
    std::int64_t position();
    // The last queued buffer's number (0 or 1) and its word count.
    std::pair<int, int> bufferStatus() const;

    void setTempo(std::uint32_t microsecondsPerQuarter);
    // The device's tempo while the stream is open, else the stored one.
    std::uint32_t tempo();
    std::uint32_t division() const { return m_ticksPerQuarter.load(); }

    MidiResult setInstrument(std::uint8_t program, int channel);
    // Stores a non-zero volume; sends any, so 0 silences a muted part.
    MidiResult setVolume(std::uint8_t volume, int channel);
    // Programs and volumes of parts 0 and 1, with mute and solo applied.
    MidiResult applyChannelSettings();
    // Sends one message at once through the open stream.
    MidiResult shortMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // Sends `status` (0x91 on, 0x81 off) with every tone of the chord at the
    // song's chord octave; opens the stream if needed and leaves it open.
    MidiResult soundChord(ChordCode chord, std::uint8_t status);
    // Plays the chord list of `notes` once and returns when it has played,
    // then closes the stream. Does nothing while a play runs.
    MidiResult preview(const TNotes& notes, std::uint32_t microsecondsPerQuarter,
                       std::uint32_t ticksPerQuarter, std::uint8_t program);
    // preview() without the wait, for a window that must stay responsive:
    // plays a copy of the notes on a thread of its own and returns at once.
    // False (and nothing happens) while a play or another preview runs, or
    // when the system refuses a thread. A failing output goes to the error
    // handler, on that thread. While it runs the player is not idle: start()
    // is refused, set-up must wait, soundChord(), preview() and setDevice()
    // wait for its end (stopPreview() first), live changes act on it.
    bool startPreview(TNotes notes, std::uint32_t microsecondsPerQuarter,
                      std::uint32_t ticksPerQuarter, std::uint8_t program);
    // Whether a started preview still plays; any thread.
    bool isPreviewing() const { return m_previewing.load(std::memory_order_acquire); }
    // Cuts a started preview short, silences it and waits for its thread.
    // setDevice() and the destructor do it too.
    void stopPreview();

private:
    friend class TPlayerThread;

    // Whether a part plays at volume 0: muted, or another part is soloed.
    bool partSilenced(int part) const;
    // Installs the stream's filter that holds back the song's volume changes
    // of silenced parts.
    void holdBackSilencedVolumes();

    // The worker's part; raises PlayerError.
    void playLoop();
    void finishPlay();
    void reportError(const std::string& text);
    void joinFinishedWorker();
    // preview()'s body; a set `cancel` ends the wait early.
    MidiResult playPreview(const TNotes& notes, std::uint32_t microsecondsPerQuarter,
                           std::uint32_t ticksPerQuarter, std::uint8_t program,
                           const std::atomic<bool>* cancel);

    // Each pass over the range: cursors rewound, buffers filled and queued.
    struct Pass;
    void startPass(Pass& pass, std::uint32_t sources);
    void fillBuffer(Pass& pass, MidiBuffer& buffer, std::uint32_t sources);
    void setStreamTiming();
    void check(const MidiResult& result) const;

    std::unique_ptr<MidiOutput> m_ownedOutput;
    std::unique_ptr<MidiClock> m_ownedClock;
    MidiOutput* m_output = nullptr;
    MidiClock* m_clock = nullptr;
    std::unique_ptr<MidiStream> m_stream;
    FluidSynthOptions m_synthOptions;
    bool m_injectedOutput = false;
    int m_device = kBuiltInSynth;

    TSong* m_song = nullptr;
    ChannelMixState* m_mix = nullptr; // read by the stream's scheduler too (atomic fields)
    PlayPositions* m_positions = nullptr;
    std::atomic<bool>* m_restart = nullptr;
    EndHandler m_endHandler;
    ErrorHandler m_errorHandler;

    std::atomic<std::uint32_t> m_ticksPerQuarter{96};
    std::atomic<std::uint32_t> m_microsecondsPerQuarter{MidiStream::kDefaultMicrosecondsPerQuarter};
    bool m_followSongTempo = true;
    std::atomic<std::uint8_t> m_mode{kPlaySongMode};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<std::int64_t> m_lastPosition{0};
    std::atomic<int> m_lastBuffer{0};
    std::atomic<int> m_lastBufferWords{0};

    // The worker's read cursors and gathered events; its thread only.
    StreamCursors m_cursors;
    GatherState m_gather;

    std::mutex m_controlMutex; // start, stop and the worker's lifetime
    std::mutex m_openMutex;    // opening and closing the stream: worker vs. chord sound
    std::unique_ptr<TPlayerThread> m_thread;
    std::atomic<std::thread::id> m_workerId{};

    // A started preview: its thread, started and joined on the owner's thread.
    std::thread m_previewThread;
    std::atomic<bool> m_previewing{false};
    std::atomic<bool> m_previewCancel{false};
};

} // namespace korvanta
