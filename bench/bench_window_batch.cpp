// The window's batch (the runner on a worker thread, its reports queued to the GUI thread) beside
// lumivane-render on the same 20 photo-like 3000 x 2000 motifs and the same number of jobs.
// Headless: the controller needs an event loop, not a screen. The program lumivane-render also
// sets the allocator to keep freed pictures (in its main, not here), so time it as a program too:
// it and this benchmark's BM_WindowBatch20 on the same files, one after the other.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/BatchRun.h"
#include "loading/save_picture.h"
#include "platform/gdi/surface.h"
#include "tools/render/render_cli.h"

namespace {

namespace fs = std::filesystem;
using namespace lumivane;

fs::path BenchDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / "lumivane-bench-window-batch";
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Smooth gradients with some detail, written once and reused.
std::string TestPicture(const std::string& name, int w, int h) {
    const fs::path path = BenchDir() / name;
    if (fs::exists(path)) return path.string();
    Surface s;
    s.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        BYTE* row = s.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            row[4 * x] = BYTE(x * 255 / w);
            row[4 * x + 1] = BYTE(y * 255 / h);
            row[4 * x + 2] = BYTE((x ^ y) & 0x3F) + 96;
        }
    }
    SavePicture(s, path.string());
    return path.string();
}

std::vector<std::string> Motifs() {
    const std::string motif = TestPicture("motif.jpg", 3000, 2000);
    std::vector<std::string> motifs;
    for (int i = 0; i < 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "m%02d.jpg", i);
        const fs::path copy = BenchDir() / name;
        if (!fs::exists(copy)) fs::copy_file(motif, copy);
        motifs.push_back(copy.string());
    }
    return motifs;
}

std::vector<std::string> RenderArgs(int jobs, const std::string& output) {
    std::vector<std::string> args = {
        "-j", std::to_string(jobs), "-b", TestPicture("frame.jpg", 2400, 1800), "-o", output};
    for (const std::string& m : Motifs()) args.push_back(m);
    return args;
}

void BM_RenderBatch20(benchmark::State& state) {
    const std::vector<std::string> args =
        RenderArgs(int(state.range(0)), (BenchDir() / "render").string());
    std::ostringstream out, err;
    for (auto _ : state) RenderMain(args, out, err, false);
}

// The same design and photos through the window's controller, until its end is reported.
void BM_WindowBatch20(benchmark::State& state) {
    const std::vector<std::string> args =
        RenderArgs(int(state.range(0)), (BenchDir() / "window").string());
    std::string error;
    const std::optional<RenderOptions> o = ParseRenderArguments(args, error);
    BatchSettings settings;
    settings.design = DesignOf(*o);
    settings.quality = o->quality;
    settings.jobs = o->jobs;
    settings.outputFolder = o->output;
    std::vector<BatchItem> items;
    const auto targets = BatchTargets(o->motifs, o->output, o->format);
    for (std::size_t i = 0; i < o->motifs.size(); ++i) items.push_back({o->motifs[i], targets[i]});
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
