#include "playback/MidiStream.h"

#include <exception>
#include <limits>
#include <system_error>
#include <utility>

namespace korvanta {

namespace {

constexpr int kChannels = 16;
const char* const kNotOpenText = "The MIDI stream is not open.";

} // namespace

MidiStream::MidiStream(MidiOutput& output, MidiClock& clock) : m_output(output), m_clock(clock) {}

MidiStream::~MidiStream() {
    close();
}

MidiResult MidiStream::open() {
    std::lock_guard lifecycle(m_lifecycleMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_open) return MidiResult::failure("The MIDI stream is open already.");
    }
    // No scheduler runs yet, so the backend is not shared while it opens
    // (loading a SoundFont can take a while; nobody waits for the lock).
    if (MidiResult opened = m_output.open(); !opened) return opened;

    std::lock_guard lock(m_mutex);
    m_open = true;
    m_closing = false;
    m_playing = false;
    m_signaled = false;
    m_anchorTime = Microseconds{0};
    m_anchorTicks = 0;
    m_lastEventTicks = 0;
    m_queue.clear();
    m_nextWord = 0;
    m_completed.clear();
    m_pendingError.clear();
    m_pendingFailure = false;
    for (auto& notes : m_soundingNotes)
        notes.reset();
    try {
        m_scheduler = std::thread(&MidiStream::run, this);
    } catch (const std::system_error& error) {
        m_open = false;
        return MidiResult::failure(std::string("Could not start the MIDI scheduler: ") +
                                   error.what());
    }
    return MidiResult::success();
}

void MidiStream::close() {
    std::lock_guard lifecycle(m_lifecycleMutex);
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) return;
        m_closing = true;
        m_playing = false;
        silence();
        m_queue.clear();
        m_nextWord = 0;
        m_completed.clear();
        m_signaled = true;
    }
    m_wakeScheduler.notify_all();
    m_completion.notify_all();
    // The scheduler never takes the lifecycle lock, so this join cannot wait
    // on a lock held here.
    if (m_scheduler.joinable()) m_scheduler.join();
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_closing = false;
}

bool MidiStream::isOpen() const {
    std::lock_guard lock(m_mutex);
    return usable();
}

MidiResult MidiStream::queue(MidiBuffer&& buffer) {
    if (buffer.usedWords > buffer.words.size())
        return MidiResult::failure("The MIDI buffer claims more words than it holds.");
    if (buffer.usedWords % kWordsPerStreamEvent != 0)
        return MidiResult::failure("The MIDI buffer ends inside a stream event.");
    {
        std::lock_guard lock(m_mutex);
        if (!usable()) return MidiResult::failure(kNotOpenText);
        if (MidiResult pending = takePendingError(); !pending) return pending;
        buffer.done = false;
        m_queue.push_back(std::move(buffer));
    }
    m_wakeScheduler.notify_all();
    return MidiResult::success();
}

MidiResult MidiStream::restart() {
    {
        std::lock_guard lock(m_mutex);
        if (!usable()) return MidiResult::failure(kNotOpenText);
        if (MidiResult pending = takePendingError(); !pending) return pending;
        if (m_playing) return MidiResult::success();
        m_playing = true;
        m_anchorTime = m_clock.now();
    }
    m_wakeScheduler.notify_all();
    return MidiResult::success();
}

std::vector<MidiBuffer> MidiStream::reset() {
    std::vector<MidiBuffer> buffers;
    {
        std::lock_guard lock(m_mutex);
        if (!usable()) return buffers;
        m_playing = false;
        m_anchorTicks = 0;
        m_lastEventTicks = 0;
        silence();
        buffers = takeAllBuffers();
        m_signaled = true;
    }
    m_wakeScheduler.notify_all();
    m_completion.notify_all();
    return buffers;
}

std::vector<MidiBuffer> MidiStream::takeCompleted() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_completed, {});
}

void MidiStream::waitForCompletion() {
    std::unique_lock lock(m_mutex);
    m_completion.wait(lock, [this] { return m_signaled || !usable(); });
    m_signaled = false;
}

MidiResult MidiStream::setDivision(std::uint32_t ticksPerQuarter) {
    if (ticksPerQuarter == 0 || ticksPerQuarter > kMaxTicksPerQuarter)
        return MidiResult::failure("The time division must be 1 to 32767 ticks per quarter.");
    {
        std::lock_guard lock(m_mutex);
        if (m_playing) {
            // The part of a tick in progress is dropped: a tick's length
            // changes meaning here.
            const Microseconds now = m_clock.now();
            rebase(now, ticksAt(now));
        }
        m_ticksPerQuarter = ticksPerQuarter;
    }
    m_wakeScheduler.notify_all();
    return MidiResult::success();
}

