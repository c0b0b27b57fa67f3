// The chord palette's cost, each figure next to the notes view's in the same
// run: building the palette's columns for songs of 100, 1,000 and 10,000 bars
// against building the notes view (setSong + relayout) for the same song, and
// one repaint of a 1200-pixel palette at 1,000 and 10,000 bars. The palette
// paints only the columns in sight, so its repaint must not grow with the
// song; building 1,000 bars should stay well under 50 ms. Songs are generated
// melodies harmonized through TuneSession. Runs on the offscreen platform.

#include "QtBenchmarkMain.h"
#include "session/TuneSession.h"
#include "support/FakeTuneQuestions.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"
#include "ui/chords/ChordPalette.h"
#include "ui/notes/NotesView.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <map>
#include <memory>

namespace {

using namespace korvanta;
namespace fs = std::filesystem;

struct Scratch {
    fs::path folder = test::scratchPath("korvanta-palette-bench");
    Scratch() { fs::create_directories(folder); }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

std::string melodyFile(const fs::path& folder, int bars) {
    const fs::path file = folder / ("tune-" + std::to_string(bars) + ".mid");
    test::writeBytes(file, test::scaleMelody(bars));
    return file.string();
}

// One harmonized song with a notes view and a palette under it, made once per length.
struct Harmonized {
    FakeTuneQuestions questions;
    TuneSession session{questions};
    ui::NotesView view;
    ui::ChordPalette palette{session, view};
    bool ok = false;

    explicit Harmonized(int bars) {
        Scratch scratch;
        questions.minorAnswer = MessageAnswer::No;
        ok = session.open(melodyFile(scratch.folder, bars)).ok() &&
             session.createAccompaniment(true).ok() && session.harmonized();
        view.resize(1200 + ui::NotesView::rollLeft(), 400);
        palette.resize(1200 + ui::NotesView::rollLeft(), 240);
        view.setSong(session.song());
        view.relayout();
        palette.build();
    }
};

// Widgets must go before the application does: main() empties this.
std::map<int, std::unique_ptr<Harmonized>>& songs() {
    static std::map<int, std::unique_ptr<Harmonized>> made;
    return made;
}

Harmonized& harmonized(int bars) {
    auto& slot = songs()[bars];
    if (!slot) slot = std::make_unique<Harmonized>(bars);
    return *slot;
}

void BM_NotesViewBuild(benchmark::State& state) {
    Harmonized& h = harmonized(static_cast<int>(state.range(0)));
    if (!h.ok) state.SkipWithError("the melody was not harmonized");
    for (auto _ : state) {
        h.view.setSong(h.session.song());
        h.view.relayout();
    }
}

void BM_ChordPaletteBuild(benchmark::State& state) {
    Harmonized& h = harmonized(static_cast<int>(state.range(0)));
    if (!h.ok) state.SkipWithError("the melody was not harmonized");
    for (auto _ : state) {
        h.palette.build();
        benchmark::DoNotOptimize(h.palette.columnCount());
    }
    state.counters["columns"] = h.palette.columnCount();
    state.counters["child_widgets"] =
        static_cast<double>(h.palette.findChildren<QWidget*>().size());
}

void BM_ChordPaletteRepaint(benchmark::State& state) {
    Harmonized& h = harmonized(static_cast<int>(state.range(0)));
    if (!h.ok) state.SkipWithError("the melody was not harmonized");
    // Halfway through the song, where a scan from the first bar would cost most.
    QScrollBar* bar = h.view.horizontalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QImage image(h.palette.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        h.palette.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

} // namespace

BENCHMARK(BM_NotesViewBuild)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChordPaletteBuild)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChordPaletteRepaint)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return korvanta::bench::runQtBenchmarks(argc, argv, [] { songs().clear(); });
}
