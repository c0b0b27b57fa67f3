// The chords grid of a 1,000-bar song written as a PDF, against exporting the
// same song as a MIDI file in the same run: the grid is the slower of the
// two and should stay within a small multiple of the export.

#include "QtBenchmarkMain.h"
#include "alg/harmony/HarmonySettings.h"
#include "print/ChordsGridPainter.h"
#include "session/ChordMaster.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>

namespace {

using namespace korvanta;
namespace fs = std::filesystem;

constexpr int kBars = 1000;

// One harmonized song for every benchmark of the run.
struct Song {
    fs::path folder = test::scratchPath("korvanta-print-bench");
    HarmonySettings settings = kBuiltInHarmonySettings;
    std::unique_ptr<ChordMaster> master;

    Song() {
        fs::create_directories(folder);
        const fs::path file = folder / "long.mid";
        test::writeBytes(file, test::scaleMelody(kBars));
        master = std::make_unique<ChordMaster>(file.string(), 0, settings);
        if (master->Harmonize() != kStatusOk) master.reset();
    }
    ~Song() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Song& song() {
    static Song s;
    return s;
}

void BM_ExportMidi(benchmark::State& state) {
    Song& s = song();
    if (!s.master) return state.SkipWithError("the song could not be harmonized");
    const std::string out = (s.folder / "export.mid").string();
    for (auto _ : state) {
        if (s.master->Export(out) != kStatusOk) state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_ExportMidi)->Unit(benchmark::kMillisecond);

void BM_ChordsGridPdf(benchmark::State& state) {
    Song& s = song();
    if (!s.master) return state.SkipWithError("the song could not be harmonized");
    const std::string out = (s.folder / "grid.pdf").string();
    int pages = 0;
    for (auto _ : state) {
        const print::GridDocument document =
            print::gridDocumentOf(*s.master, "Long", "Bench", "2026-12-08");
        if (!print::writeChordsGridPdf(document, out, print::PaperSize::A4, &pages).empty())
            state.SkipWithError("the PDF could not be written");
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_ChordsGridPdf)->Unit(benchmark::kMillisecond);

// Only the layout, without drawing: what a preview costs before painting.
void BM_ChordsGridLayout(benchmark::State& state) {
    Song& s = song();
    if (!s.master) return state.SkipWithError("the song could not be harmonized");
    print::GridPageMetrics metrics;
    metrics.pageWidth = 2480;
    metrics.pageHeight = 3508;
    metrics.scale = 300.0 / 96.0;
    for (int& h : metrics.textHeight)
        h = 50;
    const print::GridDocument document =
        print::gridDocumentOf(*s.master, "Long", "Bench", "2026-12-08");
    for (auto _ : state)
        benchmark::DoNotOptimize(print::layoutChordsGrid(document, metrics));
}
BENCHMARK(BM_ChordsGridLayout)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return korvanta::bench::runQtBenchmarks(argc, argv);
}
