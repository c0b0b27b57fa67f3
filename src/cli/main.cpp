// korvanta-cli: harmonizes and inspects melodies without a window.
#include "CliArgs.h"
#include "Commands.h"
#include "StyleOption.h"

#include <iostream>
#include <string>
#include <vector>

using namespace korvanta::cli;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CliParse parsed = parseArguments(args);
    if (!parsed.command) {
        std::cerr << "korvanta-cli: " << parsed.error << "\n\n" << usageText();
        return kExitUsage;
    }
    switch (parsed.command->kind) {
    case CommandKind::Help:
        std::cout << usageText();
        return kExitOk;
    case CommandKind::Dump:
        return runDump(*parsed.command, std::cout, std::cerr);
    case CommandKind::Analyze:
        return runAnalyze(*parsed.command, std::cout, std::cerr);
    case CommandKind::Harmonize:
        return runHarmonize(*parsed.command, std::cout, std::cerr);
    case CommandKind::Play:
        return runPlay(*parsed.command, std::cout, std::cerr);
    case CommandKind::Styles:
        return runStyles(*parsed.command, std::cout, std::cerr);
    }
    return kExitUsage;
}
