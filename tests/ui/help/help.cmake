# Tests of the help window, the help contexts and the help pages, relative to
# tests/ui. Included after korvanta_ui_tests is made, so they join it here.
set(KORVANTA_UI_HELP_TESTS
    help/HelpPagesTest.cpp
    help/HelpWindowTest.cpp
)
target_sources(korvanta_ui_tests PRIVATE ${KORVANTA_UI_HELP_TESTS})
