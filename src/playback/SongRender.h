#pragma once
// Renders a whole song (melody and rendered accompaniment, with its tempo,
// programs and volumes) through the embedded synth into a WAV file, without a
// sound card and faster than real time. Runs on the calling thread; the song
// must not change meanwhile.

#include "alg/song/TSong.h"
#include "playback/FluidSynthOutput.h"

#include <filesystem>

namespace korvanta {

// The song's stream events from start to end, as the player would send them.
MidiResult songStreamWords(TSong& song, std::vector<std::uint32_t>& words);

// Writes the song as 16-bit stereo WAV at the synth's sample rate. The song's
// chord list is played as it is (build the chord notes first).
MidiResult renderSongToWav(TSong& song, const std::filesystem::path& wavPath,
                           FluidSynthOptions options = {});

} // namespace korvanta
