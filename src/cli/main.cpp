// korvanta-cli: harmonizes and inspects melodies without a window.
#include "Commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return korvanta::cli::runCommandLine(args, std::cout, std::cerr);
}
