#pragma once
// The message table: the text of every user message that a status code
// stands for, and the texts shared by several windows. Pure functions over
// constant data, callable from any thread; no Qt, so the command-line program
// uses it too. Lines inside a text are separated by "\n\r".

#include "io/StatusCodes.h"

#include <string>
#include <string_view>

namespace korvanta {

// How a message is shown.
enum class MessageKind { None, Error, Warning, Confirmation, Plain };

struct Message {
    MessageKind kind = MessageKind::None;
    std::string text;

    friend bool operator==(const Message&, const Message&) = default;
};

// The channel choice shown for a file with a melody on several channels.
constexpr std::string_view kSelectChannelCaption = "Select Channel of Melody";
constexpr std::string_view kSelectChannelText =
    "Single-voiced tunes were detected in several channels. Please, select one of them.";
// Label of a channel without a program change in the channel choice.
constexpr std::string_view kChannelWithoutProgram = " - Channel";

// Texts of the main window.
constexpr std::string_view kSetupAgain = "Please run setup again";
constexpr std::string_view kManualHarmonyDone = "Manualy  .....";
constexpr std::string_view kCantApplyStyle = "   Can't apply selected style   ";
constexpr std::string_view kPrintingAborted = "Printing aborted";
constexpr std::string_view kPrinterNotStarted = "The printer could not be started.";
// The bug report command without a browser: "Visit %s." with the site address.
std::string visitSiteText(std::string_view site);
// The warning of "Style..." when no style fits the song's meter ("3/4").
std::string noStyleForMeterText(std::string_view meter);

// The fixed text the table holds for status, empty when the status has none
// (success, the channel choice, and the codes reported with a file name or a
// number).
std::string_view statusText(Status status);

// The message after opening path ended with status: none for 0 and 89, the
// key warning for 92 (the song stays open), an error for everything else;
// codes without a text of their own give "Can't open file " + path + the code.
Message openStatusMessage(Status status, std::string_view path);

// The message when path is neither a MIDI file nor a project file.
Message unknownFileTypeMessage(std::string_view path);

// The message after creating an accompaniment ended with status: none for 0,
// the minor-key question for 96, the key warnings for 95 and 97, and
// "Error " + the code for everything else.
Message createStatusMessage(Status status);

} // namespace korvanta
