#include "styles/StyleFiles.h"

#include "io/ByteReader.h"
#include "io/FileBytes.h"
#include "io/OutputSink.h"

#include <algorithm>
#include <limits>

namespace korvanta {

namespace {

// Larger files are no style library of ours; refusing them keeps a stray
// multi-gigabyte file from being read into memory.
constexpr std::uintmax_t kLargestLibraryFile = 64u * 1024u * 1024u;

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

// The whole file, or nothing with a reason.
std::optional<std::vector<std::byte>> readBytes(const std::filesystem::path& file,
                                                std::string* error) {
    FileBytes read = readFileBytes(file, kLargestLibraryFile);
    switch (read.failure) {
    case FileBytes::Failure::None:
        return std::move(read.bytes);
    case FileBytes::Failure::Open:
        setError(error, "cannot open " + file.string() + ": " + read.reason);
        break;
    case FileBytes::Failure::TooLarge:
        setError(error, file.string() + " is too large for a style file");
        break;
    case FileBytes::Failure::Read:
    case FileBytes::Failure::Memory:
        setError(error, "cannot read " + file.string());
        break;
    }
    return std::nullopt;
}

// The zero-terminated name in a fixed field; a field without a terminator
// keeps all its characters.
std::string nameFromField(ByteReader& field) {
    std::string name;
    while (!field.atEnd()) {
        const std::uint8_t c = field.u8().value_or(0);
        if (c == 0) break;
        name.push_back(static_cast<char>(c));
    }
    return name;
}

} // namespace

std::optional<StyleList> parseStyleList(std::span<const std::byte> bytes, unsigned mask,
                                        std::string* error) {
    ByteReader in(bytes);
    const auto magic = in.tag();
    if (!magic || (*magic)[0] != 'L' || (*magic)[1] != 'S' || (*magic)[2] != 'T') {
        setError(error, "not a style list (no \"LST\" at the start)");
        return std::nullopt;
    }
    std::array<std::uint32_t, kStyleGroupCount> counts{};
    for (auto& count : counts) {
        const auto c = in.u32();
        if (!c) {
            setError(error, "style list ends inside its counts");
            return std::nullopt;
        }
        count = *c;
    }
    // Check the counts against the bytes before anything is allocated.
    std::uint64_t announced = 0;
    for (const std::uint32_t count : counts)
        announced += count;
    if (announced * kListEntrySize > in.remaining()) {
        setError(error, "style list announces " + std::to_string(announced) +
                            " entries but holds room for " +
                            std::to_string(in.remaining() / kListEntrySize));
        return std::nullopt;
    }
    StyleList list;
    for (int g = 0; g < kStyleGroupCount; ++g) {
        const bool wanted = (mask >> g & 1u) != 0;
        if (wanted)
            list.groups[static_cast<std::size_t>(g)].reserve(counts[static_cast<std::size_t>(g)]);
        for (std::uint32_t i = 0; i < counts[static_cast<std::size_t>(g)]; ++i) {
            auto record = in.child(kListEntrySize);
            if (!record) {
                setError(error, "style list ends inside an entry");
                return std::nullopt;
            }
            if (!wanted) continue;
            StyleListEntry entry;
            entry.id = record->i32().value_or(kNoStyle);
            for (auto& b : entry.reserved)
                b = record->u8().value_or(0);
            entry.name = nameFromField(*record);
            list.groups[static_cast<std::size_t>(g)].push_back(std::move(entry));
        }
    }
    return list;
}

std::optional<StyleList> readStyleList(const std::filesystem::path& file, unsigned mask,
                                       std::string* error) {
    const auto bytes = readBytes(file, error);
    if (!bytes) return std::nullopt;
    return parseStyleList(*bytes, mask, error);
}

std::vector<std::byte> encodeStyleList(const StyleList& list) {
    ByteWriter out;
    out.tag("LST");
    out.u8(0);
    for (const auto& group : list.groups)
        out.u32(static_cast<std::uint32_t>(group.size()));
    for (const auto& group : list.groups) {
        for (const StyleListEntry& entry : group) {
            out.i32(entry.id);
            for (const std::uint8_t b : entry.reserved)
                out.u8(b);
            // Names longer than the field are cut so the terminator always fits.
            const std::size_t length = std::min(entry.name.size(), kStyleNameSize - 1);
            out.tag(std::string_view(entry.name).substr(0, length));
            out.zeros(kStyleNameSize - length);
        }
    }
    const auto bytes = out.bytes();
    return {bytes.begin(), bytes.end()};
}

bool writeStyleList(const std::filesystem::path& file, const StyleList& list, std::string* error) {
    // A name the field cannot hold, or no file name at all, would leave the
    // entry pointing at a file that is not there.
    for (const auto& group : list.groups) {
        for (const StyleListEntry& entry : group) {
            if (!isSafeStyleName(entry.name) || entry.name.size() >= kStyleNameSize) {
                setError(error, "the style name \"" + entry.name + "\" cannot go into the list");
                return false;
            }
        }
    }
    return writeFileAtomically(file, encodeStyleList(list), error);
}

StyleLoad parseStyle(std::span<const std::byte> bytes) {
    StyleLoad load;
    StyleRecord& style = load.style;
    ByteReader in(bytes);
    for (auto& b : style.header) {
        const auto v = in.u8();
        if (!v) {
            load.error = "style file ends inside its header";
            return load;
        }
        b = *v;
    }
    const auto division = in.u16();
    const auto meters = in.u32();
    const auto count = in.u32();
    if (!division || !meters || !count) {
        load.error = "style file ends inside its header";
        return load;
    }
    style.ticksPerQuarter = *division;
    style.meters = *meters;
    style.eventCount = *count;
    // The count is checked against the bytes before the events are allocated.
    const std::size_t room = in.remaining() / kPatternEventSize;
    const std::size_t readable = std::min<std::size_t>(style.eventCount, room);
    style.events.reserve(readable);
    for (std::size_t i = 0; i < readable; ++i) {
        auto r = in.child(kPatternEventSize);
        PatternEvent e;
        e.selector = static_cast<std::int8_t>(r->u8().value_or(0));
        e.reserved1 = r->u8().value_or(0);
        e.octave = static_cast<std::int8_t>(r->u8().value_or(0));
        e.reserved3 = r->u8().value_or(0);
        e.duration = r->i16().value_or(0);
        e.bar = r->u16().value_or(0);
        e.beat = r->u8().value_or(0);
        e.reserved9 = r->u8().value_or(0);
        e.tick = r->u16().value_or(0);
        e.velocities = r->u16().value_or(0);
        style.events.push_back(e);
    }
    if (readable < style.eventCount) {
        load.error = "style file announces " + std::to_string(style.eventCount) +
                     " events but holds " + std::to_string(readable);
        return load;
    }
    if (!style.usable()) {
        load.error = "style has no usable meter or division (a zero value)";
        return load;
    }
    load.complete = true;
    return load;
}

std::filesystem::path styleFilePath(const std::filesystem::path& folder, const std::string& name) {
    std::string file = name;
    file += kStyleFileExtension;
    return folder / file;
}

bool isSafeStyleName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20;
    });
}

