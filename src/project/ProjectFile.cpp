// Project file reading and writing. The reader gathers the whole file into a
// staging record and checks it as a whole before the song or the settings see
// any of it; the writer encodes one chunk at a time and hands each to the sink.

#include "project/ProjectFile.h"

#include "alg/song/ChordVocabulary.h"
#include "alg/song/MelodyChecks.h"
#include "io/ByteReader.h"
#include "io/FileBytes.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>

namespace korvanta {

namespace {

using Tag = std::array<char, 4>;

constexpr std::string_view kTagSignature = "VKvt";
constexpr std::string_view kTagSettings = "POpt";
constexpr std::string_view kTagMetaEvents = "GPar";
constexpr std::string_view kTagChannelEvents = "TPar";
constexpr std::string_view kTagMelody = "MNts";
constexpr std::string_view kTagBarHarmony = "AChr";
constexpr std::string_view kTagBarChords = "RChr";
constexpr std::string_view kTagMeter = "TTel";
constexpr std::string_view kTagReserved = "Qsec";
constexpr std::string_view kTagEnd = "FEnd";

// Record sizes on disk.
constexpr std::size_t kSettingsBytes = 32;
constexpr std::size_t kEventBytes = 20;
constexpr std::size_t kNoteBytes = 14;
constexpr std::size_t kMelodyTailBytes = 7; // pitch-class set, distinct count, upbeat
constexpr std::size_t kBarHarmonyBytes = 8;
constexpr std::size_t kBarChordsBytes = 28;
constexpr std::size_t kMeterWordBytes = 4;
constexpr std::size_t kMeterChangeBytes = 16;
constexpr std::size_t kKeyEntryBytes = 6;

// The meter chunk's header: the entry count, the map's eight fields, and one
// reserved word that files may leave out.
constexpr std::int32_t kMeterWordsWritten = 10;
constexpr std::int32_t kMeterWordsNeeded = 9;

// A position's bar is 16 bits, so no song has more bars than this.
constexpr std::int32_t kMaxBarCount = kMaxSongBars;
// The ticks per quarter note a MIDI file may declare (no SMPTE timing).
constexpr std::int32_t kMinTicksPerQuarter = 16;
constexpr std::int32_t kMaxTicksPerQuarter = 0x7FFF;

constexpr std::int32_t kReservedBody = 4;
constexpr std::int32_t kUpbeatUnknown = -1;
constexpr std::uint8_t kMaxPitch = 127;
constexpr std::uint8_t kPitchClasses = 12;

bool isTag(const Tag& tag, std::string_view name) {
    return std::string_view(tag.data(), tag.size()) == name;
}

std::string printable(const Tag& tag) {
    std::string text;
    for (char c : tag) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            text += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            text += "\\x";
            text += kHex[u >> 4];
            text += kHex[u & 0xF];
        }
    }
    return text;
}

// A chord field may hold "no chord" (any negative code) or a real chord.
bool isStoredChord(std::int16_t code) {
    return code < 0 || isChordCode(code);
}

template <class T>
bool take(std::optional<T> value, T& out) {
    if (!value) return false;
    out = *value;
    return true;
}

bool takeBool(std::optional<std::uint8_t> value, bool& out) {
    if (!value || *value > 1) return false;
    out = *value != 0;
    return true;
}

// Everything a project file holds, gathered before any of it reaches the song.
struct Contents {
    std::optional<HarmonySettings> settings;
    std::vector<TSongEvent> metaEvents;
    std::vector<TSongEvent> channelEvents;
    std::vector<TNote> notes;
    bool melodyTail = false;
    std::uint16_t pitchMask = 0;
    std::uint8_t pitchClassCount = 0;
    std::int32_t upbeat = kUpbeatUnknown;
    std::optional<std::vector<TBarHarmony>> barHarmony;
    std::optional<std::vector<TBarChords>> barChords;

