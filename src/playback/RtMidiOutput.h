#pragma once
// A MIDI output backend on a system MIDI port through RtMidi (the ALSA
// sequencer on Linux, WinMM on Windows, CoreMIDI on macOS), for users with a
// hardware or external synth. The port is chosen by its name.
//
// Owned by the player; called by one thread at a time (a MidiStream
// serialises its calls). Every RtMidi failure becomes an error text; nothing
// here throws.

#include "playback/MidiOutput.h"

#include <memory>
#include <string>
#include <vector>

class RtMidiOut;

namespace korvanta {

struct MidiPortList {
    std::vector<std::string> names;
    std::string errorText; // why the system's ports could not be listed; empty when they could
};

class RtMidiOutput final : public MidiOutput {
public:
    explicit RtMidiOutput(std::string portName);
    ~RtMidiOutput() override;
    RtMidiOutput(const RtMidiOutput&) = delete;
    RtMidiOutput& operator=(const RtMidiOutput&) = delete;

    // The names of the system's MIDI output ports; none (and no error) when
    // the system has none.
    static MidiPortList portNames();
    // The index of the port called `wanted`: the same name, or failing that
    // the same name once the client and port numbers that ALSA appends
    // (" 128:0") are left off both, since those change between sessions.
    // -1 when none matches.
    static int findPort(const std::vector<std::string>& names, const std::string& wanted);

    MidiResult open() override;
    void close() override;
    bool isOpen() const override;
    MidiResult sendShortMessage(std::uint32_t message) override;

    const std::string& portName() const { return m_portName; }

private:
    std::string m_portName;
    std::unique_ptr<RtMidiOut> m_port;
    std::string m_lastError; // filled by RtMidi's error callback during a call
};

} // namespace korvanta
