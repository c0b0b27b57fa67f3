#include "PlayProgress.h"

#include <algorithm>
#include <cstdio>

namespace korvanta::cli {

std::string progressBar(std::int64_t doneTicks, std::int64_t totalTicks, int width) {
    width = std::max(width, 1);
    const std::int64_t done =
        std::clamp<std::int64_t>(doneTicks, 0, std::max<std::int64_t>(totalTicks, 0));
    const std::int64_t percent = totalTicks > 0 ? done * 100 / totalTicks : 100;
    const auto filled = static_cast<int>(totalTicks > 0 ? done * width / totalTicks : width);
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", static_cast<int>(percent));
    // Built by appending: GCC 12 warns wrongly about a + chain starting with a literal.
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    return bar.append("] ").append(number);
}

} // namespace korvanta::cli
