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

constexpr std::string_view kProjectExtension = ".kvt";
constexpr int kMinTempoBpm = 8; // the tempo controls' range
constexpr int kMaxTempoBpm = 255;

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

// Each option's reader: takes the value (empty for a flag) into the command;
// an error text when the value is wrong.
using OptionReader = std::string (*)(CliCommand& cmd, const std::string& name,
                                     const std::string& value);

std::string readFlag(CliCommand& cmd, const std::string& name, const std::string&) {
    bool CliCommand::*const flag = name == "--json"          ? &CliCommand::json
                                   : name == "--reharmonize" ? &CliCommand::reharmonize
                                   : name == "--strict"      ? &CliCommand::strict
                                   : name == "--force"       ? &CliCommand::force
                                                             : &CliCommand::listOutputs;
    cmd.*flag = true;
    return {};
}

std::string readChannel(CliCommand& cmd, const std::string&, const std::string& value) {
    const auto channel = parseInt(value);
    if (!channel || *channel < 0 || *channel > 15)
        return "--channel needs a MIDI channel 0-15, not '" + value + "'";
    cmd.channel = *channel;
    return {};
}

std::string readDraft(CliCommand& cmd, const std::string&, const std::string& value) {
    const auto draft = parseInt(value);
    if (!draft || *draft < 1 || *draft > 3) return "--draft needs 1, 2 or 3, not '" + value + "'";
    cmd.draft = *draft;
    cmd.draftGiven = true;
    return {};
}

std::string readKey(CliCommand& cmd, const std::string&, const std::string& value) {
    if (lower(value) == "auto") {
        cmd.key = kAutoKey;
    } else if (lower(value) == "file") {
        cmd.key = kFileKey;
    } else if (const auto key = parseKeyName(value)) {
        cmd.key = *key;
    } else {
        return "--key needs auto, file, a key index 0-23 or a key name such as C, Am, F#m, Bb, "
               "Bb major, B minor, or in German B-dur, h-moll, not '" +
               value + "'";
    }
    return {};
}

std::string readAmbiguous(CliCommand& cmd, const std::string&, const std::string& value) {
    const std::string v = lower(value);
    if (v != "major" && v != "minor")
        return "--ambiguous needs major or minor, not '" + value + "'";
    cmd.ambiguous = v == "major" ? AmbiguousAnswer::Major : AmbiguousAnswer::Minor;
    return {};
}

std::string readProjectName(CliCommand& cmd, const std::string& name, const std::string& value) {
    if (std::string error = checkOutputFile(name, value); !error.empty()) return error;
    if (cmd.kind == CommandKind::Print) {
        cmd.pdfPath = value;
        return {};
    }
    // Only a .kvt file opens as a project again.
    cmd.output = hasProjectExtension(value) ? value : value + std::string(kProjectExtension);
    return {};
}

std::string readFolder(CliCommand& cmd, const std::string& name, const std::string& value) {
    if (value.empty())
        return name +
               (name == "--styles" ? " needs the style library's folder" : " needs a folder");
    std::string CliCommand::*const folder = name == "--outdir"       ? &CliCommand::outdir
                                            : name == "--export-dir" ? &CliCommand::exportDir
                                                                     : &CliCommand::stylesDir;
    cmd.*folder = value;
    return {};
}

std::string readOutputFile(CliCommand& cmd, const std::string& name, const std::string& value) {
    if (std::string error = checkOutputFile(name, value); !error.empty()) return error;
    (name == "--export" ? cmd.exportPath : cmd.wavPath) = value;
    return {};
}

std::string readTempo(CliCommand& cmd, const std::string&, const std::string& value) {
    const auto bpm = parseInt(value);
    if (!bpm || *bpm < kMinTempoBpm || *bpm > kMaxTempoBpm)
        return "--tempo needs beats per minute 8-255, not '" + value + "'";
    cmd.tempoBpm = *bpm;
    return {};
}

std::string readOutputName(CliCommand& cmd, const std::string&, const std::string& value) {
    if (value.empty()) return "--output needs the name of a MIDI output";
    cmd.outputName = value;
    return {};
}

std::string readStyle(CliCommand& cmd, const std::string&, const std::string& value) {
    if (value.empty()) return "--style needs a style's identifier or name, auto or none";
    const std::string v = lower(value);
    cmd.style = v == "auto" || v == "none" ? v : value;
    return {};
}

std::string readPrintText(CliCommand& cmd, const std::string& name, const std::string& value) {
    (name == "--title" ? cmd.title : cmd.author) = value;
    return {};
}

