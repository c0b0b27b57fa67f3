#pragma once
// FakeTuneQuestions: TuneQuestions for tests. Every question is recorded;
// answers come from fields the test sets (a channel, the minor-key and
// save answers, a save path), Cancel and nothing by default.

#include "messages/TuneQuestions.h"

#include <optional>
#include <string>
#include <vector>

namespace korvanta {

class FakeTuneQuestions final : public TuneQuestions {
public:
    std::optional<int> channel;
    MessageAnswer minorAnswer = MessageAnswer::Cancel;
    MessageAnswer saveAnswer = MessageAnswer::Cancel;
    std::optional<std::string> savePath;

    std::vector<std::string> asked; // every question's text, in order
    std::vector<ChannelOption> offeredChannels;

    std::optional<int> melodyChannel(std::string_view question,
                                     const std::vector<ChannelOption>& channels) override {
        asked.emplace_back(question);
        offeredChannels = channels;
        return channel;
    }
    MessageAnswer minorKey(std::string_view question) override {
        asked.emplace_back(question);
        return minorAnswer;
    }
    MessageAnswer saveChanges(std::string_view question) override {
        asked.emplace_back(question);
        return saveAnswer;
    }
    std::optional<std::string> projectPathForSave(std::string_view suggested) override {
        asked.emplace_back("save as " + std::string(suggested));
        return savePath;
    }
};

} // namespace korvanta
