#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace korvanta {

// Moves a stream to offset bytes from its start. std::fseek takes a long, which holds 32 bits on
// some platforms, so a larger offset is reached in steps from the start.
inline bool seekStream(std::FILE* file, std::uint64_t offset) {
    constexpr auto kStep = static_cast<std::uint64_t>(std::numeric_limits<long>::max());
    std::uint64_t step = std::min(offset, kStep);
    if (std::fseek(file, static_cast<long>(step), SEEK_SET) != 0) return false;
    for (offset -= step; offset > 0; offset -= step) {
        step = std::min(offset, kStep);
        if (std::fseek(file, static_cast<long>(step), SEEK_CUR) != 0) return false;
    }
    return true;
}

} // namespace korvanta
