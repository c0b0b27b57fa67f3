#include "io/FileBytes.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace korvanta {

namespace {

std::string errnoText(int code) {
    return std::error_code(code, std::generic_category()).message();
}

} // namespace

InputFile openInputFile(const std::filesystem::path& file) {
    InputFile out;
    const auto fail = [&out](std::string why) {
        static_cast<Outcome&>(out) = loadFailure(std::move(why));
    };
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(errnoText(errno));
        return out;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        fail(errnoText(errno));
        ::close(fd);
        return out;
    }
    if (!S_ISREG(info.st_mode)) {
        fail(S_ISDIR(info.st_mode) ? "it is a folder, not a file" : "not a regular file");
        ::close(fd);
        return out;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    out.stream = ::fdopen(fd, "rb");
    if (!out.stream) {
        fail(errnoText(errno));
        ::close(fd);
    }
    return out;
}

FileBytes readFileBytes(const std::filesystem::path& file, std::uintmax_t maxBytes) {
    FileBytes out;
    InputFile input = openInputFile(file);
    if (!input.stream) {
        out.failure = FileBytes::Failure::Open;
        out.status = kStatusLoadFailed;
        out.message = input.message;
        return out;
    }
    struct StreamCloser {
        std::FILE* stream;
        ~StreamCloser() { std::fclose(stream); }
    } closer{input.stream};

    struct stat info {};
    if (::fstat(::fileno(input.stream), &info) != 0 || info.st_size < 0) {
        out.failure = FileBytes::Failure::Read;
        out.status = kStatusLoadFailed;
        return out;
    }
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size > maxBytes) {
        out.failure = FileBytes::Failure::TooLarge;
        out.status = kStatusLoadFailed;
        return out;
    }
    try {
        out.bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        out.failure = FileBytes::Failure::Memory;
        out.status = kStatusLoadFailed;
        return out;
    }
    // A file that changes size while it is read is refused rather than half read.
    const std::size_t got = std::fread(out.bytes.data(), 1, out.bytes.size(), input.stream);
    if (got != size || std::fgetc(input.stream) != EOF) {
        out.bytes.clear();
        out.failure = FileBytes::Failure::Read;
        out.status = kStatusLoadFailed;
    }
    return out;
}

} // namespace korvanta
