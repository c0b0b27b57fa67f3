#include "alg/song/TEventList.h"

#include <algorithm>
#include <new>

namespace korvanta {

TEventList::TEventList(const TMeterMap* meter, int capacity) : m_meter(meter) {
    m_events.reserve(capacity > 0 ? static_cast<std::size_t>(capacity) : 0);
}

void TEventList::Append(const TSongEvent& event) {
    try {
        m_events.push_back(event);
    } catch (const std::bad_alloc&) {
        m_failed = true;
    }
}

void TEventList::Insert(const TSongEvent& event, int index) {
    const int at = std::clamp(index, 0, Count());
    try {
        m_events.insert(m_events.begin() + at, event);
    } catch (const std::bad_alloc&) {
        m_failed = true;
    }
}

void TEventList::Remove(int index) {
    if (index >= 0 && index < Count()) m_events.erase(m_events.begin() + index);
}

const TSongEvent* TEventList::At(int i) const {
    return i >= 0 && i < Count() ? &m_events[i] : nullptr;
}

TSongEvent* TEventList::At(int i) {
    return i >= 0 && i < Count() ? &m_events[i] : nullptr;
}

std::int32_t TEventList::TickOf(int i) const {
    const TSongEvent* e = At(i);
    if (!e || !m_meter) return 0;
    return m_meter->ToTicks(e->position());
}

} // namespace korvanta
