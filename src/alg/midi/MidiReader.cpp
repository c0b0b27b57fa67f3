#include "alg/midi/MidiReader.h"

#include "alg/midi/StreamSeek.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

namespace korvanta {

namespace {

constexpr std::uint64_t kHeaderSearchLimit = 1024;
constexpr std::uint32_t kMaxRealisticHours = 3600; // in units of msPerTick * (delta / 1000)

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

bool isPrintableChunkId(const std::uint8_t* p) {
    return std::all_of(p, p + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

const char* textName(int type) {
    static constexpr const char* kNames[] = {"text",  "copyright", "trackname", "instrument",
                                             "lyric", "marker",    "cuepoint"};
    return type >= 1 && type <= 7 ? kNames[type - 1] : "";
}

bool isGmOn(std::uint32_t n, const std::uint8_t* d) {
    static constexpr std::uint8_t kMessage[] = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
    return n == sizeof kMessage && std::memcmp(d, kMessage, n) == 0;
}

// Roland and Yamaha messages carry a device number 0-15 in the low nibble of their second byte.
bool matchesWithDevice(std::uint32_t n, const std::uint8_t* d, const std::uint8_t* message,
                       std::uint32_t size) {
    return n == size && d[0] == message[0] && (d[1] & 0xF0) == 0x10 &&
           std::memcmp(d + 2, message + 2, size - 2) == 0;
}

bool isGsReset(std::uint32_t n, const std::uint8_t* d) {
    static constexpr std::uint8_t kMessage[] = {0x41, 0x10, 0x42, 0x12, 0x40,
                                                0x00, 0x7F, 0x00, 0x41, 0xF7};
    return matchesWithDevice(n, d, kMessage, sizeof kMessage);
}

bool isGsExit(std::uint32_t n, const std::uint8_t* d) {
    static constexpr std::uint8_t kMessage[] = {0x41, 0x10, 0x42, 0x12, 0x40,
                                                0x00, 0x7F, 0x7F, 0x42, 0xF7};
    return matchesWithDevice(n, d, kMessage, sizeof kMessage);
}

bool isXgOn(std::uint32_t n, const std::uint8_t* d) {
    static constexpr std::uint8_t kMessage[] = {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
    return matchesWithDevice(n, d, kMessage, sizeof kMessage);
}

} // namespace

bool MidiReader::read() {
    if (!isOpen()) return false;
    seek(0);
    if (!readheader()) return false;
    for (int track = 1; track <= m_trackCount && !m_stopFlag; ++track) {
        if (!readtrack(track)) return false;
    }
    return !m_errorFlag;
}

bool MidiReader::readheader() {
    // Files may carry a wrapper (RIFF and the like) before the header: find "MThd".
    std::uint64_t offset = 0;
    std::uint64_t headerAt = 0;
    bool found = false;
    for (;;) {
        const std::uint32_t n = available(offset);
        const std::uint8_t* window = n >= 4 ? access(offset, n) : nullptr;
        if (!window) break;
        const std::string_view text(reinterpret_cast<const char*>(window), n);
        if (const auto hit = text.find("MThd"); hit != std::string_view::npos) {
            headerAt = offset + hit;
            found = true;
            break;
        }
        offset += n - 3;
        if (offset >= kHeaderSearchLimit || m_fileSize - offset < 4) break;
    }
    if (!found) {
        seek(0);
        reportError("missing midi header MThd");
        return false;
    }

    m_chunkStart = headerAt;
    seek(static_cast<std::int64_t>(headerAt + 4));
    const std::uint32_t length = read32();
    if (m_errorFlag) return false;
    if (length < 6 || length > m_fileSize - m_position) {
        reportError("illegal midi header");
        return false;
    }
    const std::uint32_t format = read16();
    if (format > 2) {
        reportError("invalid midi version");
        return false;
    }
    m_format = static_cast<int>(format);
    m_trackCount = static_cast<int>(read16());
    m_division = static_cast<int>(read16());
    // SMPTE divisions (top bit) and tiny ones would break the tick arithmetic further on.
    if (m_division < 16 || (m_division & 0x8000) != 0) {
        reportError("unsupported time division %d", m_division);
        return false;
    }
    m_division1000 = static_cast<std::uint32_t>(m_division) * 1000;
    m_tempo = kDefaultTempo;
    m_clockMs = 0;
    m_clockRemainder = 0;
    m_progress = 0;
    m_nextProgressAt = 0;
    if (m_format == 0 && m_trackCount > 1) reportWarning("wrong midi type");
    onheader(m_format, m_trackCount, m_division);
    seek(static_cast<std::int64_t>(headerAt + 8 + length));
    return !m_errorFlag;
}

// Positions at the next "MTrk" chunk, skipping chunks of other types; length receives its
// declared length.
bool MidiReader::findNextTrackChunk(int track, std::uint32_t& length) {
    for (;;) {
        m_chunkStart = m_position;
        const std::uint8_t* p = access(m_position, 8);
        if (!p) {
            reportError("missing midi track MTrk");
            return false;
        }
        length = bigEndian32(p + 4);
        if (std::memcmp(p, "MTrk", 4) == 0) {
            m_position += 8;
            return true;
        }
        if (!isPrintableChunkId(p) || length > m_fileSize - (m_position + 8)) {
            reportError("missing midi track MTrk");
            return false;
        }
        const std::string id(reinterpret_cast<const char*>(p), 4);
        reportWarning("unknown chunk %s skipped", id.c_str());
        m_position += 8 + std::uint64_t{length};
    }
}

bool MidiReader::readtrack(int track) {
    m_currentTrack = track;
    std::uint32_t length = 0;
    if (!findNextTrackChunk(track, length)) return false;
    m_chunkLength = length;
    const std::uint64_t start = m_position;
    std::uint64_t end = start + length;
    if (end > m_fileSize) {
        reportWarning("track %d length past end of file", track);
        end = m_fileSize;
    }
    m_trackEnd = end;

    const bool scanOnly = (m_options & kScanOnly) != 0;
    m_trackChannel = scanOnly ? -1 : scanTrackChannel(start, end);
    ontrackstart(track, length, m_trackChannel);
    m_trackTime = 0;
    m_runningStatus = -1;
    m_endOfTrackSeen = false;

    if (!scanOnly) {
        while (!m_stopFlag && !m_endOfTrackSeen && m_position < end) {
            updateProgress();
            std::uint32_t delta = 0;
            if (!readVlq(delta)) return false;
            if (delta >= kLargeDelta) {
                largePause(delta);
                break;
            }
            if (m_position >= end) break; // a last delta with no event after it
            ondelta(delta);
            m_trackTime += delta;
            if (!advanceClock(delta)) break;
            if (readevent(end) <= 0) {
                m_errorFlag = true;
                return false;
            }
        }
    }
    m_position = end;
    ontrackend(track);
    return true;
}

int MidiReader::readevent(std::uint64_t trackEnd) {
    trackEnd = std::min(trackEnd, m_fileSize);
    m_eventStart = m_position;
    int status = 0;
    const std::uint8_t* next = peekbytes(1);
    if (!next || (*next & 0x80) != 0 || m_runningStatus < 0) {
        const std::uint8_t* s = readbytes(1);
        if (!s) return 0;
        status = *s;
    } else {
        status = m_runningStatus;
    }

    bool ok = false;
    if (status == 0xF0 || status == 0xF7) {
        ok = readSysex(status, trackEnd) > 0;
    } else if (status == 0xFF) {
        ok = readMeta(trackEnd) > 0;
    } else if (status < 0x80) {
        reportError("illegal midi command %02X", status);
        return 0;
    } else if (status < 0xF0) {
        ok = readChannelMessage(status, trackEnd);
    } else {
        ok = readSystemCommon(status);
    }
    if (!ok) return 0;
    return static_cast<int>(std::clamp<std::uint64_t>(m_position - m_eventStart, 1, INT_MAX));
}

// The length of a system-exclusive message at the position: a length field whose last data byte
// is F7 is consumed; otherwise the message runs from here to the first F7 in the track. 0 when
// no F7 closes it.
std::uint64_t MidiReader::sysexLength(std::uint64_t trackEnd) {
    const std::uint64_t start = m_position;
    std::uint64_t value = 0;
    std::uint32_t fieldLength = 0;
    for (std::uint32_t i = 0; i < 4 && start + i < trackEnd; ++i) {
        const std::uint8_t* b = access(start + i, 1);
        if (!b) break;
        value = (value << 7) | (*b & 0x7Fu);
        fieldLength = i + 1;
        if ((*b & 0x80) == 0) break;
    }
    if (fieldLength > 0 && value > 0 && start + fieldLength + value <= trackEnd) {
        const std::uint8_t* last = access(start + fieldLength + value - 1, 1);
        if (last && *last == 0xF7) {
            m_position = start + fieldLength;
            m_lastVlqLength = static_cast<std::uint8_t>(fieldLength);
            return value;
        }
    }
    for (std::uint64_t offset = start; offset < trackEnd;) {
        std::uint32_t n = available(offset);
        if (n == 0) break;
        n = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, trackEnd - offset));
        const std::uint8_t* p = access(offset, n);
        if (!p) break;
        if (const void* hit = std::memchr(p, 0xF7, n))
            return offset + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - p) -
                   start + 1;
        offset += n;
    }
    return 0;
}

int MidiReader::readSysex(int status, std::uint64_t trackEnd) {
    const std::uint64_t length = sysexLength(trackEnd);
    if (length == 0) {
        reportError("end of sysex not found");
        return 0;
    }
    const bool raw = (m_options & kRawSystem) != 0;
    if (length > m_bufferSize) {
        const std::uint64_t dataStart = m_position;
        if (!skip(length)) {
            m_stopFlag = true;
            reportError("unexpected end of file");
            return 0;
        }
        std::FILE* stream = m_file && seekStream(m_file, dataStart) ? m_file : nullptr;
        const auto size = static_cast<std::uint32_t>(length);
        if (raw)
            onrawfileevent(status, size, stream);
        else
            onsysexfile(size, stream);
        return 1;
    }
    const auto n = static_cast<std::uint32_t>(length);
    const std::uint8_t* data = readbytes(n);
    if (!data) return 0;
    if (raw)
        onrawevent(status, n, data);
    else if ((m_options & kRawSysex) != 0)
        onsysex(n, data);
    else if (isGmOn(n, data))
        ongmon();
    else if (isGsReset(n, data))
        ongsreset();
    else if (isGsExit(n, data))
        ongsexit();
    else if (isXgOn(n, data))
        onxgon();
    else
        onsysex(n, data);
    return 1;
}

int MidiReader::readMeta(std::uint64_t trackEnd) {
    const std::uint64_t typeOffset = m_position;
    const int type = readbyte();
    if (type < 0) return 0;
    std::uint32_t length = 0;
    if (!readVlq(length)) return 0;
    const std::uint64_t dataOffset = m_position;
    const std::uint64_t dataEnd = dataOffset + length;
    if (length > 0 && dataEnd > trackEnd) {
        reportError("meta event length %u past end of track %d", length, m_currentTrack);
        return 0;
    }

    if (type == 0x2F) {
        if (dataEnd < trackEnd)
            reportWarning("%ld bytes garbage at end of track %d",
                          static_cast<long>(trackEnd - dataEnd), m_currentTrack);
        onendoftrack();
        // What follows the end of the track is not parsed.
        m_endOfTrackSeen = true;
        m_position = dataEnd;
        return 1;
    }

    auto streamAt = [this](std::uint64_t offset) -> std::FILE* {
        return m_file && seekStream(m_file, offset) ? m_file : nullptr;
    };

    if ((m_options & kRawSystem) != 0) {
        const std::uint64_t total = dataEnd - typeOffset;
        const std::uint8_t* whole =
            total <= m_bufferSize ? access(typeOffset, static_cast<std::uint32_t>(total)) : nullptr;
        if (whole)
            onrawevent(0xFF, static_cast<std::uint32_t>(total), whole);
        else
            onrawfileevent(0xFF, static_cast<std::uint32_t>(total), streamAt(typeOffset));
        m_position = dataEnd;
        return 1;
    }
    if (length > m_bufferSize) {
        onmetafile(type, length, streamAt(dataOffset));
        m_position = dataEnd;
        return 1;
    }
    const std::uint8_t* d = access(dataOffset, length);
    if (!d) {
        m_stopFlag = true;
        reportError("unexpected end of file");
        return 0;
    }
    if ((m_options & kRawMeta) != 0) {
        onmeta(type, length, d);
        m_position = dataEnd;
        return 1;
    }

    switch (type) {
    case 0x00:
        if (length == 2)
            onseqnumber((d[0] << 8) | d[1]);
        else
            onmeta(type, length, d);
        break;
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x07:
    case 0x08:
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
        ontext(type, length, textName(type), d);
        break;
    case 0x20:
    case 0x21:
        if (length != 1)
            onmeta(type, length, d);
        else if (type == 0x20)
            onchannelprefix(d[0]);
        else
            onport(d[0]);
        break;
    case 0x51:
        // Only the first three bytes count, whatever the declared length.
        if (length >= 3) {
            m_tempo = (std::uint32_t{d[0]} << 16) | (std::uint32_t{d[1]} << 8) | d[2];
            ontempo(m_tempo);
        } else {
            onmeta(type, length, d);
        }
        break;
    case 0x54:
        if (length == 5)
            onsmpte(d[0] / 32, d[0] % 32, d[1], d[2], d[3], d[4]);
        else
            onmeta(type, length, d);
        break;
    case 0x58:
        if (length != 4)
            onmeta(type, length, d);
        else if (d[0] == 0 || d[1] >= 8)
            reportWarning("invalid time signature %d/2^%d ignored", d[0], d[1]);
        else
            ontimesig(d[0], 1 << d[1], d[2], d[3]);
        break;
    case 0x59: {
        const int sf = length == 2 ? static_cast<std::int8_t>(d[0]) : 0;
        if (length == 2 && sf >= -7 && sf <= 7 && d[1] <= 1)
            onkeysig(sf, d[1]);
        else
            onmeta(type, length, d);
        break;
    }
    default:
        onmeta(type, length, d);
        break;
    }
    m_position = dataEnd;
    return 1;
}

bool MidiReader::readSystemCommon(int status) {
    const bool raw = (m_options & kRawSystem) != 0;
    switch (status) {
    case 0xF2: {
        const std::uint8_t* d = readbytes(2);
        if (!d) return false;
        if (raw)
            onrawevent(status, 2, d);
        else
            onsongposition(d[0] + 128 * d[1]);
        return true;
    }
    case 0xF3: {
        const std::uint8_t* d = readbytes(1);
        if (!d) return false;
        if (raw)
            onrawevent(status, 1, d);
        else
            onsongselect(d[0]);
        return true;
    }
    case 0xF6:
    case 0xF8:
    case 0xFA:
    case 0xFB:
    case 0xFC:
    case 0xFE:
        if (raw) {
            onrawevent(status, 0, nullptr);
            return true;
        }
        switch (status) {
        case 0xF6:
            ontunerequest();
            break;
        case 0xF8:
            onclock();
            break;
        case 0xFA:
            onstart();
            break;
        case 0xFB:
            oncontinue();
            break;
        case 0xFC:
            onstop();
            break;
        default:
            onactivesensing();
            break;
        }
        return true;
    default:
        reportError("unexpected command byte %02X", status);
        return false;
    }
}

bool MidiReader::readChannelMessage(int status, std::uint64_t trackEnd) {
    m_runningStatus = status;
    const int kind = status & 0xF0;
    const int channel = status & 0x0F;
    const std::uint32_t n = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    const std::uint8_t* d = readbytes(n);
    if (!d) return false;
    const int a = d[0];
    const int b = n > 1 ? d[1] : 0;

    switch (kind) {
    case 0x80:
    case 0x90:
        if ((m_options & kRawNotes) != 0) {
            onrawevent(status, n, d);
            break;
        }
        if (a & 0x80) reportWarning("invalid note value used");
        if (b & 0x80) reportWarning("invalid note velocity used");
        if (a & 0x80) break; // pitches index tables further on: never pass one above 127
        if (kind == 0x90 && b > 0)
            onnoteon(channel, a, b);
        else
            onnoteoff(channel, a, b);
        break;
    case 0xA0:
        if ((m_options & kRawKeyPressure) != 0)
            onrawevent(status, n, d);
        else
            onkeypressure(channel, a, b);
        break;
    case 0xB0:
        if ((m_options & kRawControllers) != 0) {
            onrawevent(status, n, d);
            break;
        }
        if (b & 0x80) reportWarning("invalid control value used");
        if ((m_options & kAllControllersGeneric) != 0)
            oncontroller(channel, a, b);
        else
            deliverController(channel, a, b, status, trackEnd);
        break;
    case 0xC0:
        if ((m_options & kRawPrograms) != 0) {
            onrawevent(status, n, d);
            break;
        }
        if (a & 0x80) reportWarning("invalid program used");
        onprogram(channel, a);
        break;
    case 0xD0:
        if ((m_options & kRawChannelPressure) != 0)
            onrawevent(status, n, d);
        else
            onchannelpressure(channel, a);
        break;
    default: // 0xE0
        if ((m_options & kRawPitchBend) != 0)
            onrawevent(status, n, d);
        else
            onpitchbend(channel, (a & 0x7F) + 128 * (b & 0x7F));
        break;
    }
    return true;
}

void MidiReader::deliverController(int channel, int controller, int value, int status,
                                   std::uint64_t trackEnd) {
    switch (controller) {
    case 0:
        onbank(channel, value);
        break;
    case 1:
        onmodulation(channel, value);
        break;
    case 2:
        onbreath(channel, value);
        break;
    case 4:
        onfoot(channel, value);
        break;
    case 5:
        onportamentotime(channel, value);
        break;
    case 6:
        ondataentry(channel, value);
        break;
    case 7:
        onvolume(channel, value);
        break;
    case 10:
        onpan(channel, value);
        break;
    case 11:
        ondynamics(channel, value);
        break;
    case 32:
        onbanklsb(channel, value);
        break;
    case 64:
        onsustain(channel, value);
        break;
    case 91:
        onreverb(channel, value);
        break;
    case 93:
        onchorus(channel, value);
        break;
    case 96:
        ondataincrement(channel, value);
        break;
    case 97:
        ondatadecrement(channel, value);
        break;
    case 100:
        onrpnlsb(channel, value);
        break;
    case 101: {
        // RPN 0/0 (pitch bend range) set in one go: 101=0, 100=0, data entry, no time between.
        if (value == 0 && m_position + 8 <= trackEnd) {
            const std::uint8_t* q = peekbytes(8);
            if (q && q[0] == 0 && q[1] == status && q[2] == 100 && q[3] == 0 && q[4] == 0 &&
                q[5] == status && q[6] == 6 && q[7] < 0x80) {
                const int semitones = q[7];
                m_position += 8;
                onbendrange(channel, semitones);
                break;
            }
        }
        onrpnmsb(channel, value);
        break;
    }
    default:
        oncontroller(channel, controller, value);
        break;
    }
}

void MidiReader::onbendrange(int channel, int semitones) {
    onrpnmsb(channel, 0);
    ondelta(0);
    onrpnlsb(channel, 0);
    ondelta(0);
    ondataentry(channel, semitones);
}

void MidiReader::onlargepause(std::int64_t deltaTicks) {
    reportWarning("Unrealistic large pause found");
}

int MidiReader::readbyte() {
    const std::uint8_t* p = readbytes(1);
    return p ? *p : -1;
}

std::uint32_t MidiReader::read16() {
    const std::uint8_t* p = readbytes(2);
    return p ? (std::uint32_t{p[0]} << 8) | p[1] : 0;
}

std::uint32_t MidiReader::read24() {
    const std::uint8_t* p = readbytes(3);
    return p ? (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2] : 0;
}

std::uint32_t MidiReader::read32() {
    const std::uint8_t* p = readbytes(4);
    return p ? bigEndian32(p) : 0;
}

std::uint32_t MidiReader::readvlq() {
    std::uint32_t value = 0;
    readVlq(value);
    return value;
}

bool MidiReader::readVlq(std::uint32_t& value) {
    value = 0;
    m_lastVlqLength = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t* b = access(m_position, 1);
        if (!b) {
            value = 0;
            reportError("unexpected end of file");
            return false;
        }
        ++m_position;
        ++m_lastVlqLength;
        value = (value << 7) | (*b & 0x7Fu);
        if ((*b & 0x80) == 0) break;
    }
    return true;
}

