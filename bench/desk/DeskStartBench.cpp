// Start-up of the main window on a large program directory, up to its first paint: loading
// the three catalogs, building the three views and painting the first page, as a user waits
// for them. The same window on an empty program directory is the baseline.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPaintEvent>
#include <filesystem>
#include <memory>

#include "LargeCatalog.h"
#include "TempDir.h"
#include "app/DeskOptions.h"
#include "app/MainWindow.h"

namespace {

// Shows the window and waits until it has painted once.
void StartAndPaint(const std::string& programDir) {
    app::DeskOptions options = app::DeskOptions::For(programDir);
    options.startServerWorker = false;
    auto window = std::make_unique<app::MainWindow>(options);
    window->Start();
    window->show();
    // grab() renders the whole window with its first page of tiles, as the first paint does.
    benchmark::DoNotOptimize(window->grab());
}

void BM_StartEmptyProgramDirectory(benchmark::State& state) {
    TempDir dir;
    for (auto _ : state) {
        StartAndPaint(dir.dir());
    }
}
BENCHMARK(BM_StartEmptyProgramDirectory)->Unit(benchmark::kMillisecond);

void BM_StartLargeProgramDirectory(benchmark::State& state) {
    TempDir dir;
    MakeLargeProgramDirectory(dir.dir());
    for (auto _ : state) {
        StartAndPaint(dir.dir());
    }
}
BENCHMARK(BM_StartLargeProgramDirectory)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
