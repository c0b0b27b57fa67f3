#include "alg/song/TNotes.h"

#include <bit>
#include <new>

namespace korvanta {

const std::vector<TNote> TNotes::kEmpty;

void TNotes::Construct(int capacity) {
    meter.Clear();
    for (auto& l : m_lists) {
        l.clear();
        l.shrink_to_fit();
    }
    length = 0;
    savedLength = 0;
    pitchMask = 0;
    pitchClassCount = 0;
    upbeat = -1;
    error = 0;
    barCount = 0;
    barFirstNote.clear();
    CreateList(kMelodyList, capacity);
}

void TNotes::CreateList(int list, int capacity) {
    if (!isList(list)) return;
    try {
        std::vector<TNote> fresh;
        fresh.reserve(capacity > 0 ? static_cast<std::size_t>(capacity) : 0);
        m_lists[list] = std::move(fresh);
    } catch (const std::bad_alloc&) {
        error = 1;
    }
}

void TNotes::ResetList(int list) {
    if (isList(list)) m_lists[list].clear();
}

void TNotes::FreeList(int list) {
    if (!isList(list)) return;
    m_lists[list].clear();
    m_lists[list].shrink_to_fit();
}

void TNotes::Append(int list, const TNote& note) {
    if (!isList(list)) return;
    try {
        m_lists[list].push_back(note);
    } catch (const std::bad_alloc&) {
        error = 1;
        return;
    }
    if (list == kMelodyList && note.pitchClass < 12) {
        pitchMask = static_cast<std::int16_t>(pitchMask | (1 << note.pitchClass));
    }
    barCount = note.start.bar + 1;
}

void TNotes::AddNote(std::uint8_t pitch, int list, std::uint16_t velocities, const TBarPos& start,
                     std::uint16_t duration, std::uint8_t pitchClass) {
    TNote n;
    n.pitch = pitch;
    n.list = static_cast<std::uint8_t>(list);
    n.velocities = velocities;
    n.start = start;
    n.duration = duration;
    n.pitchClass = pitchClass;
    Append(list, n);
}

std::int32_t TNotes::Count(int list) const {
    return isList(list) ? static_cast<std::int32_t>(m_lists[list].size()) : 0;
}

const TNote* TNotes::Note(int i, int list) const {
    if (!isList(list) || i < 0 || i >= Count(list)) return nullptr;
    return &m_lists[list][i];
}

TNote* TNotes::Note(int i, int list) {
    if (!isList(list) || i < 0 || i >= Count(list)) return nullptr;
    return &m_lists[list][i];
}

const TNote* TNotes::NoteInBar(int i, int bar, int list) const {
    const TNote* n = Note(i, list);
    return n && n->start.bar == bar ? n : nullptr;
}

int TNotes::PitchClassOf(int i, int bar, int list) const {
    const TNote* n = Note(i, list);
    if (!n || (bar != -1 && n->start.bar != bar)) return -1;
    return n->pitchClass;
}

std::int32_t TNotes::StartTick(int i, int list) const {
    const TNote* n = Note(i, list);
    return n ? meter.ToTicks(n->start) : -1;
}

std::int32_t TNotes::EndTick(int i, int list, int mode) const {
    const TNote* n = Note(i, list);
    if (!n) return mode == 2 ? meter.BarStart(meter.barCount) : -1;
    return saturateTicks(std::int64_t{meter.ToTicks(n->start)} + n->duration);
}

std::int32_t TNotes::Gap(int i, int j, int list) const {
    const TNote* a = Note(i, list);
    if (!a) return 0;
    const TNote* b = Note(j, list);
    const TBarPos end = b ? b->start : TBarPos{static_cast<std::uint16_t>(barCount), 0, 0, 0};
    return meter.Distance(end, a->start, a->duration);
}

int TNotes::FirstNoteOfBar(int bar, int list, bool skipEmpty) const {
    if (list == kMelodyList && !barFirstNote.empty()) {
        const int limit = skipEmpty ? barCount : bar + 1;
        for (int b = bar; b < limit && b < static_cast<int>(barFirstNote.size()); ++b) {
            if (b >= 0 && barFirstNote[b] >= 0) return barFirstNote[b];
        }
        return Count(list) - 1;
    }
    const auto& notes = this->list(list);
    if (!isList(list)) return 0;
    for (std::size_t k = 0; k < notes.size(); ++k) {
        if (notes[k].start.bar >= bar) return static_cast<int>(k);
    }
    return static_cast<int>(notes.size());
}

int TNotes::FindAtTick(std::int32_t ticks, int list, const TNote** found) const {
    int index = 0;
    if (ticks <= 0) {
        index = 0;
    } else if (ticks >= length) {
        index = Count(list);
    } else {
        index = FirstNoteOfBar(meter.ToPos(ticks).bar, list, true);
        if (index < 0) index = 0;
        while (index < Count(list) && StartTick(index, list) < ticks)
            ++index;
    }
    if (found) *found = Note(index, list);
    return index;
}

int TNotes::CountPitchClasses(int mask) const {
    if (mask <= 0) mask = static_cast<std::uint16_t>(pitchMask);
    return std::popcount(static_cast<unsigned>(mask) & 0xFFFu);
}

} // namespace korvanta
