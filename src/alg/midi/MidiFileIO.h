#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace korvanta {

// Byte access to a MIDI file through one buffer, plus error and warning reporting.
// Owned by whoever reads or writes the file (a reader subclass, the MIDI exporter); one thread
// at a time. Offsets and sizes are in bytes from the start of the file.
//
// Reading has three sources: a file by name, a caller's stdio stream (not closed here), or a
// caller's memory block (not copied, not owned; it must outlive this object). The buffer either
// holds the whole file (BufferMode::WholeFile, and always for memory) or a window of
// bufferSize bytes that is refilled at the requested offset; a window that cannot be allocated
// falls back to a 16-byte inline buffer. Every read is checked against the file size.
//
// Writing (Access::Write) collects bytes in the buffer and writes them out when the window
// moves or at close(); a failed write reports "write error (may be disk full)".
//
// Pointers returned by readbytes()/peekbytes()/access() stay valid until the next call that may
// move the window (any read, peek, access or available at another offset).
class MidiFileIO {
public:
    enum class BufferMode { Window = 0, WholeFile = 1 };
    enum class Access { Read, Write };

    static constexpr std::uint32_t kDefaultBufferSize = 64 * 1024;
    static constexpr std::uint32_t kInlineBufferSize = 16;
    // Larger files are read through a window even in WholeFile mode.
    static constexpr std::uint64_t kMaxWholeFileSize = 256ull * 1024 * 1024;
    static constexpr std::size_t kMessageSize = 256;

    // Opens fileName ("rb", or "wb" for Access::Write). A bufferSize of kInlineBufferSize or
    // less uses the inline buffer.
    explicit MidiFileIO(const char* fileName, BufferMode mode = BufferMode::Window,
                        std::uint32_t bufferSize = kDefaultBufferSize,
                        Access access = Access::Read);
    // Uses the caller's stream, which stays open after this object is gone.
    explicit MidiFileIO(std::FILE* stream, BufferMode mode = BufferMode::Window,
                        std::uint32_t bufferSize = kDefaultBufferSize,
                        Access access = Access::Read);
    // Reads straight from the caller's memory; nothing is copied.
    explicit MidiFileIO(std::span<const std::byte> memory);
    MidiFileIO(const void* data, std::size_t size);
    virtual ~MidiFileIO();

    MidiFileIO(const MidiFileIO&) = delete;
    MidiFileIO& operator=(const MidiFileIO&) = delete;

    bool isOpen() const { return m_open; }
    bool isWholeFileInMemory() const { return m_wholeFile; }
    bool usesInlineBuffer() const { return m_data == m_inlineBuffer; }
    std::uint32_t fileSize() const { return static_cast<std::uint32_t>(m_fileSize); }
    std::uint32_t bufferSize() const { return m_bufferSize; }
    std::uint64_t position() const { return m_position; }
    bool errorFlag() const { return m_errorFlag; }
    bool stopFlag() const { return m_stopFlag; }

    // The last diagnostic ("error: ...\n" or "warning: ...\n") and all of them in order.
    const char* message() const { return m_message; }
    const std::vector<std::string>& diagnostics() const { return m_diagnostics; }

    // --- reading ---
    // n bytes at the position, advancing it; nullptr (with a diagnostic) when they are not there.
    const std::uint8_t* readbytes(std::uint32_t n) {
        if (const std::uint8_t* p = access(m_position, n)) {
            m_position += n;
            return p;
        }
        return readFailed(n);
    }
    // The next n bytes without consuming them; nullptr without a diagnostic.
    const std::uint8_t* peekbytes(std::uint32_t n) { return access(m_position, n); }
    // n bytes at any offset without moving the position; nullptr when not available.
    const std::uint8_t* access(std::uint64_t offset, std::uint32_t n) {
        if (offset >= m_bufferOffset && offset - m_bufferOffset <= m_bufferFill &&
            n <= m_bufferFill - (offset - m_bufferOffset))
            return m_data + (offset - m_bufferOffset);
        return accessSlow(offset, n);
    }
    void seek(std::int64_t offset);
    // Fails (false, position unchanged) if position + n passes the file size.
    bool skip(std::uint64_t n);
    // How many bytes from offset one buffer load can serve (loads the window there).
    std::uint32_t available(std::uint64_t offset);

    // --- writing ---
    bool writebytes(const void* data, std::size_t n);
    bool writebytes(std::span<const std::byte> bytes) {
        return writebytes(bytes.data(), bytes.size());
    }
    // Writes out what is collected and closes the file; true when every write succeeded.
    bool close();

protected:
    virtual void error(const char* text);
    virtual void warning(const char* text);

    // Formats the text, sets the error flag and calls error().
    void reportError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void reportWarning(const char* format, ...) __attribute__((format(printf, 2, 3)));

    char m_message[kMessageSize] = {};
    std::vector<std::string> m_diagnostics;
    std::string m_fileName;
    std::FILE* m_file = nullptr;
    const std::uint8_t* m_data = nullptr; // what readers see: buffer or caller memory
    std::uint8_t* m_buffer = nullptr;     // owned storage, or the inline buffer
    std::uint32_t m_bufferSize = 0;
    std::uint32_t m_bufferFill = 0;
    std::uint32_t m_defaultBufferSize = kDefaultBufferSize;
    std::uint64_t m_bufferOffset = 0;
    bool m_writeMode = false;
    std::uint8_t m_inlineBuffer[kInlineBufferSize] = {};
    bool m_ownsBuffer = false;
    bool m_ownsFile = false;
    bool m_open = false;
    bool m_wholeFile = false;
    bool m_writeFailed = false;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_position = 0;
    bool m_stopFlag = false;
    bool m_errorFlag = false;

private:
    void openStream(BufferMode mode, std::uint32_t bufferSize);
    void allocateWindow(std::uint32_t bufferSize);
    const std::uint8_t* accessSlow(std::uint64_t offset, std::uint32_t n);
    // Reports why n bytes could not be read; always nullptr.
    const std::uint8_t* readFailed(std::uint32_t n);
    bool loadWindow(std::uint64_t offset);
    bool flushWindow();
    void releaseBuffer();
};

} // namespace korvanta
