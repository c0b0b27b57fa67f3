# Sources of the print preview and the print dialogs, relative to src/ui.
set(KORVANTA_UI_PRINT_SOURCES
    print/PrintDialogs.cpp
    print/TfPrintPreview.cpp
)