StyleLoad loadStyle(const std::filesystem::path& folder, const StyleListEntry& entry) {
    if (!isSafeStyleName(entry.name)) {
        StyleLoad load;
        load.error = "style name \"" + entry.name + "\" is no file name in the styles folder";
        return load;
    }
    std::string error;
    const auto bytes = readBytes(styleFilePath(folder, entry.name), &error);
    if (!bytes) {
        StyleLoad load;
        load.error = error;
        return load;
    }
    StyleLoad load = parseStyle(*bytes);
    if (!load.complete) load.error = entry.name + kStyleFileExtension + ": " + load.error;
    return load;
}

std::vector<std::byte> encodeStyle(const StyleRecord& style) {
    ByteWriter out;
    for (const std::uint8_t b : style.header)
        out.u8(b);
    out.u16(style.ticksPerQuarter);
    out.u32(style.meters);
    // The count written is the events written, whatever the record claims.
    out.u32(static_cast<std::uint32_t>(style.events.size()));
    for (const PatternEvent& e : style.events) {
        out.u8(static_cast<std::uint8_t>(e.selector));
        out.u8(e.reserved1);
        out.u8(static_cast<std::uint8_t>(e.octave));
        out.u8(e.reserved3);
        out.i16(e.duration);
        out.u16(e.bar);
        out.u8(e.beat);
        out.u8(e.reserved9);
        out.u16(e.tick);
        out.u16(e.velocities);
    }
    const auto bytes = out.bytes();
    return {bytes.begin(), bytes.end()};
}

bool writeStyle(const std::filesystem::path& file, const StyleRecord& style, std::string* error) {
    return writeFileAtomically(file, encodeStyle(style), error);
}

bool writeFileAtomically(const std::filesystem::path& file, std::span<const std::byte> bytes,
                         std::string* error) {
    AtomicFileSink sink(file);
    if (!sink.isOpen() || !sink.write(bytes) || !sink.commit()) {
        std::string why = sink.error();
        if (why.empty()) why = "cannot write " + file.string();
        setError(error, std::move(why));
        return false;
    }
    return true;
}

} // namespace korvanta
