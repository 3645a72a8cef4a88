// Decoding speed of the own PCX, TGA and IFF readers on a 6-megapixel picture.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/imagelib.h"
#include "tests/support/file_builder.h"

namespace {

using lumivane::Bytes;
using lumivane::Decoder;
using lumivane::ReadOptions;
using lumivane::ReadResult;
using File = std::vector<std::uint8_t>;
using lumivane::test::FileBuilder;

constexpr int kWidth = 3000, kHeight = 2000;

std::uint8_t Sample(int x, int y, int channel) {
    return std::uint8_t(x * (channel + 1) + y * 3);
}

// Uncompressed PCX with `planes` 8-bit planes (1: palette indices, 3: RGB).
File Pcx(int planes) {
    FileBuilder f;
    f.u8({0x0A, 5, 0, 8});
    for (unsigned v : {0u, 0u, unsigned(kWidth - 1), unsigned(kHeight - 1), 72u, 72u}) f.u16le(v);
    f.padTo(65).u8(unsigned(planes)).u16le(kWidth).padTo(128);
    for (int y = 0; y < kHeight; ++y)
        for (int p = 0; p < planes; ++p)
            for (int x = 0; x < kWidth; ++x) f.u8(Sample(x, y, p));
    return f.bytes;
}

File Tga24() {
    FileBuilder f;
    f.u8({0, 0, 2}).padTo(12).u16le(kWidth).u16le(kHeight).u8({24, 0x20});
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) f.u8({Sample(x, y, 2), Sample(x, y, 1), Sample(x, y, 0)});
    return f.bytes;
}

// Uncompressed ILBM with `planes` interleaved bitplanes (8: palette indices, 24: deep RGB).
File Ilbm(int planes) {
    const int planeBytes = (kWidth + 15) / 16 * 2;
    File body;
    for (int y = 0; y < kHeight; ++y) {
        for (int p = 0; p < planes; ++p) {
            File plane(planeBytes);
            for (int x = 0; x < kWidth; ++x)
                if (Sample(x, y, p / 8) >> (p % 8) & 1) plane[x / 8] |= 0x80 >> (x % 8);
            body.insert(body.end(), plane.begin(), plane.end());
        }
    }
    FileBuilder f;
    f.text("FORM").u32be(std::uint32_t(4 + 28 + 8 + body.size())).text("ILBMBMHD").u32be(20);
    f.u16be(kWidth).u16be(kHeight).u8({0, 0, 0, 0, unsigned(planes), 0, 0, 0, 0, 0, 1, 1});
    f.u16be(kWidth).u16be(kHeight).text("BODY").u32be(std::uint32_t(body.size())).append(body);
    return f.bytes;
}

void Run(benchmark::State& state, const Decoder& decoder, const File& file) {
    for (auto _ : state) {
        const ReadResult result = decoder.decode(Bytes(file.data(), file.size()), ReadOptions{});
        if (!result.image) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(result.image.get().poi);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kWidth) * kHeight);
}

void BM_Pcx8(benchmark::State& s) {
    static const File f = Pcx(1);
    Run(s, lumivane::kPcxDecoder, f);
}
void BM_Pcx24(benchmark::State& s) {
    static const File f = Pcx(3);
    Run(s, lumivane::kPcxDecoder, f);
}
void BM_Tga24(benchmark::State& s) {
    static const File f = Tga24();
    Run(s, lumivane::kTgaDecoder, f);
}
void BM_Ilbm8(benchmark::State& s) {
    static const File f = Ilbm(8);
    Run(s, lumivane::kIffDecoder, f);
}
void BM_Ilbm24(benchmark::State& s) {
    static const File f = Ilbm(24);
    Run(s, lumivane::kIffDecoder, f);
}

BENCHMARK(BM_Pcx8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcx24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ilbm8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ilbm24)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
