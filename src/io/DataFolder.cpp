#include "io/DataFolder.h"

#include <system_error>

namespace korvanta {

namespace fs = std::filesystem;

fs::path runningProgramPath() {
    std::error_code ec;
    fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return program;
}

fs::path installedDataFolder(const fs::path& program) {
    if (program.empty() || !program.has_parent_path()) return {};
    const fs::path folder =
        (program.parent_path() / ".." / "share" / "korvanta").lexically_normal();
    // gmi.txt marks the folder: every install has it, and a stray empty
    // share/korvanta (a failed install, say) does not count.
    std::error_code ec;
    if (!fs::is_regular_file(folder / "gmi.txt", ec)) return {};
    return folder;
}

fs::path programDataFolder(const fs::path& program) {
    fs::path installed = installedDataFolder(program);
    if (!installed.empty()) return installed;
    return fs::path(KORVANTA_DATA_DIR);
}

fs::path programDataFolder() {
    return programDataFolder(runningProgramPath());
}

} // namespace korvanta
