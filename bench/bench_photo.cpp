// Photo facts on a 24-megapixel (6000 x 4000) picture: turning it upright by its EXIF
// orientation and converting it from an embedded wide-gamut profile to sRGB.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/imagelib/colour_profile.h"
#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/orientation.h"
#include "tests/support/test_profiles.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

dib Picture(int bits) {
    const dib d = newdib(kWidth, kHeight, bits, nullptr, 0);
    auto* p = static_cast<std::uint8_t*>(d.poi);
    for (std::size_t i = 0; i < std::size_t(d.bytew) * kHeight; ++i)
        p[i] = std::uint8_t(i * 2654435761u >> 24);
    return d;
}


// Orientation N (argument) at the depth given as second argument.
void BM_Orientation(benchmark::State& state) {
    const dib picture = Picture(int(state.range(1)));
    for (auto _ : state) {
        const dib upright = lumivane::OrientedDib(picture, int(state.range(0)));
        benchmark::DoNotOptimize(upright.poi);
        deldib(upright);
    }
    deldib(picture);
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_Orientation)
    ->Args({6, 24})
    ->Args({3, 24})
    ->Args({6, 8})
    ->Args({8, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The conversion to sRGB in place; every round converts the previous round's result.
void BM_ProfileToSrgb(benchmark::State& state) {
    const dib picture = Picture(24);
    const std::vector<std::uint8_t> profile = lumivane::test::WideGamutProfile();
    for (auto _ : state) {
        const auto use = lumivane::ConvertToSrgb(picture, {profile.data(), profile.size()});
        benchmark::DoNotOptimize(use);
    }
    deldib(picture);
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_ProfileToSrgb)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
