#pragma once
// The style library as the style dialog, the main window and the command line
// use it: the list's entries and loaded styles per group, style identifiers
// (group × 2^24 + index), the meter fitting test, selection by identifier and
// the default style for a song. Owns the style records; songs point at them,
// so the library must outlive any song that uses one of its styles.

#include "styles/StyleRecords.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvanta {

constexpr std::int32_t styleId(int group, int index) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(group) << 24) +
                                     static_cast<std::uint32_t>(index));
}
constexpr int styleGroupOf(std::int32_t id) {
    return static_cast<int>(static_cast<std::uint32_t>(id) >> 24);
}
constexpr int styleIndexOf(std::int32_t id) {
    return static_cast<int>(static_cast<std::uint32_t>(id) & 0xFFFFFFu);
}

// Whether a style fits a song's meter (its meter list names it).
bool styleFitsMeter(const StyleRecord& style, int numerator, int denominator);

// Load status, as the style dialog reports it.
enum class StyleLibraryStatus {
    Loaded = 0,
    NotCreated = 1, // the library object could not be created
    NoList = 2,     // "styles.lst" could not be read
    StyleFailed = 3 // a style file of a group failed; the group keeps the ones before
};

struct LoadedStyle {
    StyleListEntry entry;
    StyleRecord style;
};

class StyleLibrary {
public:
    // Reads folder/styles.lst (groups in `mask`) and every style file; a
    // failed style ends its group. Replaces anything loaded before.
    StyleLibraryStatus load(const std::filesystem::path& folder,
                            unsigned mask = kDialogStyleGroups);
    void unload();

    bool loaded() const { return m_loaded; }
    StyleLibraryStatus status() const { return m_status; }
    const std::string& error() const { return m_error; }
    const std::filesystem::path& folder() const { return m_folder; }

    const std::vector<LoadedStyle>& group(int g) const;
    std::size_t size() const;

    // The style with that identifier, or null.
    const LoadedStyle* byId(std::int32_t id) const;
    // The first style with that name (case-insensitive), or null.
    const LoadedStyle* byName(const std::string& name, std::int32_t* id = nullptr) const;

    // The default style for a meter: walking groups 0, 1, 2 in list order and
    // counting the fitting styles, the one that brings the count to 4 - n
    // (n in -1..2); the last fitting one when fewer fit; -1 when none fits.
    std::int32_t defaultStyle(int numerator, int denominator, int n) const;

private:
    std::array<std::vector<LoadedStyle>, kStyleGroupCount> m_groups;
    std::filesystem::path m_folder;
    StyleLibraryStatus m_status = StyleLibraryStatus::NoList;
    std::string m_error;
    bool m_loaded = false;
};

// The main window's n for the default style: the low bytes of the melody's
// note count and the bar count, summed, mod 4, minus 1.
int defaultStyleN(std::int32_t melodyNoteCount, std::int32_t barCount);

} // namespace korvanta
