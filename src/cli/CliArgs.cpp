#include "CliArgs.h"

#include "alg/song/Keys.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace korvanta::cli {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<int> parseInt(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

// Pitch class of a note name: a letter, then "#" or "b" (or none).
std::optional<int> pitchClassOf(const std::string& name) {
    static constexpr int kLetters[] = {9, 11, 0, 2, 4, 5, 7}; // a..g
    if (name.empty()) return std::nullopt;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    if (letter < 'a' || letter > 'g') return std::nullopt;
    int pc = kLetters[letter - 'a'];
    if (name.size() == 2 && name[1] == '#')
        pc += 1;
    else if (name.size() == 2 && name[1] == 'b')
        pc += 11;
    else if (name.size() != 1)
        return std::nullopt;
    return pc % 12;
}

struct OptionSpec {
    const char* name;
    bool takesValue;
    bool analyze;
    bool harmonize;
    bool play = false;
    bool styles = false;
};

constexpr OptionSpec kOptions[] = {
    {"--json", false, true, false, false, true},
    {"--channel", true, true, true, true},
    {"--draft", true, true, true, true},
    {"--key", true, true, true, true},
    {"--ambiguous", true, true, true, true},
    {"--reharmonize", false, true, true, true},
    {"--strict", false, true, true, true},
    {"--force", false, false, true},
    {"-o", true, false, true},
    {"--outdir", true, false, true},
    {"--export", true, false, true},
    {"--export-dir", true, false, true},
    {"--wav", true, false, true},
    {"--loop", true, false, false, true},
    {"--tempo", true, false, false, true},
    {"--output", true, false, false, true},
    {"--list-outputs", false, false, false, true},
    {"--style", true, true, true, true},
    {"--styles", true, true, true, true, true},
    {"--meter", true, false, false, false, true},
};

constexpr std::string_view kProjectExtension = ".kvt";

bool endsWithSeparator(const std::string& path) {
    return !path.empty() && path.back() == '/';
}

bool hasProjectExtension(const std::string& path) {
    return path.size() > kProjectExtension.size() &&
           lower(path.substr(path.size() - kProjectExtension.size())) == kProjectExtension;
}

// An output file named by an option: never empty, never a folder.
std::string checkOutputFile(const std::string& option, const std::string& value) {
    if (value.empty()) return option + " needs a file name";
    if (endsWithSeparator(value) || value == "." || value == "..")
        return option + " needs a file name, not the folder '" + value + "'";
    return {};
}

constexpr int kMinTempoBpm = 8; // the tempo controls' range
constexpr int kMaxTempoBpm = 255;

const OptionSpec* findOption(const std::string& name) {
    for (const OptionSpec& o : kOptions) {
        if (name == o.name) return &o;
    }
    return nullptr;
}

