// Feeds arbitrary text to the .kvp pattern source reader and converts what it
// accepts, checking that the style it makes is one the library can store and
// read back.
#include "PatternImport.h"
#include "PatternSource.h"
#include "styles/StyleFiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvanta;
    using namespace korvanta::styleimport;
    const SourceRead read =
        parsePatternText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.source) {
        if (read.error.empty()) std::abort(); // a refusal always says why
        return 0;
    }
    ImportOptions options;
    if (!read.source->name) options.name = "Fuzz";
    if (!read.source->group) options.group = 0;
    const Conversion c = convertPattern(*read.source, options);
    if (!c.style) {
        if (c.error.empty()) std::abort();
        return 0;
    }
    const StyleRecord& style = *c.style;
    if (style.events.empty() || style.bars() < 1 || !style.usable()) std::abort();
    for (const PatternEvent& e : style.events) {
        if (e.bar >= style.bars() || e.beat >= style.beatsPerBar() || e.duration < 1) std::abort();
    }
    const StyleLoad back = parseStyle(encodeStyle(style));
    if (!back.ok() || back.value != style) std::abort();
    return 0;
}