    bool meterSeen = false;
    TMeterMap meterFields; // only its eight header fields are used
    std::vector<TMeterChange> meterChanges;
    std::array<std::uint8_t, 24> keyMarks{};
    std::vector<TKeyEntry> keys;
};

class Reader {
public:
    Reader(std::span<const std::byte> bytes, Contents& out) : m_in(bytes), m_out(out) {}

    bool run();
    const std::string& error() const { return m_error; }

private:
    bool fail(std::size_t offset, const std::string& text);
    bool truncated(const ByteReader& in) { return fail(in.offset(), "the file ends too early"); }
    // Reads a record count and returns a reader over count records plus
    // extraBytes, or nothing when the count is negative or the bytes are not there.
    std::optional<ByteReader> counted(ByteReader& in, const char* what, std::size_t recordBytes,
                                      std::size_t extraBytes, std::int32_t& count);

    bool readChunk(const Tag& tag, std::size_t tagOffset);
    bool readSettings();
    bool readEvents(std::vector<TSongEvent>& events);
    bool readMelody();
    bool readBarHarmony();
    bool readBarChords();
    bool readMeter();
    bool skipReserved();
    bool checkWhole();

    ByteReader m_in;
    Contents& m_out;
    std::string m_chunk; // tag of the chunk being read, for messages
    std::string m_error;
};

bool Reader::fail(std::size_t offset, const std::string& text) {
    m_error = (m_chunk.empty() ? std::string() : "chunk \"" + m_chunk + "\", ") + "byte " +
              std::to_string(offset) + ": " + text;
    return false;
}

std::optional<ByteReader> Reader::counted(ByteReader& in, const char* what, std::size_t recordBytes,
                                          std::size_t extraBytes, std::int32_t& count) {
    const std::size_t at = in.offset();
    if (!take(in.i32(), count)) {
        truncated(in);
        return std::nullopt;
    }
    if (count < 0) {
        fail(at, std::string("the ") + what + " count " + std::to_string(count) + " is negative");
        return std::nullopt;
    }
    const std::size_t left = in.remaining();
    if (left < extraBytes || static_cast<std::size_t>(count) > (left - extraBytes) / recordBytes) {
        fail(at, std::string("the ") + what + " count " + std::to_string(count) +
                     " needs more bytes than the file holds");
        return std::nullopt;
    }
    return in.child(static_cast<std::size_t>(count) * recordBytes + extraBytes);
}

bool Reader::run() {
    bool headerSeen = false;
    for (;;) {
        m_chunk.clear();
        const std::size_t at = m_in.offset();
        const auto tag = m_in.tag();
        if (!tag) return fail(at, "the file ends before its end mark \"FEnd\"");
        if (isTag(*tag, kTagSignature)) {
            // The version is not checked: every version so far is read the same way.
            if (!m_in.i32()) return truncated(m_in);
            headerSeen = true;
            continue;
        }
        if (!headerSeen) return fail(at, "this is not a Korvanta project file");
        if (isTag(*tag, kTagEnd)) return checkWhole();
        if (!readChunk(*tag, at)) return false;
    }
}

bool Reader::readChunk(const Tag& tag, std::size_t tagOffset) {
    m_chunk = printable(tag);
    if (isTag(tag, kTagSettings)) return readSettings();
    if (isTag(tag, kTagMetaEvents)) return readEvents(m_out.metaEvents);
    if (isTag(tag, kTagChannelEvents)) return readEvents(m_out.channelEvents);
    if (isTag(tag, kTagMelody)) return readMelody();
    if (isTag(tag, kTagBarHarmony)) return readBarHarmony();
    if (isTag(tag, kTagBarChords)) return readBarChords();
    if (isTag(tag, kTagMeter)) return readMeter();
    if (isTag(tag, kTagReserved)) return skipReserved();
    m_chunk.clear();
    return fail(tagOffset, "unknown chunk \"" + printable(tag) + "\"");
}

