// Frames with a window: finding the window of a 6000 x 4000 frame, and the overlay render of a
// 24-megapixel photo against the plain render of the same pair.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/opening.h"
#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/stored_rows.h"

namespace {

// An oval window with a soft edge in an opaque frame, a few opaque specks in it.
dib OvalCoverage(int w, int h) {
    dib d = newdib(w, h, 8, nullptr, 0);
    for (int y = 0; y < h; ++y) {
        BYTE* row = lumivane::StoredRow(d, h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w * 2 - 1, v = (y + 0.5) / h * 2 - 1;
            const double r = (u * u + v * v) / 0.49;  // window: 70 % of each side
            row[x] = r < 0.97 ? 0 : r > 1.03 ? 255 : BYTE((r - 0.97) / 0.06 * 255);
            if (x % 500 == 7 && y % 300 == 11) row[x] = 255;
        }
    }
    return d;
}

void BM_FindOpening(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    dib coverage = OvalCoverage(w, h);
    for (auto _ : state) benchmark::DoNotOptimize(lumivane::FindOpening(coverage));
    state.SetItemsProcessed(std::int64_t(state.iterations()) * w * h);
    deldib(coverage);
}
BENCHMARK(BM_FindOpening)->Args({6000, 4000})->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
