// Feeds arbitrary bytes to the instrument-name list reader: it always gives
// 128 names, none empty and none longer than the limit, and never a line break.
#include "session/PatchNames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const korvanta::PatchNames names = korvanta::parsePatchNames(text);
    for (const std::string& name : names) {
        if (name.empty() || name.size() > korvanta::kMaxPatchNameLength) std::abort();
        if (name.find_first_of("\r\n") != std::string::npos) std::abort();
    }
    return 0;
}
