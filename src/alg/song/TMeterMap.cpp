#include "alg/song/TMeterMap.h"

#include <algorithm>
#include <limits>

namespace korvanta {

namespace {

// A bar of a meter that rounds to no ticks at all still must not make the
// walk over the bars run backwards.
std::int64_t barLength(const TMeterChange& e) {
    return std::max<std::int32_t>(e.ticksPerBar, 0);
}

const TMeterChange kNoMeter{0, 4, 4, {0, 0}, 0, 0};

} // namespace

void TMeterMap::Clear() {
    m_entries.clear();
    m_runs.clear();
    ticksPerQuarter = 0;
    wholeTicks = 0;
    resolution = 64;
}

void TMeterMap::SetDivision(std::int32_t ticksPerQuarterNote) {
    ticksPerQuarter = ticksPerQuarterNote;
    wholeTicks = 4 * ticksPerQuarterNote;
}

TMeterChange TMeterMap::makeEntry(std::int32_t firstBar, std::uint8_t numerator,
                                  std::uint8_t denominator) const {
    TMeterChange e;
    e.firstBar = firstBar;
    e.numerator = numerator;
    e.denominator = denominator;
    if (denominator != 0) {
        e.ticksPerBar = saturateTicks(std::int64_t{numerator} * wholeTicks / denominator);
        e.ticksPerBeat = saturateTicks(std::int64_t{ticksPerQuarter} * 4 / denominator);
    }
    return e;
}

void TMeterMap::AddMeter(std::int32_t firstBar, std::uint8_t numerator, std::uint8_t denominator) {
    AddEntry(makeEntry(firstBar, numerator, denominator));
}

void TMeterMap::AddEntry(const TMeterChange& entry) {
    m_entries.push_back(entry);
    rebuildRunsFrom(m_entries.size() - 1);
}

void TMeterMap::ReplaceLastMeter(std::uint8_t numerator, std::uint8_t denominator) {
    if (m_entries.empty()) return;
    m_entries.back() = makeEntry(m_entries.back().firstBar, numerator, denominator);
    rebuildRunsFrom(m_entries.size() - 1);
}

void TMeterMap::rebuildRunsFrom(std::size_t entry) {
    m_runs.resize(entry);
    for (std::size_t k = entry; k < m_entries.size(); ++k) {
        Run run;
        run.entry = k;
        run.ticksPerBar = m_entries[k].ticksPerBar;
        if (k == 0) {
            run.startBar = 0;
            run.startTicks = 0;
        } else {
            const Run& prev = m_runs.back();
            // Entry 1 may take over at bar 0 already; every later one at least one
            // bar after the one before it.
            const std::int64_t earliest = k == 1 ? 0 : prev.startBar + 1;
            run.startBar = std::max<std::int64_t>(m_entries[k].firstBar, earliest);
            run.startTicks =
                prev.startTicks + (run.startBar - prev.startBar) * barLength(m_entries[k - 1]);
        }
        m_runs.push_back(run);
    }
}

const TMeterChange& TMeterMap::MeterAt(std::int32_t bar) const {
    if (m_entries.empty()) return kNoMeter;
    for (std::size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i].firstBar <= bar) return m_entries[i];
    }
    return m_entries[0];
}

TBarPos TMeterMap::ToPos(std::int64_t ticks) const {
    TBarPos pos;
    if (m_entries.empty()) {
        pos.beat = static_cast<std::uint8_t>(ticks);
        pos.tick = static_cast<std::uint16_t>(ticks - pos.beat);
        return pos;
    }
    // The run that holds the tick: the last one starting at or before it. Runs
    // that cover no ticks (an empty first run, zero-length bars) are passed over
    // exactly as the bar walk passes over them.
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), ticks,
                               [](std::int64_t t, const Run& r) { return t < r.startTicks; });
    const Run* run = nullptr;
    if (it == m_runs.begin()) {
        // Before the start: bar 0, whose run is the last one that starts there.
        run = &m_runs[0];
        for (const Run& r : m_runs) {
            if (r.startBar == 0) run = &r;
        }
    } else {
        run = &*std::prev(it);
    }
    std::int64_t bar = run->startBar;
    const std::int64_t length = std::max<std::int32_t>(run->ticksPerBar, 0);
    if (length > 0 && ticks >= run->startTicks) bar += (ticks - run->startTicks) / length;
    const std::int64_t offset = ticks - (run->startTicks + (bar - run->startBar) * length);
    const std::int32_t ticksPerBeat = m_entries[run->entry].ticksPerBeat;
    const std::int64_t beat = ticksPerBeat > 0 ? offset / ticksPerBeat : 0;
    pos.bar = static_cast<std::uint16_t>(bar);
    pos.beat = static_cast<std::uint8_t>(beat);
    pos.tick = static_cast<std::uint16_t>(offset - beat * ticksPerBeat);
    return pos;
}

std::int32_t TMeterMap::ToTicks(const TBarPos& pos) const {
    if (m_entries.empty()) return 0;
    const std::int64_t bar = pos.bar;
    const TMeterChange& first = m_entries[0];
    if (m_entries.size() == 1 || bar < m_entries[1].firstBar) {
        return saturateTicks(bar * first.ticksPerBar + std::int64_t{pos.beat} * first.ticksPerBeat +
                             pos.tick);
    }
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const TMeterChange& e = m_entries[i];
        if (e.firstBar >= bar) break;
        const std::int64_t until =
            i + 1 < m_entries.size() ? std::min<std::int64_t>(m_entries[i + 1].firstBar, bar) : bar;
        sum += (until - e.firstBar) * e.ticksPerBar;
    }
    const TMeterChange& current = MeterAt(pos.bar);
    return saturateTicks(sum + std::int64_t{pos.beat} * current.ticksPerBeat + pos.tick);
}

std::int32_t TMeterMap::BarStart(std::int32_t bar) const {
    if (bar < 0) return 0;
    // Bars past the 16-bit range of a position: continue the last meter.
    if (bar > 0xFFFF) {
        const std::int64_t last = ToTicks(TBarPos{0xFFFF, 0, 0, 0});
        return saturateTicks(last + std::int64_t{bar - 0xFFFF} * TicksPerBar(bar));
    }
    return ToTicks(TBarPos{static_cast<std::uint16_t>(bar), 0, 0, 0});
}

std::uint32_t TMeterMap::QuantUnit(std::int32_t durationTicks) const {
    const std::int32_t unit64 = resolution > 0 ? wholeTicks / resolution : 0;
    std::int32_t step = sixteenthTicks;
    if (durationTicks < step) step = unit64;
    if (step <= 0 || unit64 <= 0) return 0;
    std::int64_t m = (std::int64_t{durationTicks} - 1) / step * step;
    if (m < step) m = step;
    // Round half up: the next multiple wins once the rest reaches half a step.
    if (2 * (std::int64_t{durationTicks} - m) >= step) m += step;
    return static_cast<std::uint32_t>(m / unit64);
}

} // namespace korvanta
