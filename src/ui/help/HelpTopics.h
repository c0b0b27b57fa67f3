#pragma once
// The help pages' context numbers and the page of each. A window names its
// topic with setHelpContext (HelpContext.h); the help window turns the number
// into a file of the help folder.

#include <QString>
#include <span>

namespace korvanta::ui {

constexpr int kHelpContents = 1;
constexpr int kHelpQuickTour = 2;
constexpr int kHelpMainWindow = 8;
constexpr int kHelpStyleDialog = 24;
constexpr int kHelpOptions = 26;
constexpr int kHelpDemos = 28;
constexpr int kHelpManualHarmony = 30;
constexpr int kHelpChordPalette = 32;
constexpr int kHelpInstruments = 34;
constexpr int kHelpPrinting = 36;
constexpr int kHelpChannelChoice = 38;
constexpr int kHelpCommandLine = 40;
constexpr int kHelpNotesView = 42;

struct HelpTopic {
    int context;
    const char* file; // relative to the help folder
};

// Every topic with its page, the contents first.
std::span<const HelpTopic> helpTopics();

// The page of a context number; the contents page for an unknown one.
QString helpTopicFile(int context);

} // namespace korvanta::ui