bool Reader::readSettings() {
    // The writer stores one record; the count says nothing more and is not used.
    if (!m_in.i32()) return truncated(m_in);
    auto in = m_in.child(kSettingsBytes);
    if (!in) return truncated(m_in);
    const std::size_t at = in->offset();
    HarmonySettings s;
    const bool read = take(in->u8(), s.TSYmode) && takeBool(in->u8(), s.ApplyPKey) &&
                      take(in->i16(), s.MinTaktBT) && take(in->i32(), s.ModeStT) &&
                      take(in->f32(), s.MinWT) && takeBool(in->u8(), s.CSFilter) &&
                      takeBool(in->u8(), s.DSFilter) && in->skip(2) &&
                      take(in->f32(), s.kRecomChr) && take(in->f32(), s.kDSFilter) &&
                      take(in->i16(), s.MaxNumCustomChords) && takeBool(in->u8(), s.AutoKey) &&
                      take(in->u8(), s.DefAccPatch) && takeBool(in->u8(), s.AutoSaveOpt);
    if (!read) return fail(at, "a yes/no setting holds a value other than 0 or 1");
    if (const char* bad = firstInvalidHarmonySetting(s))
        return fail(at, std::string("the setting ") + bad + " holds an unusable value");
    m_out.settings = s;
    return true;
}

bool Reader::readEvents(std::vector<TSongEvent>& events) {
    std::int32_t count = 0;
    auto in = counted(m_in, "event", kEventBytes, 0, count);
    if (!in) return false;
    events.reserve(events.size() + static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        TSongEvent e;
        const bool read = take(in->u8(), e.type) && in->skip(3) && take(in->u32(), e.value) &&
                          take(in->i32(), e.value2) && take(in->u16(), e.bar) &&
                          take(in->u8(), e.beat) && in->skip(1) && take(in->u16(), e.tick) &&
                          in->skip(2);
        if (!read) return truncated(*in);
        events.push_back(e);
    }
    return true;
}

bool Reader::readMelody() {
    std::int32_t count = 0;
    auto in = counted(m_in, "note", kNoteBytes, kMelodyTailBytes, count);
    if (!in) return false;
    m_out.notes.reserve(m_out.notes.size() + static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t at = in->offset();
        TNote n;
        const bool read = take(in->u8(), n.pitch) && take(in->u8(), n.list) &&
                          take(in->u16(), n.velocities) && take(in->u16(), n.start.bar) &&
                          take(in->u8(), n.start.beat) && in->skip(1) &&
                          take(in->u16(), n.start.tick) && take(in->u16(), n.duration) &&
                          take(in->u8(), n.pitchClass) && in->skip(1);
        if (!read) return truncated(*in);
        if (n.list >= kNoteListCount)
            return fail(at, "note " + std::to_string(i) + " lies on list " +
                                std::to_string(n.list) + ", which does not exist");
        if (n.pitch > kMaxPitch || n.pitchClass >= kPitchClasses)
            return fail(at, "note " + std::to_string(i) + " has no valid pitch");
        m_out.notes.push_back(n);
    }
    const std::size_t at = in->offset();
    if (!take(in->u16(), m_out.pitchMask) || !take(in->u8(), m_out.pitchClassCount) ||
        !take(in->i32(), m_out.upbeat))
        return truncated(*in);
    if (m_out.upbeat < kUpbeatUnknown)
        return fail(at + 3, "the upbeat " + std::to_string(m_out.upbeat) + " is negative");
    m_out.melodyTail = true;
    return true;
}