void MidiReader::largePause(std::int64_t deltaTicks) {
    onlargepause(deltaTicks);
    m_stopFlag = true;
}

bool MidiReader::advanceClock(std::int64_t deltaTicks) {
    // The per-tick rate changes only with the tempo: keep divisions off the per-event path.
    if (m_tempo != m_rateTempo || m_division1000 != m_rateDivision1000) {
        m_rateTempo = m_tempo;
        m_rateDivision1000 = m_division1000;
        const std::uint64_t perTick = m_division1000 ? m_division1000 : 1;
        m_msPerTick = m_tempo / perTick;
        m_restPerTick = m_tempo % perTick;
    }
    const std::uint64_t perTick = m_division1000 ? m_division1000 : 1;
    const auto d = static_cast<std::uint64_t>(std::max<std::int64_t>(deltaTicks, 0));
    if (d >= static_cast<std::uint64_t>(kLargeDelta) ||
        (d >= 1000 && m_msPerTick * (d / 1000) >= kMaxRealisticHours)) {
        largePause(deltaTicks);
        m_clockMs += d * m_msPerTick;
        return false;
    }
    m_clockMs += d * m_msPerTick;
    m_clockRemainder += d * m_restPerTick; // below 2^24 * 2^25: no overflow
    if (m_clockRemainder >= perTick) {
        m_clockMs += m_clockRemainder / perTick;
        m_clockRemainder %= perTick;
    }
    return true;
}

