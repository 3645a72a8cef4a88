// HEIC and AVIF files made by libheif's own encoder, for the reader tests.
#pragma once

#include <libheif/heif.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "tests/support/file_builder.h"

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

// An entry of the item location box: in the file (method 0) or in the item data box (1).
struct HeifLocation {
    unsigned method = 0;
    std::uint64_t base = 0;                                        // base offset
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // offset, length
};
struct HeifItem {
    const char* type;
    std::vector<HeifLocation> locations;
};
// The media data follows the file type box: its data starts at this offset.
constexpr std::uint32_t kHeifMediaData = 32;

// A HEIF of items numbered from 1 (the first is the primary one, 8 x 8, and the second
// describes it) with the given media data and item data, and an item location box of `version`
// with base offsets of `baseSize` bytes; written from the container syntax.
inline std::vector<std::uint8_t> HeifWithItems(const std::vector<HeifItem>& items,
                                               const std::vector<std::uint8_t>& media,
                                               const std::vector<std::uint8_t>& itemData = {},
                                               unsigned version = 1, unsigned baseSize = 0) {
    using lumivane::test::FileBuilder;
    const auto box = [](const char* type, const FileBuilder& body, int fullBoxVersion = -1) {
        FileBuilder b;
        b.u32be(std::uint32_t(8 + (fullBoxVersion >= 0 ? 4 : 0) + body.bytes.size())).text(type);
        if (fullBoxVersion >= 0) b.u32be(std::uint32_t(fullBoxVersion) << 24);
        return b.append(body.bytes);
    };
    FileBuilder iinf, iloc, meta;
    const auto u32orU16 = [&](std::uint32_t v, bool wide) { wide ? iloc.u32be(v) : iloc.u16be(v); };
    std::uint32_t entries = 0;
    for (const HeifItem& item : items) entries += std::uint32_t(item.locations.size());
    iinf.u16be(unsigned(items.size()));
    iloc.u8(0x44).u8(baseSize << 4 | (version == 2 ? 4 : 0));  // 4-byte extents; v2: indices
    u32orU16(entries, version >= 2);
    for (unsigned id = 1; id <= items.size(); ++id) {
        iinf.append(
            box("infe", FileBuilder().u16be(id).u16be(0).text(items[id - 1].type).u8(0), 2).bytes);
        for (const HeifLocation& at : items[id - 1].locations) {
            u32orU16(id, version >= 2);
            if (version >= 1) iloc.u16be(at.method);
            iloc.u16be(0);  // data reference
            if (baseSize == 8) iloc.u32be(std::uint32_t(at.base >> 32));
            if (baseSize >= 4) iloc.u32be(std::uint32_t(at.base));
            iloc.u16be(unsigned(at.extents.size()));
            for (const auto& [offset, length] : at.extents)
                iloc.append(
                    FileBuilder().fill(version == 2 ? 4 : 0).u32be(offset).u32be(length).bytes);
        }
    }
    const FileBuilder ispe = box("ispe", FileBuilder().u32be(8).u32be(8), 0);
    const FileBuilder ipma = box("ipma", FileBuilder().u32be(1).u16be(1).u8(1).u8(0x81), 0);
    meta.append(box("hdlr", FileBuilder().u32be(0).text("pict").fill(13), 0).bytes);
    meta.append(box("pitm", FileBuilder().u16be(1), 0).bytes);
    meta.append(box("iinf", iinf, 0).bytes)
        .append(box("idat", FileBuilder().append(itemData)).bytes);
    meta.append(box("iloc", iloc, int(version)).bytes);
    meta.append(box("iref", box("cdsc", FileBuilder().u16be(2).u16be(1).u16be(1)), 0).bytes);
    meta.append(
        box("iprp", FileBuilder().append(box("ipco", ispe).bytes).append(ipma.bytes)).bytes);
    FileBuilder file = box("ftyp", FileBuilder().text("heic").u32be(0).text("mif1heic"));
    file.append(box("mdat", FileBuilder().append(media)).bytes);
    return file.append(box("meta", meta, 0).bytes).bytes;
}

}  // namespace imagelib_test
