// The batch over 20 photo-like 3000 x 2000 JPEGs, on one and on two workers, with the output
// folder synced once at the end or after every result; the allocator set up as in
// lumivane-render.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "image/Zerlin.h"
#include "loading/batch.h"
#include "loading/save_picture.h"

namespace {

namespace fs = std::filesystem;
using namespace lumivane;

fs::path BenchDir() {
    return bench::BenchFolder("batch");
}

// Smooth light falling across the picture, edges and sensor noise, so that the JPEG holds about
// as much detail as a photo's and decodes as slowly; `seed` makes every photo different.
std::string PhotoLike(int w, int h, unsigned seed, const std::string& name) {
    const fs::path path = BenchDir() / name;
    if (fs::exists(path)) return path.string();
    Surface s;
    s.SetSize(w, h);
    unsigned noise = seed * 2654435761u + 1;
    for (int y = 0; y < h; ++y) {
        BYTE* row = s.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 28) - 8;
            const int edge = ((x / 97 + y / 61 + int(seed)) % 5 == 0) ? 40 : 0;
            for (int c = 0; c < 3; ++c) {
                const int v = (x * (60 + 40 * c) / w) + (y * (140 - 30 * c) / h) + edge + n + 30;
                row[4 * x + c] = BYTE(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    SavePicture(s, path.string());
    return path.string();
}

void BM_Batch20Photos3000x2000(benchmark::State& state) {
    BatchSettings settings;
    settings.design.background = PhotoLike(2400, 1800, 99, "frame.jpg");
    settings.jobs = int(state.range(0));
    settings.syncFolderPerResult = state.range(1) != 0;
    std::vector<std::string> motifs;
    for (unsigned i = 0; i < 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo%02u.jpg", i);
        motifs.push_back(PhotoLike(3000, 2000, i, name));
    }
    const fs::path out = BenchDir() / "out";
    const std::vector<BatchItem> items = BatchItemsIn(motifs, out, "jpg");
    settings.outputFolder = out;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);  // every result written anew, none replaced
        state.ResumeTiming();
        if (RunBatch(settings, items, {}) != BatchEnd::AllWritten) state.SkipWithError("failed");
    }
    state.counters["photos/s"] =
        benchmark::Counter(double(items.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Batch20Photos3000x2000)
    ->ArgNames({"jobs", "syncEach"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()  // the work done, beside the wall time other programs stretch
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

// With the allocator set up as lumivane-render sets it up.
int main(int argc, char** argv) {
    KeepMemoryBetweenPhotos();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
