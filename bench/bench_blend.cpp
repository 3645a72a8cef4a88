// The rotated masked blend beside a plain memory copy of the bytes it writes (the bandwidth
// bound), for a small and a large motif at 0 and 5 degrees, zoom 100, into a bitmap 1.3 times the
// motif's size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/blend.h"
#include "engine/feather_mask.h"
#include "engine/smooth_blend.h"
#include "platform/gdi/surface.h"
#include "platform/imagelib/imagelib.h"

namespace {

struct Scene {
    dib motif{};
    dib mask{};
    lumivane::Surface bit;
    std::size_t bytesWritten = 0;

    Scene(int w, int h, double angle) {
        motif = newdib(w, h, 24, nullptr, 0);
        mask = newdib(w, h, 24, nullptr, 0);
        auto* p = static_cast<BYTE*>(motif.poi);
        for (std::size_t i = 0; i < std::size_t(motif.bytew) * h; ++i)
            p[i] = BYTE(i * 7 + i / 4096);
        lumivane::BuildFeatherMask(mask, w / 50, false, 0);
        bit.SetSize(w * 13 / 10, h * 13 / 10);
        // Count the pixels the blend writes: it sets their fourth byte to 0.
        std::memset(bit.Bits(), 0xFF, std::size_t(bit.Width()) * bit.Height() * 4);
        lumivane::DibRotxxx(motif, mask, bit, angle, 0, 0, 100);
        for (std::size_t i = 3; i < std::size_t(bit.Width()) * bit.Height() * 4; i += 4)
            bytesWritten += bit.Bits()[i] == 0 ? 4 : 0;
    }
    ~Scene() {
        deldib(motif);
        deldib(mask);
    }
};

void BM_Blend(benchmark::State& state) {
    const double angle = double(state.range(2));
    Scene scene(int(state.range(0)), int(state.range(1)), angle);
    for (auto _ : state) {
        lumivane::DibRotxxx(scene.motif, scene.mask, scene.bit, angle, 0, 0, 100);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(scene.bytesWritten));
}

// The high-quality mode's blend over the same scenes.
void BM_BlendSmooth(benchmark::State& state) {
    const double angle = double(state.range(2));
    Scene scene(int(state.range(0)), int(state.range(1)), angle);
    for (auto _ : state) {
        lumivane::DibRotxxxSmooth(scene.motif, scene.mask, scene.bit, angle, 0, 0, 100);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(scene.bytesWritten));
}

void BM_MemcpyOfBlendOutput(benchmark::State& state) {
    const Scene scene(int(state.range(0)), int(state.range(1)), double(state.range(2)));
    std::vector<BYTE> from(scene.bytesWritten, 1), to(scene.bytesWritten, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(to.size()));
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int angle : {0, 5}) {
        b->Args({1000, 750, angle});
        b->Args({6000, 4000, angle});
    }
    b->ArgNames({"w", "h", "deg"})
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
}

BENCHMARK(BM_Blend)->Apply(Sizes);
BENCHMARK(BM_BlendSmooth)->Apply(Sizes);
BENCHMARK(BM_MemcpyOfBlendOutput)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
