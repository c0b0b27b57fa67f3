# Sources of the options and manual harmony dialogs, relative to src/ui.
set(KORVANTA_UI_OPTIONS_SOURCES
    dialogs/TfChrMan.cpp
    dialogs/TfOptions.cpp
)
