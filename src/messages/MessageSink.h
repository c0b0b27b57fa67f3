#pragma once
// MessageSink: the one way any part of the program shows a message box to the
// user. The GUI implements it with modal message boxes; tests use a recording
// fake that answers confirmations from a script. Implementations are owned by
// whoever creates them (the main window for the GUI) and outlive every user;
// calls come from the GUI thread only, because a message box is modal there.
//
// Texts and captions are UTF-8.

#include <string_view>

namespace korvanta {

// The button the user chose in a confirmation.
enum class MessageAnswer { Yes, No, Cancel };

class MessageSink {
public:
    virtual ~MessageSink() = default;

    // Error box with an OK button.
    virtual void error(std::string_view text, std::string_view caption) = 0;
    // Warning box with an OK button.
    virtual void warning(std::string_view text, std::string_view caption) = 0;
    // Question with the buttons Yes, No and Cancel; closing the box is Cancel.
    virtual MessageAnswer confirm(std::string_view text, std::string_view caption) = 0;
    // Plain information box with an OK button.
    virtual void info(std::string_view text, std::string_view caption) = 0;

protected:
    MessageSink() = default;
    MessageSink(const MessageSink&) = default;
    MessageSink& operator=(const MessageSink&) = default;
};

} // namespace korvanta
