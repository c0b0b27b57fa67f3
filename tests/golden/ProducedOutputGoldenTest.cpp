// Golden files of what the program produces for every sample melody, so that
// any change in the music shows up as a readable diff in review. Each sample
// is harmonized on its own as `korvanta-cli harmonize FILE --key file` does it
// (in a batch the style chosen for one file carries over to the next) and
// gives three texts in tests/data/golden: the block chords
// (<sample>.block.txt), the accompaniment in the default style for its meter
// (<sample>.styled.txt) and the exported MIDI file as a list of events
// (<sample>.export.txt).
//
// A change that is meant to alter the music regenerates them with
//   KORVANTA_UPDATE_GOLDEN=1 ctest --test-dir build/<folder> -R Golden
// and the diff of tests/data/golden goes into review with it.

#include "StyleOption.h"
#include "TuneRun.h"
#include "alg/song/ChordVocabulary.h"
#include "alg/song/Keys.h"
#include "alg/song/MidiExport.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace korvanta;
using namespace korvanta::cli;

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// A Standard MIDI File as text. It reads only what our own exporter wrote, but
// a broken export must fail the test, so every read is checked against the
// end of its chunk and anything a well-formed file cannot hold is an error.

struct TrackSummary {
    int noteOns = 0; // note-ons with a velocity above 0
    int markers = 0;
    int channelMask = 0; // bit n: an event on channel n
};

struct SmfListing {
    std::string text;  // everything read up to the end or the first error
    std::string error; // empty when the whole file was well-formed
    int format = -1;
    std::vector<TrackSummary> tracks;

    bool ok() const { return error.empty(); }
};

class ByteCursor {
public:
    ByteCursor(std::span<const std::uint8_t> bytes, std::size_t base)
        : m_bytes(bytes), m_base(base) {}

    std::size_t offset() const { return m_base + m_pos; }
    std::size_t remaining() const { return m_bytes.size() - m_pos; }
    bool atEnd() const { return m_pos == m_bytes.size(); }

    bool byte(std::uint8_t& out) {
        if (remaining() < 1) return false;
        out = m_bytes[m_pos++];
        return true;
    }
    bool peek(std::uint8_t& out) const {
        if (remaining() < 1) return false;
        out = m_bytes[m_pos];
        return true;
    }
    bool bigEndian(int count, std::uint32_t& out) {
        if (remaining() < static_cast<std::size_t>(count)) return false;
        out = 0;
        for (int i = 0; i < count; ++i)
            out = out << 8 | m_bytes[m_pos++];
        return true;
    }
    // A variable-length quantity of at most four bytes.
    bool vlq(std::uint32_t& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b = 0;
            if (!byte(b)) return false;
            out = out << 7 | (b & 0x7Fu);
            if ((b & 0x80) == 0) return true;
        }
        return false;
    }
    bool take(std::size_t count, std::span<const std::uint8_t>& out) {
        if (remaining() < count) return false;
        out = m_bytes.subspan(m_pos, count);
        m_pos += count;
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_base;
    std::size_t m_pos = 0;
};

