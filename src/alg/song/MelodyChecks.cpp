// Melody candidate test, melody selection and preparation, and the loading
// sequence that turns a read song into one with a prepared melody.

#include "alg/song/MelodyChecks.h"

#include <algorithm>
#include <array>
#include <bit>

namespace korvanta {

namespace {

constexpr int kPitchClassCount = 12;
constexpr int kCandidateOctaves = 12;
constexpr int kChordOctaveSlots = 16;
constexpr std::uint8_t kProgramChange = 0xC0;

bool isNoteList(int list) {
    return list >= 0 && list < kNoteListCount;
}

int octaveOf(const TNote& note) {
    return note.pitch / 12;
}

std::uint16_t pitchClassBit(const TNote& note) {
    return note.pitchClass < kPitchClassCount ? static_cast<std::uint16_t>(1u << note.pitchClass)
                                              : std::uint16_t{0};
}

void clearChangeFlags(TSong& song) {
    song.SetFlags(0, false);
}

// The candidate test as a status: 0 when channel can be prepared as the
// melody, else why not. The note store's own error code calls fewer than 7
// notes 92, which the main window would read as the key warning on a prepared
// melody, and calls a plain or low melody 0; both get codes of their own here.
Status candidateStatus(TNotes& notes, int channel) {
    if (!isNoteList(channel) || notes.Count(channel) == 0) return kStatusNoNotes;
    if (IsMelodyCandidate(notes, channel)) return kStatusOk;
    switch (notes.error) {
    case kStatusNotMonophonic:
        return kStatusNotMonophonic;
    case kStatusKeyNotRecognised:
        return kStatusTooFewNotes;
    default:
        return kStatusMelodyUnsuitable;
    }
}

Status prepareMidiMelody(TSong& song, int channel) {
    const Status candidate = candidateStatus(song.notes, channel);
    if (candidate != kStatusOk) return candidate;
    const Status status = PrepareMelody(song, channel, PrepareMode::MidiFile);
    if (status == kStatusOk) clearChangeFlags(song);
    return status;
}

} // namespace

bool IsMelodyCandidate(TNotes& notes, int channel) {
    const int threshold = std::max(notes.meter.ticksPerQuarter / 32 - 1, 1);
    notes.error = 0;
    const int count = notes.Count(channel);
    if (count < kMinMelodyNotes) {
        notes.error = kStatusKeyNotRecognised;
        return false;
    }

    std::uint16_t pitchClasses = 0;
    std::array<int, kCandidateOctaves> octaves{};
    int bestOctave = 0;
    int bestCount = 0;
    auto countOctave = [&](const TNote& note) {
        const int octave = std::min(octaveOf(note), kCandidateOctaves - 1);
        if (++octaves[octave] > bestCount) {
            bestCount = octaves[octave];
            bestOctave = octave;
        }
    };

    // Two notes starting together (a grace note, a doubled onset) are
    // tolerated; a third one makes it a chord.
    bool previousClose = false;
    std::int32_t previousStart = notes.StartTick(0, channel);
    for (int i = 1; i < count; ++i) {
        const std::int32_t start = notes.StartTick(i, channel);
        // In 64 bits: saturated starts at both ends of the range are apart by
        // more than 32 bits hold.
        const std::int64_t gap = std::int64_t{start} - previousStart;
        previousStart = start;
        if (gap < threshold) {
            if (previousClose) {
                notes.error = kStatusNotMonophonic;
                return false;
            }
            previousClose = true;
        } else {
            previousClose = false;
        }
        const TNote& note = *notes.Note(i, channel);
        pitchClasses |= pitchClassBit(note);
        countOctave(note);
    }
    // The first note is counted last, so it wins an octave only by a clear lead.
    const TNote& first = *notes.Note(0, channel);
    pitchClasses |= pitchClassBit(first);
    countOctave(first);

    if (std::popcount(pitchClasses) < kMinMelodyPitchClasses || bestOctave < kLowestMelodyOctave)
        return false;
    notes.error = kStatusKeyNotRecognised;
    return true;
}

bool SelectMelody(TNotes& notes, int channel) {
    if (!isNoteList(channel)) return false;
    notes.barCount = 0;
    notes.pitchMask = 0;
    if (channel != kMelodyList) {
        notes.ResetList(kMelodyList);
        const int count = notes.Count(channel);
        for (int i = 0; i < count; ++i) {
            TNote note = *notes.Note(i, channel);
            note.list = kMelodyList;
            notes.Append(kMelodyList, note);
        }
        // A cached upbeat belonged to the notes that were in the melody list.
        notes.upbeat = -1;
    }

    const auto& melody = notes.list(kMelodyList);
    std::uint16_t mask = 0;
    for (const TNote& note : melody)
        mask |= pitchClassBit(note);
    notes.pitchMask = static_cast<std::int16_t>(mask);
    notes.barCount = melody.empty() ? 0 : melody.back().start.bar + 1;

    // The song ends with the latest of the last few notes: a short final note
    // may end before a long one struck just before it.
    std::int32_t length = 0;
    const int count = static_cast<int>(melody.size());
    for (int i = std::max(count - 4, 0); i < count; ++i)
        length = std::max(length, notes.EndTick(i, kMelodyList, 0));
    notes.length = length;
    notes.savedLength = static_cast<std::uint32_t>(length);
    notes.pitchClassCount = static_cast<std::uint8_t>(std::popcount(mask));

    for (int list = 0; list < kNoteListCount; ++list) {
        if (list != kMelodyList) notes.FreeList(list);
    }
    return true;
}

Status PrepareMelody(TSong& song, int channel, PrepareMode mode) {
    TNotes& notes = song.notes;
    if (!isNoteList(channel) || notes.Count(channel) == 0) return kStatusNoNotes;

    Status warning = kStatusOk;
    SelectMelody(notes, channel);
    if (mode == PrepareMode::MidiFile) song.KeepChannelEvents(channel, 0);

    TMeterMap& meter = notes.meter;
    song.setBarCount(notes.barCount);
    meter.barCount = notes.barCount;

    // Nothing shorter than a 64th is quantised; melodies with notes below a
    // 32nd get the finer grid.
    meter.shortestNote = std::max(meter.shortestNote, meter.sixteenthTicks / 4);
    meter.quantUnit = meter.QuantUnit(meter.shortestNote);
    meter.gridTicks = meter.shortestNote < meter.sixteenthTicks / 2 ? meter.sixteenthTicks / 2
                                                                    : meter.sixteenthTicks;

    Upbeat(notes, kMelodyList);

    if (notes.barCount < kMinMelodyBars) {
        notes.barFirstNote.clear();
        return kStatusTooShort;
    }
    if (notes.pitchClassCount < kMinMelodyPitchClasses) warning = kStatusKeyNotRecognised;

    // song.barFirstNote() is the note store's array, so both see the same one.
    notes.barFirstNote.assign(static_cast<std::size_t>(notes.barCount), -1);
    std::array<int, kChordOctaveSlots> octaves{};
    const auto& melody = notes.list(kMelodyList);
    int previousBar = -1;
    for (std::size_t i = 0; i < melody.size(); ++i) {
        const TNote& note = melody[i];
        ++octaves[static_cast<std::size_t>(std::min(octaveOf(note), kChordOctaveSlots - 1))];
        const int bar = note.start.bar;
        if (bar != previousBar && bar < notes.barCount)
            notes.barFirstNote[static_cast<std::size_t>(bar)] = static_cast<std::int32_t>(i);
        previousBar = bar;
    }

    // The most used octave, the lowest one among equals.
    int melodyOctave = 0;
    for (int octave = 1; octave < kChordOctaveSlots; ++octave) {
        if (octaves[octave] > octaves[melodyOctave]) melodyOctave = octave;
    }
    // Chords sound an octave below the melody; a melody in the lowest octave
    // still gets octave 0 rather than a wrapped-around value.
    song.chordOctave =
        static_cast<std::uint8_t>(std::max(std::min(melodyOctave, kHighestChordOctave) - 1, 0));
    return warning;
}

std::int32_t Upbeat(TNotes& notes, int list) {
    if (notes.upbeat != -1) return notes.upbeat;
    const TNote* first = notes.Note(0, list);
    if (!first) return -1;
    std::int32_t upbeat = notes.StartTick(0, list) - notes.meter.BarStart(first->start.bar);
    if (upbeat < notes.meter.wholeTicks / 8) upbeat = 0;
    notes.upbeat = upbeat;
    return upbeat;
}

Status loadMelody(TSong& song, Status readerCode, int melodyChannel) {
    if (readerCode == kStatusSeveralChannels) return kStatusSeveralChannels;
    if (readerCode != kStatusOk) return readerCode;
    return prepareMidiMelody(song, melodyChannel);
}

MelodyChannelChoice chooseMelodyChannel(TSong& song) {
    MelodyChannelChoice choice;
    for (int channel = 0; channel < kNoteListCount; ++channel) {
        if (!IsMelodyCandidate(song.notes, channel)) continue;
        const auto program = song.QueryMeta(static_cast<std::uint8_t>(kProgramChange + channel), 0);
        choice.channels.push_back(MelodyChannel{channel, program});
    }
    if (choice.channels.empty())
        choice.status = kStatusNoMelodyChannel;
    else if (choice.channels.size() == 1)
        choice.status = prepareMidiMelody(song, choice.channels.front().channel);
    else
        choice.status = kStatusSeveralChannels;
    return choice;
}

Status prepareChosenMelody(TSong& song, int channel) {
    return prepareMidiMelody(song, channel);
}

Status loadProjectMelody(TSong& song) {
    const Status status = PrepareMelody(song, kMelodyList, PrepareMode::ProjectFile);
    if (status != kStatusOk) return status;
    clearChangeFlags(song);
    // The melody decides how many bars the song has; chords stored for bars
    // after its last note belong to no bar any more, and saving them would
    // give a file whose chord tables disagree with its meter table.
    const auto bars = static_cast<std::size_t>(std::max(song.barCount, 0));
    if (!song.barHarmony.empty() && song.barHarmony.size() != bars) song.barHarmony.resize(bars);
    if (!song.barChords.empty() && song.barChords.size() != bars) song.barChords.resize(bars);
    if (!song.barHarmony.empty()) song.notes.CreateList(kChordList, kProjectChordListCapacity);
    return status;
}

} // namespace korvanta
