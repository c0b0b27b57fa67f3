#include "TuneRun.h"

#include "messages/MsgList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

namespace korvanta::cli {

namespace {

std::string channelList(const std::vector<ChannelOption>& channels) {
    std::string text;
    for (const ChannelOption& c : channels) {
        if (!text.empty()) text += ", ";
        text += std::to_string(c.channel);
        text += c.program >= 0 ? " (program " + std::to_string(c.program) + ")" : "";
    }
    return text;
}

std::string messageText(const SessionResult& result) {
    return result.messages.empty() ? std::string() : terminalText(result.messages.front().text);
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

std::optional<int> CliQuestions::melodyChannel(std::string_view,
                                               const std::vector<ChannelOption>& channels) {
    m_offered = channels;
    return m_cmd.channel;
}

MessageAnswer CliQuestions::minorKey(std::string_view question) {
    if (m_cmd.ambiguous == AmbiguousAnswer::Major) return MessageAnswer::No;
    if (m_cmd.ambiguous == AmbiguousAnswer::Minor) return MessageAnswer::Yes;
    const Answer answer = m_ask ? m_ask(std::string(question)) : Answer::Cancel;
    return answer == Answer::Yes  ? MessageAnswer::Yes
           : answer == Answer::No ? MessageAnswer::No
                                  : MessageAnswer::Cancel;
}

namespace {

// Opens the tune; false (with the run's message set) when it cannot go on.
bool openTune(TuneRun& run, const CliCommand& cmd, TuneSession& session,
              const CliQuestions& questions, std::ostream& warn) {
    const SessionResult opened = session.open(run.path);
    run.status = opened.status;
    run.master = session.hasSong() ? session.masterForUpdate() : session.failedOpen();
    if (opened.status == kStatusSeveralChannels && !cmd.channel) {
        run.message = terminalText(kSelectChannelText) +
                      "\nMelody channels: " + channelList(questions.offeredChannels()) +
                      ". Choose one with --channel N.";
        return false;
    }
    if (!session.hasSong()) {
        run.message = messageText(opened);
        if (run.message.empty()) run.message = "Can't open file " + run.path;
        for (const std::string& line : session.readerDiagnostics())
            run.message += "\n  " + line.substr(0, line.find('\n'));
        return false;
    }
    const int channel = run.master->melodyChannel();
    if (cmd.channel && run.kind == TuneKind::Midi && questions.offeredChannels().empty() &&
        channel >= 0 && channel != *cmd.channel) {
        run.message = "--channel " + std::to_string(*cmd.channel) +
                      ": the melody of this file is on channel " + std::to_string(channel) +
                      ", the only channel that can carry one";
        return false;
    }
    if (run.status == kStatusKeyNotRecognised) {
        // The melody is prepared but its key cannot be told: the key signature
        // decides unless a key is given.
        warn << terminalText(statusText(kStatusKeyNotRecognised)) << "\n";
    }
    for (const std::string& line : session.readerDiagnostics()) {
        std::string text = line.substr(0, line.find('\n'));
        warn << "korvanta-cli: " << printable(run.path) << ": " << printable(text) << "\n";
        run.warnings.push_back(std::move(text));
    }
    if (cmd.strict && !run.warnings.empty()) {
        run.message = "the file was read with warnings, and --strict counts that as a failure";
        return false;
    }
    return true;
}

} // namespace

TuneRun runTune(const CliCommand& cmd, TuneSession& session, CliQuestions& questions,
                const std::string& path, std::ostream& warn) {
    TuneRun run;
    run.path = path;
    run.kind = songKindOf(path) == SongKind::Project ? TuneKind::Project : TuneKind::Midi;
    if (!openTune(run, cmd, session, questions, warn)) return run;

    // A project keeps its stored chords unless asked to harmonize afresh.
    if (run.kind == TuneKind::Project && !cmd.reharmonize && session.harmonized()) {
        run.harmonized = true;
        run.status = kStatusOk;
        return run;
    }

    if (run.kind == TuneKind::Midi || cmd.draftGiven) session.applyDraft(cmd.draft);
    if (cmd.key)
        session.chooseKey(*cmd.key == kAutoKey   ? kKeyAuto
                          : *cmd.key == kFileKey ? kKeyFromFile
                                                 : *cmd.key);

    const SessionResult created = session.createAccompaniment(true);
    run.status = created.status;
    if (created.status == kStatusKeyAmbiguous) {
        run.message = "The melody fits a major key and its relative minor alike; answer with "
                      "--ambiguous major or --ambiguous minor.";
        return run;
    }
    if (created.status == kStatusManyKeys) {
        warn << terminalText(statusText(kStatusManyKeys)) << "\n";
    } else if (created.status != kStatusOk) {
        const std::string_view text = statusText(created.status);
        run.message = text.empty() ? createStatusMessage(created.status).text : terminalText(text);
        if (created.status == kStatusKeyUnknown)
            run.message += "\nGive the key with --key (for example --key C or --key Am), or "
                           "take the file's key signature with --key file.";
        return run;
    }
    run.harmonized = true;
    return run;
}

} // namespace korvanta::cli
