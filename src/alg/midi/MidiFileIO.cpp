#include "alg/midi/MidiFileIO.h"

#include "alg/midi/StreamSeek.h"
#include "io/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <system_error>

namespace korvanta {

namespace {

constexpr std::uint64_t kMaxFileSize = std::numeric_limits<std::uint32_t>::max();

// The size of a seekable stream, or -1; the stream stays where it was.
std::int64_t streamSize(std::FILE* file) {
    std::fpos_t here;
    if (std::fgetpos(file, &here) != 0) return -1;
    // Seeking writes out what the stream still buffers, so the size counts it; a stream that
    // cannot seek (a pipe) fails here.
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    std::int64_t size = -1;
    struct stat info {};
    const int fd = ::fileno(file);
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        size = static_cast<std::int64_t>(info.st_size);
    else
        size = std::ftell(file); // no regular file behind the stream (memory, a device)
    if (std::fsetpos(file, &here) != 0) return -1;
    return size;
}

} // namespace

MidiFileIO::MidiFileIO(const char* fileName, BufferMode mode, std::uint32_t bufferSize,
                       Access access)
    : m_writeMode(access == Access::Write) {
    m_fileName = fileName ? fileName : "";
    std::string reason;
    if (!fileName) {
        reason = "no file name";
    } else if (m_writeMode) {
        m_file = std::fopen(fileName, "wb");
        if (!m_file) reason = std::error_code(errno, std::generic_category()).message();
    } else {
        // Only a regular file is read: a FIFO or a device could block for ever.
        InputFile input = openInputFile(fileName);
        m_file = input.stream;
        reason = std::move(input.message);
    }
    if (!m_file) {
        reportError("cannot open file %s: %s", m_fileName.c_str(), reason.c_str());
        return;
    }
    m_ownsFile = true;
    openStream(mode, bufferSize);
}

MidiFileIO::MidiFileIO(std::FILE* stream, BufferMode mode, std::uint32_t bufferSize, Access access)
    : m_writeMode(access == Access::Write) {
    m_file = stream;
    if (!m_file) {
        reportError("cannot open file %s", "(no stream)");
        return;
    }
    openStream(mode, bufferSize);
}

MidiFileIO::MidiFileIO(std::span<const std::byte> memory)
    : MidiFileIO(memory.data(), memory.size()) {}

MidiFileIO::MidiFileIO(const void* data, std::size_t size) {
    if (size > kMaxFileSize) {
        reportError("file too large");
        return;
    }
    m_data = size ? static_cast<const std::uint8_t*>(data) : m_inlineBuffer;
    m_bufferSize = static_cast<std::uint32_t>(size);
    m_bufferFill = m_bufferSize;
    m_fileSize = size;
    m_wholeFile = true;
    m_open = true;
}

MidiFileIO::~MidiFileIO() {
    close();
}

void MidiFileIO::openStream(BufferMode mode, std::uint32_t bufferSize) {
    m_defaultBufferSize = bufferSize;
    if (m_writeMode) {
        // Our own buffer collects the bytes; an unbuffered stream reports a failed write at once.
        std::setvbuf(m_file, nullptr, _IONBF, 0);
        allocateWindow(bufferSize);
        m_open = true;
        return;
    }
    const std::int64_t size = streamSize(m_file);
    if (size < 0) {
        reportError("cannot read file %s", m_fileName.c_str());
        return;
    }
    if (static_cast<std::uint64_t>(size) > kMaxFileSize) {
        reportError("file too large");
        return;
    }
    m_fileSize = static_cast<std::uint64_t>(size);
    m_open = true;

    if (mode == BufferMode::WholeFile && m_fileSize <= kMaxWholeFileSize) {
        auto* whole = m_fileSize ? new (std::nothrow) std::uint8_t[m_fileSize] : nullptr;
        if (whole || m_fileSize == 0) {
            std::size_t got = 0;
            if (whole && seekStream(m_file, 0)) got = std::fread(whole, 1, m_fileSize, m_file);
            // A file that shrank while we read it ends where the data ends.
            m_fileSize = got;
            m_buffer = whole;
            m_ownsBuffer = whole != nullptr;
            m_data = whole ? whole : m_inlineBuffer;
            m_bufferSize = static_cast<std::uint32_t>(m_fileSize);
            m_bufferFill = m_bufferSize;
            m_bufferOffset = 0;
            m_wholeFile = true;
            return;
        }
    }
    allocateWindow(bufferSize);
}

void MidiFileIO::allocateWindow(std::uint32_t bufferSize) {
    std::uint8_t* window =
        bufferSize > kInlineBufferSize ? new (std::nothrow) std::uint8_t[bufferSize] : nullptr;
    if (window) {
        m_buffer = window;
        m_ownsBuffer = true;
        m_bufferSize = bufferSize;
    } else {
        m_buffer = m_inlineBuffer;
        m_ownsBuffer = false;
        m_bufferSize = kInlineBufferSize;
    }
    m_data = m_buffer;
    m_bufferFill = 0;
    m_bufferOffset = 0;
}

void MidiFileIO::releaseBuffer() {
    if (m_ownsBuffer) delete[] m_buffer;
    m_buffer = nullptr;
    m_ownsBuffer = false;
    m_data = nullptr;
    m_bufferFill = 0;
    m_bufferOffset = 0;
}

bool MidiFileIO::loadWindow(std::uint64_t offset) {
    if (!m_file || m_wholeFile || m_writeMode || offset > m_fileSize) return false;
    m_bufferFill = 0;
    m_bufferOffset = offset;
    if (!seekStream(m_file, offset)) return false;
    const std::uint64_t want = std::min<std::uint64_t>(m_bufferSize, m_fileSize - offset);
    m_bufferFill = static_cast<std::uint32_t>(std::fread(m_buffer, 1, want, m_file));
    return m_bufferFill == want;
}

const std::uint8_t* MidiFileIO::accessSlow(std::uint64_t offset, std::uint32_t n) {
    if (!m_open || m_writeMode || m_wholeFile) return nullptr;
    if (offset > m_fileSize || n > m_fileSize - offset || n > m_bufferSize) return nullptr;
    loadWindow(offset);
    if (offset >= m_bufferOffset && offset - m_bufferOffset <= m_bufferFill &&
        n <= m_bufferFill - (offset - m_bufferOffset))
        return m_data + (offset - m_bufferOffset);
    return nullptr;
}

const std::uint8_t* MidiFileIO::readFailed(std::uint32_t n) {
    if (!m_data || m_writeMode) {
        reportError("out of memory");
    } else if (!m_wholeFile && n > m_bufferSize) {
        reportWarning("midi event larger than internal bufsize ignored");
    } else {
        m_stopFlag = true;
        reportError("unexpected end of file");
    }
    return nullptr;
}

void MidiFileIO::seek(std::int64_t offset) {
    if (offset < 0) return;
    m_position = static_cast<std::uint64_t>(offset);
}

bool MidiFileIO::skip(std::uint64_t n) {
    if (m_position > m_fileSize || n > m_fileSize - m_position) return false;
    m_position += n;
    return true;
}

std::uint32_t MidiFileIO::available(std::uint64_t offset) {
    if (!m_open || m_writeMode || offset >= m_fileSize) return 0;
    // Reload unless the window already serves as much from offset as a fresh load would.
    const std::uint64_t best = std::min<std::uint64_t>(m_bufferSize, m_fileSize - offset);
    if (!m_wholeFile && (offset < m_bufferOffset || offset - m_bufferOffset >= m_bufferFill ||
                         m_bufferOffset + m_bufferFill - offset < best))
        loadWindow(offset);
    if (offset < m_bufferOffset || offset - m_bufferOffset >= m_bufferFill) return 0;
    return static_cast<std::uint32_t>(m_bufferOffset + m_bufferFill - offset);
}

bool MidiFileIO::writebytes(const void* data, std::size_t n) {
    if (!m_open || !m_writeMode) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (n > 0 && !m_writeFailed) {
        // The window moves when it is full or when the caller sought elsewhere.
        if (m_position != m_bufferOffset + m_bufferFill || m_bufferFill == m_bufferSize) {
            if (!flushWindow()) break;
            m_bufferOffset = m_position;
        }
        const std::size_t room = m_bufferSize - m_bufferFill;
        const std::size_t count = std::min(room, n);
        std::memcpy(m_buffer + m_bufferFill, bytes, count);
        m_bufferFill += static_cast<std::uint32_t>(count);
        m_position += count;
        m_fileSize = std::max(m_fileSize, m_position);
        bytes += count;
        n -= count;
    }
    return !m_writeFailed;
}

bool MidiFileIO::flushWindow() {
    if (m_writeFailed) return false;
    if (m_bufferFill == 0) return true;
    const bool ok = seekStream(m_file, m_bufferOffset) &&
                    std::fwrite(m_buffer, 1, m_bufferFill, m_file) == m_bufferFill;
    m_bufferFill = 0;
    if (!ok) {
        m_writeFailed = true;
        reportError("write error (may be disk full)");
    }
    return ok;
}

bool MidiFileIO::close() {
    if (m_open && m_writeMode) {
        flushWindow();
        if (m_file && std::fflush(m_file) != 0 && !m_writeFailed) {
            m_writeFailed = true;
            reportError("write error (may be disk full)");
        }
    }
    if (m_file && m_ownsFile) {
        if (std::fclose(m_file) != 0 && m_writeMode && !m_writeFailed) {
            m_writeFailed = true;
            reportError("write error (may be disk full)");
        }
    }
    m_file = nullptr;
    m_ownsFile = false;
    m_open = false;
    releaseBuffer();
    return !m_writeFailed;
}

void MidiFileIO::error(const char* text) {
    std::snprintf(m_message, sizeof m_message, "error: %s\n", text);
    m_diagnostics.push_back(std::string("error: ") + text + "\n");
}

void MidiFileIO::warning(const char* text) {
    std::snprintf(m_message, sizeof m_message, "warning: %s\n", text);
    m_diagnostics.push_back(std::string("warning: ") + text + "\n");
}

void MidiFileIO::reportError(const char* format, ...) {
    char text[kMessageSize * 2];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    m_errorFlag = true;
    error(text);
}

void MidiFileIO::reportWarning(const char* format, ...) {
    char text[kMessageSize * 2];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    warning(text);
}

} // namespace korvanta
