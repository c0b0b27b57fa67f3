#pragma once
// An ordered list of stored MIDI events (meta events or channel events) of a
// song. Owned by TSong; refers to the song's meter map to turn positions into
// ticks. Records are copied in and out by value.

#include "alg/song/SongRecords.h"
#include "alg/song/TMeterMap.h"

#include <cstdint>
#include <vector>

namespace korvanta {

class TEventList {
public:
    explicit TEventList(const TMeterMap* meter = nullptr, int capacity = 5);

    void Append(const TSongEvent& event);
    void Insert(const TSongEvent& event, int index); // index clamped to Count()
    void Remove(int index);
    void Clear() { m_events.clear(); }
    std::int32_t Count() const { return static_cast<std::int32_t>(m_events.size()); }
    const TSongEvent* At(int i) const;
    TSongEvent* At(int i);
    std::int32_t TickOf(int i) const;

    bool failed() const { return m_failed; } // an append or insert could not grow the list
    void setMeter(const TMeterMap* meter) { m_meter = meter; }
    const std::vector<TSongEvent>& events() const { return m_events; }
    std::vector<TSongEvent>& events() { return m_events; }

private:
    std::vector<TSongEvent> m_events;
    const TMeterMap* m_meter = nullptr;
    bool m_failed = false;
};

} // namespace korvanta
