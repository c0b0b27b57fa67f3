#include "playback/Player.h"

#include "playback/RtMidiOutput.h"
#include "playback/TPlayerThread.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

namespace korvanta {

namespace {

// A stream event that only takes its time: it makes a buffer last to the end
// of a range whose last beats are rests.
constexpr std::uint32_t kNoOpEvent = 0x02000000;
constexpr int kMixedParts = 2; // the melody and the chords

bool isChannel(int channel) {
    return channel >= 0 && channel < ChannelMixState::kPartCount;
}

std::uint8_t channelStatus(std::uint8_t kind, int channel) {
    return static_cast<std::uint8_t>(kind | (channel & 0x0F));
}

void appendEvent(MidiBuffer& buffer, std::uint32_t deltaTicks, std::uint32_t eventWord) {
    if (buffer.words.size() < buffer.usedWords + kWordsPerStreamEvent)
        buffer.words.resize(buffer.usedWords + kWordsPerStreamEvent);
    buffer.words[buffer.usedWords] = deltaTicks;
    buffer.words[buffer.usedWords + 1] = 0;
    buffer.words[buffer.usedWords + 2] = eventWord;
    buffer.usedWords += kWordsPerStreamEvent;
}

std::int64_t sumOfDeltas(const std::vector<std::uint32_t>& words, std::size_t used) {
    std::int64_t ticks = 0;
    for (std::size_t i = 0; i + kWordsPerStreamEvent <= used; i += kWordsPerStreamEvent)
        ticks += words[i];
    return ticks;
}

} // namespace

struct Player::Pass {
    std::int32_t fromTicks = 0;
    std::int32_t endTicks = 0;     // 0: to the end of the song
    std::int64_t writtenTicks = 0; // the deltas written in this pass
    bool more = false;             // events remain to be filled
    bool wroteEvents = false;
    int outstanding = 0; // buffers the stream holds
    std::vector<MidiBuffer> spare;
};

Player::Player(FluidSynthOptions synthOptions)
    : m_ownedOutput(std::make_unique<FluidSynthOutput>(synthOptions)),
      m_ownedClock(std::make_unique<SteadyMidiClock>()), m_output(m_ownedOutput.get()),
      m_clock(m_ownedClock.get()), m_stream(std::make_unique<MidiStream>(*m_output, *m_clock)),
      m_synthOptions(std::move(synthOptions)) {
    holdBackSilencedVolumes();
}

Player::Player(MidiOutput& output, MidiClock& clock)
    : m_output(&output), m_clock(&clock), m_stream(std::make_unique<MidiStream>(output, clock)),
      m_injectedOutput(true) {
    holdBackSilencedVolumes();
}

bool Player::partSilenced(int part) const {
    if (!m_mix || part < 0 || part >= kMixedParts) return false;
    bool anySolo = false;
    for (int c = 0; c < kMixedParts; ++c)
        anySolo = anySolo || m_mix->soloed(c);
    return m_mix->muted(part) || (anySolo && !m_mix->soloed(part));
}

void Player::holdBackSilencedVolumes() {
    // The song's own volume changes must not undo a mute or solo made during
    // playback, also for events already queued: they are held back when due.
    m_stream->setScheduledFilter([this](std::uint32_t message) {
        const std::uint8_t status = messageStatus(message);
        if ((status & 0xF0) != 0xB0 || messageData1(message) != kControllerVolume) return true;
        return !partSilenced(status & 0x0F);
    });
}

Player::~Player() {
    stopPreview();
    stop();
    {
        std::lock_guard lock(m_controlMutex);
        m_thread.reset();
    }
    m_stream->close();
    if (m_ownedOutput) m_ownedOutput->close();
}

MidiResult Player::setDevice(int device, const std::string& portName) {
    if (m_injectedOutput) return MidiResult::failure("This player plays through a fixed output.");
    stopPreview();
    stop();
    std::lock_guard control(m_controlMutex);
    m_thread.reset();
    std::lock_guard open(m_openMutex);
    m_stream->close();
    m_stream.reset();
    m_ownedOutput->close();
    if (device == kBuiltInSynth)
        m_ownedOutput = std::make_unique<FluidSynthOutput>(m_synthOptions);
    else
        m_ownedOutput = std::make_unique<RtMidiOutput>(portName);
    m_output = m_ownedOutput.get();
    m_stream = std::make_unique<MidiStream>(*m_output, *m_clock);
    holdBackSilencedVolumes();
    m_device = device;
    return MidiResult::success();
}

bool Player::start(bool loop) {
    if (std::this_thread::get_id() == m_workerId.load()) return false;
    std::lock_guard lock(m_controlMutex);
    if (isPlaying() || isPreviewing() || !m_song || !m_positions) return false;
    joinFinishedWorker();
    // The accompaniment is rendered here, on the owner's thread: the worker
    // only reads the song.
    BuildChordNotes(*m_song);
    m_positions->set(PlayPositions::kSongEnd, m_song->notes.length);
    m_mode = loop ? kPlayLoopMode : kPlaySongMode;
    // Cleared before the worker exists, so that a stop pressed while it
    // starts is never lost.
    m_stop = false;
    m_lastPosition = 0;
    m_running = true;
    m_thread = std::make_unique<TPlayerThread>(*this);
    if (!m_thread->resume()) {
        m_thread.reset();
        m_running = false;
        reportError("The playback thread could not be started.");
        return false;
    }
    return true;
}

void Player::stop() {
    if (std::this_thread::get_id() == m_workerId.load()) {
        // From a handler on the worker itself: it ends once it looks again.
        m_stop = true;
        (void)m_stream->reset();
        return;
    }
    std::lock_guard lock(m_controlMutex);
    if (!m_thread) return;
    // The flag first: the reset wakes the worker, which then sees it.
    m_stop = true;
    (void)m_stream->reset();
    joinFinishedWorker();
}

void Player::joinFinishedWorker() {
    if (!m_thread) return;
    m_thread->join();
    m_thread.reset();
    m_workerId.store(std::thread::id());
}

std::int64_t Player::position() {
    if (!m_positions) return 0;
    const int mode = m_mode.load();
    const std::int64_t end = m_positions->get(mode + 1);
    const std::int64_t sixteenth = m_ticksPerQuarter.load() / 4;
    if (m_lastPosition.load() + sixteenth < end) {
        const std::int64_t ticks =
            m_positions->get(mode) + static_cast<std::int64_t>(m_stream->positionTicks());
        m_lastPosition = ticks;
        return ticks;
    }
    return end;
}

std::pair<int, int> Player::bufferStatus() const {
    return {m_lastBuffer.load(), m_lastBufferWords.load()};
}

void Player::setTempo(std::uint32_t microsecondsPerQuarter) {
    if (microsecondsPerQuarter == 0 ||
        microsecondsPerQuarter > MidiStream::kMaxMicrosecondsPerQuarter)
        return;
    m_microsecondsPerQuarter = microsecondsPerQuarter;
    if (m_stream->isOpen()) (void)m_stream->setTempo(microsecondsPerQuarter);
}

std::uint32_t Player::tempo() {
    if (m_stream->isOpen()) return m_stream->tempo();
    return m_microsecondsPerQuarter.load();
}

MidiResult Player::setInstrument(std::uint8_t program, int channel) {
    if (!isChannel(channel)) return MidiResult::failure("No such MIDI channel.");
    program = std::min<std::uint8_t>(program, 127);
    if (m_mix) m_mix->setProgram(channel, program);
    if (!m_stream->isOpen()) return MidiResult::success();
    return m_stream->sendShortMessage(packShortMessage(channelStatus(0xC0, channel), program, 0));
}

MidiResult Player::setVolume(std::uint8_t volume, int channel) {
    if (!isChannel(channel)) return MidiResult::failure("No such MIDI channel.");
    volume = std::min<std::uint8_t>(volume, 127);
    // 0 silences the output for a mute and keeps the part's own volume.
    if (m_mix && volume != 0) m_mix->setVolume(channel, volume);
    if (!m_stream->isOpen()) return MidiResult::success();
    return m_stream->sendShortMessage(
        packShortMessage(channelStatus(0xB0, channel), kControllerVolume, volume));
}

MidiResult Player::applyChannelSettings() {
    if (!m_mix || !m_stream->isOpen()) return MidiResult::success();
    for (int c = 0; c < kMixedParts; ++c) {
        const std::uint8_t volume = partSilenced(c) ? 0 : m_mix->volume(c);
        if (MidiResult r = m_stream->sendShortMessage(
                packShortMessage(channelStatus(0xC0, c), m_mix->program(c), 0));
            !r)
            return r;
        if (MidiResult r = m_stream->sendShortMessage(
                packShortMessage(channelStatus(0xB0, c), kControllerVolume, volume));
            !r)
            return r;
    }
    return MidiResult::success();
}

MidiResult Player::shortMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    return m_stream->sendShortMessage(packShortMessage(
        status, static_cast<std::uint8_t>(data1 & 0x7F), static_cast<std::uint8_t>(data2 & 0x7F)));
}