MidiResult MidiStream::setTempo(std::uint32_t microsecondsPerQuarter) {
    if (microsecondsPerQuarter == 0 || microsecondsPerQuarter > kMaxMicrosecondsPerQuarter)
        return MidiResult::failure(
            "The tempo must be 1 to 16777215 microseconds per quarter note.");
    {
        std::lock_guard lock(m_mutex);
        if (m_playing) {
            const Microseconds now = m_clock.now();
            const std::uint64_t elapsed =
                now > m_anchorTime ? static_cast<std::uint64_t>((now - m_anchorTime).count()) : 0;
            const std::uint64_t oldTempo = m_microsecondsPerQuarter;
            const std::uint64_t whole = elapsed / oldTempo * m_ticksPerQuarter +
                                        elapsed % oldTempo * m_ticksPerQuarter / oldTempo;
            // The played part of the current tick, at the new tempo, keeps
            // the grid from slipping by a fraction of a tick at each change.
            const std::uint64_t fraction = elapsed % oldTempo * m_ticksPerQuarter % oldTempo;
            const std::uint64_t shift =
                fraction * microsecondsPerQuarter / (oldTempo * m_ticksPerQuarter);
            rebase(now - Microseconds(static_cast<std::int64_t>(shift)), m_anchorTicks + whole);
        }
        m_microsecondsPerQuarter = microsecondsPerQuarter;
    }
    m_wakeScheduler.notify_all();
    return MidiResult::success();
}

std::uint32_t MidiStream::division() const {
    std::lock_guard lock(m_mutex);
    return m_ticksPerQuarter;
}

std::uint32_t MidiStream::tempo() const {
    std::lock_guard lock(m_mutex);
    return m_microsecondsPerQuarter;
}

std::uint64_t MidiStream::positionTicks() const {
    std::lock_guard lock(m_mutex);
    if (!m_playing) return m_anchorTicks;
    return ticksAt(m_clock.now());
}

void MidiStream::setScheduledFilter(std::function<bool(std::uint32_t)> keep) {
    const std::lock_guard lock(m_mutex);
    m_scheduledFilter = std::move(keep);
}

MidiResult MidiStream::sendShortMessage(std::uint32_t message) {
    std::lock_guard lock(m_mutex);
    if (!usable()) return MidiResult::failure(kNotOpenText);
    return send(message);
}

void MidiStream::run() {
    std::unique_lock lock(m_mutex);
    while (!m_closing) {
        try {
            if (!m_playing || m_queue.empty()) {
                m_clock.waitUntil(lock, m_wakeScheduler, MidiClock::kNever);
                continue;
            }
            MidiBuffer& buffer = m_queue.front();
            if (m_nextWord + kWordsPerStreamEvent > buffer.usedWords) {
                finishFrontBuffer();
                continue;
            }
            const std::uint64_t dueTicks = m_lastEventTicks + buffer.words[m_nextWord];
            const Microseconds deadline = timeOfTick(dueTicks);
            if (m_clock.now() < deadline) {
                m_clock.waitUntil(lock, m_wakeScheduler, deadline);
                continue; // anything may have changed meanwhile
            }
            const std::uint32_t eventWord = buffer.words[m_nextWord + 2];
            m_lastEventTicks = dueTicks;
            m_nextWord += kWordsPerStreamEvent;
            const std::uint32_t parameter = eventParameter(eventWord);
            switch (eventType(eventWord)) {
            case kShortMessageEvent:
                if (shortMessageLength(messageStatus(parameter)) == 0) break;  // nothing to send
                if (m_scheduledFilter && !m_scheduledFilter(parameter)) break; // held back
                if (MidiResult sent = send(parameter); !sent && !m_pendingFailure) {
                    m_pendingFailure = true;
                    m_pendingError = sent.errorText();
                }
                break;
            case kTempoEvent:
                // Re-based exactly on the event's own tick and moment, so a
                // late scheduler does not shift the rest of the song.
                if (parameter != 0) {
                    // (An event overtaken by a tempo set meanwhile changes
                    // the tempo from that moment on.)
                    if (dueTicks >= m_anchorTicks) rebase(deadline, dueTicks);
                    m_microsecondsPerQuarter = parameter;
                }
                break;
            default: // other event types only take their time
                break;
            }
            if (m_nextWord + kWordsPerStreamEvent > buffer.usedWords) finishFrontBuffer();
        } catch (const std::exception& error) {
            // Only running out of memory gets here; stop rather than spin.
            m_playing = false;
            if (!m_pendingFailure) {
                m_pendingFailure = true;
                m_pendingError = std::string("The MIDI scheduler stopped: ") + error.what();
            }
            m_signaled = true;
            m_completion.notify_all();
        }
    }
}

