// System MIDI ports through RtMidi. Test machines usually have none (often
// not even a sequencer), so these check that nothing crashes or throws and
// that the errors say what went wrong.

#include "playback/RtMidiOutput.h"

#include <gtest/gtest.h>

namespace korvanta {
namespace {

TEST(RtMidiOutput, ListingPortsWhereThereAreNoneDoesNotCrash) {
    const MidiPortList ports = RtMidiOutput::portNames();
    if (!ports.errorText.empty()) {
        EXPECT_TRUE(ports.names.empty());
    }
    for (const std::string& name : ports.names)
        EXPECT_FALSE(name.empty());
}

TEST(RtMidiOutput, OpeningAPortThatIsNotThereIsAnErrorWithAText) {
    RtMidiOutput port("Korvanta Test Port That Does Not Exist");
    const MidiResult opened = port.open();
    EXPECT_FALSE(opened);
    EXPECT_FALSE(opened.errorText().empty());
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.sendShortMessage(0x90 | 60 << 8 | 100 << 16));
    port.close();
}

TEST(RtMidiOutput, PortIsFoundByNameWhateverItsSessionNumbers) {
    const std::vector<std::string> names = {"Midi Through:Midi Through Port-0 14:0",
                                            "USB Synth:USB Synth MIDI 1 24:0",
                                            "USB Synth:USB Synth MIDI 1 28:0"};
    EXPECT_EQ(RtMidiOutput::findPort(names, "USB Synth:USB Synth MIDI 1 28:0"), 2);
    EXPECT_EQ(RtMidiOutput::findPort(names, "USB Synth:USB Synth MIDI 1 20:0"), 1);
    EXPECT_EQ(RtMidiOutput::findPort(names, "USB Synth:USB Synth MIDI 1"), 1);
    EXPECT_EQ(RtMidiOutput::findPort(names, "USB Synth"), -1);
    EXPECT_EQ(RtMidiOutput::findPort({}, "USB Synth:USB Synth MIDI 1 24:0"), -1);
}

} // namespace
} // namespace korvanta
