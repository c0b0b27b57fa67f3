#pragma once
// Prints a song as korvanta-cli's dump command shows it: as text for people or
// as one JSON object for scripts.

#include "alg/song/TSong.h"
#include "alg/song/TSongReader.h"

#include <ostream>
#include <string>

namespace korvanta::cli {

void dumpSongText(std::ostream& out, const std::string& fileName, const TSong& song,
                  const MidiLoadResult& load);
void dumpSongJson(std::ostream& out, const TSong& song, const MidiLoadResult& load);

} // namespace korvanta::cli
