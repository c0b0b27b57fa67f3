#include "session/PatchNames.h"

#include "io/FileBytes.h"

namespace korvanta {

namespace {

// A list of 128 short names is a few kilobytes; anything far larger is no
// such list.
constexpr std::uintmax_t kMaxPatchFileBytes = 1u << 20;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view line) {
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back()))
        line.remove_suffix(1);
    return line;
}

} // namespace

PatchNames numberedPatchNames() {
    PatchNames names;
    for (int i = 0; i < kPatchCount; ++i)
        names[static_cast<std::size_t>(i)] = std::to_string(i + 1);
    return names;
}

PatchNames parsePatchNames(std::string_view text) {
    PatchNames names = numberedPatchNames();
    std::size_t program = 0;
    std::size_t pos = 0;
    while (pos < text.size() && program < names.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view name = trimmed(text.substr(pos, end - pos));
        if (!name.empty()) names[program] = std::string(name.substr(0, kMaxPatchNameLength));
        ++program;
        // CR LF ends one line, not two.
        pos = end + 1;
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    return names;
}

Result<PatchNames> readPatchNames(const std::filesystem::path& file) {
    const FileBytes read = readFileBytes(file, kMaxPatchFileBytes);
    if (!read.ok()) {
        std::string why = read.message;
        if (read.failure == FileBytes::Failure::TooLarge)
            why = "it is too large for a list of names";
        if (why.empty()) why = "it could not be read to its end";
        return loadFailure("The instrument names " + file.string() + " could not be read: " + why +
                           ".");
    }
    const std::string_view text(reinterpret_cast<const char*>(read.bytes.data()),
                                read.bytes.size());
    return parsePatchNames(text);
}

} // namespace korvanta
