// Decoding speed of the own PCX, TGA and IFF readers on a 6-megapixel picture.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/imagelib.h"

namespace {

using lumivane::Bytes;
using lumivane::Decoder;
using lumivane::ReadOptions;
using lumivane::ReadResult;
using File = std::vector<std::uint8_t>;

constexpr int kWidth = 3000, kHeight = 2000;

std::uint8_t Sample(int x, int y, int channel) {
    return std::uint8_t(x * (channel + 1) + y * 3);
}

void Put(File& f, std::initializer_list<unsigned> bytes) {
    for (unsigned b : bytes) f.push_back(std::uint8_t(b));
}
void Put16le(File& f, unsigned v) {
    Put(f, {v & 0xFF, v >> 8 & 0xFF});
}
void Put16be(File& f, unsigned v) {
    Put(f, {v >> 8 & 0xFF, v & 0xFF});
}
void Put32be(File& f, std::uint32_t v) {
    Put16be(f, v >> 16);
    Put16be(f, v & 0xFFFF);
}

// Uncompressed PCX with `planes` 8-bit planes (1: palette indices, 3: RGB).
File Pcx(int planes) {
    File f;
    Put(f, {0x0A, 5, 0, 8});
    for (unsigned v : {0u, 0u, unsigned(kWidth - 1), unsigned(kHeight - 1), 72u, 72u})
        Put16le(f, v);
    f.resize(65, 0);
    f.push_back(std::uint8_t(planes));
    Put16le(f, kWidth);
    f.resize(128, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int p = 0; p < planes; ++p)
            for (int x = 0; x < kWidth; ++x) f.push_back(Sample(x, y, p));
    return f;
}

File Tga24() {
    File f(12, 0);
    f[2] = 2;
    Put16le(f, kWidth);
    Put16le(f, kHeight);
    Put(f, {24, 0x20});
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            Put(f, {Sample(x, y, 2), Sample(x, y, 1), Sample(x, y, 0)});
    return f;
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
    File f;
    Put(f, {'F', 'O', 'R', 'M'});
    Put32be(f, std::uint32_t(4 + 28 + 8 + body.size()));
    Put(f, {'I', 'L', 'B', 'M', 'B', 'M', 'H', 'D', 0, 0, 0, 20});
    Put16be(f, kWidth);
    Put16be(f, kHeight);
    Put(f, {0, 0, 0, 0, unsigned(planes), 0, 0, 0, 0, 0, 1, 1});
    Put16be(f, kWidth);
    Put16be(f, kHeight);
    Put(f, {'B', 'O', 'D', 'Y'});
    Put32be(f, std::uint32_t(body.size()));
    f.insert(f.end(), body.begin(), body.end());
    return f;
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
