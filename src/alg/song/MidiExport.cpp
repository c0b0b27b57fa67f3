#include "alg/song/MidiExport.h"

#include "alg/midi/MidiFileIO.h"
#include "alg/song/ChordVocabulary.h"
#include "alg/song/Keys.h"
#include "io/OutputSink.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <span>

namespace korvanta {

namespace {

// The largest tick a file can time: every delta (and every meta event's
// length) must fit a four-byte variable-length quantity.
constexpr std::int64_t kMaxFileTicks = 0x0FFFFFFF;
constexpr int kMaxDivision = 0x7FFF;
constexpr std::uint32_t kMaxTempo = 0xFFFFFF;

// Order of events at the same tick: meta events, then channel events, then
// note-offs, then note-ons, so that a note ending where the next one of the
// same pitch starts is closed before it sounds again.
enum class Slot { Meta, Channel, NoteOff, NoteOn };

// Order of meta events at the same tick. The time signature comes before the
// tempo and key so that a reader places the new meter at the bar it starts.
enum class MetaRank { TrackName, Text, Smpte, TimeSignature, KeySignature, Tempo, Marker };

constexpr std::uint8_t kMetaText = 0x01;
constexpr std::uint8_t kMetaTrackName = 0x03;
constexpr std::uint8_t kMetaMarker = 0x06;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;

using Bytes = std::vector<std::uint8_t>;

void appendBigEndian(Bytes& out, std::uint32_t value, int byteCount) {
    for (int i = byteCount - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendVlq(Bytes& out, std::uint32_t value) {
    std::uint8_t groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 4);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(0x80 | groups[--count]));
    out.push_back(groups[0]);
}

std::uint8_t dataByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

// One event of a track before it is ordered and encoded.
struct TrackEvent {
    std::int64_t tick = 0;
    Slot slot = Slot::Meta;
    int rank = 0;
    std::uint8_t status = 0; // 0xFF for meta events
    std::uint8_t metaType = 0;
    Bytes data;
};

// Collects the events of one track chunk and encodes them in time order.
class TrackWriter {
public:
    void meta(std::int64_t tick, MetaRank rank, std::uint8_t type, Bytes data) {
        m_events.push_back(
            TrackEvent{tick, Slot::Meta, static_cast<int>(rank), 0xFF, type, std::move(data)});
    }
    // Texts longer than a length field can say are cut there.
    void text(std::int64_t tick, MetaRank rank, std::uint8_t type, std::string_view text) {
        text = text.substr(0, std::min<std::size_t>(text.size(), kMaxFileTicks));
        meta(tick, rank, type, Bytes(text.begin(), text.end()));
    }
    void channel(std::int64_t tick, Slot slot, std::uint8_t status, Bytes data) {
        m_events.push_back(TrackEvent{tick, slot, 0, status, 0, std::move(data)});
    }

    std::int64_t lastTick() const {
        std::int64_t last = 0;
        for (const TrackEvent& e : m_events)
            last = std::max(last, e.tick);
        return last;
    }

    // The "MTrk" chunk, ending with an end-of-track event at endTick; empty
    // when the chunk would not fit its 32-bit length.
    Bytes encode(std::int64_t endTick) {
        std::stable_sort(m_events.begin(), m_events.end(),
                         [](const TrackEvent& a, const TrackEvent& b) {
                             if (a.tick != b.tick) return a.tick < b.tick;
                             if (a.slot != b.slot) return a.slot < b.slot;
                             return a.rank < b.rank;
                         });
        Bytes body;
        std::int64_t now = 0;
        int running = -1;
        for (const TrackEvent& e : m_events) {
            appendVlq(body, static_cast<std::uint32_t>(e.tick - now));
            now = e.tick;
            if (e.status == 0xFF) {
                body.push_back(0xFF);
                body.push_back(e.metaType);
                appendVlq(body, static_cast<std::uint32_t>(e.data.size()));
                running = -1; // a meta event ends running status
            } else if (e.status != running) {
                body.push_back(e.status);
                running = e.status;
            }
            body.insert(body.end(), e.data.begin(), e.data.end());
        }
        appendVlq(body, static_cast<std::uint32_t>(std::max<std::int64_t>(endTick - now, 0)));
        body.insert(body.end(), {0xFF, kMetaEndOfTrack, 0x00});
        if (body.size() > std::numeric_limits<std::uint32_t>::max()) return {};
        Bytes chunk{'M', 'T', 'r', 'k'};
        appendBigEndian(chunk, static_cast<std::uint32_t>(body.size()), 4);
        chunk.insert(chunk.end(), body.begin(), body.end());
        return chunk;
    }

private:
    std::vector<TrackEvent> m_events;
};

// A note ready to be written, in absolute ticks.
struct NoteSpan {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::uint8_t pitch = 0;
    std::uint8_t onVelocity = 0;
    std::uint8_t offVelocity = 0;
    bool dropped = false;
};

bool isPowerOfTwo(int value) {
    return value > 0 && (value & (value - 1)) == 0;
}

int log2Of(int powerOfTwo) {
    int power = 0;
    while ((1 << power) < powerOfTwo)
        ++power;
    return power;
}

// Builds the three tracks; the first failure stops it with a diagnostic.
class ExportBuilder {
public:
    ExportBuilder(const TSong& song, std::string_view title) : m_song(song), m_title(title) {}

