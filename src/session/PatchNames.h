#pragma once
// The instrument names of the 128 General MIDI programs, read from the data
// folder's "gmi.txt" (one name per line, program 0 first). Both programs name
// a channel's program with them: the window in its patch captions and the
// channel choice.

#include "io/Result.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvanta {

constexpr int kPatchCount = 128;
using PatchNames = std::array<std::string, kPatchCount>;

// The names "1" ... "128": what a program is called when the file names fewer.
PatchNames numberedPatchNames();

// The names in text: one per line (LF, CR LF or CR), blanks around a name
// dropped, at most kMaxPatchNameLength bytes of it kept. Lines beyond the 128th
// are ignored; programs without a line, or with an empty one, keep their number.
constexpr std::size_t kMaxPatchNameLength = 64;
PatchNames parsePatchNames(std::string_view text);

// The names in file; a failure (kStatusLoadFailed) names the file and says why.
Result<PatchNames> readPatchNames(const std::filesystem::path& file);

} // namespace korvanta