MidiResult Player::soundChord(ChordCode chord, std::uint8_t status) {
    if (!m_song) return MidiResult::failure("No song is open.");
    const ChordToneList tones = chordTonesOf(chord, 12 * m_song->chordOctave);
    std::lock_guard open(m_openMutex);
    if (!m_stream->isOpen()) {
        // A play that is opening or closing its stream: nothing to add to.
        if (isPlaying()) return MidiResult::success();
        if (MidiResult r = m_stream->open(); !r) return r;
        if (m_mix) {
            (void)m_stream->sendShortMessage(
                packShortMessage(channelStatus(0xC0, 1), m_mix->program(1), 0));
            (void)m_stream->sendShortMessage(
                packShortMessage(channelStatus(0xB0, 1), kControllerVolume, m_mix->volume(1)));
        }
    }
    for (int t = 0; t < tones.count; ++t) {
        const int key = tones.tones[t];
        if (key < 0 || key > 127) continue; // an octave the keyboard does not have
        if (MidiResult r = m_stream->sendShortMessage(
                packShortMessage(status, static_cast<std::uint8_t>(key), kChordVelocity));
            !r)
            return r;
    }
    return MidiResult::success();
}

MidiResult Player::preview(const TNotes& notes, std::uint32_t microsecondsPerQuarter,
                           std::uint32_t ticksPerQuarter, std::uint8_t program) {
    return playPreview(notes, microsecondsPerQuarter, ticksPerQuarter, program, nullptr);
}

