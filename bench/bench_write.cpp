// Writing a full-size composed picture (7800 x 5200, photo-like) in the common formats.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/imagelib/save_image.h"

namespace {

constexpr int kWidth = 7800;
constexpr int kHeight = 5200;

// Smooth gradients with some fine texture, so that compressors see something like a photo.
const std::vector<std::uint8_t>& Picture() {
    static const std::vector<std::uint8_t> pixels = [] {
        std::vector<std::uint8_t> p(std::size_t(kWidth) * kHeight * 4);
        std::uint32_t noise = 12345;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int grain = int(noise >> 29) - 4;
                std::uint8_t* q = &p[(std::size_t(y) * kWidth + x) * 4];
                q[0] = std::uint8_t(std::clamp(255 * y / kHeight + grain, 0, 255));
                q[1] = std::uint8_t(
                    std::clamp(int(128 + 100 * std::sin(x * 0.003 + y * 0.002)) + grain, 0, 255));
                q[2] = std::uint8_t(std::clamp(255 * x / kWidth + grain, 0, 255));
                q[3] = 0;
            }
        return p;
    }();
    return pixels;
}

void Write(benchmark::State& state, const char* extension) {
    const lumivane::Bgrx32View view{kWidth, kHeight, std::ptrdiff_t(kWidth) * 4, Picture().data()};
    const std::string path = "/tmp/lumivane-bench-write." + std::string(extension);
    for (auto _ : state) {
        const lumivane::SaveResult r = lumivane::SaveImage(path, view);
        if (!r.Ok()) state.SkipWithError(lumivane::SaveErrorMessage(r.error).c_str());
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        std::fseek(f, 0, SEEK_END);
        state.counters["MiB"] = double(std::ftell(f)) / (1 << 20);
        std::fclose(f);
    }
    std::remove(path.c_str());
}

}  // namespace

BENCHMARK_CAPTURE(Write, jpeg, "jpg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, png, "png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, bmp, "bmp")->Unit(benchmark::kMillisecond)->UseRealTime();
// The other writable formats, for comparison.
BENCHMARK_CAPTURE(Write, tiff, "tif")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, webp, "webp")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, gif, "gif")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, rle, "rle")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, tga, "tga")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, pcx, "pcx")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, iff, "iff")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Write, jp2, "jp2")->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
