# Sources of the style dialog, relative to src/ui.
set(KORVANTA_UI_STYLE_SOURCES
    dialogs/StyleAudition.cpp
    dialogs/StyleThumbnail.cpp
    dialogs/TfStyle.cpp
)
