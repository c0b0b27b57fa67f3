#pragma once
// FakeMessageSink: a MessageSink for tests. It records every message it is
// asked to show, and answers confirmations from a queue of scripted answers
// (then with a fixed fallback answer, Cancel unless set). Owned by the test;
// single-threaded like the GUI it stands in for.

#include "messages/MessageSink.h"

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace korvanta {

class FakeMessageSink final : public MessageSink {
public:
    enum class Kind { Error, Warning, Confirm, Info };

    struct Message {
        Kind kind;
        std::string text;
        std::string caption;
    };

    void error(std::string_view text, std::string_view caption) override {
        record(Kind::Error, text, caption);
    }
    void warning(std::string_view text, std::string_view caption) override {
        record(Kind::Warning, text, caption);
    }
    MessageAnswer confirm(std::string_view text, std::string_view caption) override {
        record(Kind::Confirm, text, caption);
        if (m_answers.empty()) return m_fallbackAnswer;
        const MessageAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    void info(std::string_view text, std::string_view caption) override {
        record(Kind::Info, text, caption);
    }

    // Answers for the next confirmations, in order.
    void queueAnswer(MessageAnswer answer) { m_answers.push_back(answer); }
    void setFallbackAnswer(MessageAnswer answer) { m_fallbackAnswer = answer; }

    const std::vector<Message>& messages() const { return m_messages; }
    bool empty() const { return m_messages.empty(); }
    std::size_t count(Kind kind) const {
        std::size_t n = 0;
        for (const Message& message : m_messages)
            if (message.kind == kind) ++n;
        return n;
    }
    const Message& last() const { return m_messages.back(); }
    void clear() { m_messages.clear(); }

private:
    void record(Kind kind, std::string_view text, std::string_view caption) {
        m_messages.push_back({kind, std::string(text), std::string(caption)});
    }

    std::vector<Message> m_messages;
    std::deque<MessageAnswer> m_answers;
    MessageAnswer m_fallbackAnswer = MessageAnswer::Cancel;
};

} // namespace korvanta
