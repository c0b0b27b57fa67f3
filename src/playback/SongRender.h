#pragma once
// Renders a whole song (melody and rendered accompaniment, with its tempo,
// programs and volumes) through the embedded synth into a WAV file, without a
// sound card and faster than real time. Runs on the calling thread; the song
// must not change meanwhile.

#include "alg/song/TSong.h"
#include "io/OutputSink.h"
#include "playback/FluidSynthOutput.h"

#include <filesystem>

namespace korvanta {

// The song's stream events from start to end, as the player would send them.
// Fails, with `words` emptied, when memory runs out.
MidiResult songStreamWords(TSong& song, std::vector<std::uint32_t>& words);

// Writes the song as 16-bit stereo WAV at the synth's sample rate. The song's
// chord list is played as it is (build the chord notes first). The song's
// length is checked before anything is rendered or any file is created; the
// audio goes to the file a block at a time, so memory does not grow with the
// song. Running out of memory is a failure like any other, never an exception.
MidiResult renderSongToWav(TSong& song, const std::filesystem::path& wavPath,
                           FluidSynthOptions options = {});

// The same into `out`, which is committed once the whole file was written.
MidiResult renderSongToWav(TSong& song, OutputSink& out, FluidSynthOptions options = {});

} // namespace korvanta
