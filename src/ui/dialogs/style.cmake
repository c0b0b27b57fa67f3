# Sources of the style dialog, relative to src/ui.
set(KORVANTA_UI_STYLE_SOURCES
)