bool Reader::readBarHarmony() {
    std::int32_t count = 0;
    auto in = counted(m_in, "bar", kBarHarmonyBytes, 0, count);
    if (!in) return false;
    std::vector<TBarHarmony> bars(static_cast<std::size_t>(count));
    for (auto& bar : bars) {
        const std::size_t at = in->offset();
        if (!take(in->i16(), bar.chord) || !take(in->u8(), bar.play) || !in->skip(1) ||
            !take(in->i32(), bar.style))
            return truncated(*in);
        if (!isStoredChord(bar.chord))
            return fail(at, "the chord code " + std::to_string(bar.chord) + " is unknown");
    }
    m_out.barHarmony = std::move(bars);
    return true;
}

bool Reader::readBarChords() {
    std::int32_t count = 0;
    auto in = counted(m_in, "bar", kBarChordsBytes, 0, count);
    if (!in) return false;
    std::vector<TBarChords> bars(static_cast<std::size_t>(count));
    for (auto& bar : bars) {
        const std::size_t at = in->offset();
        bool read = take(in->u8(), bar.mainCount) && take(in->u8(), bar.extraCount);
        for (auto& code : bar.codes)
            read = read && take(in->i16(), code);
        read = read && take(in->u8(), bar.cadenceMark) && in->skip(1);
        if (!read) return truncated(*in);
        const int used = bar.mainCount + bar.extraCount;
        if (used > TBarChords::kCapacity)
            return fail(at, "a bar lists " + std::to_string(used) + " chords, more than " +
                                std::to_string(TBarChords::kCapacity));
        for (int k = 0; k < used; ++k) {
            if (!isStoredChord(bar.codes[k]))
                return fail(at, "the chord code " + std::to_string(bar.codes[k]) + " is unknown");
        }
    }
    m_out.barChords = std::move(bars);
    return true;
}

bool Reader::readMeter() {
    const std::size_t at = m_in.offset();
    std::int32_t words = 0;
    if (!take(m_in.i32(), words)) return truncated(m_in);
    if (words < kMeterWordsNeeded || words > kMeterWordsWritten)
        return fail(at, "the meter header has " + std::to_string(words) + " words instead of " +
                            std::to_string(kMeterWordsWritten));
    auto header = m_in.child(static_cast<std::size_t>(words) * kMeterWordBytes);
    if (!header) return truncated(m_in);

    // Words 1-8: the map's fields in their order; word 9 is reserved.
    std::int32_t changes = 0;
    TMeterMap fields;
    const bool read =
        take(header->i32(), changes) && take(header->i32(), fields.wholeTicks) &&
        take(header->i32(), fields.shortestNote) && take(header->u32(), fields.quantUnit) &&
        take(header->i32(), fields.gridTicks) && take(header->i32(), fields.barCount) &&
        take(header->i32(), fields.resolution) && take(header->i32(), fields.sixteenthTicks) &&
        take(header->i32(), fields.ticksPerQuarter);
    if (!read) return truncated(*header);
    if (fields.ticksPerQuarter < kMinTicksPerQuarter ||
        fields.ticksPerQuarter > kMaxTicksPerQuarter)
        return fail(at, "the time division " + std::to_string(fields.ticksPerQuarter) +
                            " ticks per quarter note is not supported");
    if (fields.barCount < 0 || fields.barCount > kMaxBarCount)
        return fail(at, "the bar count " + std::to_string(fields.barCount) + " is out of range");
    if (changes < 0 || static_cast<std::size_t>(changes) > m_in.remaining() / kMeterChangeBytes)
        return fail(at,
                    "the meter change count " + std::to_string(changes) + " does not fit the file");

    auto changesIn = m_in.child(static_cast<std::size_t>(changes) * kMeterChangeBytes);
    if (!changesIn) return truncated(m_in);
    std::vector<TMeterChange> meters(static_cast<std::size_t>(changes));
    for (auto& m : meters) {
        const std::size_t entryAt = changesIn->offset();
        if (!take(changesIn->i32(), m.firstBar) || !take(changesIn->u8(), m.numerator) ||
            !take(changesIn->u8(), m.denominator) || !changesIn->skip(2) ||
            !take(changesIn->i32(), m.ticksPerBar) || !take(changesIn->i32(), m.ticksPerBeat))
            return truncated(*changesIn);
        if (m.firstBar < 0 || m.numerator == 0 || m.denominator == 0 || m.ticksPerBar <= 0 ||
            m.ticksPerBeat <= 0)
            return fail(entryAt, "a meter change holds an impossible meter");
    }

    std::array<std::uint8_t, 24> marks{};
    for (auto& mark : marks) {
        if (!take(m_in.u8(), mark)) return truncated(m_in);
    }

    std::int32_t keyCount = 0;
    auto keysIn = counted(m_in, "key", kKeyEntryBytes, 0, keyCount);
    if (!keysIn) return false;
    std::vector<TKeyEntry> keys(static_cast<std::size_t>(keyCount));
    for (auto& key : keys) {
        const std::size_t keyAt = keysIn->offset();
        // The two trailing fields are always zero in memory.
        if (!take(keysIn->i16(), key.key) || !keysIn->skip(4)) return truncated(*keysIn);
        if (!isKey(key.key))
            return fail(keyAt, "the key index " + std::to_string(key.key) + " is out of range");
    }

    m_out.meterSeen = true;
    m_out.meterFields = fields;
    m_out.meterChanges = std::move(meters);
    m_out.keyMarks = marks;
    m_out.keys = std::move(keys);
    return true;
}