std::string quoted(std::span<const std::uint8_t> data) {
    std::string out = "\"";
    for (const std::uint8_t b : data) {
        if (b < 0x20 || b >= 0x7F || b == '"' || b == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            out += hex;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out + "\"";
}

std::string hexBytes(std::span<const std::uint8_t> data) {
    std::string out;
    for (const std::uint8_t b : data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02x", out.empty() ? "" : " ", b);
        out += hex;
    }
    return out;
}

std::string pitchText(int pitch) {
    return std::to_string(pitch) + " " + PitchName(pitch);
}

class SmfLister {
public:
    explicit SmfLister(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    SmfListing list(std::string_view name) {
        m_out.text =
            "file: " + std::string(name) + " (" + std::to_string(m_bytes.size()) + " bytes)\n";
        chunks();
        return std::move(m_out);
    }

private:
    void line(const std::string& text) { m_out.text += text + "\n"; }

    // Ends the listing with an error at a byte offset of the file; false.
    bool fail(std::size_t offset, const std::string& why) {
        m_out.error = "byte " + std::to_string(offset) + ": " + why;
        line("error at " + m_out.error);
        return false;
    }

    static bool isId(std::span<const std::uint8_t> id, std::string_view name) {
        return std::equal(id.begin(), id.end(), name.begin(), name.end(),
                          [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
    }

    bool chunks() {
        ByteCursor file(m_bytes, 0);
        std::uint32_t declaredTracks = 0;
        if (!header(file, declaredTracks)) return false;
        std::uint32_t trackIndex = 0;
        while (!file.atEnd()) {
            const std::size_t chunkStart = file.offset();
            std::span<const std::uint8_t> id;
            std::uint32_t length = 0;
            if (!file.take(4, id) || !file.bigEndian(4, length))
                return fail(chunkStart, "a chunk header cut short");
            std::span<const std::uint8_t> body;
            if (!file.take(length, body))
                return fail(chunkStart, "a chunk of " + std::to_string(length) + " bytes with " +
                                            std::to_string(file.remaining()) + " left in the file");
            if (!isId(id, "MTrk")) {
                line("chunk " + quoted(id) + " (" + std::to_string(length) + " bytes), skipped");
                continue;
            }
            ++trackIndex;
            line("track " + std::to_string(trackIndex) + " (" + std::to_string(length) + " bytes)");
            if (!track(ByteCursor(body, chunkStart + 8))) return false;
        }
        if (trackIndex != declaredTracks)
            return fail(m_bytes.size(), "the header names " + std::to_string(declaredTracks) +
                                            " tracks, the file holds " +
                                            std::to_string(trackIndex));
        return true;
    }

    bool header(ByteCursor& file, std::uint32_t& tracks) {
        std::span<const std::uint8_t> id;
        std::uint32_t length = 0;
        if (!file.take(4, id) || !isId(id, "MThd")) return fail(0, "no MThd header");
        std::span<const std::uint8_t> body;
        if (!file.bigEndian(4, length) || length < 6 || !file.take(length, body))
            return fail(4, "a header chunk cut short");
        ByteCursor h(body, 8);
        std::uint32_t format = 0;
        std::uint32_t division = 0;
        h.bigEndian(2, format);
        h.bigEndian(2, tracks);
        h.bigEndian(2, division);
        m_out.format = static_cast<int>(format);
        std::string text = "header: format " + std::to_string(format) + ", " +
                           std::to_string(tracks) + " tracks, ";
        if (division & 0x8000)
            text += "SMPTE " + std::to_string(256 - (division >> 8)) + " frames per second, " +
                    std::to_string(division & 0xFF) + " ticks per frame";
        else
            text += std::to_string(division) + " ticks per quarter";
        if (length > 6) text += ", " + std::to_string(length - 6) + " more header bytes";
        line(text);
        return true;
    }

    bool track(ByteCursor body) {
        TrackSummary summary;
        std::uint64_t tick = 0;
        int running = -1;
        bool ended = false;
        while (!body.atEnd()) {
            const std::size_t at = body.offset();
            if (ended) return fail(at, "events after the end of the track");
            std::uint32_t delta = 0;
            if (!body.vlq(delta)) return fail(at, "a delta time cut short or too long");
            tick += delta;
            char prefix[24];
            std::snprintf(prefix, sizeof prefix, "%8llu  ", static_cast<unsigned long long>(tick));
            std::uint8_t status = 0;
            if (!body.peek(status)) return fail(at, "an event without a status");
            if (status >= 0x80) {
                body.byte(status);
            } else if (running >= 0) {
                status = static_cast<std::uint8_t>(running);
            } else {
                return fail(at, "a data byte without a running status");
            }

            std::string text;
            if (status == 0xFF) {
                running = -1;
                std::uint8_t type = 0;
                std::uint32_t length = 0;
                std::span<const std::uint8_t> data;
                if (!body.byte(type) || !body.vlq(length) || !body.take(length, data))
                    return fail(at, "a meta event cut short");
                if (!meta(type, data, text, ended, summary))
                    return fail(at, "meta event " + hexBytes(std::span(&type, 1)) + " with " +
                                        std::to_string(length) + " data bytes");
            } else if (status == 0xF0 || status == 0xF7) {
                running = -1;
                std::uint32_t length = 0;
                std::span<const std::uint8_t> data;
                if (!body.vlq(length) || !body.take(length, data))
                    return fail(at, "a system exclusive event cut short");
                text = "sysex " + hexBytes(std::span(&status, 1)) + ", " + std::to_string(length) +
                       " bytes: " + hexBytes(data);
            } else if (status >= 0xF0) {
                return fail(at,
                            "system message " + hexBytes(std::span(&status, 1)) + " in a track");
            } else {
                running = status;
                const int kind = status & 0xF0;
                const int count = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
                std::uint8_t data[2] = {0, 0};
                for (int i = 0; i < count; ++i) {
                    if (!body.byte(data[i])) return fail(at, "a channel event cut short");
                    if (data[i] >= 0x80)
                        return fail(at, "a data byte above 127 in a channel event");
                }
                text = channelEvent(status, data, summary);
            }
            line(prefix + text);
        }
        if (!ended) return fail(body.offset(), "a track without an end-of-track event");
        m_out.tracks.push_back(summary);
        return true;
    }

    static std::string channelEvent(std::uint8_t status, const std::uint8_t* data,
                                    TrackSummary& summary) {
        const int channel = status & 0x0F;
        summary.channelMask |= 1 << channel;
        const std::string ch = "ch " + std::to_string(channel) + "  ";
        switch (status & 0xF0) {
        case 0x80:
            return ch + "note off  " + pitchText(data[0]) + " velocity " + std::to_string(data[1]);
        case 0x90:
            if (data[1] > 0) ++summary.noteOns;
            return ch + "note on   " + pitchText(data[0]) + " velocity " + std::to_string(data[1]);
        case 0xA0:
            return ch + "pressure  " + pitchText(data[0]) + " value " + std::to_string(data[1]);
        case 0xB0:
            return ch + "control   " + std::to_string(data[0]) + " value " +
                   std::to_string(data[1]);
        case 0xC0:
            return ch + "program   " + std::to_string(data[0]);
        case 0xD0:
            return ch + "channel pressure " + std::to_string(data[0]);
        default:
            return ch + "pitch bend " + std::to_string((data[1] << 7 | data[0]) - 8192);
        }
    }

    // False for a meta event whose length does not fit its type.
    static bool meta(std::uint8_t type, std::span<const std::uint8_t> data, std::string& text,
                     bool& ended, TrackSummary& summary) {
        static constexpr const char* kTextNames[] = {
            "text", "copyright", "track name", "instrument", "lyric", "marker", "cue point"};
        if (type >= 0x01 && type <= 0x07) {
            if (type == 0x06) ++summary.markers;
            text = std::string("meta  ") + kTextNames[type - 1] + " " + quoted(data);
            return true;
        }
        switch (type) {
        case 0x2F:
            ended = true;
            text = "meta  end of track";
            return data.empty();
        case 0x51:
            if (data.size() != 3) return false;
            text = "meta  tempo " + std::to_string(data[0] << 16 | data[1] << 8 | data[2]) +
                   " microseconds per quarter";
            return true;
        case 0x54:
            if (data.size() != 5) return false;
            text = "meta  SMPTE offset " + hexBytes(data);
            return true;
        case 0x58:
            if (data.size() != 4 || data[1] > 7) return false;
            text = "meta  time signature " + std::to_string(data[0]) + "/" +
                   std::to_string(1 << data[1]) + ", " + std::to_string(data[2]) +
                   " clocks per click, " + std::to_string(data[3]) + " 32nds per quarter";
            return true;
        case 0x59: {
            if (data.size() != 2 || data[1] > 1) return false;
            const int sf = static_cast<std::int8_t>(data[0]);
            text = "meta  key signature " +
                   (sf == 0 ? std::string("no sharps or flats")
                            : std::to_string(std::abs(sf)) + (sf > 0 ? " sharp" : " flat") +
                                  (std::abs(sf) > 1 ? "s" : "")) +
                   (data[1] ? ", minor" : ", major");
            return true;
        }
        default:
            text = "meta  type " + hexBytes(std::span(&type, 1)) + ", " +
                   std::to_string(data.size()) + " bytes: " + hexBytes(data);
            return true;
        }
    }

    std::span<const std::uint8_t> m_bytes;
    SmfListing m_out;
};

SmfListing listSmf(std::span<const std::uint8_t> bytes, std::string_view name) {
    return SmfLister(bytes).list(name);
}

// ---------------------------------------------------------------------------
// The golden files.

const fs::path kGoldenDir = KORVANTA_GOLDEN_DIR;
const fs::path kSamplesDir = fs::path(KORVANTA_DATA_DIR) / "samples";

bool updating() {
    const char* value = std::getenv("KORVANTA_UPDATE_GOLDEN");
    return value && std::string_view(value) == "1";
}

std::optional<std::string> readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

// "line 12: expected ... / actual ..." for the first line that differs.
std::string firstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected);
    std::istringstream b(actual);
    std::string lineA;
    std::string lineB;
    for (int n = 1;; ++n) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB) return "the texts differ only in their line ends";
        if (!moreA || !moreB || lineA != lineB)
            return "line " + std::to_string(n) +
                   ":\n  expected: " + (moreA ? lineA : "(end of file)") +
                   "\n  actual:   " + (moreB ? lineB : "(end of file)");
    }
}

// Compares a produced text with its golden file; with KORVANTA_UPDATE_GOLDEN=1
// rewrites the file instead. A difference leaves <file>.actual beside it.
void checkGolden(const std::string& produced, const fs::path& golden) {
    const fs::path actual = fs::path(golden.string() + ".actual");
    std::error_code ec;
    const std::optional<std::string> expected = readText(golden);
    if (updating()) {
        // An unchanged file is left alone, so only real changes show up.
        fs::create_directories(golden.parent_path(), ec);
        if (expected != produced) {
            EXPECT_TRUE(writeText(golden, produced)) << "cannot write " << golden;
        }
        fs::remove(actual, ec);
        return;
    }
    if (expected && *expected == produced) {
        fs::remove(actual, ec); // left from an earlier failure
        return;
    }
    const bool written = writeText(actual, produced);
    ADD_FAILURE() << (expected ? "the produced text differs from " : "there is no golden file ")
                  << golden << (written ? "; it was written to " : "; could not write ") << actual
                  << "\n"
                  << (expected ? firstDifference(*expected, produced) : std::string())
                  << "\nReview the difference; if it is meant, regenerate the golden files with "
                     "KORVANTA_UPDATE_GOLDEN=1 (see tests/data/golden/README.md).";
}

std::string chordText(int code) {
    if (!isChordCode(code)) return "-";
    std::string name = ChordName(code);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!name.empty() && name.front() == ' ')
        name.erase(name.begin());
    return name.empty() ? "-" : name;
}

