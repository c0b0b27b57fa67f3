#include "PatternImport.h"

#include "styles/StyleFiles.h"
#include "styles/StyleLibrary.h"
#include "styles/StyleListLock.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace korvanta::styleimport {

namespace {

constexpr unsigned kAllGroups = 7; // read every group so that rewriting loses none

bool storableMeter(const Meter& m) {
    return m.numerator >= 1 && m.numerator <= 15 &&
           (m.denominator == 1 || m.denominator == 2 || m.denominator == 4 || m.denominator == 8);
}

std::string lower(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string plural(std::int64_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// Works out name, group, program, octave, meters and bars; the first fault
// found, or empty.
std::string settle(const PatternSource& source, const ImportOptions& options, StyleSettings& s,
                   bool& barsGiven) {
    std::string error;
    auto note = [&error](std::string why) {
        if (error.empty()) error = std::move(why);
    };

    s.name = options.name ? *options.name : source.name.value_or("");
    if (s.name.empty())
        note("the style needs a name");
    else if (!isValidStyleName(s.name))
        note("the style name '" + s.name + "' must be 1-15 letters, digits, '-' or '_'");

    const std::optional<int> group = options.group ? options.group : source.group;
    if (!group)
        note("the style needs a group (0 Piano, 1 Guitar, 2 other)");
    else if (*group < 0 || *group >= kStyleGroupCount)
        note("group " + std::to_string(*group) + " is outside 0..2");
    s.group = group.value_or(0);

    std::optional<int> program = options.program ? options.program : source.program;
    if (!program && source.kind == SourceKind::Midi) {
        // The instrument the file itself chose for the notes taken.
        for (std::size_t ch = 0; ch < source.firstProgram.size() && !program; ++ch) {
            const bool taken = options.channel ? static_cast<int>(ch) == *options.channel
                                               : source.channelNoteCounts()[ch] > 0;
            if (taken && source.firstProgram[ch] >= 0) program = source.firstProgram[ch];
        }
    }
    s.program = program.value_or(0);
    if (s.program < 0 || s.program > 127)
        note("program " + std::to_string(s.program) + " is outside 0..127");

    s.baseOctave =
        options.baseOctave ? *options.baseOctave : source.baseOctave.value_or(kDefaultBaseOctave);
    if (s.baseOctave < 0 || s.baseOctave > kLargestBaseOctave)
        note("base octave " + std::to_string(s.baseOctave) + " is outside 0..10");

    s.meters =
        options.meters ? *options.meters : source.meters.value_or(std::vector<Meter>{source.meter});
    if (std::string why = meterListProblem(s.meters); !why.empty()) note(std::move(why));
    // A style is only played in the meters it lists, its own among them.
    if (std::find(s.meters.begin(), s.meters.end(), source.meter) == s.meters.end())
        note("the meters must include the pattern's own meter " + meterText(source.meter));

    const std::optional<int> bars = options.bars ? options.bars : source.bars;
    barsGiven = bars.has_value();
    if (bars) {
        s.bars = *bars;
        if (*bars < 1 || *bars > kLargestPatternBars)
            note("bars " + std::to_string(*bars) + " is outside 1..255");
    }
    return error;
}

} // namespace

std::string meterListProblem(const std::vector<Meter>& meters) {
    if (meters.empty()) return "the style needs at least one meter";
    if (meters.size() > kMostMeters)
        return "a style lists at most 4 meters, not " + std::to_string(meters.size());
    for (auto it = meters.begin(); it != meters.end(); ++it) {
        if (!storableMeter(*it))
            return "meter " + meterText(*it) +
                   " cannot be listed (numerators 1-15, denominators 1, 2, 4 or 8)";
        if (std::find(meters.begin(), it, *it) != it)
            return "meter " + meterText(*it) + " is listed twice";
    }
    return {};
}

std::array<std::string, kReportColumns> reportCells(const NoteReport& r) {
    const int on = r.note.velocities >> 8;
    const int release = r.note.velocities & 0xFF;
    return {r.position(),
            std::to_string(r.kept ? r.duration : r.note.length),
            noteName(r.note.pitch),
            r.kept ? std::to_string(r.selector) : "-",
            r.kept ? selectorMeaning(r.selector) : "-",
            std::to_string(r.octave),
            std::to_string(on) + "/" + std::to_string(release),
            r.remark};
}

int selectorOfPitchClass(int pitchClass) {
    static constexpr int kSelectors[12] = {1, 0, 0, 3, 3, 0, 4, 5, 5, 6, 7, 7};
    if (pitchClass < 0 || pitchClass > 11) return 0;
    return kSelectors[pitchClass];
}

std::string selectorMeaning(int selector) {
    switch (selector) {
    case 1:
        return "root";
    case 3:
        return "third";
    case 4:
    case 5:
        return "fifth";
    case 6:
    case 7:
        return "7th or 6th";
    default:
        return {};
    }
}

std::string positionText(int bar, int beat, int tick) {
    std::string t = std::to_string(tick);
    if (t.size() < 3) t.insert(0, 3 - t.size(), '0');
    return std::to_string(bar) + ":" + std::to_string(beat) + ":" + t;
}

bool isValidStyleName(const std::string& name) {
    if (name.empty() || name.size() > kLongestStyleName) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

int Conversion::keptCount() const {
    return static_cast<int>(
        std::count_if(notes.begin(), notes.end(), [](const NoteReport& r) { return r.kept; }));
}

std::uint32_t packMeters(const std::vector<Meter>& meters) {
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < meters.size() && i < kMostMeters; ++i)
        packed |= (meterCode(meters[i].numerator, meters[i].denominator) & 0xFFu) << (8 * i);
    return packed;
}

Conversion convertPattern(const PatternSource& source, const ImportOptions& options) {
    Conversion out;
    out.messages = source.warnings;
    const Meter meter = source.meter;
    if (!storableMeter(meter)) {
        out.error = "the pattern's meter " + meterText(meter) +
                    " cannot be stored in a style (numerators 1-15, denominators 1, 2, 4 or 8)";
        return out;
    }
    const std::int64_t wholeTicks = std::int64_t{4} * source.division;
    const std::int64_t ticksPerBeat = wholeTicks / meter.denominator;
    if (source.division < 1 || ticksPerBeat < 1 || ticksPerBeat > 0x10000) {
        out.error = "division " + std::to_string(source.division) + " does not suit meter " +
                    meterText(meter);
        return out;
    }
    const std::int64_t ticksPerBar = ticksPerBeat * meter.numerator;

    bool barsGiven = false;
    const std::string settingsError = settle(source, options, out.settings, barsGiven);
    StyleSettings& s = out.settings;
    // A bar count outside the range cannot cut anything off.
    const bool cutAtBars = barsGiven && s.bars >= 1 && s.bars <= kLargestPatternBars;

    std::vector<SourceNote> chosen;
    for (const SourceNote& n : source.notes) {
        if (!options.channel || n.channel == *options.channel) chosen.push_back(n);
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const SourceNote& a, const SourceNote& b) {
        return a.start != b.start ? a.start < b.start : a.pitch < b.pitch;
    });

    std::int64_t end = 0;
    for (const SourceNote& n : chosen) {
        NoteReport r;
        r.note = n;
        const std::int64_t start = std::max<std::int64_t>(n.start, 0);
        r.bar = static_cast<int>(std::min<std::int64_t>(start / ticksPerBar, 0x7FFFFFFF));
        r.beat = static_cast<int>(start % ticksPerBar / ticksPerBeat);
        r.tick = static_cast<int>(start % ticksPerBeat);
        r.octave = n.pitch / 12;
        r.selector = selectorOfPitchClass(n.pitch % 12);
        r.duration = static_cast<int>(std::clamp<std::int64_t>(n.length, 1, kLongestEventDuration));
        if (r.selector == 0) {
            r.remark = "is not a chord tone over C: left out";
        } else if (cutAtBars && start >= s.bars * ticksPerBar) {
            r.selector = 0;
            r.remark = "lies after the pattern's " + plural(s.bars, "bar") + ": left out";
        } else {
            r.kept = true;
            if (r.duration != n.length)
                r.remark = "length " + std::to_string(n.length) + " held to " +
                           std::to_string(r.duration) + (r.duration == 1 ? " tick" : " ticks");
            end = std::max(end, start + r.duration);
        }
        if (!r.remark.empty())
            out.messages.push_back(r.position() + " " + noteName(n.pitch) + " " + r.remark);
        out.notes.push_back(std::move(r));
    }

    if (!barsGiven)
        s.bars = static_cast<int>(
            std::clamp<std::int64_t>((end + ticksPerBar - 1) / ticksPerBar, 1, 0x7FFFFFFF));

    if (!settingsError.empty()) {
        out.error = settingsError;
        return out;
    }
    const int kept = out.keptCount();
    if (kept == 0) {
        out.error = chosen.empty() ? "no note understood: the pattern holds no notes"
                                   : "no note understood: none of the " +
                                         plural(static_cast<std::int64_t>(chosen.size()), "note") +
                                         " is a chord tone over C";
        return out;
    }
    if (s.bars > kLargestPatternBars) {
        out.error =
            "the pattern is " + std::to_string(s.bars) + " bars long; a style holds at most 255";
        return out;
    }

    StyleRecord style;
    style.header[0] = kStyleFormatVersion;
    style.setBars(static_cast<std::uint8_t>(s.bars));
    style.setBaseOctave(static_cast<std::uint8_t>(s.baseOctave));
    style.setBeatsPerBar(static_cast<std::uint8_t>(meter.numerator));
    style.setProgram(static_cast<std::uint8_t>(s.program));
    style.setTimeSignature(static_cast<std::uint8_t>(meter.numerator),
                           static_cast<std::uint8_t>(meter.denominator));
    style.ticksPerQuarter = static_cast<std::uint16_t>(source.division);
    style.meters = packMeters(s.meters);
    for (const NoteReport& r : out.notes) {
        if (!r.kept) continue;
        PatternEvent e;
        e.selector = static_cast<std::int8_t>(r.selector);
        e.octave = static_cast<std::int8_t>(r.octave);
        e.duration = static_cast<std::int16_t>(r.duration);
        e.bar = static_cast<std::uint16_t>(r.bar);
        e.beat = static_cast<std::uint8_t>(r.beat);
        e.tick = static_cast<std::uint16_t>(r.tick);
        e.velocities = r.note.velocities;
        style.events.push_back(e);
    }
    style.eventCount = static_cast<std::uint32_t>(style.events.size());
    out.style = std::move(style);
    return out;
}

LibraryAdd addStyleToLibrary(const std::filesystem::path& folder, const StyleSettings& settings,
                             const StyleRecord& style, bool replace, bool dryRun) {
    namespace fs = std::filesystem;
    LibraryAdd out;
    auto refuse = [&out](std::string why) {
        out.error = std::move(why);
        return out;
    };
    if (!isValidStyleName(settings.name))
        return refuse("the style name '" + settings.name + "' is not valid");
    if (settings.group < 0 || settings.group >= kStyleGroupCount)
        return refuse("group " + std::to_string(settings.group) + " is outside 0..2");
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return refuse("the styles folder '" + folder.string() + "' does not exist");

    const fs::path listFile = folder / kStyleListFileName;
    out.styleFile = styleFilePath(folder, settings.name);
    // From reading the list to writing it, no other import may change the
    // library: it would read the same list, and the later write would drop
    // the earlier one's entry. A dry run writes nothing and needs no lock.
    std::optional<StyleListLock> lock;
    if (!dryRun) {
        lock.emplace(listFile);
        if (!lock->isHeld()) return refuse(lock->error() + "; nothing was written");
    }
    StyleList list;
    const fs::file_status listStatus = fs::symlink_status(listFile, ec);
    if (ec && listStatus.type() != fs::file_type::not_found)
        return refuse("cannot look at " + listFile.string() + ": " + ec.message());
    // An empty list file is one the lock made (or an import left) for a
    // library without a list: it holds no entry to keep.
    if (fs::exists(listStatus) && fs::file_size(listFile, ec) != 0) {
        auto read = readStyleList(listFile, kAllGroups);
        if (!read)
            return refuse(listFile.string() + " cannot be read (" + read.message +
                          "); it is left as it is and nothing was written");
        list = std::move(*read);
    }

    const std::string wanted = lower(settings.name);
    auto& target = list.groups[static_cast<std::size_t>(settings.group)];
    StyleListEntry* existing = nullptr;
    for (int g = 0; g < kStyleGroupCount && !existing; ++g) {
        for (StyleListEntry& entry : list.groups[static_cast<std::size_t>(g)]) {
            if (lower(entry.name) != wanted) continue;
            if (entry.name != settings.name)
                return refuse("the library has a style '" + entry.name +
                              "'; a name differing only in case would share its file");
            if (!replace)
                return refuse("a style named '" + settings.name + "' is already in group " +
                              std::to_string(g) + " (replace it to rewrite it)");
            if (g != settings.group)
                return refuse("'" + settings.name + "' is in group " + std::to_string(g) +
                              ", not group " + std::to_string(settings.group) +
                              "; a replaced style keeps its group");
            existing = &entry;
            break;
        }
    }
    const bool fileExisted = fs::exists(out.styleFile, ec);
    if (existing) {
        out.id = existing->id;
        out.replaced = true;
    } else {
        // A style file no entry names is what an import leaves when it stops
        // between writing the style and writing the list; the library cannot
        // use it, so it is written over (and the summary says so).
        out.replacedUnlisted = fileExisted;
        out.id = styleId(settings.group, static_cast<int>(target.size()));
        StyleListEntry entry;
        entry.id = out.id;
        entry.name = settings.name;
        target.push_back(std::move(entry));
    }
    if (dryRun) {
        out.ok = true;
        return out;
    }

    if (const Outcome written = writeStyle(out.styleFile, style); !written)
        return refuse(written.message);
    if (const Outcome listed = writeStyleList(listFile, list); !listed) {
        // Without its list entry a new style file is only clutter.
        if (!fileExisted) fs::remove(out.styleFile, ec);
        return refuse(listed.message);
    }
    out.ok = true;
    return out;
}

std::string summaryLine(const StyleSettings& settings, const StyleRecord& style,
                        const LibraryAdd& added) {
    std::ostringstream line;
    line << settings.name << kStyleFileExtension << ": "
         << plural(static_cast<std::int64_t>(style.events.size()), "event") << ", "
         << plural(style.bars(), "bar") << ", meters";
    for (const Meter& m : settings.meters)
        line << " " << meterText(m);
    line << ", group " << settings.group << ", id " << added.id;
    if (added.replaced) line << ", replaced";
    if (added.replacedUnlisted)
        line << ", replacing " << settings.name << kStyleFileExtension
             << ", which no list entry named";
    return line.str();
}

std::vector<std::string> readInstrumentNames(const std::filesystem::path& file) {
    constexpr std::uintmax_t kLargest = 64 * 1024;
    constexpr std::size_t kPrograms = 128;
    std::vector<std::string> names;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kLargest) return names;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (names.size() < kPrograms && std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        names.push_back(first == std::string::npos ? std::string() : line.substr(first));
    }
    return names;
}

std::filesystem::path instrumentNamesFile(const std::filesystem::path& stylesFolder) {
    return (stylesFolder / ".." / "gmi.txt").lexically_normal();
}

} // namespace korvanta::styleimport
