#include "Audition.h"

#include "alg/song/ChordVocabulary.h"
#include "alg/song/Keys.h"
#include "playback/OfflineRender.h"
#include "playback/SongRender.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace korvanta::audition {

namespace {

constexpr std::uint8_t kProgramChangeChordChannel = 0xC0 | kChordList;
constexpr std::uint8_t kControllerAllSoundOff = 120;
constexpr std::uint8_t kControllerResetAll = 121;
constexpr int kMidiChannels = 16;
// Long enough for the reverb of a previous render to die away.
constexpr double kDrainSeconds = 0.5;
constexpr std::chrono::minutes kLongestRender{10};

std::string positionText(const TBarPos& pos) {
    std::string tick = std::to_string(pos.tick);
    if (tick.size() < 3) tick.insert(0, 3 - tick.size(), '0');
    return std::to_string(pos.bar + 1) + ":" + std::to_string(pos.beat + 1) + ":" + tick;
}

std::string barText(const TSong& song, int bar) {
    const std::int16_t chord = song.BarChord(bar);
    return "bar " + std::to_string(bar + 1) + " (" + chordLabel(chord) + ")";
}

bool isToneOf(int pitch, int chord) {
    const ChordToneList tones = chordTonesOf(chord);
    for (int t = 0; t < tones.count; ++t)
        if (tones.tones[t] == pitch % 12) return true;
    return false;
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

FluidSynthOptions offline(FluidSynthOptions options) {
    options.offline = true;
    return options;
}

struct Sounding {
    int pitch = 0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    int bar = 0;
    TBarPos pos;
};

// Two notes that sound together low in the range blur into a rumble unless
// they are at least a fifth apart; the same key struck again while it still
// sounds is cut short by the first note's release.
void checkClusters(const TSong& song, std::vector<Sounding> notes,
                   std::vector<std::string>& problems) {
    std::sort(notes.begin(), notes.end(),
              [](const Sounding& a, const Sounding& b) { return a.start < b.start; });
    for (std::size_t i = 0; i < notes.size(); ++i) {
        for (std::size_t j = i + 1; j < notes.size() && notes[j].start < notes[i].end; ++j) {
            const Sounding& a = notes[i];
            const Sounding& b = notes[j];
            if (b.end <= b.start) continue;
            const int low = std::min(a.pitch, b.pitch);
            const int gap = std::abs(a.pitch - b.pitch);
            const std::string where = barText(song, b.bar) + " " + positionText(b.pos) + ": ";
            if (gap == 0) {
                problems.push_back(where + noteName(b.pitch) +
                                   " is struck again while it still sounds");
            } else if (low < kClearBassBelow && gap < kFifth) {
                problems.push_back(where + noteName(a.pitch) + " and " + noteName(b.pitch) +
                                   " sound together below " + noteName(kClearBassBelow) +
                                   ", closer than a fifth");
            }
        }
    }
}

} // namespace

std::string meterText(const Meter& meter) {
    return std::to_string(meter.numerator) + "/" + std::to_string(meter.denominator);
}

std::vector<Meter> auditionMeters(const StyleRecord& style, std::vector<std::string>& problems) {
    const Meter own{style.numerator(), style.denominator()};
    std::vector<Meter> meters{own};
    bool listsOwn = false;
    for (int i = 0; i < 4; ++i) {
        const unsigned code = (style.meters >> (8 * i)) & 0xFFu;
        if (code == 0) continue;
        const Meter m{static_cast<int>(code / 16), static_cast<int>(code % 16)};
        const bool plain =
            m.denominator == 1 || m.denominator == 2 || m.denominator == 4 || m.denominator == 8;
        if (m.numerator == 0 || !plain) {
            problems.push_back("meter list entry " + std::to_string(code) + " names no meter");
            continue;
        }
        if (m == own) {
            listsOwn = true;
        } else if (std::find(meters.begin(), meters.end(), m) == meters.end()) {
            meters.push_back(m);
        }
    }
    if (!listsOwn)
        problems.push_back("the meter list does not name the pattern's own meter " +
                           meterText(own));
    return meters;
}

std::vector<std::int16_t> auditionChords() {
    constexpr int kFMajor = 6;
    constexpr int kGMajor = 8;
    constexpr int kEMajor = 11;
    constexpr int kDMinor = 18;
    constexpr int kSeventh = 1;
    return {makeChordCode(kKeyCMajor, 0),     makeChordCode(kFMajor, 0),
            makeChordCode(kGMajor, kSeventh), makeChordCode(kKeyCMajor, 0),
            makeChordCode(kKeyAMinor, 0),     makeChordCode(kDMinor, 0),
            makeChordCode(kEMajor, kSeventh), makeChordCode(kKeyAMinor, 0)};
}

std::unique_ptr<TSong> renderAuditionSong(const StyleRecord& style, const Meter& meter) {
    auto song = std::make_unique<TSong>();
    song->ticksPerQuarter = kAuditionDivision;
    TMeterMap& grid = song->meter();
    grid.SetDivision(kAuditionDivision);
    grid.AddMeter(0, static_cast<std::uint8_t>(meter.numerator),
                  static_cast<std::uint8_t>(meter.denominator));

    const std::vector<std::int16_t> chords = auditionChords();
    const int perChord = std::max(1, static_cast<int>(style.bars()));
    const int bars = static_cast<int>(chords.size()) * perChord;
    song->setBarCount(bars);
    grid.barCount = bars;
    song->barHarmony.assign(static_cast<std::size_t>(bars), TBarHarmony{});
    for (int bar = 0; bar < bars; ++bar) {
        song->barHarmony[bar].chord = chords[bar / perChord];
        song->barHarmony[bar].play = 1;
    }
    song->chordOctave = style.baseOctave();
    song->style = &style;

    TSongEvent program;
    program.type = kProgramChangeChordChannel;
    program.value = packEventBytes(style.program() & 0x7F);
    song->channelEvents.Append(program);

    song->notes.CreateList(kChordList, 64);
    const int baseNote = 12 * song->chordOctave;
    int bar = 0;
    while (bar < bars) {
        const int before = bar;
        RenderPattern(song->notes, song->barHarmony, bar, bars, style, baseNote, kChordList);
        // A bar the style cannot play must not stop the audition of the rest.
        if (bar <= before) bar = before + 1;
    }

    std::int32_t length = 0;
    for (int i = 0; i < song->notes.Count(kChordList); ++i)
        length = std::max(length, song->notes.EndTick(i, kChordList, 0));
    song->notes.length = length;
    return song;
}

std::vector<std::string> checkRenderedNotes(const TSong& song) {
    std::vector<std::string> problems;
    const TMeterMap& grid = song.meter();
    const TNotes& notes = song.notes;
    const int bars = std::min<int>(song.barCount, static_cast<int>(song.barHarmony.size()));
    const std::int64_t sustain = grid.wholeTicks / 16;

    std::vector<int> perBar(static_cast<std::size_t>(std::max(bars, 0)), 0);
    std::vector<int> downbeatLow(perBar.size(), -1);
    std::vector<Sounding> sounding;

    for (int i = 0; i < notes.Count(kChordList); ++i) {
        const TNote& n = *notes.Note(i, kChordList);
        const int bar = n.start.bar;
        if (bar >= bars) {
            problems.push_back(positionText(n.start) + ": " + noteName(n.pitch) +
                               " lies after the last bar");
            continue;
        }
        const std::int16_t chord = song.BarChord(bar);
        const std::string where =
            barText(song, bar) + " " + positionText(n.start) + ": " + noteName(n.pitch);
        const std::int64_t barStart = grid.BarStart(bar);
        const std::int64_t barEnd = grid.BarStart(bar + 1);
        const std::int64_t start = grid.ToTicks(n.start);
        const std::int64_t end = start + n.duration;

        if (!isToneOf(n.pitch, chord))
            problems.push_back(where + " is not a tone of " + chordLabel(chord));
        if (n.pitch < kLowestPitch || n.pitch > kHighestPitch)
            problems.push_back(where + " lies outside MIDI " + std::to_string(kLowestPitch) + ".." +
                               std::to_string(kHighestPitch) + " (" + std::to_string(n.pitch) +
                               ")");
        if (n.onVelocity() < 1 || n.onVelocity() > 127)
            problems.push_back(where + " has velocity " + std::to_string(n.onVelocity()));
        if (start < barStart || start >= barEnd) {
            problems.push_back(where + " starts outside its bar");
            continue;
        }
        if (n.duration == 0) {
            problems.push_back(where + " has no length");
            continue;
        }
        if (end > barEnd + sustain)
            problems.push_back(where + " sounds " + std::to_string(end - barEnd) +
                               " ticks past the bar line (at most " + std::to_string(sustain) +
                               ")");

        ++perBar[bar];
        if (start < barStart + grid.MeterAt(bar).ticksPerBeat &&
            (downbeatLow[bar] < 0 || n.pitch < downbeatLow[bar]))
            downbeatLow[bar] = n.pitch;
        sounding.push_back(Sounding{n.pitch, start, end, bar, n.start});
    }

    for (int bar = 0; bar < bars; ++bar) {
        const std::int16_t chord = song.BarChord(bar);
        const int root = keyTonic(chordRoot(chord));
        if (perBar[bar] == 0) {
            problems.push_back(barText(song, bar) + ": no notes");
        } else if (downbeatLow[bar] < 0) {
            problems.push_back(barText(song, bar) + ": nothing sounds on the first beat");
        } else if (downbeatLow[bar] % 12 != root) {
            problems.push_back(barText(song, bar) + ": the lowest note of the first beat is " +
                               noteName(downbeatLow[bar]) + ", not the root " +
                               NoteNames[root >= 0 ? root : 0]);
        }
    }
    checkClusters(song, std::move(sounding), problems);
    return problems;
}

AudioLevel measureLevel(std::span<const std::int16_t> samples) {
    AudioLevel level;
    if (samples.empty()) return level;
    double sum = 0;
    int peak = 0;
    for (const std::int16_t s : samples) {
        const int v = s;
        sum += static_cast<double>(v) * v;
        peak = std::max(peak, std::abs(v));
    }
    const double rms = std::sqrt(sum / static_cast<double>(samples.size())) / 32768.0;
    level.rmsDbfs = rms > 0 ? 20.0 * std::log10(rms) : -200.0;
    level.peak = peak / 32768.0;
    return level;
}

std::vector<std::string> checkLevel(const AudioLevel& level) {
    std::vector<std::string> problems;
    if (level.rmsDbfs < kSilentBelowDbfs)
        problems.push_back("silent: RMS " + fixed(level.rmsDbfs, 1) + " dBFS (below " +
                           fixed(kSilentBelowDbfs, 0) + ")");
    if (level.peak >= kClippedPeak)
        problems.push_back("clipped: peak " + fixed(level.peak, 3) + " of full scale");
    return problems;
}

AuditionSynth::AuditionSynth(FluidSynthOptions options) : m_synth(offline(std::move(options))) {}

MidiResult AuditionSynth::open() {
    return m_synth.open();
}

MidiResult AuditionSynth::render(TSong& song, std::vector<std::int16_t>& audio) {
    audio.clear();
    if (!m_synth.isOpen()) return MidiResult::failure("The synth is not open.");
    std::vector<std::uint32_t> words;
    if (MidiResult r = songStreamWords(song, words); !r) return r;

    // Whatever the previous song left sounding must not leak into this one.
    for (int channel = 0; channel < kMidiChannels; ++channel) {
        const auto status = static_cast<std::uint8_t>(0xB0 | channel);
        for (const std::uint8_t controller : {kControllerAllSoundOff, kControllerResetAll})
            if (MidiResult r = m_synth.sendShortMessage(packShortMessage(status, controller, 0));
                !r)
                return r;
    }
    std::vector<std::int16_t> drain(
        2 * static_cast<std::size_t>(kDrainSeconds * m_synth.sampleRateHz()));
    if (MidiResult r = m_synth.render(std::span<std::int16_t>(drain)); !r) return r;

    OfflineRenderOptions options;
    options.ticksPerQuarter = static_cast<std::uint32_t>(song.ticksPerQuarter);
    options.microsecondsPerQuarter = static_cast<std::uint32_t>(song.QueryMeta(kMetaTempo));
    // A pattern hundreds of bars long is no accompaniment; its render stops
    // with an error before it fills the memory.
    options.longest = kLongestRender;
    return renderStreamEvents(m_synth, words, options, audio);
}

std::string noteName(int pitch) {
    static constexpr const char* kNames[12] = {"C",  "C#", "D",  "Eb", "E",  "F",
                                               "F#", "G",  "Ab", "A",  "Bb", "B"};
    const int pc = Wrap12(pitch);
    const int octave = (pitch - pc) / 12 - 1;
    std::string name = kNames[pc];
    name += std::to_string(octave);
    return name;
}

std::string chordLabel(int code) {
    std::string name = ChordName(code);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!name.empty() && name.front() == ' ')
        name.erase(name.begin());
    return name.empty() ? "-" : name;
}