// The chord notes of a rendered song, bar by bar under the bar's chord.
std::string chordNoteListing(const TuneRun& run, const std::string& fileName,
                             const std::string& style) {
    const TSong& song = *run.master->song();
    const std::vector<TNote>& notes = song.notes.list(kChordList);
    std::ostringstream out;
    out << "file: " << fileName << "\n";
    const int key = run.master->mainKey();
    out << "key: " << (key >= 0 ? std::string(KeyLongName(key)) : std::string("unknown")) << "\n";
    out << "meter:";
    for (const TMeterChange& e : song.meter().entries())
        out << " " << int{e.numerator} << "/" << int{e.denominator} << " from bar "
            << e.firstBar + 1 << ";";
    out << "\n";
    out << "bars: " << song.barCount << ", chord octave " << int{song.chordOctave} << "\n";
    out << "style: " << style << "\n";
    out << "chord notes: " << notes.size() << "\n";
    out << "position    pitch      length  velocity on/off\n";

    int lastBar = song.barCount - 1;
    for (const TNote& n : notes)
        lastBar = std::max<int>(lastBar, n.start.bar);
    for (int bar = 0; bar <= lastBar; ++bar) {
        out << "bar " << bar + 1 << ": ";
        if (bar >= song.barCount || bar >= static_cast<int>(song.barHarmony.size())) {
            out << "(beyond the song's bars)\n";
        } else {
            const TBarHarmony& h = song.barHarmony[static_cast<std::size_t>(bar)];
            out << chordText(h.chord) << (h.play == 0 ? " (muted)" : "") << "\n";
        }
        for (const TNote& n : notes) {
            if (n.start.bar != bar) continue;
            char line[96];
            std::snprintf(line, sizeof line, "%3d:%02d:%03d  %3d %-4s  %6d  %3d/%d\n",
                          n.start.bar + 1, n.start.beat + 1, n.start.tick, n.pitch,
                          PitchName(n.pitch).c_str(), n.duration, n.onVelocity(), n.offVelocity());
            out << line;
        }
    }
    return out.str();
}