bool Player::startPreview(TNotes notes, std::uint32_t microsecondsPerQuarter,
                          std::uint32_t ticksPerQuarter, std::uint8_t program) {
    if (isPlaying() || isPreviewing()) return false;
    if (m_previewThread.joinable()) m_previewThread.join();
    m_previewCancel = false;
    m_previewing = true;
    try {
        m_previewThread = std::thread(
            [this, notes = std::move(notes), microsecondsPerQuarter, ticksPerQuarter, program] {
                const MidiResult result = playPreview(notes, microsecondsPerQuarter,
                                                      ticksPerQuarter, program, &m_previewCancel);
                if (!result) reportError(result.errorText());
                m_previewing.store(false, std::memory_order_release);
            });
    } catch (const std::system_error&) {
        m_previewing = false;
        return false;
    }
    return true;
}

void Player::stopPreview() {
    if (!m_previewThread.joinable()) return;
    // The flag first: the reset wakes the preview's wait, which then sees it;
    // a preview that has not opened the stream yet sees it before waiting.
    m_previewCancel = true;
    (void)m_stream->reset();
    m_previewThread.join();
}

MidiResult Player::playPreview(const TNotes& notes, std::uint32_t microsecondsPerQuarter,
                               std::uint32_t ticksPerQuarter, std::uint8_t program,
                               const std::atomic<bool>* cancel) {
    {
        std::lock_guard control(m_controlMutex);
        if (isPlaying()) return MidiResult::success();
        joinFinishedWorker();
    }
    MidiBuffer buffer;
    if (!BuildPreview(notes, buffer.words))
        return MidiResult::failure("Not enough memory to preview the pattern.");
    if (buffer.words.empty()) return MidiResult::success();
    buffer.usedWords = buffer.words.size();
    // It lasts the pattern's length and one quarter more, so its last notes
    // ring out before the reset silences them.
    const std::int64_t played = sumOfDeltas(buffer.words, buffer.usedWords);
    const std::int64_t wanted = std::int64_t{notes.length} + ticksPerQuarter;
    if (wanted > played)
        appendEvent(buffer, static_cast<std::uint32_t>(wanted - played), kNoOpEvent);

    std::lock_guard open(m_openMutex);
    if (!m_stream->isOpen()) {
        if (MidiResult r = m_stream->open(); !r) return r;
    }
    struct CloseAfter {
        MidiStream& stream;
        ~CloseAfter() {
            (void)stream.reset();
            stream.close();
        }
    } closeAfter{*m_stream};
    if (MidiResult r = m_stream->setDivision(ticksPerQuarter); !r) return r;
    if (MidiResult r = m_stream->setTempo(microsecondsPerQuarter); !r) return r;
    const std::uint8_t volume = m_mix ? m_mix->volume(1) : ChannelMixState::kDefaultVolume;
    if (MidiResult r = m_stream->sendShortMessage(
            packShortMessage(channelStatus(0xB0, 1), kControllerVolume, volume));
        !r)
        return r;
    if (MidiResult r = m_stream->sendShortMessage(
            packShortMessage(channelStatus(0xC0, 1), std::min<std::uint8_t>(program, 127), 0));
        !r)
        return r;
    if (MidiResult r = m_stream->queue(std::move(buffer)); !r) return r;
    if (MidiResult r = m_stream->restart(); !r) return r;
    for (;;) {
        if (cancel && cancel->load()) break;
        m_stream->waitForCompletion();
        if (!m_stream->takeCompleted().empty() || !m_stream->isOpen()) break;
    }
    return MidiResult::success();
}

