#include "PatternSource.h"

#include "alg/song/TSong.h"
#include "alg/song/TSongReader.h"
#include "io/FileBytes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace korvanta::styleimport {

namespace {

constexpr std::int64_t kLargestNumber = 1'000'000'000;
constexpr std::int64_t kLargestBar = 100'000; // far beyond any pattern; keeps sums small
constexpr int kDefaultRelease = 64;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A token as the error texts quote it: printable ASCII only, and short, so a
// binary file read by mistake cannot fill the terminal.
std::string quoted(std::string_view text) {
    constexpr std::size_t kLongest = 32;
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < kLongest; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (text.size() > kLongest) out += "...";
    return out + "'";
}

std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t lowest,
                                        std::int64_t highest) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isPowerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Splits "a:b:c" (or "a/b") into its parts.
std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(
            text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) break;
        from = at + 1;
    }
    return parts;
}

// The words of a line without its comment. '#' starts a comment at the start
// of the line or after a blank; elsewhere it is a sharp ("F#3").
std::vector<std::string_view> wordsOf(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || isBlank(line[i - 1]))) {
            line = line.substr(0, i);
            break;
        }
    }
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Reads one ".kvp" text line by line; the first fault ends the reading.
class TextReader {
public:
    SourceRead run(std::string_view text);

private:
    bool fail(const std::string& why) {
        m_error = m_line > 0 ? "line " + std::to_string(m_line) + ": " + why : why;
        return false;
    }
    bool header(const std::string& keyword, std::span<const std::string_view> args);
    bool startNotes();
    bool noteLine(std::span<const std::string_view> words);
    bool oneArgument(const std::string& keyword, std::span<const std::string_view> args);
    bool number(const std::string& keyword, std::span<const std::string_view> args,
                std::optional<int>& target, std::int64_t lowest, std::int64_t highest);

    PatternSource m_source;
    std::vector<std::string> m_seen; // header keywords met so far
    bool m_timeGiven = false;
    bool m_inNotes = false;
    std::int64_t m_ticksPerBeat = 0;
    int m_line = 0;
    std::string m_error;
};

SourceRead TextReader::run(std::string_view text) {
    SourceRead out;
    if (text.size() > kLargestPatternText) {
        out.error = "too large for a pattern source";
        return out;
    }
    // A byte-order mark some editors put at the start.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    m_source.kind = SourceKind::PatternText;
    bool ok = true;
    std::size_t from = 0;
    while (ok && from <= text.size()) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        ++m_line;
        const auto words = wordsOf(text.substr(from, end - from));
        from = end + 1;
        if (words.empty()) continue;
        const std::string keyword = lower(words[0]);
        static constexpr std::string_view kHeaders[] = {"style", "group",  "program", "base",
                                                        "time",  "meters", "bars",    "division"};
        if (std::find(std::begin(kHeaders), std::end(kHeaders), keyword) != std::end(kHeaders))
            ok = header(keyword, std::span(words).subspan(1));
        else if (words[0].find(':') != std::string_view::npos)
            ok = noteLine(words);
        else
            ok = fail("unknown statement " + quoted(words[0]));
    }
    if (ok && !m_inNotes) {
        m_line = 0; // a fault of the header as a whole
        ok = startNotes();
    }
    if (!ok) {
        out.error = m_error;
        return out;
    }
    out.source = std::move(m_source);
    return out;
}

bool TextReader::oneArgument(const std::string& keyword, std::span<const std::string_view> args) {
    if (args.size() == 1) return true;
    return fail("'" + keyword + "' needs one value");
}

bool TextReader::number(const std::string& keyword, std::span<const std::string_view> args,
                        std::optional<int>& target, std::int64_t lowest, std::int64_t highest) {
    if (!oneArgument(keyword, args)) return false;
    const auto v = parseNumber(args[0], lowest, highest);
    if (!v) return fail("'" + keyword + "' needs a number, not " + quoted(args[0]));
    target = static_cast<int>(*v);
    return true;
}