// One sample harmonized as `korvanta-cli harmonize FILE --key file [--style none]`
// does it, with the session and all it refers to kept for reading the song.
struct Harmonized {
    CliCommand cmd;
    StyleContext styles;
    std::unique_ptr<CliQuestions> questions;
    std::unique_ptr<TuneSession> session;
    TuneRun run;
    StyleOutcome style;

    TSong& song() { return *run.master->song(); }
};

// Null (after saying why) when the sample could not be harmonized.
std::unique_ptr<Harmonized> harmonizeSample(const fs::path& sample, bool blockChords) {
    auto out = std::make_unique<Harmonized>();
    CliCommand& cmd = out->cmd;
    cmd.kind = CommandKind::Harmonize;
    cmd.files = {sample.string()};
    cmd.key = kFileKey;
    cmd.style = blockChords ? "none" : "";
    // The library of this tree, whatever KORVANTA_STYLES says.
    cmd.stylesDir = (fs::path(KORVANTA_DATA_DIR) / "Styles").string();
    std::ostringstream messages;
    if (!loadStyles(cmd, out->styles, messages)) {
        ADD_FAILURE() << "the style library did not load: " << messages.str();
        return nullptr;
    }
    if (!blockChords && !out->styles.library.loaded()) {
        ADD_FAILURE() << "no style library in " << cmd.stylesDir << ": " << messages.str();
        return nullptr;
    }
    // Nobody answers questions: the samples must not need any.
    out->questions = std::make_unique<CliQuestions>(cmd, nullptr);
    out->session = std::make_unique<TuneSession>(*out->questions, &out->styles.library);
    out->run = runTune(cmd, *out->session, *out->questions, sample.string(), messages);
    if (!out->run.harmonized || !out->run.master) {
        ADD_FAILURE() << sample.filename() << " was not harmonized (status " << out->run.status
                      << "): " << out->run.message;
        return nullptr;
    }
    EXPECT_TRUE(out->run.warnings.empty()) << sample.filename() << ": " << messages.str();
    out->style = applyStyleOption(cmd, out->styles, out->song());
    EXPECT_TRUE(out->style.error.empty()) << out->style.error;
    BuildChordNotes(out->song());
    return out;
}

