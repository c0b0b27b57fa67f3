#include "alg/song/PositionText.h"

#include <algorithm>
#include <cstdio>

namespace korvanta {

namespace {

// The tick of bar, beat and tick (all from 0) with beat and tick already
// inside the bar.
std::int64_t ticksInBar(const TMeterMap& meter, int bar, int beat, int tick) {
    const TMeterChange& m = meter.MeterAt(bar);
    return std::int64_t{meter.BarStart(bar)} + std::int64_t{beat} * std::max(m.ticksPerBeat, 0) +
           tick;
}

// The number at the start of one part of a typed position: at most maxChars
// characters, spaces as 0, up to the first character that is no digit.
int leadingNumber(std::string_view part, std::size_t maxChars) {
    int value = 0;
    for (std::size_t i = 0; i < part.size() && i < maxChars; ++i) {
        char c = part[i];
        if (c == ' ') c = '0';
        if (c == ',') c = '.';
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string positionText(const TMeterMap& meter, std::int64_t ticks) {
    const TBarPos pos = meter.ToPos(std::max<std::int64_t>(ticks, 0));
    char text[32];
    std::snprintf(text, sizeof text, "%3d:%02d:%03d", pos.bar + 1, pos.beat + 1, pos.tick);
    return text;
}

std::optional<std::int64_t> positionTicks(const TMeterMap& meter, int barCount,
                                          std::int64_t songEndTicks, int bar, int beat, int tick) {
    if (bar < 1 || beat < 1 || tick < 0) return std::nullopt;
    if (bar > barCount) return songEndTicks;
    const TMeterChange& m = meter.MeterAt(bar - 1);
    if (beat > m.numerator || (m.ticksPerBeat > 0 && tick >= m.ticksPerBeat)) return std::nullopt;
    return ticksInBar(meter, bar - 1, beat - 1, tick);
}

std::int64_t ticksOfPositionText(std::string_view text, const TMeterMap& meter, int barCount,
                                 std::int64_t songEndTicks) {
    constexpr std::size_t kWidths[3] = {5, 2, 3};
    int values[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const std::size_t colon = text.find(':');
        values[i] = leadingNumber(text.substr(0, colon), kWidths[i]);
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    const int bar = std::max(values[0] - 1, 0);
    if (bar >= barCount) return songEndTicks;
    const TMeterChange& m = meter.MeterAt(bar);
    const int beat = std::clamp(values[1] - 1, 0, std::max(m.numerator - 1, 0));
    const int tick = std::clamp(values[2], 0, std::max(m.ticksPerBeat - 1, 0));
    return ticksInBar(meter, bar, beat, tick);
}

} // namespace korvanta
