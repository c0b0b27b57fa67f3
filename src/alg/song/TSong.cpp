#include "alg/song/TSong.h"

#include "alg/song/ChordVocabulary.h"
#include "alg/song/Keys.h"

#include <algorithm>
#include <new>
#include <utility>

namespace korvanta {

TSong::TSong() : metaEvents(&notes.meter, 5), channelEvents(&notes.meter, 5) {}

void TSong::ClearAnalysis() {
    keyStatistics.clear();
    keyStatistics.shrink_to_fit();
    keys.clear();
    text.clear();
    barChords.clear();
    barChords.shrink_to_fit();
    barHarmony.clear();
    barHarmony.shrink_to_fit();
}

void TSong::SetFlags(std::uint8_t mask, bool on) {
    if (mask == 0) {
        changes = 0;
    } else if (on) {
        changes |= mask;
    } else {
        changes &= static_cast<std::uint8_t>(~mask);
    }
}

const TSongEvent* TSong::FindEvent(std::uint8_t type, std::uint8_t sub, int list) const {
    for (const TSongEvent& e : eventList(list).events()) {
        if (e.type == type && (sub == 0 || e.dataByte(0) == sub)) return &e;
    }
    return nullptr;
}

TSongEvent* TSong::FindEvent(std::uint8_t type, std::uint8_t sub, int list) {
    return const_cast<TSongEvent*>(std::as_const(*this).FindEvent(type, sub, list));
}

void TSong::SetEvent(std::uint8_t type, std::uint8_t sub, std::uint32_t value, std::int32_t value2,
                     int list, std::int32_t ticks) {
    if (TSongEvent* e = FindEvent(type, sub, list)) {
        e->value = value;
        e->value2 = value2;
        return;
    }
    TSongEvent e;
    e.type = type;
    e.value = value;
    e.value2 = value2;
    e.setPosition(meter().ToPos(ticks));
    eventList(list).Insert(e, 0);
}

std::int32_t TSong::QueryMeta(std::uint8_t type, std::int32_t arg, std::int32_t* out) const {
    switch (type) {
    case kMetaTempo: {
        const TSongEvent* e = FindEvent(kMetaTempo, 0, 0);
        std::int64_t tempo = e ? e->value : kDefaultTempo;
        // A tempo of 0 cannot be played; files that carry one get the default.
        if (tempo <= 0) tempo = kDefaultTempo;
        // Per arg seconds, rounded to the nearest whole (60: beats a minute).
        if (arg != 0)
            return static_cast<std::int32_t>((std::int64_t{arg} * 1000000 + tempo / 2) / tempo);
        return static_cast<std::int32_t>(tempo);
    }
    case kMetaTimeSignature: {
        const TSongEvent* e = FindEvent(kMetaTimeSignature, 0, 0);
        const std::int32_t num = e ? e->dataByte(0) : 4;
        const std::int32_t den = e ? e->dataByte(1) : 4;
        if (out) {
            out[0] = num;
            out[1] = den;
        }
        return num;
    }
    case kMetaKeySignature: {
        const TSongEvent* e = FindEvent(kMetaKeySignature, 0, 0);
        const std::int32_t sf = e ? static_cast<std::int8_t>(e->dataByte(0)) : 0;
        const std::int32_t mi = e ? e->dataByte(1) : 0;
        if (out) {
            out[0] = sf;
            out[1] = mi;
        }
        return KeyFromSignature(sf, mi);
    }
    default: {
        const TSongEvent* e = FindEvent(type, static_cast<std::uint8_t>(arg), 1);
        if (!e) return -1;
        return arg != 0 ? e->dataByte(1) : e->dataByte(0);
    }
    }
}

void TSong::KeepChannelEvents(int channel, int newChannel) {
    auto& events = channelEvents.events();
    std::erase_if(events, [channel](const TSongEvent& e) { return (e.type & 0x0F) != channel; });
    for (TSongEvent& e : events) {
        e.type = static_cast<std::uint8_t>((e.type & 0xF0) | (newChannel & 0x0F));
    }
}

bool TSong::MakeBarChords() {
    try {
        barChords.assign(static_cast<std::size_t>(std::max(barCount, 0)), TBarChords{});
    } catch (const std::bad_alloc&) {
        barChords.clear();
        return false;
    }
    return true;
}

bool TSong::MakeBarHarmony() {
    const std::size_t bars = static_cast<std::size_t>(std::max(barCount, 0));
    try {
        barHarmony.assign(bars, TBarHarmony{});
    } catch (const std::bad_alloc&) {
        barHarmony.clear();
        return false;
    }
    for (std::size_t b = 0; b < bars; ++b) {
        TBarHarmony& h = barHarmony[b];
        h.play = 1;
        h.style = -1;
        h.chord = b < barChords.size() && barChords[b].mainCount > 0 ? barChords[b].codes[0] : -1;
    }
    if (notes.Count(kChordList) > 0)
        notes.ResetList(kChordList);
    else
        notes.CreateList(kChordList, 50);
    return true;
}

void TSong::ClampSecondGroups(int limit) {
    const int clamped = std::max(limit, 0);
    for (TBarChords& bc : barChords) {
        if (bc.extraCount > clamped) bc.extraCount = static_cast<std::uint8_t>(clamped);
    }
}

std::int16_t TSong::BarChord(int bar) const {
    if (bar < 0 || bar >= static_cast<int>(barHarmony.size())) return -1;
    return barHarmony[bar].chord;
}

void TSong::SetBarChord(int bar, std::int16_t chord) {
    if (bar >= 0 && static_cast<std::uint32_t>(bar) < barCount2 &&
        bar < static_cast<int>(barHarmony.size()))
        barHarmony[bar].chord = chord;
}

void TSong::SetBarPlay(int bar, std::uint8_t play) {
    if (bar >= 0 && static_cast<std::uint32_t>(bar) < barCount2 &&
        bar < static_cast<int>(barHarmony.size()))
        barHarmony[bar].play = play;
}

std::int16_t TSong::BarCandidate(int bar, int index) const {
    if (bar < 0 || bar >= static_cast<int>(barChords.size())) return -1;
    return barChords[bar].at(index);
}

std::int16_t TSong::MelodyPitchClassOf(int i, int bar) const {
    return static_cast<std::int16_t>(notes.PitchClassOf(i, bar, kMelodyList));
}

std::int32_t TSong::MelodyStartTick(int i, int bar) const {
    if (i == -1) return meter().BarStart(bar == -1 ? barCount : bar);
    return notes.StartTick(i, kMelodyList);
}

std::int32_t TSong::MelodyGap(int i, int j) const {
    return notes.Gap(i, j, kMelodyList);
}

int TSong::MelodyFirstNoteOfBar(int bar) const {
    return notes.FirstNoteOfBar(bar, kMelodyList, false);
}

} // namespace korvanta