std::vector<std::string> sampleNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(kSamplesDir, ec))
        if (entry.path().extension() == ".mid") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class ProducedOutputGolden : public testing::TestWithParam<std::string> {};

TEST_P(ProducedOutputGolden, MatchesTheGoldenFiles) {
    const std::string name = GetParam();
    const fs::path sample = kSamplesDir / (name + ".mid");
    const std::string fileName = sample.filename().string();

    const std::unique_ptr<Harmonized> block = harmonizeSample(sample, true);
    ASSERT_TRUE(block);
    const TSong& blockSong = block->song();
    const std::size_t blockNotes = blockSong.notes.list(kChordList).size();
    EXPECT_GT(blockNotes, 0u);
    EXPECT_TRUE(block->style.name.empty());
    checkGolden(chordNoteListing(block->run, fileName, "none (block chords)"),
                kGoldenDir / (name + ".block.txt"));

    const std::unique_ptr<Harmonized> styled = harmonizeSample(sample, false);
    ASSERT_TRUE(styled);
    const TSong& song = styled->song();
    ASSERT_FALSE(styled->style.name.empty()) << "no style fits the meter of " << fileName;
    // Both runs choose the same chords; only the rendering differs.
    ASSERT_EQ(song.barCount, blockSong.barCount);
    for (int bar = 0; bar < song.barCount; ++bar)
        EXPECT_EQ(song.BarChord(bar), blockSong.BarChord(bar)) << "bar " << bar + 1;
    EXPECT_GT(song.notes.list(kChordList).size(), blockNotes);
    checkGolden(
        chordNoteListing(styled->run, fileName,
                         styled->style.name + " (id " + std::to_string(styled->style.id) + ")"),
        kGoldenDir / (name + ".styled.txt"));

    // The export of the styled song, as `--export-dir` names and titles it.
    const std::string exportName = exportFileName(fileName);
    const MidiExportBytes exported = renderMidiExport(song, fs::path(exportName).stem().string());
    ASSERT_EQ(exported.status, kStatusOk) << exported.message;
    const SmfListing listing = listSmf(exported.bytes, exportName);
    EXPECT_TRUE(listing.ok()) << "the export of " << fileName << " is broken: " << listing.error;
    checkGolden(listing.text, kGoldenDir / (name + ".export.txt"));
    ASSERT_TRUE(listing.ok());

    // Conductor, melody on channel 0, chords on channel 1 with a marker per
    // bar that plays a chord.
    ASSERT_EQ(listing.tracks.size(), 3u);
    EXPECT_EQ(listing.format, 1);
    EXPECT_EQ(listing.tracks[0].channelMask, 0);
    EXPECT_EQ(listing.tracks[1].channelMask, 1 << kExportMelodyChannel);
    EXPECT_EQ(listing.tracks[2].channelMask, 1 << kExportChordChannel);
    EXPECT_EQ(listing.tracks[1].noteOns, song.notes.Count(kMelodyList));
    EXPECT_GT(listing.tracks[2].noteOns, 0);
    EXPECT_LE(listing.tracks[2].noteOns, song.notes.Count(kChordList));
    int chordBars = 0;
    for (int bar = 0; bar < song.barCount; ++bar)
        chordBars += isChordCode(song.BarChord(bar)) && song.barHarmony[bar].play != 0;
    EXPECT_EQ(listing.tracks[2].markers, chordBars);
}

