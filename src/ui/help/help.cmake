# Sources of the help window and the help contexts, relative to src/ui.
set(KORVANTA_UI_HELP_SOURCES
    help/HelpContext.cpp
    help/HelpTopics.cpp
    help/HelpWindow.cpp
)