bool TextReader::header(const std::string& keyword, std::span<const std::string_view> args) {
    // Positions and lengths depend on the header, so it must be complete
    // before the first note.
    if (m_inNotes) return fail("'" + keyword + "' must come before the notes");
    if (std::find(m_seen.begin(), m_seen.end(), keyword) != m_seen.end())
        return fail("'" + keyword + "' is given twice");
    m_seen.push_back(keyword);
    if (keyword == "style") {
        if (!oneArgument(keyword, args)) return false;
        m_source.name = std::string(args[0]);
        return true;
    }
    if (keyword == "group")
        return number(keyword, args, m_source.group, -kLargestNumber, kLargestNumber);
    if (keyword == "program")
        return number(keyword, args, m_source.program, -kLargestNumber, kLargestNumber);
    if (keyword == "bars")
        return number(keyword, args, m_source.bars, -kLargestNumber, kLargestNumber);
    if (keyword == "division") {
        std::optional<int> division;
        if (!number(keyword, args, division, -kLargestNumber, kLargestNumber)) return false;
        if (*division < 1 || *division > kLargestDivision)
            return fail("'division' needs ticks per quarter 1-" + std::to_string(kLargestDivision) +
                        ", not " + std::to_string(*division));
        m_source.division = *division;
        return true;
    }
    if (keyword == "base") {
        if (!oneArgument(keyword, args)) return false;
        const auto pitch = parseNoteName(args[0]);
        if (!pitch || *pitch % 12 != 0)
            return fail("'base' needs a C with its octave (C3, C4, ...), not " + quoted(args[0]));
        m_source.baseOctave = *pitch / 12;
        return true;
    }
    if (keyword == "time") {
        if (!oneArgument(keyword, args)) return false;
        const auto meter = parseMeter(args[0]);
        if (!meter || meter->numerator < 1 || meter->numerator > 255 ||
            !isPowerOfTwo(meter->denominator) || meter->denominator > 64)
            return fail("'time' needs a meter such as 4/4 or 6/8, not " + quoted(args[0]));
        m_source.meter = *meter;
        m_timeGiven = true;
        return true;
    }
    // meters
    if (args.empty()) return fail("'meters' needs at least one meter");
    std::string joined;
    for (const std::string_view a : args)
        joined.append(a).push_back(' ');
    std::string why;
    auto meters = parseMeterList(joined, &why);
    if (!meters) return fail("'meters': " + why);
    m_source.meters = std::move(*meters);
    return true;
}

// The header is complete: check that positions can be read with it.
bool TextReader::startNotes() {
    m_inNotes = true;
    if (!m_timeGiven) return fail("the header has no 'time' line (the pattern's meter, e.g. 4/4)");
    const std::int64_t wholeTicks = std::int64_t{4} * m_source.division;
    if (wholeTicks % m_source.meter.denominator != 0)
        return fail("at division " + std::to_string(m_source.division) + " a beat of " +
                    meterText(m_source.meter) + " is no whole number of ticks");
    m_ticksPerBeat = wholeTicks / m_source.meter.denominator;
    return true;
}

