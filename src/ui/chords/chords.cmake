# Sources of the chord palette, relative to src/ui.
set(KORVANTA_UI_CHORDS_SOURCES
    chords/ChordPalette.cpp
)
