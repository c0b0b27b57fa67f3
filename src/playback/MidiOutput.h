#pragma once
// The MIDI output backend interface and the small vocabulary shared by the
// stream and its backends.
//
// A MidiOutput is where a MidiStream sends its messages: the embedded synth,
// a system MIDI port, or a recording for tests. Its owner (the player) keeps
// it alive longer than any stream that uses it. A backend is not thread-safe
// by itself: a MidiStream calls it only with the stream's lock held, and
// without a stream only its owner's thread may call it. Messages are packed
// short MIDI messages: status | data1 << 8 | data2 << 16.

#include "io/Result.h"

#include <cstdint>
#include <string>
#include <utility>

namespace korvanta {

// The outcome of a stream or backend call: success, or a failure
// (kStatusOutputFailed) with the error text that the caller shows. Error
// texts are at most kMaxErrorTextLength bytes.
class [[nodiscard]] MidiResult : public Outcome {
public:
    static constexpr std::size_t kMaxErrorTextLength = 256;

    static MidiResult success() { return MidiResult(); }
    static MidiResult failure(std::string text);

    // The backend's (or the stream's) description; empty on success and
    // possibly empty for a failure without a text.
    const std::string& errorText() const { return message; }
};

constexpr std::uint32_t packShortMessage(std::uint8_t status, std::uint8_t data1,
                                         std::uint8_t data2) {
    return std::uint32_t{status} | std::uint32_t{data1} << 8 | std::uint32_t{data2} << 16;
}

constexpr std::uint8_t messageStatus(std::uint32_t message) {
    return message & 0xFF;
}
constexpr std::uint8_t messageData1(std::uint32_t message) {
    return (message >> 8) & 0x7F;
}
constexpr std::uint8_t messageData2(std::uint32_t message) {
    return (message >> 16) & 0x7F;
}

// The number of bytes a short message with this status byte has on the wire;
// 0 for bytes that cannot start one (data bytes, system exclusive).
constexpr int shortMessageLength(std::uint8_t status) {
    if (status < 0x80) return 0;
    if (status < 0xC0) return 3;
    if (status < 0xE0) return 2;
    if (status < 0xF0) return 3;
    switch (status) {
    case 0xF0: // system exclusive needs a long message
    case 0xF7:
        return 0;
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    default:
        return 1;
    }
}

class MidiOutput {
public:
    virtual ~MidiOutput() = default;

    // Opening an open backend succeeds without doing anything.
    virtual MidiResult open() = 0;
    // Closing a closed backend does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Sends one short message now. The caller has checked the status byte
    // with shortMessageLength().
    virtual MidiResult sendShortMessage(std::uint32_t message) = 0;
};

} // namespace korvanta
