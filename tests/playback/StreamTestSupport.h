#pragma once
// Small builders shared by the stream tests: buffers of stream events and
// packed messages.

#include "playback/MidiStream.h"
#include "playback/RecordingOutput.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace korvanta::test {

using Us = std::chrono::microseconds;

struct StreamEvent {
    std::uint32_t deltaTicks;
    std::uint32_t eventWord;
};

inline MidiBuffer makeBuffer(std::initializer_list<StreamEvent> events, int id = 0) {
    MidiBuffer buffer;
    buffer.id = id;
    for (const StreamEvent& event : events) {
        buffer.words.push_back(event.deltaTicks);
        buffer.words.push_back(0);
        buffer.words.push_back(event.eventWord);
    }
    buffer.usedWords = buffer.words.size();
    return buffer;
}

constexpr std::uint32_t noteOn(int channel, int key, int velocity = 100) {
    return packShortMessage(static_cast<std::uint8_t>(0x90 | channel),
                            static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity));
}

constexpr std::uint32_t noteOff(int channel, int key) {
    return packShortMessage(static_cast<std::uint8_t>(0x80 | channel),
                            static_cast<std::uint8_t>(key), 0);
}

// Only the note messages, in order: what the reset's controller messages
// would otherwise bury.
inline std::vector<RecordedMessage> noteMessages(const std::vector<RecordedMessage>& all) {
    std::vector<RecordedMessage> notes;
    for (const RecordedMessage& m : all)
        if ((messageStatus(m.message) & 0xE0) == 0x80) notes.push_back(m);
    return notes;
}

// Notes still sounding after every message was played: on without a later
// note-off (all-notes-off controllers are not counted: some synths ignore them).
inline int soundingNotes(const std::vector<RecordedMessage>& all) {
    std::array<std::array<bool, 128>, 16> on{};
    for (const RecordedMessage& m : all) {
        const std::uint8_t status = messageStatus(m.message);
        const int channel = status & 0x0F;
        if ((status & 0xF0) == 0x90 && messageData2(m.message) > 0)
            on[channel][messageData1(m.message)] = true;
        else if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90)
            on[channel][messageData1(m.message)] = false;
    }
    int count = 0;
    for (const auto& channel : on)
        for (bool sounding : channel)
            count += sounding ? 1 : 0;
    return count;
}

} // namespace korvanta::test