std::string readPaper(CliCommand& cmd, const std::string&, const std::string& value) {
    const std::string v = lower(value);
    if (v != "a4" && v != "letter") return "--paper needs A4 or Letter, not '" + value + "'";
    cmd.letterPaper = v == "letter";
    return {};
}

std::string readMeter(CliCommand& cmd, const std::string&, const std::string& value) {
    const auto slash = value.find('/');
    const auto num = parseInt(value.substr(0, slash));
    const auto den = slash == std::string::npos ? std::nullopt : parseInt(value.substr(slash + 1));
    if (!num || !den || *num < 1 || *num > 15 || *den < 1 || *den > 15)
        return "--meter needs a meter such as 3/4 or 6/8, not '" + value + "'";
    cmd.meterFilter = std::make_pair(*num, *den);
    return {};
}

// Which commands take an option.
enum CommandMask : unsigned {
    kForDump = 1u << 0,
    kForAnalyze = 1u << 1,
    kForHarmonize = 1u << 2,
    kForPlay = 1u << 3,
    kForStyles = 1u << 4,
    kForPrint = 1u << 5,
};
constexpr unsigned kForHarmony = kForAnalyze | kForHarmonize | kForPlay | kForPrint;

unsigned maskOf(CommandKind kind) {
    switch (kind) {
    case CommandKind::Dump:
        return kForDump;
    case CommandKind::Analyze:
        return kForAnalyze;
    case CommandKind::Harmonize:
        return kForHarmonize;
    case CommandKind::Play:
        return kForPlay;
    case CommandKind::Styles:
        return kForStyles;
    case CommandKind::Print:
        return kForPrint;
    case CommandKind::Help:
        break;
    }
    return 0;
}

struct OptionSpec {
    const char* name;
    bool takesValue;
    unsigned commands;
    OptionReader read; // null for --loop, which takes two values
};

constexpr OptionSpec kOptions[] = {
    {"--json", false, kForDump | kForAnalyze | kForStyles, readFlag},
    {"--channel", true, kForHarmony, readChannel},
    {"--draft", true, kForHarmony, readDraft},
    {"--key", true, kForHarmony, readKey},
    {"--ambiguous", true, kForHarmony, readAmbiguous},
    {"--reharmonize", false, kForHarmony, readFlag},
    {"--strict", false, kForHarmony, readFlag},
    {"--force", false, kForHarmonize, readFlag},
    {"-o", true, kForHarmonize | kForPrint, readProjectName},
    {"--title", true, kForPrint, readPrintText},
    {"--author", true, kForPrint, readPrintText},
    {"--paper", true, kForPrint, readPaper},
    {"--outdir", true, kForHarmonize, readFolder},
    {"--export", true, kForHarmonize, readOutputFile},
    {"--export-dir", true, kForHarmonize, readFolder},
    {"--wav", true, kForHarmonize, readOutputFile},
    {"--loop", true, kForPlay, nullptr},
    {"--tempo", true, kForPlay, readTempo},
    {"--output", true, kForPlay, readOutputName},
    {"--list-outputs", false, kForPlay, readFlag},
    {"--style", true, kForHarmony, readStyle},
    {"--styles", true, kForHarmony | kForStyles, readFolder},
    {"--meter", true, kForStyles, readMeter},
};

const OptionSpec* findOption(const std::string& name) {
    for (const OptionSpec& o : kOptions) {
        if (name == o.name) return &o;
    }
    return nullptr;
}

std::optional<CommandKind> commandNamed(const std::string& name) {
    if (name == "dump") return CommandKind::Dump;
    if (name == "analyze") return CommandKind::Analyze;
    if (name == "harmonize") return CommandKind::Harmonize;
    if (name == "play") return CommandKind::Play;
    if (name == "styles") return CommandKind::Styles;
    if (name == "print") return CommandKind::Print;
    return std::nullopt;
}

// Reads --loop FROM TO at args[i]; i moves past what it took.
std::string readLoop(CliCommand& cmd, const std::vector<std::string>& args, std::size_t& i) {
    if (i + 2 >= args.size()) return "--loop needs FROM and TO";
    cmd.loopFrom = args[++i];
    cmd.loopTo = args[++i];
    if (!parsePositionText(cmd.loopFrom) || !parsePositionText(cmd.loopTo))
        return "--loop needs two positions BAR[:BEAT[:TICK]] such as 3 or 5:2, not '" +
               cmd.loopFrom + "' '" + cmd.loopTo + "'";
    return {};
}

// Reads the option at args[i] (and its value); i moves past what it took.
std::string readOption(CliCommand& cmd, const std::string& commandName,
                       const std::vector<std::string>& args, std::size_t& i) {
    const std::string& name = args[i];
    const OptionSpec* spec = findOption(name);
    if (!spec || (spec->commands & maskOf(cmd.kind)) == 0)
        return "unknown option '" + name + "' for " + commandName;
    if (!spec->read) return readLoop(cmd, args, i);
    std::string value;
    if (spec->takesValue) {
        if (i + 1 >= args.size()) return name + " needs a value";
        value = args[++i];
    }
    return spec->read(cmd, name, value);
}

