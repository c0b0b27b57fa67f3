# Tests of the chord palette, relative to tests/ui.
set(KORVANTA_UI_CHORDS_TESTS
    chords/ChordPaletteTest.cpp
)
