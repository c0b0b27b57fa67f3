#pragma once
// Small styles for tests: a record built in code, and a library folder written
// with the program's own writers.

#include "styles/StyleFiles.h"
#include "styles/StyleMaster.h"
#include "support/ScratchPath.h"

#include <filesystem>
#include <initializer_list>

namespace korvanta::test {

inline PatternEvent patternEvent(int selector, int octave, int bar, int beat, int tick,
                                 int duration, int onVelocity = 90) {
    PatternEvent e;
    e.selector = static_cast<std::int8_t>(selector);
    e.octave = static_cast<std::int8_t>(octave);
    e.bar = static_cast<std::uint16_t>(bar);
    e.beat = static_cast<std::uint8_t>(beat);
    e.tick = static_cast<std::uint16_t>(tick);
    e.duration = static_cast<std::int16_t>(duration);
    e.velocities = static_cast<std::uint16_t>(onVelocity << 8 | 64);
    return e;
}

// A style in num/den at 480 ticks per quarter, base octave 4, listing `meters`.
inline StyleRecord makeStyle(int numerator, int denominator, std::initializer_list<int> meters,
                             std::initializer_list<PatternEvent> events, int bars = 1) {
    StyleRecord s;
    s.header[0] = kStyleFormatVersion;
    s.setBars(static_cast<std::uint8_t>(bars));
    s.setBaseOctave(4);
    s.setBeatsPerBar(static_cast<std::uint8_t>(numerator));
    s.setProgram(0);
    s.setTimeSignature(static_cast<std::uint8_t>(numerator),
                       static_cast<std::uint8_t>(denominator));
    s.ticksPerQuarter = 480;
    int shift = 0;
    for (int code : meters) {
        s.meters |= static_cast<std::uint32_t>(code) << shift;
        shift += 8;
    }
    s.events = events;
    s.eventCount = static_cast<std::uint32_t>(s.events.size());
    return s;
}

// A scratch folder removed when the object goes.
struct ScratchFolder {
    std::filesystem::path path = scratchPath("korvanta-styles");
    ScratchFolder() { std::filesystem::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace korvanta::test