bool TextReader::noteLine(std::span<const std::string_view> words) {
    if (!m_inNotes && !startNotes()) return false;
    if (words.size() < 4)
        return fail("a note line needs a position, a length, notes and a velocity");
    // Position BAR:BEAT:TICK (or BAR:BEAT), bar and beat from 1.
    const auto parts = split(words[0], ':');
    const std::int64_t beats = m_source.meter.numerator;
    const auto bar = parseNumber(parts[0], 1, kLargestBar);
    const auto beat = parts.size() >= 2 ? parseNumber(parts[1], 1, beats) : std::nullopt;
    std::int64_t tick = 0;
    bool tickOk = parts.size() == 2;
    if (parts.size() == 3) {
        if (const auto t = parseNumber(parts[2], 0, m_ticksPerBeat - 1)) {
            tick = *t;
            tickOk = true;
        }
    }
    if (!bar || !beat || !tickOk)
        return fail("position " + quoted(words[0]) + " is no BAR:BEAT:TICK in " +
                    meterText(m_source.meter) + " (beats 1-" + std::to_string(beats) +
                    ", ticks 0-" + std::to_string(m_ticksPerBeat - 1) + ")");
    const std::int64_t start =
        (*bar - 1) * beats * m_ticksPerBeat + (*beat - 1) * m_ticksPerBeat + tick;

    // Length: ticks, or a fraction of a whole note.
    std::optional<std::int64_t> length;
    const auto fraction = split(words[1], '/');
    if (fraction.size() == 1) {
        length = parseNumber(words[1], 1, kLargestNumber);
    } else if (fraction.size() == 2) {
        const auto n = parseNumber(fraction[0], 1, 1'000'000);
        const auto d = parseNumber(fraction[1], 1, 1'000'000);
        if (n && d) {
            const std::int64_t scaled = *n * 4 * m_source.division;
            if (scaled % *d != 0)
                return fail("length " + quoted(words[1]) +
                            " is no whole number of ticks at division " +
                            std::to_string(m_source.division));
            length = scaled / *d;
        }
    }
    if (!length)
        return fail("length " + quoted(words[1]) +
                    " is neither ticks (480) nor a fraction of a whole note (1/4)");

    // Velocity "ON" or "ON/RELEASE".
    const std::string_view last = words.back();
    const auto velocityParts = split(last, '/');
    const auto on = parseNumber(velocityParts[0], 1, 127);
    const auto release = velocityParts.size() == 2   ? parseNumber(velocityParts[1], 0, 127)
                         : velocityParts.size() == 1 ? std::optional<std::int64_t>(kDefaultRelease)
                                                     : std::nullopt;
    if (!on || !release)
        return fail("the line ends with " + quoted(last) +
                    " where the velocity belongs (1-127, optionally /release 0-127)");

    for (const std::string_view word : words.subspan(2, words.size() - 3)) {
        const auto pitch = parseNoteName(word);
        if (!pitch) return fail(quoted(word) + " is no note name with octave (C4, Bb3, F#2)");
        SourceNote note;
        note.start = start;
        note.length = *length;
        note.pitch = *pitch;
        note.velocities = static_cast<std::uint16_t>((*on << 8) | *release);
        note.line = m_line;
        m_source.notes.push_back(note);
    }
    return true;
}

std::string firstLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

SourceRead fromSong(TSong& song, const MidiLoadResult& load) {
    SourceRead out;
    if (!load.opened) {
        out.error = "cannot open the file";
        return out;
    }
    if (load.status != 0) {
        out.error = "not a readable MIDI file";
        for (const std::string& d : load.diagnostics) {
            if (d.rfind("error:", 0) == 0) {
                out.error += " (" + firstLine(d) + ")";
                break;
            }
        }
        return out;
    }
    if (song.ticksPerQuarter <= 0) {
        out.error = "the file has no ticks-per-quarter division";
        return out;
    }
    const TMeterMap& meter = song.meter();
    // Positions hold bars in 16 bits: a longer file would wrap around.
    if (song.notes.length > meter.BarStart(0xFFFF)) {
        out.error = "the file is far too long for a pattern";
        return out;
    }
    PatternSource source;
    source.kind = SourceKind::Midi;
    source.division = song.ticksPerQuarter;
    bool meterFound = false;
    bool meterChanges = false;
    for (const TSongEvent& e : song.metaEvents.events()) {
        if (e.type != kMetaTimeSignature) continue;
        const Meter m{e.dataByte(0), e.dataByte(1)};
        if (!meterFound)
            source.meter = m;
        else if (m != source.meter)
            meterChanges = true;
        meterFound = true;
    }
    // The grid before a late first time signature is the 4/4 default.
    for (const TMeterChange& m : meter.entries()) {
        if (Meter{m.numerator, m.denominator} != source.meter) meterChanges = true;
    }
    if (meterChanges)
        source.warnings.push_back("the file changes its meter; the pattern is read in " +
                                  meterText(source.meter) + " throughout");
    for (const TSongEvent& e : song.channelEvents.events()) {
        if ((e.type & 0xF0) != 0xC0) continue;
        int& program = source.firstProgram[static_cast<std::size_t>(e.type & 0x0F)];
        if (program < 0) program = e.dataByte(0) & 0x7F;
    }
    for (int list = 0; list < kNoteListCount; ++list) {
        const auto& notes = song.notes.list(list);
        for (std::size_t i = 0; i < notes.size(); ++i) {
            SourceNote n;
            n.start = song.notes.StartTick(static_cast<int>(i), list);
            n.length = notes[i].duration;
            n.pitch = notes[i].pitch;
            n.velocities = notes[i].velocities;
            n.channel = list;
            source.notes.push_back(n);
        }
    }
    for (const std::string& d : load.diagnostics) {
        if (d.rfind("warning:", 0) == 0) source.warnings.push_back(firstLine(d));
    }
    out.source = std::move(source);
    return out;
}

} // namespace

