// HEIC and AVIF files made by libheif's own encoder, for the reader tests.
#pragma once

#include <libheif/heif.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace imagelib_test {

struct Rgba {
    std::uint8_t r, g, b, a;
};

struct HeifRecipe {
    heif_compression_format format = heif_compression_HEVC;
    int width = 32;
    int height = 24;
    bool alpha = false;
    heif_orientation orientation = heif_orientation_normal;  // stored as irot / imir
    std::vector<std::uint8_t> exif;                          // a TIFF structure
    std::function<Rgba(int x, int y)> pixel;
};

inline bool CanEncodeHeif(heif_compression_format format) {
    return heif_have_encoder_for_format(format) != 0;
}

// The encoded file, or nothing when libheif cannot encode it.
inline std::vector<std::uint8_t> MakeHeif(const HeifRecipe& recipe) {
    std::vector<std::uint8_t> file;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_encoding_options* options = heif_encoding_options_alloc();
    heif_image_handle* handle = nullptr;
    const heif_chroma chroma =
        recipe.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    const int channels = recipe.alpha ? 4 : 3;
    if (heif_context_get_encoder_for_format(context, recipe.format, &encoder).code ==
            heif_error_Ok &&
        heif_image_create(recipe.width, recipe.height, heif_colorspace_RGB, chroma, &image).code ==
            heif_error_Ok &&
        heif_image_add_plane(image, heif_channel_interleaved, recipe.width, recipe.height, 8)
                .code == heif_error_Ok) {
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < recipe.height; ++y)
            for (int x = 0; x < recipe.width; ++x) {
                const Rgba c = recipe.pixel(x, y);
                std::uint8_t* p = plane + y * stride + x * channels;
                p[0] = c.r, p[1] = c.g, p[2] = c.b;
                if (recipe.alpha) p[3] = c.a;
            }
        heif_encoder_set_lossy_quality(encoder, 95);
        options->image_orientation = recipe.orientation;
        if (heif_context_encode_image(context, image, encoder, options, &handle).code ==
            heif_error_Ok) {
            if (!recipe.exif.empty())
                heif_context_add_exif_metadata(context, handle, recipe.exif.data(),
                                               int(recipe.exif.size()));
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
    heif_encoding_options_free(options);
    if (image) heif_image_release(image);
    if (encoder) heif_encoder_release(encoder);
    heif_context_free(context);
    return file;
}

}  // namespace imagelib_test
