#pragma once
// Reading a whole file from outside into memory, with a size limit, for the
// readers that parse bytes (project files, style files, pattern sources).
// Nothing is allocated for a file larger than the limit.

#include "io/Result.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace korvanta {

// The bytes, or a failure (kStatusLoadFailed) whose message is the system's
// reason when the file could not be opened.
struct FileBytes : Outcome {
    enum class Failure { None, Open, TooLarge, Read, Memory };

    std::vector<std::byte> bytes;
    Failure failure = Failure::None;
};

FileBytes readFileBytes(const std::filesystem::path& file, std::uintmax_t maxBytes);

// Opens a file from outside for reading. Only a regular file is opened: a FIFO,
// a device or a folder is refused before anything waits on it (the open does
// not block). On failure (kStatusLoadFailed) the stream is null and the
// message says why.
struct InputFile : Outcome {
    std::FILE* stream = nullptr;
};
InputFile openInputFile(const std::filesystem::path& file);

} // namespace korvanta