void Player::check(const MidiResult& result) const {
    if (!result) throw PlayerError(result.errorText());
}

void Player::setStreamTiming() {
    check(m_stream->setDivision(m_ticksPerQuarter.load()));
    check(m_stream->setTempo(m_microsecondsPerQuarter.load()));
}

void Player::fillBuffer(Pass& pass, MidiBuffer& buffer, std::uint32_t sources) {
    buffer.words.resize(kBufferWords);
    const FillResult filled =
        Fill(*m_song, std::span<std::uint32_t>(buffer.words.data(), kBufferWords), sources,
             m_cursors, m_gather);
    if (filled.status == FillStatus::Failed)
        throw PlayerError("The song's events could not be gathered (out of memory).");
    buffer.usedWords = static_cast<std::size_t>(filled.words);
    pass.writtenTicks += sumOfDeltas(buffer.words, buffer.usedWords);
    pass.wroteEvents = pass.wroteEvents || filled.words > 0;
    pass.more = filled.status == FillStatus::More;
    if (!pass.more && pass.endTicks > pass.fromTicks) {
        // A range that is played again lasts to its end, rests included.
        const std::int64_t rest = std::int64_t{pass.endTicks} - pass.fromTicks - pass.writtenTicks;
        if (rest > 0) {
            appendEvent(buffer, static_cast<std::uint32_t>(rest), kNoOpEvent);
            pass.writtenTicks += rest;
            pass.wroteEvents = true;
        }
    }
    m_lastBuffer = buffer.id;
    m_lastBufferWords = static_cast<int>(buffer.usedWords);
}

