#include "playback/SongRender.h"

#include "alg/song/SongEventStream.h"
#include "playback/OfflineRender.h"

#include <new>

namespace korvanta {

namespace {

constexpr std::size_t kFillWords = 8192;

MidiResult notEnoughMemory() {
    return MidiResult::failure("Not enough memory to render the song.");
}

// Everything that can refuse the song comes before its output exists: the
// events, their length against the render limit, the synth. Then
// output(renderInto) creates the output and renders into it.
template <typename Output>
MidiResult renderSong(TSong& song, FluidSynthOptions options, Output&& output) {
    try {
        std::vector<std::uint32_t> words;
        if (!songStreamWords(song, words)) return notEnoughMemory();
        OfflineRenderOptions render;
        render.ticksPerQuarter = static_cast<std::uint32_t>(song.ticksPerQuarter);
        render.microsecondsPerQuarter = static_cast<std::uint32_t>(song.QueryMeta(kMetaTempo));
        std::uint64_t frames = 0;
        if (MidiResult r = measureStreamEvents(words, render, options.sampleRateHz, frames); !r)
            return r;
        options.offline = true;
        FluidSynthOutput synth(std::move(options));
        if (MidiResult r = synth.open(); !r) return r;
        return output(
            [&](OutputSink& out) { return renderStreamEventsToWav(synth, words, render, out); });
    } catch (const std::bad_alloc&) {
        return notEnoughMemory();
    }
}

} // namespace

MidiResult songStreamWords(TSong& song, std::vector<std::uint32_t>& words) {
    try {
        StreamCursors cursors;
        PositionCursors(song, cursors, 0, 0);
        GatherState state;
        std::vector<std::uint32_t> buffer(kFillWords);
        for (;;) {
            const FillResult r = Fill(song, buffer, StreamSource::kAll, cursors, state);
            if (r.status == FillStatus::Failed) break;
            words.insert(words.end(), buffer.begin(), buffer.begin() + r.words);
            if (r.status == FillStatus::Done) return MidiResult::success();
        }
    } catch (const std::bad_alloc&) {
    }
    words.clear();
    words.shrink_to_fit();
    return MidiResult::failure("The song's events could not be gathered (out of memory).");
}

MidiResult renderSongToWav(TSong& song, const std::filesystem::path& wavPath,
                           FluidSynthOptions options) {
    return renderSong(song, std::move(options), [&](auto&& renderInto) {
        AtomicFileSink sink(wavPath);
        const auto failed = [&] {
            return MidiResult::failure("The WAV file \"" + wavPath.string() +
                                       "\" could not be written: " + sink.error());
        };
        if (!sink.isOpen()) return failed();
        const MidiResult rendered = renderInto(sink);
        // The temporary file goes with the sink; the target stays as it was.
        if (!rendered && sink.error().empty()) return rendered;
        if (!rendered || !sink.commit()) return failed();
        return MidiResult::success();
    });
}

MidiResult renderSongToWav(TSong& song, OutputSink& out, FluidSynthOptions options) {
    return renderSong(song, std::move(options), [&](auto&& renderInto) {
        if (MidiResult r = renderInto(out); !r) return r;
        if (!out.commit())
            return MidiResult::failure("The WAV file could not be written: " + out.error());
        return MidiResult::success();
    });
}

} // namespace korvanta