std::uint64_t MidiStream::ticksAt(Microseconds time) const {
    if (!m_playing || time <= m_anchorTime) return m_anchorTicks;
    // Split so that no product can overflow: the remainder is below the tempo.
    const auto elapsed = static_cast<std::uint64_t>((time - m_anchorTime).count());
    const std::uint64_t tempo = m_microsecondsPerQuarter;
    return m_anchorTicks + elapsed / tempo * m_ticksPerQuarter +
           elapsed % tempo * m_ticksPerQuarter / tempo;
}

MidiStream::Microseconds MidiStream::timeOfTick(std::uint64_t ticks) const {
    if (ticks <= m_anchorTicks) return m_anchorTime;
    const std::uint64_t distance = ticks - m_anchorTicks;
    const std::uint64_t tempo = m_microsecondsPerQuarter;
    const std::uint64_t quarters = distance / m_ticksPerQuarter;
    constexpr auto kLimit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() / 4);
    if (quarters > kLimit / tempo) return MidiClock::kNever; // further away than anyone waits
    const std::uint64_t rest = distance % m_ticksPerQuarter * tempo;
    const std::uint64_t micros =
        quarters * tempo + (rest + m_ticksPerQuarter - 1) / m_ticksPerQuarter; // rounded up
    return m_anchorTime + Microseconds(static_cast<std::int64_t>(micros));
}

void MidiStream::rebase(Microseconds time, std::uint64_t ticks) {
    m_anchorTime = time;
    m_anchorTicks = ticks;
}

MidiResult MidiStream::send(std::uint32_t message) {
    const std::uint8_t status = messageStatus(message);
    if (shortMessageLength(status) == 0)
        return MidiResult::failure("Not a short MIDI message: status byte " +
                                   std::to_string(status) + ".");
    MidiResult sent = m_output.sendShortMessage(message & 0xFFFFFF);
    if (sent && status < 0xA0) {
        const int channel = status & 0x0F;
        const std::uint8_t note = messageData1(message);
        const bool noteOn = (status & 0xF0) == 0x90 && messageData2(message) > 0;
        m_soundingNotes[channel].set(note, noteOn);
    }
    return sent;
}

void MidiStream::silence() {
    if (!m_output.isOpen()) return;
    for (int channel = 0; channel < kChannels; ++channel) {
        auto& notes = m_soundingNotes[channel];
        for (std::size_t note = 0; note < notes.size(); ++note) {
            if (!notes.test(note)) continue;
            (void)m_output.sendShortMessage(packShortMessage(
                static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(note), 0));
        }
        notes.reset();
    }
    // Then what a MIDI reset promises every device: no sustain, no notes.
    for (int channel = 0; channel < kChannels; ++channel) {
        const auto status = static_cast<std::uint8_t>(0xB0 | channel);
        (void)m_output.sendShortMessage(packShortMessage(status, 64, 0));
        (void)m_output.sendShortMessage(packShortMessage(status, 123, 0));
    }
}

void MidiStream::finishFrontBuffer() {
    MidiBuffer buffer = std::move(m_queue.front());
    m_queue.pop_front();
    m_nextWord = 0;
    buffer.done = true;
    m_completed.push_back(std::move(buffer));
    m_signaled = true;
    m_completion.notify_all();
}

std::vector<MidiBuffer> MidiStream::takeAllBuffers() {
    std::vector<MidiBuffer> buffers = std::exchange(m_completed, {});
    for (MidiBuffer& buffer : m_queue) {
        buffer.done = true;
        buffers.push_back(std::move(buffer));
    }
    m_queue.clear();
    m_nextWord = 0;
    return buffers;
}

MidiResult MidiStream::takePendingError() {
    if (!m_pendingFailure) return MidiResult::success();
    m_pendingFailure = false;
    return MidiResult::failure(std::exchange(m_pendingError, {}));
}

} // namespace korvanta
