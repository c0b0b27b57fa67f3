#pragma once
// Writes a harmonized song as a format-1 Standard MIDI File: a conductor track
// (title, comment, SMPTE offset, time signatures from the meter map, key
// signatures, tempo changes), the melody track on channel 0 and the
// accompaniment track on channel 1 with the chord name of every bar as a
// marker. Free functions over a song the caller owns, called on the thread
// that owns it (the GUI thread). Times are in the song's ticks; the file's
// division is the meter map's ticks per quarter note.
//
// Saving goes through AtomicFileSink like every save of the program: a
// temporary file beside the target replaces it only once it is complete and
// on disk, with the permissions of the file it replaces, so a failed export
// leaves the previous file as it was and no partial file behind.

#include "alg/song/TSong.h"
#include "io/Result.h"
#include "io/StatusCodes.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace korvanta {

// Channels of the two parts in the exported file (and in playback).
constexpr int kExportMelodyChannel = 0;
constexpr int kExportChordChannel = 1;
constexpr int kExportPartCount = 2;

constexpr int kDefaultProgram = 0;
constexpr int kDefaultVolume = 100;
constexpr std::uint8_t kControllerVolume = 7;
constexpr std::uint8_t kControllerPan = 10;

// How a part starts: General MIDI program 0-127, channel volume 0-127, pan
// 0-127 or -1 when the song leaves it alone.
struct PartSetup {
    int program = kDefaultProgram;
    int volume = kDefaultVolume;
    int pan = -1;

    friend bool operator==(const PartSetup&, const PartSetup&) = default;
};

// The setup a part (0 melody, 1 chords) starts with in the exported file.
PartSetup exportPartSetup(const TSong& song, int part);

// What an export reports: kStatusOk, or kStatusSaveFailed with one line saying
// why in message (empty on success).
struct MidiExportResult : Outcome {
    std::uint32_t bytesWritten = 0;
};

// The whole file as bytes, built in memory. title becomes the conductor
// track's name. Fails (kStatusSaveFailed, no bytes) for a song that cannot be
// written: no meter, a division outside 1-32767, a meter whose beat is not a
// power of two, or a song longer than a MIDI file can time.
struct MidiExportBytes : Outcome {
    std::vector<std::uint8_t> bytes;
};
MidiExportBytes renderMidiExport(const TSong& song, std::string_view title);

// Writes the file to a caller's freshly opened stream (left open; its stdio
// buffering is switched off) through the MIDI byte layer; kStatusSaveFailed
// when a write fails.
MidiExportResult writeMidiExport(const TSong& song, std::FILE* stream, std::string_view title);

// Exports the song to fileName, replacing it only when the whole file was
// written; a failure's diagnostic is the file sink's reason. An empty title
// names the conductor track after the file's stem.
MidiExportResult exportMidiFile(const TSong& song, const std::string& fileName,
                                std::string_view title = {});

// The export name derived from a tune's file name: "song.mid" gives
// "song_kvta.mid"; a name that does not end in ".mid" (compared
// case-sensitively) keeps it whole, so "song.MID" gives "song.MID_kvta.mid".
std::string exportFileName(std::string_view fileName);

} // namespace korvanta