// Applies one option with its value; an error text when the value is wrong.
std::string applyOption(CliCommand& cmd, const std::string& name, const std::string& value) {
    if (name == "--json") {
        cmd.json = true;
    } else if (name == "--reharmonize") {
        cmd.reharmonize = true;
    } else if (name == "--strict") {
        cmd.strict = true;
    } else if (name == "--force") {
        cmd.force = true;
    } else if (name == "--channel") {
        const auto channel = parseInt(value);
        if (!channel || *channel < 0 || *channel > 15)
            return "--channel needs a MIDI channel 0-15, not '" + value + "'";
        cmd.channel = *channel;
    } else if (name == "--draft") {
        const auto draft = parseInt(value);
        if (!draft || *draft < 1 || *draft > 3)
            return "--draft needs 1, 2 or 3, not '" + value + "'";
        cmd.draft = *draft;
        cmd.draftGiven = true;
    } else if (name == "--key") {
        if (lower(value) == "auto") {
            cmd.key = kAutoKey;
        } else if (lower(value) == "file") {
            cmd.key = kFileKey;
        } else {
            const auto key = parseKeyName(value);
            if (!key)
                return "--key needs auto, file, a key index 0-23 or a key name such as C, "
                       "Am, F#m, Bb, C-dur or a-moll, not '" +
                       value + "'";
            cmd.key = *key;
        }
    } else if (name == "--ambiguous") {
        const std::string v = lower(value);
        if (v == "major")
            cmd.ambiguous = AmbiguousAnswer::Major;
        else if (v == "minor")
            cmd.ambiguous = AmbiguousAnswer::Minor;
        else
            return "--ambiguous needs major or minor, not '" + value + "'";
    } else if (name == "-o") {
        if (std::string error = checkOutputFile(name, value); !error.empty()) return error;
        // Only a .kvt file opens as a project again.
        cmd.output = hasProjectExtension(value) ? value : value + std::string(kProjectExtension);
    } else if (name == "--outdir" || name == "--export-dir") {
        if (value.empty()) return name + " needs a folder";
        (name == "--outdir" ? cmd.outdir : cmd.exportDir) = value;
    } else if (name == "--export" || name == "--wav") {
        if (std::string error = checkOutputFile(name, value); !error.empty()) return error;
        (name == "--export" ? cmd.exportPath : cmd.wavPath) = value;
    } else if (name == "--tempo") {
        const auto bpm = parseInt(value);
        if (!bpm || *bpm < kMinTempoBpm || *bpm > kMaxTempoBpm)
            return "--tempo needs beats per minute 8-255, not '" + value + "'";
        cmd.tempoBpm = *bpm;
    } else if (name == "--output") {
        if (value.empty()) return "--output needs the name of a MIDI output";
        cmd.outputName = value;
    } else if (name == "--list-outputs") {
        cmd.listOutputs = true;
    } else if (name == "--style") {
        if (value.empty()) return "--style needs a style's identifier or name, auto or none";
        const std::string v = lower(value);
        cmd.style = v == "auto" || v == "none" ? v : value;
    } else if (name == "--styles") {
        if (value.empty()) return "--styles needs the style library's folder";
        cmd.stylesDir = value;
    } else if (name == "--meter") {
        const auto slash = value.find('/');
        const auto num = parseInt(value.substr(0, slash));
        const auto den =
            slash == std::string::npos ? std::nullopt : parseInt(value.substr(slash + 1));
        if (!num || !den || *num < 1 || *num > 15 || *den < 1 || *den > 15)
            return "--meter needs a meter such as 3/4 or 6/8, not '" + value + "'";
        cmd.meterFilter = std::make_pair(*num, *den);
    }
    return {};
}

} // namespace

std::optional<int> parseKeyName(const std::string& text) {
    if (const auto index = parseInt(text)) {
        if (*index >= 0 && *index < kKeyCount) return *index;
        return std::nullopt;
    }
    for (int key = 0; key < kKeyCount; ++key) {
        if (lower(text) == lower(std::string(KeyLongName(key)))) return key;
    }
    // "Am", "F#m", "Bbm": minor; "C", "F#", "Bb": major.
    std::string name = text;
    bool minor = false;
    if (name.size() >= 2 && name.back() == 'm') {
        minor = true;
        name.pop_back();
    }
    const auto pc = pitchClassOf(name);
    if (!pc) return std::nullopt;
    for (int key = minor ? 12 : 0; key < (minor ? 24 : 12); ++key) {
        if (keyTonic(key) == *pc) return key;
    }
    return std::nullopt;
}

std::optional<PositionParts> parsePositionText(const std::string& text) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == ':')
            parts.emplace_back();
        else if (c != ' ')
            parts.back() += c;
    }
    if (parts.size() > 3) return std::nullopt;
    constexpr int kLimits[3] = {99999, 99, 999};
    int values[3] = {1, 1, 0};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto v = parseInt(parts[i]);
        if (!v || *v < (i == 2 ? 0 : 1) || *v > kLimits[i]) return std::nullopt;
        values[i] = *v;
    }
    return PositionParts{values[0], values[1], values[2]};
}

