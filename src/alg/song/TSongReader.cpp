#include "alg/song/TSongReader.h"

#include <algorithm>
#include <limits>

namespace korvanta {

namespace {

constexpr int kPitchCount = 128;
constexpr std::int64_t kLongestDuration = std::numeric_limits<std::uint16_t>::max();

} // namespace

TSongReader::TSongReader(const char* fileName, BufferMode mode) : MidiMergeReader(fileName, mode) {}

TSongReader::TSongReader(std::span<const std::byte> memory) : MidiMergeReader(memory) {}

int TSongReader::attach(TSong& song) {
    if (!isOpen()) return -1;
    m_song = &song;
    m_open.assign(kNoteListCount * kPitchCount, OpenQueue{});
    setOptions(kAllControllersGeneric);
    return 0;
}

Status TSongReader::run() {
    if (!m_song) return m_result = kStatusLoadFailed;
    m_result = read() ? 0 : kStatusLoadFailed;
    m_song->meter().barCount = m_currentBar;
    return m_result;
}

bool TSongReader::readheader() {
    if (!MidiMergeReader::readheader()) return false;
    if (!m_song) return true;
    TMeterMap& meter = m_song->meter();
    m_song->format = static_cast<std::uint8_t>(format());
    m_song->trackCount = static_cast<std::uint8_t>(trackCount());
    m_song->ticksPerQuarter = static_cast<std::int16_t>(division());
    // The header is read twice (once to size the tracks, once to merge them):
    // start the grid afresh each time.
    meter.Clear();
    meter.wholeTicks = 4 * division();
    meter.sixteenthTicks = meter.wholeTicks / 16;
    meter.shortestNote = meter.wholeTicks / 16;
    meter.SetDivision(division());
    // A file without a time signature is in 4/4.
    meter.AddMeter(0, 4, 4);
    m_barLimitTicks = -1;
    return true;
}

TBarPos TSongReader::takePosition() {
    m_position = m_song->meter().ToPos(nowTicks());
    m_currentBar = m_position.bar;
    return m_position;
}

void TSongReader::noteChannel(int channel) {
    if (m_melodyChannel < 0)
        m_melodyChannel = channel;
    else if (channel != m_melodyChannel)
        m_multiChannel = kStatusSeveralChannels;
}

void TSongReader::appendMeta(std::uint8_t type, std::uint32_t value, std::int32_t value2) {
    TSongEvent e;
    e.type = type;
    e.value = value;
    e.value2 = value2;
    e.setPosition(takePosition());
    m_song->metaEvents.Append(e);
}

void TSongReader::appendChannelEvent(std::uint8_t status, int channel, std::uint32_t value) {
    TSongEvent e;
    e.type = static_cast<std::uint8_t>(status | (channel & 0x0F));
    e.value = value;
    e.setPosition(takePosition());
    m_song->channelEvents.Append(e);
}

void TSongReader::ontimesig(int numerator, int denominator, int clocksPerClick,
                            int thirtySecondsPerQuarter) {
    if (!m_song) return;
    TMeterMap& meter = m_song->meter();
    // A meter takes effect at a bar line: the bar the signature lies on when it
    // stands on a bar line, else the next one. (Counting from the bar of the
    // last stored event instead would put a meter one bar early after an empty
    // bar, and a meter for bar 1 onto bar 0.)
    const TBarPos at = meter.ToPos(nowTicks());
    const std::int32_t firstBar = at.bar + (at.beat == 0 && at.tick == 0 ? 0 : 1);
    const auto num = static_cast<std::uint8_t>(numerator);
    const auto den = static_cast<std::uint8_t>(denominator);
    // A second meter for the bar of the last one (the default 4/4 of bar 0 among
    // them) replaces it rather than stacking two entries on one bar.
    if (meter.entryCount() > 0 && meter.entries().back().firstBar == firstBar)
        meter.ReplaceLastMeter(num, den);
    else
        meter.AddMeter(firstBar, num, den);
    m_barLimitTicks = -1; // the new meter moves the last bar
    appendMeta(kMetaTimeSignature,
               packEventBytes(num, den, static_cast<std::uint8_t>(clocksPerClick),
                              static_cast<std::uint8_t>(thirtySecondsPerQuarter)));
}

void TSongReader::ontempo(std::uint32_t microsecondsPerQuarter) {
    if (m_song) appendMeta(kMetaTempo, microsecondsPerQuarter);
}

void TSongReader::onkeysig(int sf, int mi) {
    if (m_song)
        appendMeta(kMetaKeySignature,
                   packEventBytes(static_cast<std::uint8_t>(sf), static_cast<std::uint8_t>(mi)));
}

void TSongReader::onsmpte(int rateCode, int hours, int minutes, int seconds, int frames,
                          int fractionalFrames) {
    if (!m_song) return;
    appendMeta(
        kMetaSmpte,
        packEventBytes(static_cast<std::uint8_t>(rateCode), static_cast<std::uint8_t>(hours),
                       static_cast<std::uint8_t>(minutes), static_cast<std::uint8_t>(seconds)),
        static_cast<std::int32_t>(packEventBytes(static_cast<std::uint8_t>(frames),
                                                 static_cast<std::uint8_t>(fractionalFrames))));
}

void TSongReader::onprogram(int channel, int program) {
    if (m_song)
        appendChannelEvent(0xC0, channel, packEventBytes(static_cast<std::uint8_t>(program)));
}

void TSongReader::oncontroller(int channel, int controller, int value) {
    if (m_song)
        appendChannelEvent(0xB0, channel,
                           packEventBytes(static_cast<std::uint8_t>(controller),
                                          static_cast<std::uint8_t>(value)));
}

void TSongReader::onkeypressure(int channel, int pitch, int pressure) {
    if (m_song)
        appendChannelEvent(
            0xA0, channel,
            packEventBytes(static_cast<std::uint8_t>(pitch), static_cast<std::uint8_t>(pressure)));
}

void TSongReader::onchannelpressure(int channel, int pressure) {
    if (m_song)
        appendChannelEvent(0xD0, channel, packEventBytes(static_cast<std::uint8_t>(pressure)));
}

void TSongReader::onnoteon(int channel, int pitch, int velocity) {
    if (!m_song || errorFlag()) return;
    if (channel < 0 || channel >= kNoteListCount || pitch < 0 || pitch >= kPitchCount) return;
    noteChannel(channel);
    if (m_barLimitTicks < 0) m_barLimitTicks = m_song->meter().BarStart(kMaxSongBars);
    if (nowTicks() >= m_barLimitTicks) {
        // Past the last bar a position can name: the song ends there, and says so.
        if (!m_cutAtBarLimit)
            reportWarning("notes after bar %d are left out: a song holds at most %d bars",
                          kMaxSongBars, kMaxSongBars);
        m_cutAtBarLimit = true;
        return;
    }
    TNotes& notes = m_song->notes;
    const TBarPos pos = takePosition();
    OpenQueue& queue = m_open[channel * kPitchCount + pitch];
    const std::int32_t countBefore = notes.Count(channel);
    notes.AddNote(static_cast<std::uint8_t>(pitch), channel,
                  static_cast<std::uint16_t>(velocity << 8), pos, 0,
                  static_cast<std::uint8_t>(pitch % 12));
    if (notes.Count(channel) == countBefore) return; // the list could not grow
    queue.notes.push_back(OpenNote{countBefore, nowTicks()});
    ++m_openCount;
}

void TSongReader::onnoteoff(int channel, int pitch, int velocity) {
    if (!m_song) return;
    if (channel < 0 || channel >= kNoteListCount || pitch < 0 || pitch >= kPitchCount) return;
    noteChannel(channel);
    TNotes& notes = m_song->notes;
    const std::int64_t now = nowTicks();
    if (now > notes.length)
        notes.length = static_cast<std::int32_t>(
            std::min<std::int64_t>(now, std::numeric_limits<std::int32_t>::max()));
    OpenQueue& queue = m_open[channel * kPitchCount + pitch];
    if (queue.head >= queue.notes.size()) return;
    const OpenNote open = queue.notes[queue.head++];
    if (queue.head == queue.notes.size()) {
        queue.notes.clear();
        queue.head = 0;
    }
    --m_openCount;
    TNote* note = notes.Note(open.index, channel);
    if (!note) return;
    // A duration has 16 bits: longer notes are held as long as it can say.
    const std::int64_t duration =
        std::clamp<std::int64_t>(now - open.startTicks, 0, kLongestDuration);
    note->duration = static_cast<std::uint16_t>(duration);
    note->velocities = static_cast<std::uint16_t>((note->velocities & 0xFF00) | (velocity & 0xFF));
    TMeterMap& meter = m_song->meter();
    if (duration < meter.shortestNote) meter.shortestNote = static_cast<std::int32_t>(duration);
}

namespace {

template <typename Reader>
MidiLoadResult runLoad(TSong& song, Reader& reader) {
    MidiLoadResult out;
    if (reader.attach(song) != 0) {
        out.status = kStatusLoadFailed;
    } else {
        out.status = reader.run();
    }
    out.multiChannel = reader.multiChannel();
    out.melodyChannel = reader.melodyChannel();
    out.opened = reader.isOpen();
    out.fileSize = reader.fileSize();
    out.diagnostics = reader.diagnostics();
    return out;
}

} // namespace

MidiLoadResult loadMidiFile(TSong& song, const std::string& fileName) {
    TSongReader reader(fileName.c_str(), MidiFileIO::BufferMode::WholeFile);
    return runLoad(song, reader);
}

MidiLoadResult loadMidiMemory(TSong& song, std::span<const std::byte> bytes) {
    TSongReader reader(bytes);
    return runLoad(song, reader);
}

} // namespace korvanta
