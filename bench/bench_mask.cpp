// Building the feather mask, rectangular and round.
#include <benchmark/benchmark.h>

#include "engine/feather_mask.h"
#include "platform/imagelib/imagelib.h"

namespace {

void BM_FeatherMask(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    const bool round = state.range(2) != 0;
    dib mask = newdib(w, h, 24, nullptr, 0);
    for (auto _ : state) {
        lumivane::BuildFeatherMask(mask, w / 50, round, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * w * h);
    deldib(mask);
}

BENCHMARK(BM_FeatherMask)
    ->Args({320, 200, 0})
    ->Args({320, 200, 1})
    ->Args({6000, 4000, 0})
    ->Args({6000, 4000, 1})
    ->ArgNames({"w", "h", "round"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
