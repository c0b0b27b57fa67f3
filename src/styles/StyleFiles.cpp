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

// The whole file, or the reason it could not be read.
Result<std::vector<std::byte>> readBytes(const std::filesystem::path& file) {
    FileBytes read = readFileBytes(file, kLargestLibraryFile);
    switch (read.failure) {
    case FileBytes::Failure::None:
        return std::move(read.bytes);
    case FileBytes::Failure::Open:
        return loadFailure("cannot open " + file.string() + ": " + read.message);
    case FileBytes::Failure::TooLarge:
        return loadFailure(file.string() + " is too large for a style file");
    case FileBytes::Failure::Read:
    case FileBytes::Failure::Memory:
        break;
    }
    return loadFailure("cannot read " + file.string());
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

Result<StyleList> parseStyleList(std::span<const std::byte> bytes, unsigned mask) {
    ByteReader in(bytes);
    const auto magic = in.tag();
    if (!magic || (*magic)[0] != 'L' || (*magic)[1] != 'S' || (*magic)[2] != 'T') {
        return loadFailure("not a style list (no \"LST\" at the start)");
    }
    std::array<std::uint32_t, kStyleGroupCount> counts{};
    for (auto& count : counts) {
        const auto c = in.u32();
        if (!c) {
            return loadFailure("style list ends inside its counts");
        }
        count = *c;
    }
    // Check the counts against the bytes before anything is allocated.
    std::uint64_t announced = 0;
    for (const std::uint32_t count : counts)
        announced += count;
    if (announced * kListEntrySize > in.remaining()) {
        return loadFailure("style list announces " + std::to_string(announced) +
                           " entries but holds room for " +
                           std::to_string(in.remaining() / kListEntrySize));
    }
    StyleList list;
    for (int g = 0; g < kStyleGroupCount; ++g) {
        const bool wanted = (mask >> g & 1u) != 0;
        if (wanted)
            list.groups[static_cast<std::size_t>(g)].reserve(counts[static_cast<std::size_t>(g)]);
        for (std::uint32_t i = 0; i < counts[static_cast<std::size_t>(g)]; ++i) {
            auto record = in.child(kListEntrySize);
            if (!record) {
                return loadFailure("style list ends inside an entry");
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

Result<StyleList> readStyleList(const std::filesystem::path& file, unsigned mask) {
    const auto bytes = readBytes(file);
    if (!bytes) return Outcome(bytes);
    return parseStyleList(*bytes, mask);
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

Outcome writeStyleList(const std::filesystem::path& file, const StyleList& list) {
    // A name the field cannot hold, or no file name at all, would leave the
    // entry pointing at a file that is not there.
    for (const auto& group : list.groups) {
        for (const StyleListEntry& entry : group) {
            if (!isSafeStyleName(entry.name) || entry.name.size() >= kStyleNameSize) {
                return saveFailure("the style name \"" + entry.name + "\" cannot go into the list");
            }
        }
    }
    return writeFileAtomically(file, encodeStyleList(list));
}

StyleLoad parseStyle(std::span<const std::byte> bytes) {
    StyleLoad load;
    StyleRecord& style = load.value;
    // A failure keeps what was read so far.
    const auto fail = [&load](std::string why) {
        static_cast<Outcome&>(load) = loadFailure(std::move(why));
        return load;
    };
    ByteReader in(bytes);
    for (auto& b : style.header) {
        const auto v = in.u8();
        if (!v) {
            return fail("style file ends inside its header");
        }
        b = *v;
    }
    const auto division = in.u16();
    const auto meters = in.u32();
    const auto count = in.u32();
    if (!division || !meters || !count) {
        return fail("style file ends inside its header");
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
        return fail("style file announces " + std::to_string(style.eventCount) +
                    " events but holds " + std::to_string(readable));
    }
    if (!style.usable()) {
        return fail("style has no usable meter or division (a zero value)");
    }
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
    if (!isSafeStyleName(entry.name))
        return loadFailure("style name \"" + entry.name +
                           "\" is no file name in the styles folder");
    const auto bytes = readBytes(styleFilePath(folder, entry.name));
    if (!bytes) return Outcome(bytes);
    StyleLoad load = parseStyle(*bytes);
    if (!load) load.message = entry.name + kStyleFileExtension + ": " + load.message;
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

Outcome writeStyle(const std::filesystem::path& file, const StyleRecord& style) {
    return writeFileAtomically(file, encodeStyle(style));
}

Outcome writeFileAtomically(const std::filesystem::path& file, std::span<const std::byte> bytes) {
    AtomicFileSink sink(file);
    if (!sink.isOpen() || !sink.write(bytes) || !sink.commit()) {
        std::string why = sink.error();
        if (why.empty()) why = "cannot write " + file.string();
        return saveFailure(std::move(why));
    }
    return {};
}

} // namespace korvanta