bool Reader::skipReserved() {
    const std::size_t at = m_in.offset();
    std::int32_t length = 0;
    if (!take(m_in.i32(), length)) return truncated(m_in);
    if (length < 0) return fail(at, "the length " + std::to_string(length) + " is negative");
    if (!m_in.skip(static_cast<std::size_t>(length)))
        return fail(at, "the length " + std::to_string(length) + " runs past the end of the file");
    return true;
}

// What single chunks cannot tell: the song's per-bar arrays must match its
// bars, and the meter map must be there at all.
bool Reader::checkWhole() {
    m_chunk.clear();
    const std::size_t at = m_in.offset();
    if (!m_out.meterSeen) return fail(at, "the file has no meter table (\"TTel\")");
    const auto bars = static_cast<std::size_t>(m_out.meterFields.barCount);
    if (m_out.barHarmony && !m_out.barChords)
        return fail(at, "the file has chosen chords (\"AChr\") but no chord candidates (\"RChr\")");
    if (m_out.barHarmony && m_out.barHarmony->size() != bars)
        return fail(at, "the chosen chords cover " + std::to_string(m_out.barHarmony->size()) +
                            " bars, the song has " + std::to_string(bars));
    if (m_out.barChords && m_out.barChords->size() != bars)
        return fail(at, "the chord candidates cover " + std::to_string(m_out.barChords->size()) +
                            " bars, the song has " + std::to_string(bars));
    if (m_out.barChords) {
        for (const TNote& n : m_out.notes) {
            if (n.list == kMelodyList && n.start.bar >= bars)
                return fail(at, "a melody note lies in bar " + std::to_string(n.start.bar) +
                                    ", after the song's last bar");
        }
    }
    return true;
}

