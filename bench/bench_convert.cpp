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

void BM_ResampleReduce24(benchmark::State& state) {
    dib source = PatternImage(6000, 4000, 24);
    for (auto _ : state) {
        dib small = ResampleDib(source, 1000, 4000 * 1000 / 6000, true);
        benchmark::DoNotOptimize(small.poi);
        FreeDib(small);
    }
    FreeDib(source);
}
BENCHMARK(BM_ResampleReduce24)->Unit(benchmark::kMillisecond);

// The loader's reduction of an image exactly 1000 pixels wide: the same-size blend.
void BM_ResampleSameSizeSmooth24(benchmark::State& state) {
    dib source = PatternImage(1000, 800, 24);
    for (auto _ : state) {
        dib copy = ResampleDib(source, 1000, 800, true);
        benchmark::DoNotOptimize(copy.poi);
        FreeDib(copy);
    }
    FreeDib(source);
}
BENCHMARK(BM_ResampleSameSizeSmooth24)->Unit(benchmark::kMillisecond);

void BM_ResampleEnlargeSmooth24(benchmark::State& state) {
    dib source = PatternImage(800, 600, 24);
    for (auto _ : state) {
        dib large = ResampleDib(source, 1000, 750, true);
        benchmark::DoNotOptimize(large.poi);
        FreeDib(large);
    }
    FreeDib(source);
}
BENCHMARK(BM_ResampleEnlargeSmooth24)->Unit(benchmark::kMillisecond);

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
