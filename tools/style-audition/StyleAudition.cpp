// korvanta-style-audition: plays every style of a library over I-IV-V7-I and
// i-iv-V7-i in each meter it lists, checks the notes against the chords and
// the sound for silence and clipping, and prints one line per style.

#include "Audition.h"
#include "playback/OfflineRender.h"
#include "styles/StyleLibrary.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

using namespace korvanta;
using namespace korvanta::audition;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kProblemsShown = 12;
constexpr unsigned kAllGroups = (1u << kStyleGroupCount) - 1;

constexpr char kUsage[] =
    "usage: korvanta-style-audition [options] STYLE_FOLDER\n"
    "\n"
    "Renders every style of the library in STYLE_FOLDER (styles.lst and the .stt\n"
    "files) over I-IV-V7-I in C major and i-iv-V7-i in A minor, in each meter the\n"
    "style lists, checks the notes and the rendered sound, and prints one line per\n"
    "style. Exits 1 when any style fails, 2 on a wrong argument.\n"
    "\n"
    "  --wav-dir DIR     also write the rendered audio, one WAV file per style and meter\n"
    "  --notes           print the rendered notes of each style\n"
    "  --style NAME      audition only this style (may be given more than once)\n"
    "  --soundfont FILE  the General MIDI SoundFont to render with\n"
    "  --help            show this text\n";

struct Arguments {
    std::filesystem::path folder;
    std::filesystem::path wavDir;
    std::filesystem::path soundFont;
    std::vector<std::string> styles;
    bool notes = false;
    bool help = false;
};

bool parseArguments(int argc, char** argv, Arguments& args, std::string& error) {
    bool haveFolder = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--notes") {
            args.notes = true;
        } else if (arg == "--wav-dir") {
            if (!value(text)) return false;
            args.wavDir = text;
        } else if (arg == "--soundfont") {
            if (!value(text)) return false;
            args.soundFont = text;
        } else if (arg == "--style") {
            if (!value(text)) return false;
            args.styles.push_back(text);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (haveFolder) {
            error = "only one style folder, please (" + arg + ")";
            return false;
        } else {
            args.folder = arg;
            haveFolder = true;
        }
    }
    if (!haveFolder && !args.help) {
        error = "no style folder given";
        return false;
    }
    return true;
}