// Hands checked contents to a fresh song. Lists are appended to, arrays and
// the meter map replaced, as a file with repeated chunks asks.
bool apply(Contents& c, TSong& song, HarmonySettings& settings) {
    for (const TSongEvent& e : c.metaEvents)
        song.metaEvents.Append(e);
    for (const TSongEvent& e : c.channelEvents)
        song.channelEvents.Append(e);
    if (song.metaEvents.failed() || song.channelEvents.failed()) return false;

    // The melody step walks the notes in time order and counts the bars from
    // the last one, so they are handed over in the order of their positions
    // whatever order the file stored them in.
    std::stable_sort(c.notes.begin(), c.notes.end(), [](const TNote& a, const TNote& b) {
        return std::tie(a.start.bar, a.start.beat, a.start.tick) <
               std::tie(b.start.bar, b.start.beat, b.start.tick);
    });
    TNotes& notes = song.notes;
    for (const TNote& n : c.notes)
        notes.Append(n.list, n);
    if (notes.error != 0) return false;
    if (c.melodyTail) {
        notes.pitchMask = static_cast<std::int16_t>(c.pitchMask);
        notes.pitchClassCount = c.pitchClassCount;
        notes.upbeat = c.upbeat;
    }
    if (c.barHarmony) song.barHarmony = std::move(*c.barHarmony);
    if (c.barChords) song.barChords = std::move(*c.barChords);

    TMeterMap& meter = song.meter();
    meter.Clear();
    meter.wholeTicks = c.meterFields.wholeTicks;
    meter.shortestNote = c.meterFields.shortestNote;
    meter.quantUnit = c.meterFields.quantUnit;
    meter.gridTicks = c.meterFields.gridTicks;
    meter.barCount = c.meterFields.barCount;
    meter.resolution = c.meterFields.resolution;
    meter.sixteenthTicks = c.meterFields.sixteenthTicks;
    meter.ticksPerQuarter = c.meterFields.ticksPerQuarter;
    for (const TMeterChange& m : c.meterChanges)
        meter.AddEntry(m);
    song.keyMarks = c.keyMarks;
    song.keys = std::move(c.keys);

    // The bar count sizes everything per bar; the division was checked to fit.
    song.setBarCount(meter.barCount);
    notes.barCount = meter.barCount;
    song.ticksPerQuarter = static_cast<std::int16_t>(meter.ticksPerQuarter & 0xFFFF);

    if (c.settings) settings = *c.settings;
    return true;
}

// Encodes the chunks in the writer's order, passing each to the sink at once.
class Writer {
public:
    Writer(OutputSink& sink, const TSong& song, const HarmonySettings& settings)
        : m_sink(sink), m_song(song), m_settings(settings) {}

    bool run();

private:
    bool flush() {
        const bool ok = m_sink.write(m_out.bytes());
        m_out.clear();
        return ok;
    }
    void writeSettings();
    void writeEvents(std::string_view tag, const TEventList& list);
    void writeMelody();
    void writeBarHarmony(std::int32_t bars);
    void writeBarChords(std::int32_t bars);
    void writeMeter();

    OutputSink& m_sink;
    const TSong& m_song;
    const HarmonySettings& m_settings;
    ByteWriter m_out;
};

bool Writer::run() {
    m_out.tag(kTagSignature);
    m_out.i32(ProjectFile::kVersion);
    if (!flush()) return false;
    writeSettings();
    if (!flush()) return false;
    writeEvents(kTagMetaEvents, m_song.metaEvents);
    if (!flush()) return false;
    writeEvents(kTagChannelEvents, m_song.channelEvents);
    if (!flush()) return false;
    writeMelody();
    if (!flush()) return false;
    // The per-bar arrays are written with as many bars as the meter table
    // states, which is what a reader checks them against.
    const std::int32_t bars = std::max(m_song.meter().barCount, 0);
    if (!m_song.barHarmony.empty()) {
        writeBarHarmony(bars);
        if (!flush()) return false;
    }
    if (!m_song.barChords.empty()) {
        writeBarChords(bars);
        if (!flush()) return false;
    }
    writeMeter();
    if (!flush()) return false;
    m_out.tag(kTagReserved);
    m_out.i32(kReservedBody);
    m_out.i32(kReservedBody);
    m_out.tag(kTagEnd);
    return flush();
}

