#pragma once
// The checks of korvanta-style-audition: a style rendered over fixed chord
// progressions in each meter it lists, its notes checked against the chords
// and bars, and its sound rendered through the embedded synth and measured.
// Nothing here prints; every problem comes back as one line of text.

#include "alg/song/TSong.h"
#include "playback/FluidSynthOutput.h"
#include "styles/StyleRecords.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace korvanta::audition {

constexpr int kLowestPitch = 28; // E1: lower than any bass we want to hear
constexpr int kHighestPitch = 100;
constexpr int kClearBassBelow = 48; // C3: below it, notes closer than a fifth rumble
constexpr int kFifth = 7;
constexpr double kSilentBelowDbfs = -40.0;
constexpr double kClippedPeak = 0.99;
constexpr std::int16_t kAuditionDivision = 480;

struct Meter {
    int numerator = 4;
    int denominator = 4;

    friend bool operator==(const Meter&, const Meter&) = default;
};

std::string meterText(const Meter& meter);

// The meters a style is auditioned in: its own first, then the others its
// list names. A list code that names no meter, or a list without the style's
// own meter, adds a line to `problems`.
std::vector<Meter> auditionMeters(const StyleRecord& style, std::vector<std::string>& problems);

// I-IV-V7-I in C major, then i-iv-V7-i in A minor.
std::vector<std::int16_t> auditionChords();

// A song in `meter` whose bars follow auditionChords(), each chord held for
// as many bars as the pattern has, with the style rendered on the chord list
// at its base octave and its program set on the chord channel.
std::unique_ptr<TSong> renderAuditionSong(const StyleRecord& style, const Meter& meter);

// Every fault of the rendered chord notes, against the bars and chords of the
// song: tones, ranges, positions, the bass at each downbeat, low clusters.
std::vector<std::string> checkRenderedNotes(const TSong& song);

struct AudioLevel {
    double rmsDbfs = -200.0;
    double peak = 0.0; // largest sample magnitude, 1.0 full scale
};

AudioLevel measureLevel(std::span<const std::int16_t> samples);
// Silence and clipping, as lines.
std::vector<std::string> checkLevel(const AudioLevel& level);

// One offline synth for many renders, so the SoundFont is loaded once.
class AuditionSynth {
public:
    explicit AuditionSynth(FluidSynthOptions options);
    MidiResult open();
    bool isOpen() const { return m_synth.isOpen(); }
    double sampleRateHz() const { return m_synth.sampleRateHz(); }
    // Renders the song from its start, with its release tail, into `audio`
    // (interleaved stereo, replaced).
    MidiResult render(TSong& song, std::vector<std::int16_t>& audio);

private:
    FluidSynthOutput m_synth;
};

// "C2", "Bb3" (C4 is MIDI note 60).
std::string noteName(int pitch);
// The chord's name without the blank a triad's name ends with.
std::string chordLabel(int code);
// The rendered chord notes bar by bar, one line per onset, for a listener
// checking voicings by eye.
std::vector<std::string> describeNotes(const TSong& song);

// A style name made safe to use as a file name: anything but letters,
// digits, '-' and '_' becomes '_'.
std::string safeFileName(const std::string& name);

} // namespace korvanta::audition