std::string usageText() {
    return "usage: korvanta-cli <command> [options]\n"
           "\n"
           "commands:\n"
           "  analyze FILE [options]     harmonize a MIDI or project file and print the key,\n"
           "                             meter, tempo and every bar's chords\n"
           "  harmonize FILE... [options]\n"
           "                             harmonize one or many files and save each as a\n"
           "                             project (and optionally export MIDI)\n"
           "  play FILE [options]        harmonize as analyze does and play melody and\n"
           "                             chords; Ctrl+C stops\n"
           "  play --list-outputs        list the outputs play can use\n"
           "  dump FILE [--json]         read a MIDI file and print the song it gives\n"
           "  styles [--meter N/D] [--json] [--styles DIR]\n"
           "                             list the accompaniment styles (group, index,\n"
           "                             identifier, name, beats per bar, meters)\n"
           "  help                       show this text\n"
           "\n"
           "options of analyze and harmonize:\n"
           "  --channel N                the melody channel (0-15) when several qualify\n"
           "  --draft 1|2|3              harmony draft (default 1)\n"
           "  --key auto|file|INDEX|NAME the key: auto (recognized from the melody, the\n"
           "                             default), file (the file's key signature), an\n"
           "                             index 0-23, or a name such as C, Am, F#m, Bb,\n"
           "                             C-dur, a-moll\n"
           "  --ambiguous major|minor    the answer when the melody fits a major key and its\n"
           "                             relative minor alike (asked on a terminal otherwise)\n"
           "  --reharmonize              harmonize a project file afresh instead of keeping\n"
           "                             its stored chords\n"
           "  --strict                   count a file with reader warnings (for example one\n"
           "                             cut short) as failed instead of going on\n"
           "  --style ID|NAME|auto|none  the accompaniment style: an identifier or name from\n"
           "                             'korvanta-cli styles', auto (the default: the\n"
           "                             song's stored style, else the default style for\n"
           "                             its meter, as the main window chooses) or none\n"
           "                             (block chords). It must fit the song's meter; it\n"
           "                             plays in --wav, --export and play\n"
           "  --styles DIR               the style library's folder (default: the\n"
           "                             KORVANTA_STYLES variable, else the program's\n"
           "                             data folder)\n"
           "  --json                     analyze: print one JSON object\n"
           "options of harmonize:\n"
           "  -o OUT.kvt                 the project to write (one input file only; .kvt\n"
           "                             is added when missing)\n"
           "  --outdir DIR               write NAME.kvt for every input into DIR\n"
           "                             (default: beside each input; a project already\n"
           "                             there is kept unless --force is given)\n"
           "  --force                    replace a project beside its input\n"
           "  --export OUT.mid           also export a MIDI file (one input file only)\n"
           "  --export-dir DIR           also export NAME_kvta.mid for every input into DIR\n"
           "  --wav OUT.wav              also render melody and chords through the built-in\n"
           "                             synth to a WAV file (one input file only; no sound\n"
           "                             card needed)\n"
           "options of play (and --channel, --draft, --key, --ambiguous, --reharmonize,\n"
           "--style, --styles):\n"
           "  --loop FROM TO             play the range again and again until Ctrl+C;\n"
           "                             positions as BAR[:BEAT[:TICK]] from 1, e.g. 3 5:1\n"
           "  --tempo BPM                a fixed tempo, 8-255 beats per minute\n"
           "  --output NAME              a system MIDI port instead of the built-in synth\n"
           "  --list-outputs             print the outputs: the built-in synth and the\n"
           "                             system's MIDI ports\n"
           "\n"
           "A '--' ends the options: every argument after it is a file.\n"
           "\n"
           "exit codes: 0 success, 1 a file could not be read, harmonized or written,\n"
           "2 wrong arguments or outputs that collide\n";
}

