# Tests of the instrument and mixer dialog, relative to tests/ui.
set(KORVANTA_UI_PATCHS_TESTS
    dialogs/TfPatchsTest.cpp
)
