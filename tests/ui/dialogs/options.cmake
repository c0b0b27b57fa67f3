# Tests of the options and manual harmony dialogs, relative to tests/ui.
set(KORVANTA_UI_OPTIONS_TESTS
    dialogs/TfOptionsTest.cpp
)
