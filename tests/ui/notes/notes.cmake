# Tests of the notes view, relative to tests/ui.
set(KORVANTA_UI_NOTES_TESTS
    notes/NotesViewTest.cpp
)
