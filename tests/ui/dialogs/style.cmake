# Tests of the style dialog, relative to tests/ui.
set(KORVANTA_UI_STYLE_TESTS
    dialogs/TfStyleTest.cpp
)
