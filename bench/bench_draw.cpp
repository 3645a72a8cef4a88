// Drawing the background into the off-screen bitmap: a 24-bit 6000 x 4000 image scaled to
// 65 %, beside a plain copy of the same output bytes (the memory bandwidth bound).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "image/Zerlin.h"

namespace {

constexpr int kSrcW = 6000, kSrcH = 4000;
constexpr int kDestW = kSrcW * 65 / 100, kDestH = kSrcH * 65 / 100;

const dib& Background() {
    static const dib image = [] {
        dib d = newdib(kSrcW, kSrcH, 24, nullptr, 0);
        auto* p = static_cast<BYTE*>(d.poi);
        for (std::size_t i = 0; i < std::size_t(d.bytew) * kSrcH; ++i) p[i] = BYTE(i * 7 + i / 997);
        return d;
    }();
    return image;
}

void BM_DrawDibToDevice_24bit_65pct(benchmark::State& state) {
    const dib& image = Background();
    lumivane::Surface bit;
    bit.SetSize(kDestW, kDestH);
    bit.Fill(0);
    HDC dc = CreateSurfaceDC(bit);
    for (auto _ : state) {
        DrawDibToDevice(dc, 0, 0, kDestW, kDestH, image, 0, 0, kSrcW, kSrcH, false, SRCCOPY);
        benchmark::ClobberMemory();
    }
    DeleteDC(dc);
    state.SetBytesProcessed(state.iterations() * std::int64_t(kDestW) * kDestH * 4);
}
// Wall time: part of the drawing runs on a second thread.
BENCHMARK(BM_DrawDibToDevice_24bit_65pct)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemcpyOfTheOutput(benchmark::State& state) {
    const std::size_t bytes = std::size_t(kDestW) * kDestH * 4;
    std::vector<BYTE> from(bytes, 1), to(bytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}
BENCHMARK(BM_MemcpyOfTheOutput)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
