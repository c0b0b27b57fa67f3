# Sources of the composition info dialog and the About box, relative to src/ui.
set(KORVANTA_UI_INFO_SOURCES
    dialogs/TfAbout.cpp
    dialogs/TfIV.cpp
)
