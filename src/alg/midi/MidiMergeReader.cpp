#include "alg/midi/MidiMergeReader.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <new>

namespace korvanta {

bool MidiMergeReader::read() {
    if (!isOpen()) return false;
    if (!mergeprepare()) {
        m_errorFlag = true;
        return false;
    }
    while (!m_stopFlag && mergestep()) {
    }
    if (m_errorFlag) return false;
    mergefinish();
    return true;
}

std::int64_t MidiMergeReader::eventTicks() const {
    const auto index = static_cast<std::size_t>(m_currentTrack - 1);
    return m_currentTrack >= 1 && index < m_trackNextTime.size() ? m_trackNextTime[index]
                                                                 : m_trackTime;
}

bool MidiMergeReader::mergeprepare() {
    seek(0);
    if (!readheader()) return false;

    // Every track chunk takes at least 8 bytes: do not trust a count the file cannot hold.
    const std::uint64_t remaining = m_fileSize - std::min(m_position, m_fileSize);
    const auto count = static_cast<std::size_t>(m_trackCount);
    if (count > remaining / 8) {
        reportError("missing midi track MTrk");
        return false;
    }
    try {
        m_trackNextOffset.assign(count, 0);
        m_trackEndOffset.assign(count, 0);
        m_trackNextTime.assign(count, 0);
        m_trackDone.assign(count, 0);
        m_trackRunningStatus.assign(count, -1);
    } catch (const std::bad_alloc&) {
        reportError("out of memory");
        return false;
    }
    m_longestTrack = -1;
    m_longestTrackLength = 0;

    const std::uint32_t savedOptions = m_options;
    m_options = kScanOnly;
    for (std::size_t i = 0; i < count; ++i) {
        if (!readtrack(static_cast<int>(i) + 1)) {
            m_options = savedOptions;
            return false;
        }
        const std::uint64_t start = m_chunkStart + 8;
        const std::uint64_t end = m_trackEnd;
        m_trackEndOffset[i] = end;
        if (end > start && end - start > m_longestTrackLength) {
            m_longestTrack = static_cast<int>(i);
            m_longestTrackLength = end - start;
        }
        if (start < end) {
            m_position = start;
            if (!readNextDelta(i)) {
                m_options = savedOptions;
                return false;
            }
        } else {
            m_trackDone[i] = 1;
        }
        m_position = end;
    }
    m_options = savedOptions;
    m_pending.clear();
    m_scanTime.clear();
    m_useHeap = count > kLinearScanTracks;
    if (m_useHeap) {
        m_pending.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            pushPending(i);
    } else {
        m_scanTime.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            trackMoved(i);
    }
    m_progress = 0;
    m_nextProgressAt = 0;
    m_trackTime = 0;
    return true;
}

bool MidiMergeReader::readNextDelta(std::size_t index) {
    std::uint32_t delta = 0;
    if (!readVlq(delta)) return false;
    if (delta >= kLargeDelta) largePause(delta);
    m_trackNextTime[index] += delta;
    m_trackNextOffset[index] = m_position;
    // A delta with no event after it ends the track.
    if (m_position >= m_trackEndOffset[index]) m_trackDone[index] = 1;
    return true;
}

void MidiMergeReader::updateMergeProgress(std::size_t index) {
    if (m_longestTrack < 0 || index != static_cast<std::size_t>(m_longestTrack)) return;
    const std::uint64_t start = m_trackEndOffset[index] - m_longestTrackLength;
    const std::uint64_t done = m_trackNextOffset[index] - start;
    if (done < m_nextProgressAt) return;
    const int percent = static_cast<int>(done * 100 / m_longestTrackLength);
    if (percent > m_progress) {
        m_progress = percent;
        onprogress(percent);
    }
    // The first count of bytes at which the percentage grows again.
    m_nextProgressAt =
        ((static_cast<std::uint64_t>(m_progress) + 1) * m_longestTrackLength + 99) / 100;
}

void MidiMergeReader::pushPending(std::size_t index) {
    if (m_trackDone[index]) return;
    m_pending.emplace_back(m_trackNextTime[index], index);
    std::push_heap(m_pending.begin(), m_pending.end(), std::greater<>());
}

void MidiMergeReader::siftDownPending() {
    const std::size_t n = m_pending.size();
    std::size_t at = 0;
    const PendingTrack moving = m_pending[0];
    for (;;) {
        std::size_t child = 2 * at + 1;
        if (child >= n) break;
        if (child + 1 < n && m_pending[child + 1] < m_pending[child]) ++child;
        if (!(m_pending[child] < moving)) break;
        m_pending[at] = m_pending[child];
        at = child;
    }
    m_pending[at] = moving;
}

std::size_t MidiMergeReader::earliestTrack() const {
    if (m_useHeap) return m_pending.empty() ? kNoTrack : m_pending.front().second;
    // Two passes without unpredictable branches: the earliest time, then the
    // first track that has it.
    std::int64_t earliest = kTrackDoneTime;
    for (const std::int64_t t : m_scanTime)
        earliest = std::min(earliest, t);
    if (earliest == kTrackDoneTime) return kNoTrack;
    std::size_t i = 0;
    while (m_scanTime[i] != earliest)
        ++i;
    return i;
}

void MidiMergeReader::trackMoved(std::size_t index) {
    if (!m_useHeap) {
        m_scanTime[index] = m_trackDone[index] ? kTrackDoneTime : m_trackNextTime[index];
        return;
    }
    // Only the earliest track moves, and its next event is later: it moves
    // down the heap in one pass, or leaves it when it is done.
    if (m_trackDone[index]) {
        std::pop_heap(m_pending.begin(), m_pending.end(), std::greater<>());
        m_pending.pop_back();
    } else {
        m_pending.front().first = m_trackNextTime[index];
        siftDownPending();
    }
}

bool MidiMergeReader::mergestep() {
    std::size_t i = earliestTrack();
    if (i == kNoTrack) return false; // all tracks read
    const std::int64_t time = m_trackNextTime[i];

    const std::int64_t delta = time - m_trackTime;
    ondelta(delta);
    m_trackTime = time;
    if (!advanceClock(delta)) return false;

    // Every track with an event at this time, in track order, each drained of
    // all its events at this time before the next.
    for (; i != kNoTrack && m_trackNextTime[i] == time; i = earliestTrack()) {
        while (!m_trackDone[i] && m_trackNextTime[i] == time) {
            updateMergeProgress(i);
            m_currentTrack = static_cast<int>(i) + 1;
            m_runningStatus = m_trackRunningStatus[i];
            m_position = m_trackNextOffset[i];
            m_trackTime = time;
            m_endOfTrackSeen = false;
            m_trackEnd = m_trackEndOffset[i];
            if (readevent(m_trackEndOffset[i]) <= 0) {
                m_errorFlag = true;
                return false;
            }
            m_trackNextOffset[i] = m_position;
            m_trackRunningStatus[i] = m_runningStatus;
            if (m_stopFlag || m_endOfTrackSeen || m_position >= m_trackEndOffset[i]) {
                m_trackDone[i] = 1;
            } else if (!readNextDelta(i)) {
                m_errorFlag = true;
                return false;
            }
            // An unrealistic pause ends the reading with what was read so far.
            if (m_stopFlag) return false;
        }
        trackMoved(i);
    }
    return true;
}

void MidiMergeReader::mergefinish() {
    m_progress = 100;
    onprogress(100);
    onfinished();
}

} // namespace korvanta