void MidiReader::updateProgress() {
    if (m_position < m_nextProgressAt || m_fileSize == 0) return;
    const int percent =
        static_cast<int>(std::min<std::uint64_t>(m_position, m_fileSize) * 100 / m_fileSize);
    if (percent != m_progress) {
        m_progress = percent;
        onprogress(percent);
    }
    // The first position at which the percentage grows again.
    m_nextProgressAt = ((static_cast<std::uint64_t>(percent) + 1) * m_fileSize + 99) / 100;
}

int MidiReader::scanTrackChannel(std::uint64_t start, std::uint64_t end) {
    auto byteAt = [&](std::uint64_t offset) -> int {
        if (offset >= end) return -1;
        const std::uint8_t* p = access(offset, 1);
        return p ? *p : -1;
    };
    auto vlqAt = [&](std::uint64_t& offset, std::uint64_t& value) -> bool {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int b = byteAt(offset++);
            if (b < 0) return false;
            value = (value << 7) | static_cast<std::uint64_t>(b & 0x7F);
            if ((b & 0x80) == 0) break;
        }
        return true;
    };

    int channel = -1;
    int running = -1;
    std::uint64_t offset = start;
    std::uint64_t value = 0;
    while (offset < end && vlqAt(offset, value)) {
        const int b = byteAt(offset);
        if (b < 0) break;
        int status = running;
        if (b & 0x80) {
            status = b;
            ++offset;
        } else if (running < 0) {
            break;
        }
        if (status == 0xFF) {
            ++offset; // type
            if (!vlqAt(offset, value)) break;
            offset += value;
        } else if (status == 0xF0 || status == 0xF7) {
            if (!vlqAt(offset, value)) break;
            offset += value;
        } else if (status >= 0xF0) {
            offset += status == 0xF2 ? 2 : status == 0xF3 ? 1 : 0;
        } else {
            running = status;
            const int ch = status & 0x0F;
            if (channel == -1)
                channel = ch;
            else if (channel != ch)
                return -2;
            const int kind = status & 0xF0;
            offset += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        }
    }
    return channel;
}

} // namespace korvanta