    MidiExportBytes build() {
        MidiExportBytes out;
        const TMeterMap& grid = m_song.meter();
        if (grid.entryCount() == 0) return fail("the song has no meter");
        const int division = grid.ticksPerQuarter;
        if (division < 1 || division > kMaxDivision)
            return fail("ticks per quarter note " + std::to_string(division) +
                        " cannot be written");

        TrackWriter conductor;
        TrackWriter melody;
        TrackWriter chords;
        if (!buildConductor(conductor) || !buildPart(melody, kMelodyList, kExportMelodyChannel) ||
            !buildPart(chords, kChordList, kExportChordChannel) || !addMarkers(chords))
            return fail(m_error);

        // Every track ends where the song ends, so players agree on its length.
        const std::int64_t end =
            std::max({conductor.lastTick(), melody.lastTick(), chords.lastTick()});
        Bytes file{'M', 'T', 'h', 'd'};
        appendBigEndian(file, 6, 4);
        appendBigEndian(file, 1, 2); // format 1
        appendBigEndian(file, 3, 2); // three tracks
        appendBigEndian(file, static_cast<std::uint32_t>(division), 2);
        for (TrackWriter* track : {&conductor, &melody, &chords}) {
            const Bytes chunk = track->encode(end);
            if (chunk.empty()) return fail("a track is too large for a MIDI file");
            file.insert(file.end(), chunk.begin(), chunk.end());
        }
        out.bytes = std::move(file);
        return out;
    }

private:
    MidiExportBytes fail(const std::string& why) {
        MidiExportBytes out;
        out.status = kStatusSaveFailed;
        out.message = why;
        return out;
    }

    // False (with the reason kept) for a tick a file cannot hold.
    bool checkTick(std::int64_t tick) {
        if (tick >= 0 && tick <= kMaxFileTicks) return true;
        m_error = "the song is too long for a MIDI file";
        return false;
    }

