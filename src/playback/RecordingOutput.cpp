#include "playback/RecordingOutput.h"

namespace korvanta {

MidiResult RecordingOutput::open() {
    std::lock_guard lock(m_mutex);
    if (m_open) return MidiResult::success();
    if (m_openFailure) return MidiResult::failure(*m_openFailure);
    m_open = true;
    ++m_openCount;
    return MidiResult::success();
}

void RecordingOutput::close() {
    std::lock_guard lock(m_mutex);
    m_open = false;
}

bool RecordingOutput::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

MidiResult RecordingOutput::sendShortMessage(std::uint32_t message) {
    const MidiClock::Microseconds time = m_clock.now();
    std::lock_guard lock(m_mutex);
    if (!m_open) return MidiResult::failure("The recording output is not open.");
    if (m_sendFailure) return MidiResult::failure(*m_sendFailure);
    m_messages.push_back({time, message});
    return MidiResult::success();
}

std::vector<RecordedMessage> RecordingOutput::messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

void RecordingOutput::clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

int RecordingOutput::openCount() const {
    std::lock_guard lock(m_mutex);
    return m_openCount;
}

void RecordingOutput::failOpenWith(std::optional<std::string> text) {
    std::lock_guard lock(m_mutex);
    m_openFailure = std::move(text);
}

void RecordingOutput::failSendWith(std::optional<std::string> text) {
    std::lock_guard lock(m_mutex);
    m_sendFailure = std::move(text);
}

} // namespace korvanta