INSTANTIATE_TEST_SUITE_P(Samples, ProducedOutputGolden, testing::ValuesIn(sampleNames()), testName);

// Every golden file belongs to a sample, so a renamed or removed sample does
// not leave files behind that nothing checks.
TEST(ProducedOutputGoldenFiles, BelongToTheSamples) {
    const std::vector<std::string> samples = sampleNames();
    ASSERT_FALSE(samples.empty()) << "no samples in " << kSamplesDir;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(kGoldenDir, ec)) {
        const std::string file = entry.path().filename().string();
        if (file == "README.md" || entry.path().extension() == ".actual") continue;
        bool known = false;
        for (const std::string& s : samples)
            for (const char* kind : {".block.txt", ".styled.txt", ".export.txt"})
                known = known || file == s + kind;
        EXPECT_TRUE(known) << file << " in " << kGoldenDir << " belongs to no sample";
    }
    EXPECT_FALSE(ec) << kGoldenDir << ": " << ec.message();
}

// ---------------------------------------------------------------------------
// The lister itself: a broken export is an error, never a crash or a hang.

std::vector<std::uint8_t> sampleExport() {
    const std::unique_ptr<Harmonized> styled =
        harmonizeSample(kSamplesDir / "twinkle-twinkle.mid", false);
    if (!styled) return {};
    return renderMidiExport(styled->song(), "twinkle").bytes;
}

