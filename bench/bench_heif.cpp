// Reading a phone-sized HEIC (4032 x 3024) against the look at its declared sizes that comes
// before libheif reads it; and that look at a hostile file whose 20,000 items each point at all
// of its 4 MB of media data.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/codecs/heif_sizes.h"
#include "platform/imagelib/imagelib.h"
#include "tests/platform/imagelib/heif_files.h"

namespace {

constexpr int kWidth = 4032;
constexpr int kHeight = 3024;

// Smooth gradients with some detail, encoded once by libheif; empty without an HEVC encoder.
std::vector<std::uint8_t> EncodeHeic() {
    imagelib_test::HeifRecipe recipe;
    recipe.width = kWidth;
    recipe.height = kHeight;
    recipe.pixel = [](int x, int y) {
        return imagelib_test::Rgba{std::uint8_t(x * 255 / kWidth), std::uint8_t(y * 255 / kHeight),
                                   std::uint8_t((x * y) >> 7), 255};
    };
    return imagelib_test::MakeHeif(recipe);
}

const std::vector<std::uint8_t>& Heic() {
    static const std::vector<std::uint8_t> file = EncodeHeic();
    return file;
}

void BM_ReadHeic(benchmark::State& state) {
    const lumivane::Bytes file(Heic().data(), Heic().size());
    if (file.empty()) return state.SkipWithError("libheif has no HEVC encoder here");
    for (auto _ : state) {
        dib d = lumivane::DecodeImage(file);
        if (!d.poi) return state.SkipWithError("read failed");
        deldib(d);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
}

void BM_HeifDeclaredSizes(benchmark::State& state) {
    const lumivane::Bytes file(Heic().data(), Heic().size());
    if (file.empty()) return state.SkipWithError("libheif has no HEVC encoder here");
    for (auto _ : state) benchmark::DoNotOptimize(lumivane::HeifDeclaredSizes(file));
    state.SetBytesProcessed(state.iterations() * std::int64_t(file.size()));
}

void BM_HeifDeclaredSizesItemsSpanningTheFile(benchmark::State& state) {
    const std::vector<std::uint8_t> media(4 << 20);
    const std::vector<imagelib_test::HeifItem> items(
        20000,
        {"hvc1", {{0, 0, {{0, imagelib_test::kHeifMediaData + std::uint32_t(media.size())}}}}});
    const std::vector<std::uint8_t> file = imagelib_test::HeifWithItems(items, media);
    for (auto _ : state)
        benchmark::DoNotOptimize(lumivane::HeifDeclaredSizes({file.data(), file.size()}));
    state.SetBytesProcessed(state.iterations() * std::int64_t(file.size()));
}

BENCHMARK(BM_ReadHeic)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeifDeclaredSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HeifDeclaredSizesItemsSpanningTheFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
