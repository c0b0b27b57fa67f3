# Sources of the instrument and mixer dialog, relative to src/ui.
set(KORVANTA_UI_PATCHS_SOURCES
    dialogs/TfPatchs.cpp
)