void Writer::writeSettings() {
    const HarmonySettings& s = m_settings;
    m_out.tag(kTagSettings);
    m_out.i32(1);
    m_out.u8(s.TSYmode);
    m_out.u8(s.ApplyPKey ? 1 : 0);
    m_out.i16(s.MinTaktBT);
    m_out.i32(s.ModeStT);
    m_out.f32(s.MinWT);
    m_out.u8(s.CSFilter ? 1 : 0);
    m_out.u8(s.DSFilter ? 1 : 0);
    m_out.zeros(2);
    m_out.f32(s.kRecomChr);
    m_out.f32(s.kDSFilter);
    m_out.i16(s.MaxNumCustomChords);
    m_out.u8(s.AutoKey ? 1 : 0);
    m_out.u8(s.DefAccPatch);
    m_out.u8(s.AutoSaveOpt ? 1 : 0);
    m_out.zeros(3);
}

void Writer::writeEvents(std::string_view tag, const TEventList& list) {
    m_out.tag(tag);
    m_out.i32(list.Count());
    for (const TSongEvent& e : list.events()) {
        m_out.u8(e.type);
        m_out.zeros(3);
        m_out.u32(e.value);
        m_out.i32(e.value2);
        m_out.u16(e.bar);
        m_out.u8(e.beat);
        m_out.zeros(1);
        m_out.u16(e.tick);
        m_out.zeros(2);
    }
}

void Writer::writeMelody() {
    const TNotes& notes = m_song.notes;
    const auto& melody = notes.list(kMelodyList);
    m_out.tag(kTagMelody);
    m_out.i32(static_cast<std::int32_t>(melody.size()));
    for (const TNote& n : melody) {
        m_out.u8(n.pitch);
        m_out.u8(n.list);
        m_out.u16(n.velocities);
        m_out.u16(n.start.bar);
        m_out.u8(n.start.beat);
        m_out.zeros(1);
        m_out.u16(n.start.tick);
        m_out.u16(n.duration);
        m_out.u8(n.pitchClass);
        m_out.zeros(1);
    }
    m_out.u16(static_cast<std::uint16_t>(notes.pitchMask));
    m_out.u8(notes.pitchClassCount);
    m_out.i32(notes.upbeat);
}

void Writer::writeBarHarmony(std::int32_t bars) {
    m_out.tag(kTagBarHarmony);
    m_out.i32(bars);
    for (std::int32_t b = 0; b < bars; ++b) {
        const auto index = static_cast<std::size_t>(b);
        const TBarHarmony h =
            index < m_song.barHarmony.size() ? m_song.barHarmony[index] : TBarHarmony{};
        m_out.i16(h.chord);
        m_out.u8(h.play);
        m_out.zeros(1);
        m_out.i32(h.style);
    }
}

void Writer::writeBarChords(std::int32_t bars) {
    m_out.tag(kTagBarChords);
    m_out.i32(bars);
    for (std::int32_t b = 0; b < bars; ++b) {
        const auto index = static_cast<std::size_t>(b);
        const TBarChords c =
            index < m_song.barChords.size() ? m_song.barChords[index] : TBarChords{};
        m_out.u8(c.mainCount);
        m_out.u8(c.extraCount);
        for (std::int16_t code : c.codes)
            m_out.i16(code);
        m_out.u8(c.cadenceMark);
        m_out.zeros(1);
    }
}

void Writer::writeMeter() {
    const TMeterMap& meter = m_song.meter();
    m_out.tag(kTagMeter);
    m_out.i32(kMeterWordsWritten);
    m_out.i32(static_cast<std::int32_t>(meter.entryCount()));
    m_out.i32(meter.wholeTicks);
    m_out.i32(meter.shortestNote);
    m_out.u32(meter.quantUnit);
    m_out.i32(meter.gridTicks);
    m_out.i32(meter.barCount);
    m_out.i32(meter.resolution);
    m_out.i32(meter.sixteenthTicks);
    m_out.i32(meter.ticksPerQuarter);
    m_out.i32(0);
    for (const TMeterChange& m : meter.entries()) {
        m_out.i32(m.firstBar);
        m_out.u8(m.numerator);
        m_out.u8(m.denominator);
        m_out.zeros(2);
        m_out.i32(m.ticksPerBar);
        m_out.i32(m.ticksPerBeat);
    }
    for (std::uint8_t mark : m_song.keyMarks)
        m_out.u8(mark);
    m_out.i32(m_song.keyCount());
    for (const TKeyEntry& k : m_song.keys) {
        m_out.i16(k.key);
        m_out.i16(0);
        m_out.i16(0);
    }
}

