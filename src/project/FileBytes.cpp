#include "project/FileBytes.h"

#include <fstream>
#include <new>

namespace korvanta {

FileBytes readFileBytes(const std::filesystem::path& file, std::uintmax_t maxBytes) {
    FileBytes out;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        out.failure = FileBytes::Failure::Open;
        out.reason = ec.message();
        return out;
    }
    if (size > maxBytes) {
        out.failure = FileBytes::Failure::TooLarge;
        return out;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        out.failure = FileBytes::Failure::Read;
        return out;
    }
    try {
        out.bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        out.failure = FileBytes::Failure::Memory;
        return out;
    }
    in.read(reinterpret_cast<char*>(out.bytes.data()),
            static_cast<std::streamsize>(out.bytes.size()));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        out.bytes.clear();
        out.failure = FileBytes::Failure::Read;
    }
    return out;
}

} // namespace korvanta
