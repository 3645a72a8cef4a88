// Whole renders (fill, background, blend) as the window makes them on every change, and the
// batch renderer over many photos.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "image/Zerlin.h"
#include "loading/session.h"
#include "tools/render/render_cli.h"

namespace {

namespace fs = std::filesystem;
using namespace lumivane;

fs::path BenchDir() {
    return bench::BenchFolder("compose");
}

std::string TestPicture(int w, int h, const std::string& ext) {
    return bench::GradientPicture(
        BenchDir() / (std::to_string(w) + "x" + std::to_string(h) + "." + ext), w, h);
}

// The scene the window holds after loading motif and frame: fit and presets applied.
// `smooth`: the high-quality mode, measured beside the plain render of the same scene;
// `motifZoom`: "Motiv in %", set before loading so that the frame is fitted around it;
// `print`: a print format instead of the percentage fit.
void WholeRender(benchmark::State& state, int motifW, int motifH, int frameW, int frameH,
                 bool smooth = false, int motifZoom = 100,
                 std::optional<PrintFormat> print = std::nullopt) {
    FramingSession session;
    session.params().smooth = smooth;
    session.params().print = print;
    session.SetValue(Field::Zoom2Ed, motifZoom);
    session.OpenMotif(TestPicture(motifW, motifH, "bmp"));
    session.OpenBackground(TestPicture(frameW, frameH, "bmp"));
    // The window renders into a bitmap of the same size again and again; so the first render's
    // fresh allocation is not timed, however few the iterations.
    session.Render();
    for (auto _ : state) {
        session.Render();
        benchmark::DoNotOptimize(session.picture().Bits());
    }
    state.counters["outW"] = session.picture().Width();
    state.counters["outH"] = session.picture().Height();
}

// The start-up scene: the 640 x 480 photo on the 800 x 600 wood.
void BM_Render_StartupScene(benchmark::State& s) {
    WholeRender(s, 640, 480, 800, 600);
}
void BM_Render_Motif1000x750(benchmark::State& s) {
    WholeRender(s, 1000, 750, 1600, 1200);
}
// The 24-megapixel scene, plain (smooth:0) and smooth (smooth:1) side by side at motif zoom 100,
// where the motif is only turned, and at 40, where each pixel averages a footprint.
void BM_Render_Motif6000x4000(benchmark::State& s) {
    WholeRender(s, 6000, 4000, 4000, 3000, s.range(1) != 0, int(s.range(0)));
}
void BM_Render_Motif1000x750_Smooth(benchmark::State& s) {
    WholeRender(s, 1000, 750, 1600, 1200, true);
}
// A 24-megapixel photo for a 30 x 45 cm print at 300 dpi (5315 x 3543) with 10 mm borders,
// beside BM_Render_Motif6000x4000, the plain render of the same photo.
void BM_Render_Motif6000x4000_Print30x45At300(benchmark::State& s) {
    WholeRender(s, 6000, 4000, 4000, 3000, false, 100,
                PrintFormat{300000, 450000, 300, 10000, 10000, 10000});
}
// Process CPU time beside the real time: on a shared machine the CPU time of both threads
// compares the plain and the smooth render more fairly.
BENCHMARK(BM_Render_StartupScene)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Render_Motif1000x750)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_Render_Motif1000x750_Smooth)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_Render_Motif6000x4000)
    ->ArgNames({"zoom", "smooth"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({40, 0})
    ->Args({40, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_Render_Motif6000x4000_Print30x45At300)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// lumivane-render over 20 motifs of 3000 x 2000 JPEGs, with -j N.
void BM_Batch20Motifs(benchmark::State& state) {
    const std::vector<std::string> args =
        bench::BatchArguments(BenchDir(), int(state.range(0)), BenchDir() / "batch");
    std::ostringstream out, err;
    for (auto _ : state) RenderMain(args, out, err, false);
}
BENCHMARK(BM_Batch20Motifs)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// End to end: decode a 6000 x 4000 JPEG and a 4000 x 3000 JPEG frame, fit, render, encode.
void BM_RenderEndToEnd6000x4000(benchmark::State& state) {
    const std::vector<std::string> args = {"-b", TestPicture(4000, 3000, "jpg"), "-o",
                                           (BenchDir() / "out.jpg").string(),
                                           TestPicture(6000, 4000, "jpg")};
    std::ostringstream out, err;
    for (auto _ : state) RenderMain(args, out, err, false);
}
BENCHMARK(BM_RenderEndToEnd6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