bool wanted(const Arguments& args, const std::string& name) {
    if (args.styles.empty()) return true;
    return std::any_of(args.styles.begin(), args.styles.end(), [&](const std::string& s) {
        return std::equal(s.begin(), s.end(), name.begin(), name.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
    });
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

struct StyleOutcome {
    std::vector<std::string> problems;
    double lowestRms = 0;
    double highestPeak = 0;
    bool measured = false;
    int notes = 0;
};

StyleOutcome auditionStyle(const LoadedStyle& loaded, const Arguments& args, AuditionSynth* synth,
                           const std::string& audioProblem) {
    StyleOutcome outcome;
    const StyleRecord& style = loaded.style;
    if (!style.usable()) {
        outcome.problems.push_back("the style file holds no usable pattern (division, meter "
                                   "or event count)");
        return outcome;
    }
    std::vector<std::string> meterProblems;
    const std::vector<Meter> meters = auditionMeters(style, meterProblems);
    outcome.problems = meterProblems;
    if (!audioProblem.empty()) outcome.problems.push_back("audio: " + audioProblem);

    std::vector<std::int16_t> audio;
    for (std::size_t m = 0; m < meters.size(); ++m) {
        const std::string meter = meterText(meters[m]);
        const std::unique_ptr<TSong> song = renderAuditionSong(style, meters[m]);
        if (m == 0) outcome.notes = song->notes.Count(kChordList);
        for (const std::string& p : checkRenderedNotes(*song))
            outcome.problems.push_back(meter + " " + p);
        if (args.notes) {
            std::cout << "  " << loaded.entry.name << " in " << meter << ":\n";
            for (const std::string& line : describeNotes(*song))
                std::cout << "    " << line << "\n";
        }
        if (!synth) continue;

        if (MidiResult r = synth->render(*song, audio); !r) {
            outcome.problems.push_back(meter + " audio: the render failed: " + r.errorText());
            continue;
        }
        const AudioLevel level = measureLevel(audio);
        outcome.lowestRms =
            outcome.measured ? std::min(outcome.lowestRms, level.rmsDbfs) : level.rmsDbfs;
        outcome.highestPeak = std::max(outcome.highestPeak, level.peak);
        outcome.measured = true;
        for (const std::string& p : checkLevel(level))
            outcome.problems.push_back(meter + " audio: " + p);

        if (!args.wavDir.empty()) {
            std::string file = safeFileName(loaded.entry.name);
            if (m > 0)
                file += "-" + std::to_string(meters[m].numerator) + "-" +
                        std::to_string(meters[m].denominator);
            const MidiResult written =
                writeWavFile(args.wavDir / (file + ".wav"), audio,
                             static_cast<std::uint32_t>(synth->sampleRateHz()));
            if (!written) outcome.problems.push_back(meter + " " + written.errorText());
        }
    }
    return outcome;
}

std::string meterList(const StyleRecord& style) {
    std::vector<std::string> ignored;
    std::string text;
    for (const Meter& m : auditionMeters(style, ignored)) {
        if (!text.empty()) text += ',';
        text += meterText(m);
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parseArguments(argc, argv, args, error)) {
        std::cerr << "korvanta-style-audition: " << error << "\n\n" << kUsage;
        return kExitUsage;
    }
    if (args.help) {
        std::cout << kUsage;
        return kExitOk;
    }

    FluidSynthOptions synthOptions;
    if (!args.soundFont.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(args.soundFont, ec)) {
            std::cerr << "korvanta-style-audition: the SoundFont " << args.soundFont.string()
                      << " is not a readable file\n";
            return kExitUsage;
        }
        synthOptions.soundFont = args.soundFont;
        synthOptions.fallbackSoundFonts.clear();
    }

    StyleLibrary library;
    const StyleLibraryStatus status = library.load(args.folder, kAllGroups);
    if (status == StyleLibraryStatus::NoList || status == StyleLibraryStatus::NotCreated) {
        std::cerr << "korvanta-style-audition: the style library in " << args.folder.string()
                  << " could not be loaded"
                  << (library.error().empty() ? std::string() : ": " + library.error()) << "\n";
        return kExitFailed;
    }

    if (!args.wavDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(args.wavDir, ec);
        if (ec) {
            std::cerr << "korvanta-style-audition: cannot create the folder "
                      << args.wavDir.string() << ": " << ec.message() << "\n";
            return kExitFailed;
        }
    }

    // Without a SoundFont every style fails its audio check, saying why.
    std::string audioProblem;
    AuditionSynth synth(synthOptions);
    if (!FluidSynthOutput::findSoundFont(synthOptions)) {
        audioProblem = "no General MIDI SoundFont found (install fluid-soundfont-gm: "
                       "scripts/install-deps.sh), so the sound was not checked";
    } else if (MidiResult r = synth.open(); !r) {
        audioProblem = "the synth could not be opened: " + r.errorText();
    }
    AuditionSynth* renderer = audioProblem.empty() ? &synth : nullptr;

    int auditioned = 0;
    int failed = 0;
    for (int group = 0; group < kStyleGroupCount; ++group) {
        for (const LoadedStyle& loaded : library.group(group)) {
            if (!wanted(args, loaded.entry.name)) continue;
            ++auditioned;
            const StyleOutcome outcome = auditionStyle(loaded, args, renderer, audioProblem);
            const bool ok = outcome.problems.empty();
            if (!ok) ++failed;
            std::string line = padded(loaded.entry.name, 16) + padded(meterList(loaded.style), 12) +
                               (ok ? "ok    " : "FAIL  ");
            if (outcome.measured)
                line += "rms " + fixed(outcome.lowestRms, 1) + " dBFS peak " +
                        fixed(outcome.highestPeak, 2) + "  ";
            line += "notes " + std::to_string(outcome.notes);
            std::cout << line << "\n";
            for (std::size_t i = 0; i < outcome.problems.size() && i < kProblemsShown; ++i)
                std::cout << "    " << outcome.problems[i] << "\n";
            if (outcome.problems.size() > kProblemsShown)
                std::cout << "    ... and " << outcome.problems.size() - kProblemsShown
                          << " more\n";
        }
    }

    bool libraryFailed = false;
    if (status == StyleLibraryStatus::StyleFailed) {
        std::cout << "library: a style file could not be read"
                  << (library.error().empty() ? std::string() : ": " + library.error()) << "\n";
        libraryFailed = true;
    }
    if (auditioned == 0) {
        std::cout << (args.styles.empty() ? "library: it holds no styles"
                                          : "library: no style has the name asked for")
                  << "\n";
        return kExitFailed;
    }
    std::cout << auditioned << " styles auditioned, " << failed << " failed\n";
    return failed > 0 || libraryFailed ? kExitFailed : kExitOk;
}
