#pragma once
// The status codes that loading, melody checks, key analysis and saving leave
// for the main window, and that every Result (io/Result.h) carries. 0 is
// success; the message table turns the others into user messages. In the
// lowest layer, so every reader and writer can return them.

#include <cstdint>

namespace korvanta {

using Status = std::int32_t;

constexpr Status kStatusOk = 0;
constexpr Status kStatusNoResult = 1; // key analysis working, or the harmonizer could not start
constexpr Status kStatusSeveralChannels = 89; // notes on several channels: the user picks one
constexpr Status kStatusNotMonophonic = 90;   // three notes start together
constexpr Status kStatusTooShort = 91;        // the melody has fewer than 3 bars
// A warning: the melody is prepared, but with fewer than 5 pitch classes (or,
// from key analysis, 2 or fewer) its key cannot be told.
constexpr Status kStatusKeyNotRecognised = 92;
constexpr Status kStatusMelodyUnsuitable = 93; // fewer than 5 pitch classes, or lies too low
constexpr Status kStatusNoNotes = 94;          // the file holds no note at all
constexpr Status kStatusKeyUnknown = 95;       // key analysis found no key
constexpr Status kStatusKeyAmbiguous = 96;     // a major key or its relative minor
constexpr Status kStatusManyKeys = 97;         // more than 10 keys touched; still harmonized
constexpr Status kStatusNoMelodyChannel = 98;  // several channels, none usable as the melody
constexpr Status kStatusTooFewNotes = 99;      // the melody has fewer than 7 notes
constexpr Status kStatusLoadFailed = 101;      // the file could not be read
constexpr Status kStatusSaveFailed = 102;      // the file could not be written
constexpr Status kStatusOutputFailed = 103;    // a sound output or MIDI port failed (playback)

} // namespace korvanta