// What is wrong with the files and outputs of a complete command line.
std::string checkFiles(const CliCommand& cmd, const std::string& name) {
    const bool harmonize = cmd.kind == CommandKind::Harmonize;
    const bool several = cmd.files.size() > 1;
    if (cmd.kind == CommandKind::Styles)
        return cmd.files.empty()
                   ? std::string()
                   : "styles takes no FILE ('" + cmd.files.front() + "'); use --styles DIR";
    if (cmd.files.empty()) return name + (harmonize ? " needs at least one FILE" : " needs a FILE");
    if (!harmonize && several) return "more than one file given to " + name;
    if (cmd.kind == CommandKind::Print && cmd.pdfPath.empty())
        return "print needs -o OUT.pdf, the PDF file to write";
    if (several && !cmd.output.empty())
        return "-o names one project; use --outdir for several files";
    if (several && !cmd.exportPath.empty())
        return "--export names one MIDI file; use --export-dir for several files";
    if (several && !cmd.wavPath.empty()) return "--wav names one WAV file; give one input file";
    if (!cmd.output.empty() && !cmd.outdir.empty())
        return "-o and --outdir cannot be used together";
    return {};
}

} // namespace

std::optional<int> parseKeyName(const std::string& text) {
    if (const auto index = parseInt(text)) {
        if (*index >= 0 && *index < kKeyCount) return *index;
        return std::nullopt;
    }
    // German names only with their -dur or -moll ("B-dur", "h-moll"), and
    // English ones in full ("Bb major", "B minor").
    for (int key = 0; key < kKeyCount; ++key) {
        if (lower(text) == lower(std::string(KeyLongName(key))) ||
            lower(text) == lower(std::string(KeyEnglishName(key))))
            return key;
    }
    // Sharps and flats the English table spells the other way ("A# major",
    // "G# minor") go through the note name.
    for (const auto& [suffix, minorSuffix] :
         {std::pair<std::string_view, bool>{" major", false}, {" minor", true}}) {
        const std::string l = lower(text);
        if (l.size() > suffix.size() && l.ends_with(suffix)) {
            const auto pc = pitchClassOf(text.substr(0, text.size() - suffix.size()));
            if (!pc) return std::nullopt;
            for (int key = minorSuffix ? 12 : 0; key < (minorSuffix ? 24 : 12); ++key)
                if (keyTonic(key) == *pc) return key;
            return std::nullopt;
        }
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
           "  print FILE -o OUT.pdf [--title T] [--author A] [--paper A4|Letter]\n"
           "                             harmonize as analyze does and print the chords\n"
           "                             grid (numbered bars with their chords, on as many\n"
           "                             pages as needed) to a PDF file; no display needed\n"
           "  help                       show this text\n"
           "\n"
           "options of analyze, harmonize and print:\n"
           "  --channel N                the melody channel (0-15) when several qualify\n"
           "  --draft 1|2|3              harmony draft (default 1)\n"
           "  --key auto|file|INDEX|NAME the key: auto (recognized from the melody, the\n"
           "                             default), file (the file's key signature), an\n"
           "                             index 0-23, or a name such as C, Am, F#m, Bb,\n"
           "                             Bb major, B minor (English: B is H in German)\n"
           "                             or B-dur, h-moll (German, with -dur or -moll)\n"
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
    const auto isHelp = [](const std::string& a) {
        return a == "help" || a == "--help" || a == "-h";
    };
    if (isHelp(name)) {
        out.command = CliCommand{};
        return out;
    }
    const std::optional<CommandKind> kind = commandNamed(name);
    if (!kind) {
        out.error = "unknown command '" + name + "'";
        return out;
    }
    CliCommand cmd;
    cmd.kind = *kind;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a != "help" && isHelp(a)) {
            out.command = CliCommand{};
            return out;
        }
        if (!optionsEnded && a == "--") {
            optionsEnded = true; // what follows are file names, even "-dash.mid"
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            out.error = readOption(cmd, name, args, i);
            if (!out.error.empty()) return out;
        } else {
            cmd.files.push_back(a);
        }
    }
    // play --list-outputs needs no file.
    if (!(cmd.kind == CommandKind::Play && cmd.listOutputs && cmd.files.empty()))
        out.error = checkFiles(cmd, name);
    if (out.error.empty()) out.command = cmd;
    return out;
}

} // namespace korvanta::cli
