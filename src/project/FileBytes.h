#pragma once
// Reading a whole file from outside into memory, with a size limit, for the
// readers that parse bytes (project files, style files, pattern sources).
// Nothing is allocated for a file larger than the limit.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvanta {

struct FileBytes {
    enum class Failure { None, Open, TooLarge, Read, Memory };

    std::vector<std::byte> bytes;
    Failure failure = Failure::None;
    std::string reason; // the system's text when opening failed

    bool ok() const { return failure == Failure::None; }
};

FileBytes readFileBytes(const std::filesystem::path& file, std::uintmax_t maxBytes);

} // namespace korvanta