CliParse parseArguments(const std::vector<std::string>& args) {
    CliParse out;
    if (args.empty()) {
        out.error = "no command given";
        return out;
    }
    const std::string& name = args[0];
    if (name == "help" || name == "--help" || name == "-h") {
        out.command = CliCommand{};
        return out;
    }
    CliCommand cmd;
    if (name == "dump")
        cmd.kind = CommandKind::Dump;
    else if (name == "analyze")
        cmd.kind = CommandKind::Analyze;
    else if (name == "harmonize")
        cmd.kind = CommandKind::Harmonize;
    else if (name == "play")
        cmd.kind = CommandKind::Play;
    else if (name == "styles")
        cmd.kind = CommandKind::Styles;
    else {
        out.error = "unknown command '" + name + "'";
        return out;
    }
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded) {
            cmd.files.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true; // what follows are file names, even "-dash.mid"
            continue;
        }
        if (a == "--help" || a == "-h") {
            out.command = CliCommand{};
            return out;
        }
        if (a.size() > 1 && a[0] == '-') {
            const OptionSpec* spec = findOption(a);
            const bool allowed = spec && (cmd.kind == CommandKind::Dump      ? a == "--json"
                                          : cmd.kind == CommandKind::Analyze ? spec->analyze
                                          : cmd.kind == CommandKind::Play    ? spec->play
                                          : cmd.kind == CommandKind::Styles  ? spec->styles
                                                                             : spec->harmonize);
            if (!allowed) {
                out.error = "unknown option '" + a + "' for " + name;
                return out;
            }
            std::string value;
            if (a == "--loop") {
                if (i + 2 >= args.size()) {
                    out.error = "--loop needs FROM and TO";
                    return out;
                }
                cmd.loopFrom = args[++i];
                cmd.loopTo = args[++i];
                if (!parsePositionText(cmd.loopFrom) || !parsePositionText(cmd.loopTo)) {
                    out.error = "--loop needs two positions BAR[:BEAT[:TICK]] such as 3 or 5:2, "
                                "not '" +
                                cmd.loopFrom + "' '" + cmd.loopTo + "'";
                    return out;
                }
                continue;
            }
            if (spec->takesValue) {
                if (i + 1 >= args.size()) {
                    out.error = a + " needs a value";
                    return out;
                }
                value = args[++i];
            }
            out.error = applyOption(cmd, a, value);
            if (!out.error.empty()) return out;
        } else {
            cmd.files.push_back(a);
        }
    }
    if (cmd.kind == CommandKind::Play && cmd.listOutputs && cmd.files.empty()) {
        out.command = cmd;
        return out;
    }
    if (cmd.kind == CommandKind::Styles) {
        if (!cmd.files.empty()) {
            out.error = "styles takes no FILE ('" + cmd.files.front() + "'); use --styles DIR";
            return out;
        }
        out.command = cmd;
        return out;
    }
    if (cmd.files.empty()) {
        out.error = name + (cmd.kind == CommandKind::Harmonize ? " needs at least one FILE"
                                                               : " needs a FILE");
        return out;
    }
    if (cmd.kind != CommandKind::Harmonize && cmd.files.size() > 1) {
        out.error = "more than one file given to " + name;
        return out;
    }
    if (cmd.kind == CommandKind::Harmonize && cmd.files.size() > 1 && !cmd.output.empty()) {
        out.error = "-o names one project; use --outdir for several files";
        return out;
    }
    if (cmd.kind == CommandKind::Harmonize && cmd.files.size() > 1 && !cmd.exportPath.empty()) {
        out.error = "--export names one MIDI file; use --export-dir for several files";
        return out;
    }
    if (cmd.kind == CommandKind::Harmonize && cmd.files.size() > 1 && !cmd.wavPath.empty()) {
        out.error = "--wav names one WAV file; give one input file";
        return out;
    }
    if (!cmd.output.empty() && !cmd.outdir.empty()) {
        out.error = "-o and --outdir cannot be used together";
        return out;
    }
    out.command = cmd;
    return out;
}

} // namespace korvanta::cli
