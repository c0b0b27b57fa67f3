// korvanta-style-import: turns a pattern played over C into a style of a
// style library, from the command line or in a small window.
#include "ImportArgs.h"
#include "ImportWindow.h"

#include <iostream>
#include <string>
#include <vector>

using namespace korvanta::styleimport;

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
        return runImportWindow(argc, argv, parsed.command->folder);
    case ImportMode::Import:
        return runImportCommand(*parsed.command, std::cout, std::cerr);
    }
    return kExitUsage;
}