    bool buildConductor(TrackWriter& track) {
        const TMeterMap& grid = m_song.meter();
        const TEventList& metas = m_song.metaEvents;
        track.text(0, MetaRank::TrackName, kMetaTrackName, m_title);
        if (!m_song.text.empty()) track.text(0, MetaRank::Text, kMetaText, m_song.text);

        // A file has at most one SMPTE offset, and it belongs at its start.
        if (const TSongEvent* smpte = m_song.FindEvent(kMetaSmpte, 0, 0)) {
            const auto hour = static_cast<std::uint8_t>((smpte->dataByte(0) & 0x07) << 5 |
                                                        (smpte->dataByte(1) & 0x1F));
            const auto frames = static_cast<std::uint32_t>(smpte->value2);
            track.meta(0, MetaRank::Smpte, kMetaSmpte,
                       {hour, smpte->dataByte(2), smpte->dataByte(3),
                        static_cast<std::uint8_t>(frames >> 24),
                        static_cast<std::uint8_t>(frames >> 16)});
        }

        // The meter map is what places every note, so the time signatures come
        // from it: one at bar 0 and one wherever the meter in force changes.
        std::vector<std::int32_t> bars{0};
        for (const TMeterChange& entry : grid.entries())
            bars.push_back(std::max(entry.firstBar, 0));
        std::sort(bars.begin(), bars.end());
        bars.erase(std::unique(bars.begin(), bars.end()), bars.end());
        const TMeterChange* previous = nullptr;
        for (const std::int32_t bar : bars) {
            const TMeterChange& meter = grid.MeterAt(bar);
            if (previous && meter.numerator == previous->numerator &&
                meter.denominator == previous->denominator)
                continue;
            if (meter.numerator == 0 || !isPowerOfTwo(meter.denominator) ||
                meter.denominator > 128) {
                m_error = "the meter " + std::to_string(meter.numerator) + "/" +
                          std::to_string(meter.denominator) + " cannot be written";
                return false;
            }
            const std::int64_t tick = grid.BarStart(bar);
            if (!checkTick(tick)) return false;
            const auto [clocks, thirtySeconds] = metronomeOf(bar, meter);
            track.meta(tick, MetaRank::TimeSignature, kMetaTimeSignature,
                       {meter.numerator, static_cast<std::uint8_t>(log2Of(meter.denominator)),
                        clocks, thirtySeconds});
            previous = &meter;
        }

        bool keyWritten = false;
        bool tempoWritten = false;
        for (int i = 0; i < metas.Count(); ++i) {
            const TSongEvent& e = *metas.At(i);
            const std::int64_t tick = metas.TickOf(i);
            if (e.type == kMetaKeySignature) {
                if (!checkTick(tick)) return false;
                track.meta(tick, MetaRank::KeySignature, kMetaKeySignature,
                           {e.dataByte(0), static_cast<std::uint8_t>(e.dataByte(1) != 0)});
                keyWritten = true;
            } else if (e.type == kMetaTempo) {
                if (!checkTick(tick)) return false;
                track.meta(tick, MetaRank::Tempo, kMetaTempo, tempoBytes(e.value));
                tempoWritten = true;
            }
        }
        if (!keyWritten && m_song.keyCount() > 0) {
            const KeySignature sig = KeyToSignature(m_song.keys.front().key);
            track.meta(0, MetaRank::KeySignature, kMetaKeySignature,
                       {static_cast<std::uint8_t>(sig.sf), static_cast<std::uint8_t>(sig.mi)});
        }
        if (!tempoWritten)
            track.meta(0, MetaRank::Tempo, kMetaTempo,
                       tempoBytes(static_cast<std::uint32_t>(kDefaultTempo)));
        return true;
    }

    // MIDI clocks per metronome click and 32nds per quarter: those of the
    // song's own time signature at that bar when it has one, else a click on
    // every beat.
    std::pair<std::uint8_t, std::uint8_t> metronomeOf(std::int32_t bar,
                                                      const TMeterChange& meter) const {
        for (const TSongEvent& e : m_song.metaEvents.events()) {
            if (e.type == kMetaTimeSignature && e.bar == bar && e.dataByte(0) == meter.numerator &&
                e.dataByte(1) == meter.denominator && e.dataByte(2) != 0 && e.dataByte(3) != 0)
                return {e.dataByte(2), e.dataByte(3)};
        }
        return {static_cast<std::uint8_t>(std::max(96 / meter.denominator, 1)), 8};
    }

    static Bytes tempoBytes(std::uint32_t microsecondsPerQuarter) {
        // A tempo of 0 cannot be played; the song plays it at the default.
        if (microsecondsPerQuarter == 0)
            microsecondsPerQuarter = static_cast<std::uint32_t>(kDefaultTempo);
        Bytes data;
        appendBigEndian(data, std::min(microsecondsPerQuarter, kMaxTempo), 3);
        return data;
    }

