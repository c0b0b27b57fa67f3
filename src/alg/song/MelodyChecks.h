#pragma once
// Turning the notes of a freshly read song into one prepared melody: the test
// whether a channel can serve as the melody, the move of that channel into the
// melody list, the facts derived from it (bars, first note of every bar,
// quantisation, upbeat, chord octave), and the loading sequence that ties them
// together and leaves a status code (StatusCodes.h). Free functions working on
// a song owned by the caller, on the thread that owns it. Times are in ticks.

#include "alg/song/TNotes.h"
#include "alg/song/TSong.h"
#include "io/StatusCodes.h"

#include <cstdint>
#include <vector>

namespace korvanta {

constexpr int kMinMelodyPitchClasses = 5;
constexpr int kMinMelodyNotes = 7;
constexpr int kMinMelodyBars = 3;
constexpr int kLowestMelodyOctave = 4; // pitch / 12; most notes must lie here or higher
constexpr int kHighestChordOctave = 5; // the chord octave follows the melody up to here
constexpr int kProjectChordListCapacity = 100;

// Where the melody comes from: a MIDI file just read (the song keeps only the
// melody channel's events), or a project file (everything is kept).
enum class PrepareMode { MidiFile = 1, ProjectFile = 2 };

// Whether list channel can serve as the melody: at least 7 notes, never three
// starting together, at least 5 pitch classes, mostly at pitch 48 or higher.
// Sets notes.error: 92 for fewer than 7 notes, 90 for three simultaneous
// onsets, 0 for too few pitch classes or too low a register; on success it is
// left at 92 and means nothing.
bool IsMelodyCandidate(TNotes& notes, int channel);

// Makes list channel the melody list (list fields rewritten to 0), refreshes
// pitchMask, pitchClassCount, barCount, length and savedLength, and frees every
// other list. False, with nothing changed, when channel is not a note list.
bool SelectMelody(TNotes& notes, int channel);

// Selects channel as the melody and derives what the later steps need. Returns
// 0; 91 when the melody has fewer than 3 bars (nothing past the upbeat is
// prepared); 92 when it is prepared but uses fewer than 5 pitch classes; 94,
// with the song untouched, when channel is not a note list or holds no note.
Status PrepareMelody(TSong& song, int channel, PrepareMode mode);

// Ticks from the first note's bar line to the first note of list, 0 when that
// is less than an eighth note, -1 when the list is empty. Cached in
// notes.upbeat once known.
std::int32_t Upbeat(TNotes& notes, int list);

// The loading sequence after the MIDI reader succeeded. readerCode is what the
// reader reported (89 for notes on several channels, else 0); melodyChannel is
// the channel of the first note, -1 when there was none. Returns 0, or 92 with
// the melody prepared; 89 when the user must choose the channel (see
// chooseMelodyChannel); any other value means the song holds no prepared
// melody and must not be used: 90, 91, 93, 94, 99, or readerCode itself when it
// is neither 0 nor 89. Status 0 clears the song's change flags.
Status loadMelody(TSong& song, Status readerCode, int melodyChannel);

// One channel that could serve as the melody, for the channel choice.
struct MelodyChannel {
    int channel = 0;
    int program = -1; // the channel's first program change, -1 when it has none
};

struct MelodyChannelChoice {
    std::vector<MelodyChannel> channels; // every qualifying channel, in order 0-15
    // 89 when two or more qualify and the user must choose; 98 when none does;
    // with exactly one, the result of preparing it (as prepareChosenMelody).
    Status status = kStatusSeveralChannels;
};

// The channel choice for a file with notes on several channels. When exactly
// one channel qualifies it is prepared at once.
MelodyChannelChoice chooseMelodyChannel(TSong& song);

// Prepares the channel the user chose from chooseMelodyChannel's list as the
// melody of a MIDI file. The candidate test runs again, so a channel that does
// not qualify gives its failure status instead of an unusable melody. Status 0
// clears the song's change flags.
Status prepareChosenMelody(TSong& song, int channel);

// The melody step after a project file was read: the melody list is prepared
// as it is; on status 0 the change flags are cleared and, for a harmonized
// song, the chord list is created.
Status loadProjectMelody(TSong& song);

} // namespace korvanta
