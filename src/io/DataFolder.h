#pragma once
// Where the program's data lie (gmi.txt, Styles, samples, help, images): an
// installed program finds them in share/korvanta beside its bin folder, a
// program run from its build tree in the source tree's data folder. Every
// program and tool asks here, so an installed one needs no set-up.

#include <filesystem>

namespace korvanta {

// The running program's own file, read from /proc/self/exe (links resolved);
// empty when the system does not say.
std::filesystem::path runningProgramPath();

// <prefix>/share/korvanta for a program in <prefix>/bin, when that folder
// holds gmi.txt; else empty.
std::filesystem::path installedDataFolder(const std::filesystem::path& program);

// The installed data folder of `program`, else the data folder of the source
// tree this was built from.
std::filesystem::path programDataFolder(const std::filesystem::path& program);

// programDataFolder() of the running program.
std::filesystem::path programDataFolder();

} // namespace korvanta