ProjectResult loadFailed(const std::filesystem::path& name, const std::string& why) {
    return loadFailure("The project " + name.filename().string() + " cannot be opened: " + why +
                       ".");
}

ProjectResult saveFailed(const std::filesystem::path& name, const std::string& why) {
    return saveFailure("The project " + name.filename().string() + " could not be saved: " + why +
                       ".");
}

} // namespace

ProjectFile::ProjectFile(std::filesystem::path fileName, TSong& song, HarmonySettings& settings)
    : m_fileName(std::move(fileName)), m_song(song), m_settings(settings) {}

ProjectResult ProjectFile::load() {
    const FileBytes file = readFileBytes(m_fileName, kMaxFileBytes);
    switch (file.failure) {
    case FileBytes::Failure::None:
        return load(file.bytes);
    case FileBytes::Failure::Open:
        return loadFailed(m_fileName, file.message);
    case FileBytes::Failure::TooLarge:
        return loadFailed(m_fileName, "the file is too large");
    case FileBytes::Failure::Memory:
        return loadFailed(m_fileName, "not enough memory");
    case FileBytes::Failure::Read:
        break;
    }
    return loadFailed(m_fileName, "the file cannot be read");
}

ProjectResult ProjectFile::load(std::span<const std::byte> bytes) {
    if (bytes.size() > kMaxFileBytes) return loadFailed(m_fileName, "the file is too large");
    try {
        Contents contents;
        Reader reader(bytes, contents);
        if (!reader.run()) return loadFailed(m_fileName, reader.error());
        if (!apply(contents, m_song, m_settings))
            return loadFailed(m_fileName, "not enough memory");
    } catch (const std::bad_alloc&) {
        return loadFailed(m_fileName, "not enough memory");
    }
    return {};
}

ProjectResult ProjectFile::save() {
    // The project is put together in memory and read back before the file on
    // disk is touched: a song that would not open again must never replace a
    // project that does.
    MemorySink image;
    if (ProjectResult encoded = save(image); !encoded) return encoded;
    if (const std::string why = reopenProblem(image.bytes()); !why.empty())
        return saveFailed(m_fileName, "it would not open again (" + why + ")");
    AtomicFileSink sink(m_fileName);
    if (!sink.isOpen() || !sink.write(image.bytes()) || !sink.commit())
        return saveFailed(m_fileName,
                          sink.error().empty() ? "the data could not be written" : sink.error());
    return {};
}

std::string ProjectFile::reopenProblem(std::span<const std::byte> bytes) const {
    TSong song;
    HarmonySettings settings = m_settings;
    if (const ProjectResult loaded = ProjectFile(m_fileName, song, settings).load(bytes); !loaded)
        return loaded.message;
    try {
        const Status melody = loadProjectMelody(song);
        if (melody != kStatusOk && melody != kStatusKeyNotRecognised)
            return "its melody is refused with status " + std::to_string(melody);
    } catch (const std::bad_alloc&) {
        return "not enough memory";
    }
    return {};
}

ProjectResult ProjectFile::save(OutputSink& sink) {
    bool written = false;
    try {
        written = Writer(sink, m_song, m_settings).run();
    } catch (const std::bad_alloc&) {
        return saveFailed(m_fileName, "not enough memory");
    }
    if (!written || !sink.commit()) {
        const std::string why = sink.error();
        return saveFailed(m_fileName, why.empty() ? "the data could not be written" : why);
    }
    return {};
}

} // namespace korvanta
