#pragma once
// The entry of the benchmarks that draw widgets: one QApplication, on the
// offscreen platform unless the caller chose another, around the benchmarks.
// `afterwards` runs before the application goes (to free what needs it).

#include <QApplication>
#include <benchmark/benchmark.h>
#include <functional>

namespace korvanta::bench {

inline int runQtBenchmarks(int argc, char** argv, const std::function<void()>& afterwards = {}) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (afterwards) afterwards();
    return 0;
}

} // namespace korvanta::bench
