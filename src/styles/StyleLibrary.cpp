#include "styles/StyleLibrary.h"

#include "styles/StyleFiles.h"
#include "styles/StyleMaster.h"

#include <algorithm>
#include <cctype>

namespace korvanta {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

bool styleFitsMeter(const StyleRecord& style, int numerator, int denominator) {
    return MeterSupported(style.meters, numerator, denominator);
}

StyleLibraryStatus StyleLibrary::load(const std::filesystem::path& folder, unsigned mask) {
    unload();
    m_folder = folder;
    const auto list = readStyleList(folder / kStyleListFileName, mask);
    if (!list) {
        m_status = StyleLibraryStatus::NoList;
        m_error = list.message;
        return m_status;
    }
    m_loaded = true;
    m_status = StyleLibraryStatus::Loaded;
    for (int g = 0; g < kStyleGroupCount; ++g) {
        auto& group = m_groups[static_cast<std::size_t>(g)];
        for (const StyleListEntry& entry : list->groups[static_cast<std::size_t>(g)]) {
            StyleLoad load = loadStyle(folder, entry);
            if (!load) {
                // A failed style ends its group; the styles before it stay.
                m_status = StyleLibraryStatus::StyleFailed;
                if (m_error.empty()) m_error = load.message;
                break;
            }
            group.push_back(LoadedStyle{entry, std::move(load.value)});
        }
    }
    return m_status;
}

void StyleLibrary::unload() {
    for (auto& group : m_groups)
        group.clear();
    m_loaded = false;
    m_status = StyleLibraryStatus::NoList;
    m_error.clear();
}

const std::vector<LoadedStyle>& StyleLibrary::group(int g) const {
    static const std::vector<LoadedStyle> none;
    if (g < 0 || g >= kStyleGroupCount) return none;
    return m_groups[static_cast<std::size_t>(g)];
}

std::size_t StyleLibrary::size() const {
    std::size_t n = 0;
    for (const auto& group : m_groups)
        n += group.size();
    return n;
}

const LoadedStyle* StyleLibrary::byId(std::int32_t id) const {
    if (!m_loaded || id < 0) return nullptr;
    const auto& styles = group(styleGroupOf(id));
    const auto index = static_cast<std::size_t>(styleIndexOf(id));
    return index < styles.size() ? &styles[index] : nullptr;
}

const LoadedStyle* StyleLibrary::byName(const std::string& name, std::int32_t* id) const {
    for (int g = 0; g < kStyleGroupCount; ++g) {
        const auto& styles = m_groups[static_cast<std::size_t>(g)];
        for (std::size_t i = 0; i < styles.size(); ++i) {
            if (!sameName(styles[i].entry.name, name)) continue;
            if (id) *id = styleId(g, static_cast<int>(i));
            return &styles[i];
        }
    }
    return nullptr;
}

std::int32_t StyleLibrary::defaultStyle(int numerator, int denominator, int n) const {
    if (!m_loaded) return kNoStyle;
    const int wanted = 4 - n;
    int fitting = 0;
    std::int32_t last = kNoStyle;
    for (int g = 0; g < kStyleGroupCount; ++g) {
        const auto& styles = m_groups[static_cast<std::size_t>(g)];
        for (std::size_t i = 0; i < styles.size(); ++i) {
            if (!styleFitsMeter(styles[i].style, numerator, denominator)) continue;
            last = styleId(g, static_cast<int>(i));
            if (++fitting == wanted) return last;
        }
    }
    return last;
}

int defaultStyleN(std::int32_t melodyNoteCount, std::int32_t barCount) {
    const int sum = (melodyNoteCount & 0xFF) + (barCount & 0xFF);
    return sum % 4 - 1;
}

} // namespace korvanta