std::vector<std::string> describeNotes(const TSong& song) {
    const TMeterMap& grid = song.meter();
    // Onsets in time order, notes of an onset from low to high.
    std::map<std::pair<std::int64_t, int>, std::vector<const TNote*>> onsets;
    for (int i = 0; i < song.notes.Count(kChordList); ++i) {
        const TNote* n = song.notes.Note(i, kChordList);
        onsets[{grid.ToTicks(n->start), n->start.bar}].push_back(n);
    }
    std::vector<std::string> lines;
    int lastBar = -1;
    for (auto& [key, group] : onsets) {
        std::sort(group.begin(), group.end(),
                  [](const TNote* a, const TNote* b) { return a->pitch < b->pitch; });
        std::string line = key.second != lastBar ? barText(song, key.second) : std::string();
        lastBar = key.second;
        line.resize(std::max<std::size_t>(line.size(), 16), ' ');
        line += positionText(group.front()->start);
        for (const TNote* n : group) {
            line += "  " + noteName(n->pitch) + " " + std::to_string(n->onVelocity()) + "/" +
                    std::to_string(n->duration);
        }
        lines.push_back(line);
    }
    return lines;
}

std::string safeFileName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!plain) c = '_';
    }
    return safe.empty() ? "_" : safe;
}

} // namespace korvanta::audition
