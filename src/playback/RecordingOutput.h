#pragma once
// A MIDI output backend that plays nothing and keeps every message it is
// sent, with the clock's time of sending. For tests: it can also be told to
// fail opening or sending with a given text.
//
// Owned by the test, which reads messages() from its own thread while a
// stream's scheduler sends: the recording has its own lock. Times are the
// clock's microseconds.

#include "playback/MidiClock.h"
#include "playback/MidiOutput.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvanta {

struct RecordedMessage {
    MidiClock::Microseconds time;
    std::uint32_t message; // status | data1 << 8 | data2 << 16
    bool operator==(const RecordedMessage&) const = default;
};

class RecordingOutput final : public MidiOutput {
public:
    explicit RecordingOutput(const MidiClock& clock) : m_clock(clock) {}

    MidiResult open() override;
    void close() override;
    bool isOpen() const override;
    MidiResult sendShortMessage(std::uint32_t message) override;

    std::vector<RecordedMessage> messages() const;
    void clear();
    int openCount() const;
    // An empty optional makes the call succeed again.
    void failOpenWith(std::optional<std::string> text);
    void failSendWith(std::optional<std::string> text);

private:
    const MidiClock& m_clock;
    mutable std::mutex m_mutex;
    bool m_open = false;
    int m_openCount = 0;
    std::optional<std::string> m_openFailure;
    std::optional<std::string> m_sendFailure;
    std::vector<RecordedMessage> m_messages;
};

} // namespace korvanta