    bool buildPart(TrackWriter& track, int list, int channel) {
        track.text(0, MetaRank::TrackName, kMetaTrackName,
                   list == kMelodyList ? "Melody" : "Chords");
        const PartSetup setup = exportPartSetup(m_song, list);
        const auto program = static_cast<std::uint8_t>(0xC0 | channel);
        const auto control = static_cast<std::uint8_t>(0xB0 | channel);
        track.channel(0, Slot::Channel, program, {dataByte(setup.program)});
        track.channel(0, Slot::Channel, control, {kControllerVolume, dataByte(setup.volume)});
        if (setup.pan >= 0)
            track.channel(0, Slot::Channel, control, {kControllerPan, dataByte(setup.pan)});

        // The song's other events on this channel keep their places; a program,
        // volume or pan at the very start is what the setup above replaces.
        const TEventList& events = m_song.channelEvents;
        for (int i = 0; i < events.Count(); ++i) {
            const TSongEvent& e = *events.At(i);
            if ((e.type & 0x0F) != channel) continue;
            const int kind = e.type & 0xF0;
            const std::int64_t tick = events.TickOf(i);
            const bool setupKind =
                kind == 0xC0 || (kind == 0xB0 && (e.dataByte(0) == kControllerVolume ||
                                                  e.dataByte(0) == kControllerPan));
            if (tick == 0 && setupKind) continue;
            const auto status = static_cast<std::uint8_t>(kind | channel);
            if (kind == 0xA0 || kind == 0xB0) {
                if (!checkTick(tick)) return false;
                track.channel(tick, Slot::Channel, status,
                              {dataByte(e.dataByte(0)), dataByte(e.dataByte(1))});
            } else if (kind == 0xC0 || kind == 0xD0) {
                if (!checkTick(tick)) return false;
                track.channel(tick, Slot::Channel, status, {dataByte(e.dataByte(0))});
            }
            // Anything else is not a stored channel event and is left out.
        }

        std::vector<NoteSpan> spans;
        if (!collectNotes(list, spans)) return false;
        const auto on = static_cast<std::uint8_t>(0x90 | channel);
        const auto off = static_cast<std::uint8_t>(0x80 | channel);
        for (const NoteSpan& n : spans) {
            if (n.dropped) continue;
            track.channel(n.start, Slot::NoteOn, on, {n.pitch, n.onVelocity});
            track.channel(n.end, Slot::NoteOff, off, {n.pitch, n.offVelocity});
        }
        return true;
    }

    // The notes of a list as they can be written: a note of length 0 (one
    // whose end was never seen) sounds for one tick; a note-on velocity of 0
    // (which a file reads as a note-off) becomes 1; pitches above 127 are left
    // out. A note that overlaps the next one of the same pitch ends where that
    // one starts, and of two starting together only the longer is kept, so no
    // reader has to guess which note an event belongs to.
    bool collectNotes(int list, std::vector<NoteSpan>& spans) {
        const TMeterMap& grid = m_song.meter();
        const std::vector<TNote>& notes = m_song.notes.list(list);
        spans.reserve(notes.size());
        for (const TNote& n : notes) {
            NoteSpan s;
            s.start = grid.ToTicks(n.start);
            s.end = s.start + std::max<std::int64_t>(n.duration, 1);
            if (!checkTick(s.start) || !checkTick(s.end)) return false;
            s.pitch = n.pitch;
            s.onVelocity = static_cast<std::uint8_t>(std::clamp<int>(n.onVelocity(), 1, 127));
            s.offVelocity = dataByte(n.offVelocity());
            s.dropped = n.pitch > 127;
            spans.push_back(s);
        }
        std::vector<std::size_t> order(spans.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&spans](std::size_t a, std::size_t b) {
            if (spans[a].pitch != spans[b].pitch) return spans[a].pitch < spans[b].pitch;
            return spans[a].start < spans[b].start;
        });
        for (std::size_t k = 1; k < order.size(); ++k) {
            NoteSpan& earlier = spans[order[k - 1]];
            NoteSpan& later = spans[order[k]];
            if (earlier.dropped || earlier.pitch != later.pitch || later.start >= earlier.end)
                continue;
            if (earlier.start == later.start) {
                later.end = std::max(later.end, earlier.end);
                earlier.dropped = true;
            } else {
                earlier.end = later.start;
            }
        }
        return true;
    }

    // The chord name of every bar that plays a chord, at the bar's start.
    bool addMarkers(TrackWriter& track) {
        const TMeterMap& grid = m_song.meter();
        const int bars = std::min<int>(m_song.barCount, static_cast<int>(m_song.barHarmony.size()));
        for (int bar = 0; bar < bars; ++bar) {
            const TBarHarmony& h = m_song.barHarmony[bar];
            if (h.play == 0 || !isChordCode(h.chord)) continue;
            std::string name = ChordName(h.chord);
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            const std::int64_t tick = grid.BarStart(bar);
            if (!checkTick(tick)) return false;
            track.text(tick, MetaRank::Marker, kMetaMarker, name);
        }
        return true;
    }