TEST(ProducedOutputGoldenLister, EveryCutShortExportIsAnError) {
    const std::vector<std::uint8_t> bytes = sampleExport();
    ASSERT_GT(bytes.size(), 100u);
    ASSERT_TRUE(listSmf(bytes, "whole.mid").ok());
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        // A copy of its own size, so that a read past the end is one a
        // sanitizer or valgrind sees.
        const std::vector<std::uint8_t> part(bytes.begin(),
                                             bytes.begin() + static_cast<std::ptrdiff_t>(size));
        const SmfListing cut = listSmf(part, "cut.mid");
        EXPECT_FALSE(cut.ok()) << "cut to " << size << " bytes";
        EXPECT_NE(cut.text.find("error at byte "), std::string::npos);
    }
}

TEST(ProducedOutputGoldenLister, MalformedEventsAreErrors) {
    const std::vector<std::uint8_t> head = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 1, 0xE0};
    auto withTrack = [&head](std::vector<std::uint8_t> body) {
        std::vector<std::uint8_t> file = head;
        const auto size = static_cast<std::uint32_t>(body.size());
        file.insert(file.end(),
                    {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(size >> 24),
                     static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 8),
                     static_cast<std::uint8_t>(size)});
        file.insert(file.end(), body.begin(), body.end());
        return listSmf(file, "made.mid");
    };
    const std::vector<std::uint8_t> end = {0, 0xFF, 0x2F, 0};

    // A well-formed track with running status, for contrast.
    std::vector<std::uint8_t> good = {0, 0x91, 60, 100, 0x83, 0x60, 60, 0};
    good.insert(good.end(), end.begin(), end.end());
    const SmfListing fine = withTrack(good);
    ASSERT_TRUE(fine.ok()) << fine.error;
    EXPECT_NE(fine.text.find("     480  ch 1  note on   60 C5 velocity 0\n"), std::string::npos)
        << fine.text;
    EXPECT_NE(fine.text.find("ticks per quarter"), std::string::npos);

    const std::vector<std::vector<std::uint8_t>> broken = {
        {0, 60, 100, 0, 0xFF, 0x2F, 0},                   // data without a status
        {0x80, 0x80, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0},    // a five-byte delta
        {0, 0x90, 0x80, 100, 0, 0xFF, 0x2F, 0},           // a data byte above 127
        {0, 0xFF, 0x51, 2, 7, 0xA1, 0, 0xFF, 0x2F, 0},    // a two-byte tempo
        {0, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 'a'},     // a text longer than the chunk
        {0, 0xF0, 0x85, 0, 0},                            // a sysex longer than the chunk
        {0, 0xF8, 0, 0xFF, 0x2F, 0},                      // a real-time message
        {0, 0x90, 60, 100},                               // no end of track
        {0, 0xFF, 0x2F, 0, 0, 0x90, 60, 100},             // events after the end
        {0, 0xFF, 0x2F, 1, 0},                            // an end of track with data
        {0, 0xFF, 0x58, 4, 4, 9, 24, 8, 0, 0xFF, 0x2F, 0} // a beat of 1/512
    };
    for (std::size_t i = 0; i < broken.size(); ++i)
        EXPECT_FALSE(withTrack(broken[i]).ok()) << "case " << i;

    // A header that names more tracks than the file holds, and bytes after
    // the last chunk that make no chunk.
    std::vector<std::uint8_t> twoTracks = head;
    twoTracks[11] = 2;
    twoTracks.insert(twoTracks.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 4});
    twoTracks.insert(twoTracks.end(), end.begin(), end.end());
    EXPECT_FALSE(listSmf(twoTracks, "two.mid").ok());
    std::vector<std::uint8_t> trailing = twoTracks;
    trailing[11] = 1;
    EXPECT_TRUE(listSmf(trailing, "one.mid").ok());
    trailing.insert(trailing.end(), {'M', 'T'});
    EXPECT_FALSE(listSmf(trailing, "trailing.mid").ok());
}

} // namespace
