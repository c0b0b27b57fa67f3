# Sources of the notes view, relative to src/ui.
set(KORVANTA_UI_NOTES_SOURCES
    notes/NotesView.cpp
)
