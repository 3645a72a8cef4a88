// Reading a phone-sized HEIC (4032 x 3024) against the look at its declared sizes that comes
// before libheif reads it.
#include <benchmark/benchmark.h>
#include <libheif/heif.h>

#include <cstdint>
#include <vector>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/codecs/heif_sizes.h"
#include "platform/imagelib/imagelib.h"

namespace {

constexpr int kWidth = 4032;
constexpr int kHeight = 3024;

// Smooth gradients with some detail, encoded once by libheif; empty without an HEVC encoder.
std::vector<std::uint8_t> EncodeHeic() {
    std::vector<std::uint8_t> file;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_image_handle* handle = nullptr;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code ==
            heif_error_Ok &&
        heif_image_create(kWidth, kHeight, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image)
                .code == heif_error_Ok &&
        heif_image_add_plane(image, heif_channel_interleaved, kWidth, kHeight, 8).code ==
            heif_error_Ok) {
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                std::uint8_t* p = plane + std::ptrdiff_t(y) * stride + 3 * x;
                p[0] = std::uint8_t(x * 255 / kWidth);
                p[1] = std::uint8_t(y * 255 / kHeight);
                p[2] = std::uint8_t((x * y) >> 7);
            }
        heif_encoder_set_lossy_quality(encoder, 90);
        if (heif_context_encode_image(context, image, encoder, nullptr, &handle).code ==
            heif_error_Ok) {
            heif_writer writer{
                1, [](heif_context*, const void* data, size_t size, void* out) {
                    auto* bytes = static_cast<std::vector<std::uint8_t>*>(out);
                    const auto* p = static_cast<const std::uint8_t*>(data);
                    bytes->insert(bytes->end(), p, p + size);
                    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
                }};
            if (heif_context_write(context, &writer, &file).code != heif_error_Ok) file.clear();
        }
    }
    if (handle) heif_image_handle_release(handle);
    if (image) heif_image_release(image);
    if (encoder) heif_encoder_release(encoder);
    heif_context_free(context);
    return file;
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

BENCHMARK(BM_ReadHeic)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeifDeclaredSizes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
