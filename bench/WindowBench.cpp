// The desktop window's start-up and opening costs, each against a baseline in
// the same run: the main window up to its first painted frame against a bare
// QMainWindow doing the same, and opening a 1,000-bar melody up to a painted
// view against opening a 16-bar one. Runs on the offscreen platform.

#include "QtBenchmarkMain.h"
#include "support/FakeMessageSink.h"
#include "support/ScratchPath.h"
#include "support/SmfBuilder.h"
#include "ui/FakeFileDialogs.h"
#include "ui/FirstStart.h"
#include "ui/TfMain.h"
#include "ui/notes/NotesView.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <benchmark/benchmark.h>
#include <filesystem>

namespace {

using namespace korvanta;
namespace fs = std::filesystem;

struct Scratch {
    fs::path folder = test::scratchPath("korvanta-window-bench");
    QString ini;
    Scratch() {
        fs::create_directories(folder);
        ini = QString::fromStdString((folder / "settings.ini").string());
        FakeMessageSink sink;
        ui::ensureSettingsBase(SettingsLocation::iniFile(ini), sink,
                               QStringLiteral(KORVANTA_DATA_DIR),
                               QString::fromStdString(folder.string()));
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

QString melodyFile(int bars) {
    const fs::path file = scratch().folder / ("tune-" + std::to_string(bars) + ".mid");
    if (!fs::exists(file)) test::writeBytes(file, test::scaleMelody(bars));
    return QString::fromStdString(file.string());
}

struct Window {
    FakeMessageSink messages;
    test::FakeFileDialogs dialogs;
    std::unique_ptr<ui::TfMain> main;

    Window() {
        ui::MainWindowServices services;
        services.settings = SettingsLocation::iniFile(scratch().ini);
        services.messages = &messages;
        services.dialogs = &dialogs;
        main = std::make_unique<ui::TfMain>(std::move(services));
    }
};

void BM_BareMainWindowFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        QMainWindow window;
        window.menuBar()->addMenu(QStringLiteral("&File"));
        window.setCentralWidget(new QLabel(QStringLiteral("Korvanta")));
        window.statusBar()->showMessage(QStringLiteral("For Help, press F1"));
        window.resize(825, 554);
        window.show();
        benchmark::DoNotOptimize(window.grab());
    }
}
BENCHMARK(BM_BareMainWindowFirstPaint)->Unit(benchmark::kMillisecond);

void BM_MainWindowFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        Window w;
        w.main->start();
        w.main->show();
        benchmark::DoNotOptimize(w.main->grab());
    }
}
BENCHMARK(BM_MainWindowFirstPaint)->Unit(benchmark::kMillisecond);

void BM_OpenMelodyToPaintedView(benchmark::State& state) {
    const QString file = melodyFile(static_cast<int>(state.range(0)));
    Window w;
    w.main->start();
    w.main->show();
    for (auto _ : state) {
        w.main->OpenSong(file, ui::OpenOrigin::CommandLine);
        benchmark::DoNotOptimize(w.main->notesView()->grab());
    }
    if (!w.main->session().hasSong()) state.SkipWithError("the melody did not open");
}
BENCHMARK(BM_OpenMelodyToPaintedView)->Arg(16)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return korvanta::bench::runQtBenchmarks(argc, argv);
}
