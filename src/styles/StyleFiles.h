#pragma once
// Reading and writing the style library's files: the list "styles.lst" and
// one ".stt" file per style. Readers take bytes from outside and check every
// count and length against what is there; writers produce the same layout and
// save through a temporary file renamed over the target, so a failed save
// never leaves a half-written list or style behind.

#include "io/Result.h"
#include "styles/StyleRecords.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvanta {

inline constexpr char kStyleListFileName[] = "styles.lst";
inline constexpr char kStyleFileExtension[] = ".stt";

// ---- the list file ----

// Parses list bytes. Groups whose bit is set in `mask` are read; the others
// are skipped (left empty). Fails (with a reason in `error`) when the magic is
// not "LST", the counts are missing, or the entries they announce are not all
// there.
Result<StyleList> parseStyleList(std::span<const std::byte> bytes, unsigned mask);
Result<StyleList> readStyleList(const std::filesystem::path& file, unsigned mask);

std::vector<std::byte> encodeStyleList(const StyleList& list);
Outcome writeStyleList(const std::filesystem::path& file, const StyleList& list);

// ---- style files ----

// A style as read; it fails when the file could not be opened, ended early or
// holds no usable meter, and then keeps what was read.
using StyleLoad = Result<StyleRecord>;

StyleLoad parseStyle(std::span<const std::byte> bytes);
// Whether a list entry's name can stand for a file in the styles folder: not
// empty, no folder separators or drive colons, no control characters, and not
// "." or "..". A list naming anything else never leads the reader out of the
// folder.
bool isSafeStyleName(const std::string& name);
// Reads folder / (entry name + ".stt"); fails for names isSafeStyleName refuses.
StyleLoad loadStyle(const std::filesystem::path& folder, const StyleListEntry& entry);
std::filesystem::path styleFilePath(const std::filesystem::path& folder, const std::string& name);

std::vector<std::byte> encodeStyle(const StyleRecord& style);
Outcome writeStyle(const std::filesystem::path& file, const StyleRecord& style);

// Writes bytes to a temporary file beside `file` and renames it over `file`.
Outcome writeFileAtomically(const std::filesystem::path& file, std::span<const std::byte> bytes);

} // namespace korvanta
