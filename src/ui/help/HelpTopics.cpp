#include "ui/help/HelpTopics.h"

#include <array>

namespace korvanta::ui {

namespace {

constexpr std::array<HelpTopic, 13> kTopics{{
    {kHelpContents, "index.html"},
    {kHelpQuickTour, "quicktour.html"},
    {kHelpMainWindow, "mainwindow.html"},
    {kHelpStyleDialog, "style.html"},
    {kHelpOptions, "options.html"},
    {kHelpDemos, "demos.html"},
    {kHelpManualHarmony, "manualharmony.html"},
    {kHelpChordPalette, "chordpalette.html"},
    {kHelpInstruments, "instruments.html"},
    {kHelpPrinting, "printing.html"},
    {kHelpChannelChoice, "channel.html"},
    {kHelpCommandLine, "commandline.html"},
    {kHelpNotesView, "melody.html"},
}};

} // namespace

std::span<const HelpTopic> helpTopics() {
    return kTopics;
}

QString helpTopicFile(int context) {
    for (const HelpTopic& topic : kTopics)
        if (topic.context == context) return QString::fromLatin1(topic.file);
    return QString::fromLatin1(kTopics.front().file);
}

} // namespace korvanta::ui
