// Conversion, reduction and quarter turn of camera-sized images.
#include <benchmark/benchmark.h>

#include <cstring>

#include "image/Zerlin.h"

namespace {

dib PatternImage(int width, int height, int bits) {
    dib d = newdib(width, height, bits, nullptr, 0);
    auto* p = static_cast<BYTE*>(d.poi);
    for (LONG i = 0; i < d.bytew * height; ++i) p[i] = BYTE(i * 7 + (i >> 12));
    return d;
}

void BM_ConvertDib8(benchmark::State& state) {
    dib source = PatternImage(6000, 4000, 8);
    for (auto _ : state) {
        state.PauseTiming();
        dib image = newdib(6000, 4000, 8, source.pmi, 256);
        std::memcpy(image.poi, source.poi, std::size_t(source.bytew) * 4000);
        state.ResumeTiming();
        ConvertDib(image, 24);
        benchmark::DoNotOptimize(image.poi);
        FreeDib(image);
    }
    FreeDib(source);
}
BENCHMARK(BM_ConvertDib8)->Unit(benchmark::kMillisecond);

// Resampling of a 24-bit image with smoothing requested, as the motif loader asks for it.
// Arguments: source width and height, new width and height.
void BM_ResampleSmooth24(benchmark::State& state) {
    const int newWidth = int(state.range(2));
    const int newHeight = int(state.range(3));
    dib source = PatternImage(int(state.range(0)), int(state.range(1)), 24);
    for (auto _ : state) {
        dib copy = ResampleDib(source, newWidth, newHeight, true);
        benchmark::DoNotOptimize(copy.poi);
        FreeDib(copy);
    }
    FreeDib(source);
}
BENCHMARK(BM_ResampleSmooth24)
    ->Args({6000, 4000, 1000, 666})  // the reduction: shrinking, so nearest pixel
    ->Args({1000, 800, 1000, 800})   // an image exactly 1000 wide: the same-size blend
    ->Args({800, 600, 1000, 750})    // a true enlargement: the bilinear blend
    ->Unit(benchmark::kMillisecond);

void BM_TurnQuarter24(benchmark::State& state) {
    dib bkgnd = PatternImage(6000, 4000, 24);
    for (auto _ : state) {
        TurnBackgroundQuarter(bkgnd);
        benchmark::DoNotOptimize(bkgnd.poi);
    }
    FreeDib(bkgnd);
}
BENCHMARK(BM_TurnQuarter24)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
