#pragma once
// A path in the temporary folder that no other test process uses: ctest runs
// test cases in parallel processes, which may start in the same millisecond.

#include <filesystem>
#include <random>
#include <string>

namespace korvanta::test {

inline std::filesystem::path scratchPath(const std::string& prefix,
                                         const std::string& suffix = {}) {
    std::random_device seed;
    return std::filesystem::temp_directory_path() /
           (prefix + "-" + std::to_string(seed()) + "-" + std::to_string(seed()) + suffix);
}

} // namespace korvanta::test