    const TSong& m_song;
    std::string_view m_title;
    std::string m_error;
};

// The text of the byte layer's last error, without its "error: " and newline.
std::string ioMessage(const MidiFileIO& io) {
    std::string text = io.message();
    if (text.rfind("error: ", 0) == 0) text.erase(0, 7);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? std::string("write error") : text;
}

MidiExportResult writeBytes(const Bytes& bytes, std::FILE* stream) {
    MidiExportResult result;
    MidiFileIO io(stream, MidiFileIO::BufferMode::Window, MidiFileIO::kDefaultBufferSize,
                  MidiFileIO::Access::Write);
    const bool written = io.isOpen() && io.writebytes(bytes.data(), bytes.size());
    const bool closed = io.close();
    if (!written || !closed) {
        result.status = kStatusSaveFailed;
        result.message = ioMessage(io);
        return result;
    }
    result.bytesWritten = static_cast<std::uint32_t>(bytes.size());
    return result;
}

} // namespace

PartSetup exportPartSetup(const TSong& song, int part) {
    // This is where the notes view's mixer (song.channelSettings) takes over
    // once songs carry it; until then a part starts with the song's own
    // program, volume and pan on its channel, or program 0 at volume 100.
    PartSetup setup;
    if (part < 0 || part >= kExportPartCount) return setup;
    const int channel = part == 0 ? kExportMelodyChannel : kExportChordChannel;
    const std::int32_t program = song.QueryMeta(static_cast<std::uint8_t>(0xC0 | channel), 0);
    const std::int32_t volume =
        song.QueryMeta(static_cast<std::uint8_t>(0xB0 | channel), kControllerVolume);
    const std::int32_t pan =
        song.QueryMeta(static_cast<std::uint8_t>(0xB0 | channel), kControllerPan);
    if (program >= 0) setup.program = std::min(program, 127);
    if (volume >= 0) setup.volume = std::min(volume, 127);
    if (pan >= 0) setup.pan = std::min(pan, 127);
    return setup;
}

MidiExportBytes renderMidiExport(const TSong& song, std::string_view title) {
    return ExportBuilder(song, title).build();
}

MidiExportResult writeMidiExport(const TSong& song, std::FILE* stream, std::string_view title) {
    MidiExportBytes rendered = renderMidiExport(song, title);
    if (rendered.status != kStatusOk) {
        MidiExportResult result;
        result.status = rendered.status;
        result.message = std::move(rendered.message);
        return result;
    }
    if (!stream) {
        MidiExportResult result;
        result.status = kStatusSaveFailed;
        result.message = "no stream to write to";
        return result;
    }
    return writeBytes(rendered.bytes, stream);
}

MidiExportResult exportMidiFile(const TSong& song, const std::string& fileName,
                                std::string_view title) {
    MidiExportResult result;
    auto failed = [&result](std::string why) {
        result.status = kStatusSaveFailed;
        result.message = std::move(why);
        result.bytesWritten = 0;
        return result;
    };
    if (fileName.empty()) return failed("no file name");

    const std::string stem = std::filesystem::path(fileName).stem().string();
    MidiExportBytes rendered = renderMidiExport(song, title.empty() ? stem : title);
    if (rendered.status != kStatusOk) return failed(rendered.message);

    // Saved like every other file of the program: beside the target first,
    // with its permissions, and over it only once complete and on disk.
    AtomicFileSink sink(fileName);
    if (!sink.isOpen() || !sink.write(std::as_bytes(std::span(rendered.bytes))) || !sink.commit())
        return failed(sink.error().empty() ? "cannot write " + fileName : sink.error());
    result.bytesWritten = static_cast<std::uint32_t>(rendered.bytes.size());
    return result;
}

std::string exportFileName(std::string_view fileName) {
    constexpr std::string_view kMidiExtension = ".mid";
    constexpr std::string_view kSuffix = "_kvta.mid";
    std::string name(fileName);
    if (name.size() >= kMidiExtension.size() &&
        name.compare(name.size() - kMidiExtension.size(), kMidiExtension.size(), kMidiExtension) ==
            0)
        name.resize(name.size() - kMidiExtension.size());
    return name + std::string(kSuffix);
}

} // namespace korvanta
