#include "TuneRun.h"

#include "ui/MsgList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

namespace korvanta::cli {

namespace {

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string channelList(const MelodyChannelChoice& choice) {
    std::string text;
    for (const MelodyChannel& c : choice.channels) {
        if (!text.empty()) text += ", ";
        text += std::to_string(c.channel);
        text += c.program >= 0 ? " (program " + std::to_string(c.program) + ")" : "";
    }
    return text;
}

// Loads a MIDI file and settles its melody channel; false when the run ends.
bool loadMidi(TuneRun& run, const CliCommand& cmd) {
    ChordMaster& m = *run.master;
    run.status = m.loadMidiFile();
    if (run.status != kStatusSeveralChannels && cmd.channel && m.melodyChannel() >= 0 &&
        m.melodyChannel() != *cmd.channel) {
        run.message = "--channel " + std::to_string(*cmd.channel) +
                      ": this file has notes on channel " + std::to_string(m.melodyChannel()) +
                      " only; that is its melody";
        return false;
    }
    if (run.status == kStatusSeveralChannels) {
        if (cmd.channel) {
            run.status = m.prepareMelodyChannel(*cmd.channel);
        } else {
            const MelodyChannelChoice choice = m.melodyChannelChoice();
            run.status = m.status();
            if (choice.status == kStatusSeveralChannels) {
                run.message = terminalText(kSelectChannelText) +
                              "\nMelody channels: " + channelList(choice) +
                              ". Choose one with --channel N.";
                return false;
            }
        }
    }
    return true;
}

bool loadProject(TuneRun& run) {
    run.status = run.master->loadProjectFile();
    if (run.status == kStatusLoadFailed) {
        run.message = run.master->projectMessage();
        return false;
    }
    return true;
}

} // namespace

std::string terminalText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::unique_ptr<TuneRun> runTune(const CliCommand& cmd, const std::string& path, std::ostream& warn,
                                 AskFunction ask) {
    auto run = std::make_unique<TuneRun>();
    run->path = path;
    // A MIDI file starts from the built-in settings; a project brings its own.
    run->settings = kBuiltInHarmonySettings;
    const std::string ext = lowerExtension(path);
    if (ext != ".mid" && ext != ".kvt") {
        run->status = kStatusLoadFailed;
        run->message = terminalText(unknownFileTypeMessage(path).text);
        return run;
    }
    run->kind = ext == ".kvt" ? TuneKind::Project : TuneKind::Midi;
    run->master = std::make_unique<ChordMaster>(path, 0, run->settings);
    ChordMaster& m = *run->master;

    const bool loaded = run->kind == TuneKind::Midi ? loadMidi(*run, cmd) : loadProject(*run);
    if (!loaded) return run;
    if (run->status == kStatusKeyNotRecognised) {
        // The melody is prepared but its key cannot be told: the key signature
        // decides unless a key is given.
        warn << terminalText(statusText(kStatusKeyNotRecognised)) << "\n";
        run->settings.AutoKey = false;
    } else if (run->status != kStatusOk) {
        const Message msg = openStatusMessage(run->status, path);
        run->message = terminalText(msg.text.empty() ? statusText(run->status) : msg.text);
        if (run->message.empty()) run->message = "Can't open file " + path;
        if (const auto& d = m.loadDiagnostics(); !d.empty())
            for (const std::string& line : d)
                run->message += "\n  " + line.substr(0, line.find('\n'));
        return run;
    }

    for (const std::string& line : m.loadDiagnostics()) {
        std::string text = line.substr(0, line.find('\n'));
        warn << "korvanta-cli: " << printable(path) << ": " << printable(text) << "\n";
        run->warnings.push_back(std::move(text));
    }
    if (cmd.strict && !run->warnings.empty()) {
        run->message = "the file was read with warnings, and --strict counts that as a failure";
        return run;
    }

    // A project keeps its stored chords unless asked to harmonize afresh.
    if (run->kind == TuneKind::Project && !cmd.reharmonize && !m.song()->barHarmony.empty()) {
        run->harmonized = true;
        run->status = kStatusOk;
        return run;
    }

    if (run->kind == TuneKind::Midi || cmd.draftGiven) m.applyDraft(cmd.draft);
    if (cmd.key) {
        if (*cmd.key == kAutoKey)
            m.setAutoKey();
        else if (*cmd.key == kFileKey)
            m.settings().AutoKey = false; // as the key box after an unknown key
        else
            m.setKeyByHand(*cmd.key);
    }

    run->status = m.Harmonize();
    if (run->status == kStatusKeyAmbiguous) {
        Answer answer = Answer::Cancel;
        if (cmd.ambiguous == AmbiguousAnswer::Major)
            answer = Answer::No;
        else if (cmd.ambiguous == AmbiguousAnswer::Minor)
            answer = Answer::Yes;
        else if (ask)
            answer = ask(std::string(statusText(kStatusKeyAmbiguous)));
        if (answer == Answer::Cancel) {
            run->message = "The melody fits a major key and its relative minor alike; answer with "
                           "--ambiguous major or --ambiguous minor.";
            return run;
        }
        run->status = m.answerMinorKeyQuestion(answer == Answer::Yes);
    }
    if (run->status == kStatusManyKeys) {
        warn << terminalText(statusText(kStatusManyKeys)) << "\n";
    } else if (run->status != kStatusOk) {
        const std::string_view text = statusText(run->status);
        run->message = text.empty() ? createStatusMessage(run->status).text : terminalText(text);
        if (run->status == kStatusKeyUnknown)
            run->message += "\nGive the key with --key (for example --key C or --key Am), or "
                            "take the file's key signature with --key file.";
        return run;
    }
    run->harmonized = true;
    return run;
}

} // namespace korvanta::cli
