// korvanta-style-import: turns a pattern played over C into a style of a
// style library, from the command line or in a small window.
#include "ImportArgs.h"
#include "ImportWindow.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

using namespace korvanta::styleimport;

namespace {

bool variableSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt aborts the whole process when it finds no display for a window; the
// tool says so itself first, and shows the way that needs none.
bool windowCanOpen() {
    return variableSet("QT_QPA_PLATFORM") || variableSet("DISPLAY") ||
           variableSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ImportParse parsed = parseImportArguments(args);
    if (!parsed.command) {
        std::cerr << "korvanta-style-import: " << parsed.error << "\n\n" << importUsageText();
        return kExitUsage;
    }
    switch (parsed.command->mode) {
    case ImportMode::Help:
        std::cout << importUsageText();
        return kExitOk;
    case ImportMode::Window:
        if (!windowCanOpen()) {
            std::cerr << "korvanta-style-import: the window needs a display, and there is none "
                         "here.\nWithout a window, import from the command line:\n"
                         "  korvanta-style-import --from FILE.mid --name NAME --group G "
                         "STYLES_FOLDER\n(korvanta-style-import --help says more)\n";
            return kExitFailed;
        }
        return runImportWindow(argc, argv, parsed.command->folder);
    case ImportMode::Import:
        return runImportCommand(*parsed.command, std::cout, std::cerr);
    }
    return kExitUsage;
}
