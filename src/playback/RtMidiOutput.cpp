#include "playback/RtMidiOutput.h"

#include <RtMidi.h>
#include <cctype>
#include <exception>
#include <utility>

namespace korvanta {

namespace {

constexpr const char* kClientName = "Korvanta";

RtMidi::Api systemApi() {
#if defined(__linux__)
    return RtMidi::LINUX_ALSA; // the system's ports; never starts a JACK server
#else
    return RtMidi::UNSPECIFIED;
#endif
}

// Drops a trailing " <client>:<port>" as ALSA writes it.
std::string withoutPortNumbers(const std::string& name) {
    std::size_t end = name.size();
    std::size_t i = end;
    while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1])))
        --i;
    if (i == end || i == 0 || name[i - 1] != ':') return name;
    --i;
    const std::size_t portStart = i;
    while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1])))
        --i;
    if (i == portStart || i == 0 || name[i - 1] != ' ') return name;
    return name.substr(0, i - 1);
}

// With a callback set RtMidi throws nothing after construction: errors come
// here and are kept for the call that caused them; warnings are dropped
// rather than printed.
void keepRtMidiError(RtMidiError::Type type, const std::string& text, void* data) {
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
    auto* lastError = static_cast<std::string*>(data);
    if (lastError->empty()) *lastError = text.empty() ? "RtMidi failed without a reason." : text;
}

} // namespace

RtMidiOutput::RtMidiOutput(std::string portName) : m_portName(std::move(portName)) {}

RtMidiOutput::~RtMidiOutput() {
    close();
}

MidiPortList RtMidiOutput::portNames() {
    MidiPortList list;
    try {
        RtMidiOut port(systemApi(), kClientName);
        std::string lastError;
        port.setErrorCallback(keepRtMidiError, &lastError);
        const unsigned count = port.getPortCount();
        for (unsigned i = 0; i < count; ++i)
            list.names.push_back(port.getPortName(i));
    } catch (const RtMidiError& error) {
        list.names.clear();
        list.errorText = "The system's MIDI ports cannot be listed: " + error.getMessage();
    } catch (const std::exception& error) {
        list.names.clear();
        list.errorText = std::string("The system's MIDI ports cannot be listed: ") + error.what();
    }
    return list;
}

int RtMidiOutput::findPort(const std::vector<std::string>& names, const std::string& wanted) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == wanted) return static_cast<int>(i);
    const std::string bare = withoutPortNumbers(wanted);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (withoutPortNumbers(names[i]) == bare) return static_cast<int>(i);
    return -1;
}

MidiResult RtMidiOutput::open() {
    if (m_port) return MidiResult::success();
    try {
        auto port = std::make_unique<RtMidiOut>(systemApi(), kClientName);
        m_lastError.clear();
        port->setErrorCallback(keepRtMidiError, &m_lastError);
        std::vector<std::string> names;
        const unsigned count = port->getPortCount();
        for (unsigned i = 0; i < count; ++i)
            names.push_back(port->getPortName(i));
        const int index = findPort(names, m_portName);
        if (index < 0)
            return MidiResult::failure("There is no MIDI output port called \"" + m_portName +
                                       "\".");
        port->openPort(static_cast<unsigned>(index), kClientName);
        if (!m_lastError.empty()) return MidiResult::failure(std::exchange(m_lastError, {}));
        if (!port->isPortOpen())
            return MidiResult::failure("The MIDI output port \"" + m_portName +
                                       "\" could not be opened.");
        m_port = std::move(port);
        return MidiResult::success();
    } catch (const RtMidiError& error) {
        return MidiResult::failure(error.getMessage());
    } catch (const std::exception& error) {
        return MidiResult::failure(error.what());
    }
}

void RtMidiOutput::close() {
    if (!m_port) return;
    try {
        m_port->closePort();
    } catch (const std::exception&) {
        // The port is gone either way.
    }
    m_port.reset();
}

bool RtMidiOutput::isOpen() const {
    return m_port != nullptr;
}

MidiResult RtMidiOutput::sendShortMessage(std::uint32_t message) {
    if (!m_port) return MidiResult::failure("The MIDI output port is not open.");
    const int length = shortMessageLength(messageStatus(message));
    if (length == 0) return MidiResult::failure("Not a short MIDI message.");
    const unsigned char bytes[3] = {messageStatus(message), messageData1(message),
                                    messageData2(message)};
    try {
        m_port->sendMessage(bytes, static_cast<std::size_t>(length));
        if (!m_lastError.empty()) return MidiResult::failure(std::exchange(m_lastError, {}));
    } catch (const RtMidiError& error) {
        return MidiResult::failure(error.getMessage());
    } catch (const std::exception& error) {
        return MidiResult::failure(error.what());
    }
    return MidiResult::success();
}

} // namespace korvanta
