#pragma once

#include "alg/midi/MidiReader.h"

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace korvanta {

// Reads a Standard MIDI File with the events of all tracks merged into one time-ordered stream:
// events come in order of time; at the same tick all events of a lower-numbered track come
// before those of a higher-numbered one, each track's in file order. Owned by its caller; one
// thread. Times in ticks, offsets in bytes from the file start.
//
// During delivery currentTrack() is the track of the event and eventTicks() (equal to
// trackTime()) its time in ticks from the start of the song.
class MidiMergeReader : public MidiReader {
public:
    using MidiReader::MidiReader;
    ~MidiMergeReader() override = default;

    // Merged reading: mergeprepare, mergestep until it is done or stopped, mergefinish.
    bool read() override;

    // The time of the current track's next event in ticks.
    std::int64_t eventTicks() const;

protected:
    // Re-reads the header and scans the tracks for their bounds and first delta times.
    virtual bool mergeprepare();
    // Delivers every event at the next time; false when nothing is left or on failure (the
    // error flag tells which).
    virtual bool mergestep();
    // Progress 100 and onfinished().
    virtual void mergefinish();

    // One entry per track, index track - 1.
    std::vector<std::uint64_t> m_trackNextOffset;
    std::vector<std::uint64_t> m_trackEndOffset;
    std::vector<std::int64_t> m_trackNextTime;
    std::vector<std::uint8_t> m_trackDone;
    std::vector<int> m_trackRunningStatus;
    int m_longestTrack = 0; // index, or -1 when no track has bytes
    std::uint64_t m_longestTrackLength = 0;

private:
    // Finding the track with the earliest next event (the lower track on ties):
    // a plain scan over a few tracks, a heap over many, so that files with
    // thousands of tracks still read in time linear in their size.
    static constexpr std::size_t kLinearScanTracks = 32;
    static constexpr std::size_t kNoTrack = static_cast<std::size_t>(-1);
    static constexpr std::int64_t kTrackDoneTime = std::numeric_limits<std::int64_t>::max();
    using PendingTrack = std::pair<std::int64_t, std::size_t>; // (next time, index)

    bool m_useHeap = false;
    std::vector<std::int64_t> m_scanTime; // scan: next time, kTrackDoneTime when done
    std::vector<PendingTrack> m_pending;  // heap: the tracks not done, earliest first

    std::size_t earliestTrack() const;
    // Updates the search after a track read on (it must be the earliest one).
    void trackMoved(std::size_t index);
    void pushPending(std::size_t index);
    // Restores the heap after the first track's time grew.
    void siftDownPending();

    // Reads the delta before a track's next event; false on failure.
    bool readNextDelta(std::size_t index);
    void updateMergeProgress(std::size_t index);
};

} // namespace korvanta
