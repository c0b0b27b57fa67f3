#include "ImportArgs.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <ostream>

namespace korvanta::styleimport {

namespace {

constexpr char kProgram[] = "korvanta-style-import: ";

std::optional<int> parseInt(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// An integer option in [lowest, highest]; an error text otherwise.
std::string rangedInt(const std::string& option, const std::string& value, int lowest, int highest,
                      std::optional<int>& target) {
    const auto v = parseInt(value);
    if (!v || *v < lowest || *v > highest)
        return option + " needs a number " + std::to_string(lowest) + "-" +
               std::to_string(highest) + ", not '" + value + "'";
    target = *v;
    return {};
}

constexpr const char* kValueOptions[] = {"--from",   "--name",    "--group",  "--channel",
                                         "--octave", "--program", "--meters", "--bars"};
constexpr const char* kFlagOptions[] = {"--replace", "--show", "--dry-run"};

std::string applyOption(ImportCommand& cmd, const std::string& name, const std::string& value) {
    ImportOptions& o = cmd.options;
    if (name == "--from") {
        if (value.empty()) return "--from needs a MIDI file or a .kvp pattern source";
        cmd.from = value;
    } else if (name == "--name") {
        if (!isValidStyleName(value))
            return "--name needs 1-15 letters, digits, '-' or '_', not '" + value + "'";
        o.name = value;
    } else if (name == "--group") {
        return rangedInt(name, value, 0, 2, o.group);
    } else if (name == "--channel") {
        if (value == "all") return {};
        std::optional<int> channel;
        std::string why = rangedInt(name, value, 1, 16, channel);
        if (!why.empty())
            return "--channel needs a MIDI channel 1-16 or 'all', not '" + value + "'";
        o.channel = *channel - 1;
    } else if (name == "--octave") {
        return rangedInt(name, value, 0, kLargestBaseOctave, o.baseOctave);
    } else if (name == "--program") {
        return rangedInt(name, value, 0, 127, o.program);
    } else if (name == "--bars") {
        return rangedInt(name, value, 1, kLargestPatternBars, o.bars);
    } else if (name == "--meters") {
        std::string why;
        auto meters = parseMeterList(value, &why);
        if (!meters) return "--meters: " + why;
        why = meterListProblem(*meters);
        if (!why.empty()) return "--meters: " + why;
        o.meters = std::move(*meters);
    } else if (name == "--replace") {
        cmd.replace = true;
    } else if (name == "--show") {
        cmd.show = true;
    } else if (name == "--dry-run") {
        cmd.dryRun = true;
    }
    return {};
}

bool isOneOf(const std::string& name, std::span<const char* const> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

} // namespace

std::string importUsageText() {
    return "usage: korvanta-style-import --from FILE.mid|FILE.kvp [options] STYLES_FOLDER\n"
           "       korvanta-style-import [STYLES_FOLDER]      (opens the window)\n"
           "\n"
           "Turns a pattern played over a C major (or C7) chord into a style file\n"
           "STYLES_FOLDER/NAME.stt and adds it to STYLES_FOLDER/styles.lst. Notes become\n"
           "chord tones: C the root, Eb/E the third, F#/G/G#(Ab) the fifth, A and Bb/B the\n"
           "fourth chord tone (7th or 6th); C#, D and F are no chord tone and are left out.\n"
           "\n"
           "options (for a .kvp source they override its header lines):\n"
           "  --from FILE         the pattern: a MIDI file or a .kvp pattern source\n"
           "  --name NAME         the style name: 1-15 letters, digits, '-' or '_'\n"
           "                      (required for a MIDI file)\n"
           "  --group G           0 Piano, 1 Guitar, 2 other (required for a MIDI file)\n"
           "  --channel N|all     the MIDI channel (1-16) the pattern lies on (default all)\n"
           "  --octave O          base octave: the octave whose C stands for the song's\n"
           "                      chord octave, numbered as MIDI note / 12, so 4 is C3\n"
           "                      (note 48, the default) and 5 is C4 (note 60); 0-10\n"
           "  --program P         General MIDI program 0-127 for previews (default: the\n"
           "                      file's first program change, else 0)\n"
           "  --meters M,M,...    the meters the style fits, at most four, e.g. 4/4,2/2\n"
           "                      (default: the pattern's own meter, which must be among\n"
           "                      them)\n"
           "  --bars N            the pattern's length in bars, 1-255 (default: up to the\n"
           "                      end of its last note); notes after it are left out\n"
           "  --replace           rewrite a style of the same name (it keeps its group,\n"
           "                      place and id)\n"
           "  --show              print the notes as understood\n"
           "  --dry-run           check everything but write nothing\n"
           "  --help              show this text\n"
           "\n"
           "A MIDI file is read in its first time signature (4/4 when it has none).\n"
           "exit codes: 0 success, 1 a file could not be read, converted or written,\n"
           "2 wrong arguments\n";
}

ImportParse parseImportArguments(const std::vector<std::string>& args) {
    ImportParse out;
    ImportCommand cmd;
    std::vector<std::string> positional;
    std::vector<std::string> seen;
    bool anyOption = false;
    // Asking for help is answered whatever else the line holds.
    if (std::any_of(args.begin(), args.end(),
                    [](const std::string& a) { return a == "--help" || a == "-h"; })) {
        out.command = ImportCommand{};
        return out;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            const bool takesValue = isOneOf(a, kValueOptions);
            if (!takesValue && !isOneOf(a, kFlagOptions)) {
                out.error = "unknown option '" + a + "'";
                return out;
            }
            if (std::find(seen.begin(), seen.end(), a) != seen.end()) {
                out.error = a + " is given twice";
                return out;
            }
            seen.push_back(a);
            anyOption = true;
            std::string value;
            if (takesValue) {
                if (i + 1 >= args.size()) {
                    out.error = a + " needs a value";
                    return out;
                }
                value = args[++i];
            }
            out.error = applyOption(cmd, a, value);
            if (!out.error.empty()) return out;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() > 1) {
        out.error =
            "more than one STYLES_FOLDER given ('" + positional[0] + "', '" + positional[1] + "')";
        return out;
    }
    if (!positional.empty()) cmd.folder = positional[0];
    if (!anyOption) {
        cmd.mode = ImportMode::Window;
        out.command = cmd;
        return out;
    }
    if (cmd.from.empty()) {
        out.error = "--from FILE is required to import without the window";
        return out;
    }
    if (cmd.folder.empty()) {
        out.error = "no STYLES_FOLDER given";
        return out;
    }
    cmd.mode = ImportMode::Import;
    out.command = cmd;
    return out;
}

void printReportTable(std::ostream& out, const Conversion& conversion) {
    static constexpr const char* kHeads[kReportColumns] = {"position", "length", "note",     "sel",
                                                           "tone",     "octave", "velocity", ""};
    // Column widths; lengths and octaves are numbers and stand right.
    static constexpr std::size_t kWidths[kReportColumns] = {9, 6, 4, 3, 10, 6, 8, 0};
    static constexpr bool kRight[kReportColumns] = {false, true, false, false,
                                                    false, true, false, false};
    auto row = [&out](const std::array<std::string, kReportColumns>& cells) {
        std::string line;
        for (std::size_t c = 0; c < kReportColumns; ++c) {
            const std::string& cell = cells[c];
            const std::string pad(kWidths[c] > cell.size() ? kWidths[c] - cell.size() : 0, ' ');
            line += kRight[c] ? pad + cell : cell + pad;
            if (c + 1 < kReportColumns) line += ' ';
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out << line << "\n";
    };
    std::array<std::string, kReportColumns> heads;
    std::copy(std::begin(kHeads), std::end(kHeads), heads.begin());
    row(heads);
    for (const NoteReport& r : conversion.notes)
        row(reportCells(r));
}

int runImportCommand(const ImportCommand& cmd, std::ostream& out, std::ostream& err) {
    const SourceRead read = readPatternSource(cmd.from);
    if (!read.source) {
        err << kProgram << read.error << "\n";
        return kExitFailed;
    }
    const PatternSource& source = *read.source;
    if (source.kind == SourceKind::PatternText && cmd.options.channel) {
        err << kProgram << "--channel applies to MIDI files, not to a .kvp source\n\n"
            << importUsageText();
        return kExitUsage;
    }
    if (source.kind == SourceKind::Midi && (!cmd.options.name || !cmd.options.group)) {
        err << kProgram << "--name and --group are required for a MIDI file\n\n"
            << importUsageText();
        return kExitUsage;
    }
    const Conversion conversion = convertPattern(source, cmd.options);
    for (const std::string& m : conversion.messages)
        err << kProgram << m << "\n";
    if (cmd.show) printReportTable(out, conversion);
    if (!conversion.style) {
        err << kProgram << std::filesystem::path(cmd.from).filename().string() << ": "
            << conversion.error << "\n";
        return kExitFailed;
    }
    const LibraryAdd added = addStyleToLibrary(cmd.folder, conversion.settings, *conversion.style,
                                               cmd.replace, cmd.dryRun);
    if (!added.ok) {
        err << kProgram << added.error << "\n";
        return kExitFailed;
    }
    out << summaryLine(conversion.settings, *conversion.style, added)
        << (cmd.dryRun ? " (dry run: nothing written)" : "") << "\n";
    return kExitOk;
}

} // namespace korvanta::styleimport
