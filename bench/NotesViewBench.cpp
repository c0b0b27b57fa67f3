// The notes view's frame: one full repaint of a 1200x400 view, and one scroll
// step (the scroll bar moves a beat and the view repaints), over songs of
// 1,000 and 10,000 bars. The view looks only at the notes of its window, so
// both figures should not grow with the song: compare the two lengths.
#include "QtBenchmarkMain.h"
#include "alg/song/TSong.h"
#include "ui/notes/NotesView.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>

using namespace korvanta;

namespace {

// Four quarter notes a bar in 4/4, pitches walking through an octave.
std::unique_ptr<TSong> makeSong(int bars) {
    auto song = std::make_unique<TSong>();
    TMeterMap& meter = song->meter();
    meter.SetDivision(480);
    meter.sixteenthTicks = 120;
    meter.AddMeter(0, 4, 4);
    for (int bar = 0; bar < bars; ++bar) {
        for (int beat = 0; beat < 4; ++beat) {
            const auto pitch = static_cast<std::uint8_t>(60 + (bar + beat) % 12);
            song->notes.AddNote(
                pitch, kMelodyList, 0x6400,
                TBarPos{static_cast<std::uint16_t>(bar), static_cast<std::uint8_t>(beat), 0, 0},
                480, pitch % 12);
        }
    }
    meter.barCount = bars;
    song->setBarCount(bars);
    song->notes.length = meter.BarStart(bars);
    song->chordOctave = 5;
    return song;
}

struct Fixture {
    std::unique_ptr<TSong> song;
    ui::NotesView view;
    QImage image;

    explicit Fixture(int bars) : song(makeSong(bars)) {
        view.resize(1200 + ui::NotesView::rollLeft(), 400);
        view.show();
        view.setSong(song.get());
        // Halfway through the song, where a scan from the first note would cost most.
        QScrollBar* h = view.horizontalScrollBar();
        h->setValue(h->maximum() / 2);
        image = QImage(view.viewport()->size(), QImage::Format_RGB32);
    }
};

void BM_NotesViewFrame(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        f.view.viewport()->render(&f.image);
        benchmark::DoNotOptimize(f.image.constBits());
    }
    state.counters["notes_visited"] = static_cast<double>(f.view.notesVisitedByLastPaint());
}

void BM_NotesViewScrollStep(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    QScrollBar* h = f.view.horizontalScrollBar();
    const int base = h->value();
    int step = 0;
    for (auto _ : state) {
        h->setValue(base + (step++ % 64));
        f.view.viewport()->render(&f.image);
        benchmark::DoNotOptimize(f.image.constBits());
    }
}

// One tick of the window's play timer: the cursor follows the player and the
// view repaints (scrolling when the cursor leaves it).
void BM_NotesViewFollowTick(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    f.view.setPlaying(true);
    const std::int64_t start = f.song->notes.length / 2;
    const std::int64_t step = f.song->meter().ticksPerQuarter / 8;
    std::int64_t tick = start;
    for (auto _ : state) {
        tick += step;
        if (tick > start + 64 * f.song->meter().ticksPerQuarter) tick = start;
        f.view.follow(tick);
        f.view.viewport()->render(&f.image);
        benchmark::DoNotOptimize(f.image.constBits());
    }
}

} // namespace

BENCHMARK(BM_NotesViewFollowTick)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NotesViewFrame)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NotesViewScrollStep)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return korvanta::bench::runQtBenchmarks(argc, argv);
}
