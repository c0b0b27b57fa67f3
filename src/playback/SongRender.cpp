#include "playback/SongRender.h"

#include "alg/song/SongEventStream.h"
#include "playback/OfflineRender.h"

namespace korvanta {

namespace {

constexpr std::size_t kFillWords = 8192;

} // namespace

MidiResult songStreamWords(TSong& song, std::vector<std::uint32_t>& words) {
    StreamCursors cursors;
    PositionCursors(song, cursors, 0, 0);
    GatherState state;
    std::vector<std::uint32_t> buffer(kFillWords);
    for (;;) {
        const FillResult r = Fill(song, buffer, StreamSource::kAll, cursors, state);
        if (r.status == FillStatus::Failed)
            return MidiResult::failure("The song's events could not be gathered (out of memory).");
        words.insert(words.end(), buffer.begin(), buffer.begin() + r.words);
        if (r.status == FillStatus::Done) return MidiResult::success();
    }
}

MidiResult renderSongToWav(TSong& song, const std::filesystem::path& wavPath,
                           FluidSynthOptions options) {
    std::vector<std::uint32_t> words;
    if (MidiResult r = songStreamWords(song, words); !r) return r;
    options.offline = true;
    FluidSynthOutput synth(options);
    if (MidiResult r = synth.open(); !r) return r;
    OfflineRenderOptions render;
    render.ticksPerQuarter = static_cast<std::uint32_t>(song.ticksPerQuarter);
    render.microsecondsPerQuarter = static_cast<std::uint32_t>(song.QueryMeta(kMetaTempo));
    std::vector<std::int16_t> audio;
    MidiResult rendered = renderStreamEvents(synth, words, render, audio);
    synth.close();
    if (!rendered) return rendered;
    return writeWavFile(wavPath, audio, static_cast<std::uint32_t>(synth.sampleRateHz()));
}

} // namespace korvanta