std::string meterText(const Meter& meter) {
    return std::to_string(meter.numerator) + "/" + std::to_string(meter.denominator);
}

std::optional<Meter> parseMeter(std::string_view text) {
    const auto parts = split(text, '/');
    if (parts.size() != 2) return std::nullopt;
    const auto n = parseNumber(parts[0], 0, 255);
    const auto d = parseNumber(parts[1], 0, 255);
    if (!n || !d) return std::nullopt;
    return Meter{static_cast<int>(*n), static_cast<int>(*d)};
}

std::optional<std::vector<Meter>> parseMeterList(std::string_view text, std::string* error) {
    std::vector<Meter> meters;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (isBlank(text[i]) || text[i] == ','))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i]) && text[i] != ',')
            ++i;
        if (i == start) break;
        const std::string_view part = text.substr(start, i - start);
        const auto meter = parseMeter(part);
        if (!meter) {
            if (error) *error = quoted(part) + " is no meter such as 4/4 or 6/8";
            return std::nullopt;
        }
        meters.push_back(*meter);
    }
    if (meters.empty()) {
        if (error) *error = "no meter given";
        return std::nullopt;
    }
    return meters;
}

std::optional<int> parseNoteName(std::string_view text) {
    static constexpr int kLetters[] = {9, 11, 0, 2, 4, 5, 7}; // a..g
    if (text.size() < 2) return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G') return std::nullopt;
    int pc = kLetters[letter - 'A'];
    std::size_t at = 1;
    if (text[at] == '#') {
        ++pc;
        ++at;
    } else if (text[at] == 'b') {
        --pc;
        ++at;
    }
    const auto octave = parseNumber(text.substr(at), -1, 9);
    if (!octave) return std::nullopt;
    const std::int64_t pitch = (*octave + 1) * 12 + pc;
    if (pitch < 0 || pitch > 127) return std::nullopt;
    return static_cast<int>(pitch);
}

std::string noteName(int pitch) {
    static constexpr const char* kNames[] = {"C",  "C#", "D",  "Eb", "E",  "F",
                                             "F#", "G",  "Ab", "A",  "Bb", "B"};
    if (pitch < 0 || pitch > 127) return "?";
    return std::string(kNames[pitch % 12]) + std::to_string(pitch / 12 - 1);
}

std::array<int, 16> PatternSource::channelNoteCounts() const {
    std::array<int, 16> counts{};
    for (const SourceNote& n : notes) {
        if (n.channel >= 0 && n.channel < 16) ++counts[static_cast<std::size_t>(n.channel)];
    }
    return counts;
}

SourceRead parsePatternText(std::string_view text) {
    return TextReader().run(text);
}

SourceRead parseMidiPattern(std::span<const std::byte> bytes) {
    TSong song;
    const MidiLoadResult load = loadMidiMemory(song, bytes);
    return fromSong(song, load);
}

bool isPatternTextFile(const std::filesystem::path& file) {
    return lower(file.extension().string()) == ".kvp";
}

SourceRead readPatternSource(const std::filesystem::path& file) {
    const std::string shown = file.filename().string();
    SourceRead out;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        out.error = "cannot open " + file.string() + ": " +
                    (std::filesystem::exists(file, ec) ? "not a file" : "no such file");
        return out;
    }
    if (isPatternTextFile(file)) {
        const FileBytes read = readFileBytes(file, kLargestPatternText);
        if (!read.ok()) {
            out.error = read.failure == FileBytes::Failure::TooLarge
                            ? shown + ": too large for a pattern source"
                        : read.failure == FileBytes::Failure::Open ? shown + ": " + read.message
                                                                   : "cannot read " + file.string();
            return out;
        }
        out = parsePatternText(
            std::string_view(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()));
    } else {
        TSong song;
        out = fromSong(song, loadMidiFile(song, file.string()));
    }
    if (!out.source) out.error = shown + ": " + out.error;
    return out;
}

} // namespace korvanta::styleimport
