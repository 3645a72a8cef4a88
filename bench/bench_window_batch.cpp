// The window's batch (the runner on a worker thread, its reports queued to the GUI thread) beside
// lumivane-render on the same 20 photo-like 3000 x 2000 motifs and the same number of jobs.
// Headless: the controller needs an event loop, not a screen. The program lumivane-render also
// sets the allocator to keep freed pictures (in its main, not here), so time it as a program too:
// it and this benchmark's BM_WindowBatch20 on the same files, one after the other.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/BatchRun.h"
#include "bench/bench_pictures.h"
#include "tools/render/render_cli.h"

namespace {

namespace fs = std::filesystem;
using namespace lumivane;

fs::path BenchDir() {
    return bench::BenchFolder("window-batch");
}

void BM_RenderBatch20(benchmark::State& state) {
    const std::vector<std::string> args =
        bench::BatchArguments(BenchDir(), int(state.range(0)), BenchDir() / "render");
    std::ostringstream out, err;
    for (auto _ : state) RenderMain(args, out, err, false);
}

// The same design and photos through the window's controller, until its end is reported.
void BM_WindowBatch20(benchmark::State& state) {
    const std::vector<std::string> args =
        bench::BatchArguments(BenchDir(), int(state.range(0)), BenchDir() / "window");
    std::string error;
    const std::optional<RenderOptions> o = ParseRenderArguments(args, error);
    BatchSettings settings;
    settings.design = DesignOf(*o);
    settings.quality = o->quality;
    settings.jobs = o->jobs;
    settings.outputFolder = o->output;
    const std::vector<BatchItem> items = BatchItemsIn(o->motifs, o->output, o->format);
    for (auto _ : state) {
        BatchRun run(settings, items);
        QEventLoop loop;
        QObject::connect(&run, &BatchRun::Ended, &loop, &QEventLoop::quit);
        run.Start();
        loop.exec();
        if (run.Written() != 20) state.SkipWithError("not every photo was written");
    }
}

BENCHMARK(BM_RenderBatch20)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);
BENCHMARK(BM_WindowBatch20)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