void Player::startPass(Pass& pass, std::uint32_t sources) {
    (void)Gather(*m_song, GatherMode::Free, m_cursors, sources, m_gather);
    m_cursors.rewind();
    pass.writtenTicks = 0;
    pass.wroteEvents = false;
    pass.more = true;
    // Both buffers go to the stream at once: the second one is waiting
    // when the first one ends, and each is refilled as it comes back.
    for (int id = 0; id < 2 && pass.more; ++id) {
        MidiBuffer buffer;
        if (!pass.spare.empty()) {
            buffer = std::move(pass.spare.back());
            pass.spare.pop_back();
        }
        buffer.id = id;
        fillBuffer(pass, buffer, sources);
        if (!pass.wroteEvents) {
            pass.spare.push_back(std::move(buffer));
            return;
        }
        check(m_stream->queue(std::move(buffer)));
        ++pass.outstanding;
    }
    m_lastPosition = 0;
    check(m_stream->restart());
}

void Player::playLoop() {
    TSong& song = *m_song;
    PlayPositions& positions = *m_positions;
    std::uint32_t sources = StreamSource::kChannel | StreamSource::kMelody;
    if (m_followSongTempo) sources |= StreamSource::kMeta;
    if (song.notes.Count(kChordList) > 0) sources |= StreamSource::kChords;

    // Whichever way the play ends, the stream is closed and its buffers go.
    struct Release {
        Player& player;
        ~Release() {
            std::lock_guard lock(player.m_openMutex);
            player.m_stream->close();
            (void)Gather(*player.m_song, GatherMode::Free, player.m_cursors, 0, player.m_gather);
        }
    } release{*this};

    {
        std::lock_guard lock(m_openMutex);
        m_stream->close(); // a chord sound may have left it open
        check(m_stream->open());
    }
    // A stop that came before the stream was open had nothing to reset.
    if (m_stop) {
        m_mode = kPlaySongMode;
        return;
    }

    Pass pass;
    const auto positionRange = [&] {
        const int mode = m_mode.load();
        pass.fromTicks = positions.get(mode);
        const std::int32_t end = positions.get(mode + 1);
        pass.endTicks = end == positions.get(PlayPositions::kSongEnd) ? 0 : end;
        PositionCursors(song, m_cursors, pass.fromTicks, pass.endTicks);
    };
    positionRange();
    setStreamTiming();
    check(applyChannelSettings());
    startPass(pass, sources);

    for (;;) {
        if (pass.outstanding > 0) {
            m_stream->waitForCompletion();
            if (m_stop) {
                m_mode = kPlaySongMode;
                return;
            }
            if (!m_stream->isOpen()) return;
            for (MidiBuffer& buffer : m_stream->takeCompleted()) {
                --pass.outstanding;
                if (!pass.more) {
                    pass.spare.push_back(std::move(buffer));
                    continue;
                }
                fillBuffer(pass, buffer, sources);
                check(m_stream->queue(std::move(buffer)));
                ++pass.outstanding;
            }
            if (pass.outstanding > 0) continue;
        }
        // The end of the range (or a range with nothing to play).
        if (!pass.wroteEvents) return;
        const bool restartRequested = m_restart && m_restart->load();
        if (m_mode == kPlaySongMode) {
            if (!restartRequested) return;
            positions.set(PlayPositions::kStart, positions.get(PlayPositions::kLoopEnd));
            positionRange();
        }
        if (m_restart) m_restart->store(false);
        (void)m_stream->reset();
        setStreamTiming();
        check(applyChannelSettings());
        startPass(pass, sources);
    }
}

void Player::reportError(const std::string& text) {
    if (m_errorHandler) m_errorHandler(kErrorCaption, text.empty() ? kUnknownErrorText : text);
}

void Player::finishPlay() {
    m_running.store(false, std::memory_order_release);
    if (m_endHandler) m_endHandler();
}

} // namespace korvanta
