#include "PlayProgress.h"

#include <algorithm>
#include <cstdio>

namespace korvanta::cli {

std::string positionText(const TMeterMap& meter, std::int64_t ticks) {
    const TBarPos pos = meter.ToPos(std::max<std::int64_t>(ticks, 0));
    char text[32];
    std::snprintf(text, sizeof text, "%3d:%02d:%03d", pos.bar + 1, pos.beat + 1, pos.tick);
    return text;
}

std::optional<std::int32_t> positionTicks(const TMeterMap& meter, int barCount,
                                          std::int32_t songEndTicks, int bar, int beat, int tick) {
    if (bar < 1 || beat < 1 || tick < 0) return std::nullopt;
    if (bar > barCount) return songEndTicks;
    const TMeterChange& m = meter.MeterAt(bar - 1);
    if (beat > m.numerator || (m.ticksPerBeat > 0 && tick >= m.ticksPerBeat)) return std::nullopt;
    return meter.ToTicks(TBarPos{static_cast<std::uint16_t>(bar - 1),
                                 static_cast<std::uint8_t>(beat - 1), 0,
                                 static_cast<std::uint16_t>(tick)});
}

std::string progressBar(std::int64_t doneTicks, std::int64_t totalTicks, int width) {
    width = std::max(width, 1);
    const std::int64_t done =
        std::clamp<std::int64_t>(doneTicks, 0, std::max<std::int64_t>(totalTicks, 0));
    const std::int64_t percent = totalTicks > 0 ? done * 100 / totalTicks : 100;
    const auto filled = static_cast<int>(totalTicks > 0 ? done * width / totalTicks : width);
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", static_cast<int>(percent));
    // Built by appending: GCC 12 warns wrongly about a + chain starting with a literal.
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    return bar.append("] ").append(number);
}

} // namespace korvanta::cli
