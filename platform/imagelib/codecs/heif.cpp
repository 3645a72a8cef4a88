#include "platform/imagelib/codecs/heif.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include <libheif/heif.h>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/heif_sizes.h"
#include "platform/imagelib/photo_metadata.h"

namespace lumivane {
namespace {

// HEVC and AV1 code a plain area in a few bits per block, so like lossy WebP this gets a
// generous bound of our own.
constexpr std::int64_t kHeifPixelsPerByte = 1024;
// A coded frame may exceed its picture by the padding to whole coding blocks (HEVC's largest
// is 64 pixels square), so that a picture at the side limit is not refused for it.
constexpr std::int64_t kCodingBlockPadding = 64;
// Metadata blocks beyond this are not a photo's EXIF or XMP; they are not read.
constexpr std::size_t kMaxMetadataBlock = std::size_t(16) << 20;

constexpr std::array<std::string_view, 13> kBrands = {
    "heic", "heix", "hevc", "hevx", "heim", "heis", "hevm",
    "hevs", "mif1", "msf1", "mif2", "avif", "avis",
};

bool IsHeifBrand(Bytes brand) {
    return std::any_of(kBrands.begin(), kBrands.end(), [&](std::string_view b) {
        return std::equal(b.begin(), b.end(), brand.begin(), brand.end(),
                          [](char a, std::uint8_t c) { return std::uint8_t(a) == c; });
    });
}

// An ISO media file whose ftyp box names a HEIF or AVIF brand, as major or compatible brand.
bool MatchesHeif(Bytes file) {
    ByteReader r(file);
    const std::uint32_t boxSize = r.u32be();
    const Bytes type = r.take(4);
    if (r.failed() || !std::equal(type.begin(), type.end(), "ftyp")) return false;
    if (boxSize < 16 || boxSize > file.size()) return false;
    if (IsHeifBrand(r.take(4))) return true;
    r.skip(4);  // minor version
    for (std::size_t at = 16; at + 4 <= boxSize; at += 4)
        if (IsHeifBrand(file.subspan(at, 4))) return true;
    return false;
}

bool SizeAllowed(const HeifDeclaredSize& size, std::size_t fileSize) {
    // A coded frame is judged by the picture inside its padding (at least one pixel of it).
    const auto picture = [&](std::int64_t side) {
        return size.coded ? std::max(side - kCodingBlockPadding, std::min<std::int64_t>(side, 1))
                          : side;
    };
    return ImageSizeAllowed(picture(size.width), picture(size.height)) &&
           FileCanHold(size.width, size.height, fileSize, kHeifPixelsPerByte);
}

// Our limits become libheif's own, so that nothing it reads or makes (a grid tile, a thumbnail,
// a colour profile) goes beyond them either. Up to 1.18 it has a limit on the sides alone.
void LimitContext(heif_context* context) {
#if LIBHEIF_NUMERIC_VERSION >= ((1 << 24) | (19 << 16))
    if (heif_security_limits* limits = heif_context_get_security_limits(context)) {
        limits->max_image_size_pixels = std::uint64_t(kMaxImagePixels);
        limits->max_color_profile_size = std::uint32_t(kMaxMetadataBlock);
    }
#else
    // The library in use may be newer than these headers: 1.19.0 took the side limit for the
    // number of pixels and would refuse every photo (our own check of the sizes stays).
    if (heif_get_version_number_major() == 1 && heif_get_version_number_minor() == 19 &&
        heif_get_version_number_maintenance() == 0)
        return;
    heif_context_set_maximum_image_size_limit(context, kMaxImageSide);
#endif
}

// libheif reports a limit of its own that a file goes beyond as a failed allocation.
ReadFailure FailureOf(const heif_error& error) {
    if (error.subcode == heif_suberror_Security_limit_exceeded) return ReadFailure::TooLarge;
    if (error.code == heif_error_Memory_allocation_error) return ReadFailure::OutOfMemory;
    return ReadFailure::Damaged;
}

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(const heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

std::uint8_t OverWhite(unsigned c, unsigned a) {
    return std::uint8_t((c * a + 255 * (255 - a) + 127) / 255);
}

std::vector<std::uint8_t> ColorProfile(const heif_image_handle* handle) {
    std::vector<std::uint8_t> icc;
    const auto type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_rICC && type != heif_color_profile_type_prof) return icc;
    const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size == 0 || size > kMaxMetadataBlock) return icc;
    icc.resize(size);
    if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
        icc.clear();
    return icc;
}

std::vector<std::uint8_t> MetadataBlock(const heif_image_handle* handle, const char* type) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, type, &id, 1) < 1) return {};
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size == 0 || size > kMaxMetadataBlock) return {};
    std::vector<std::uint8_t> block(size);
    if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) return {};
    return block;
}

// HEIF's EXIF block starts with the offset from its fifth byte to the TIFF header.
std::vector<std::uint8_t> ExifFromBlock(const std::vector<std::uint8_t>& block) {
    ByteReader r(Bytes(block.data(), block.size()));
    const std::uint32_t offset = r.u32be();
    r.skip(offset);
    if (r.failed() || r.remaining() < 8) return {};
    const Bytes tiff = r.rest();
    return {tiff.begin(), tiff.end()};
}

// Copies libheif's interleaved top-down rows into the bottom-up record as blue, green, red.
void CopyPixels(const std::uint8_t* plane, int stride, int channels, const dib& out) {
    const int w = out.pmi->bmiHeader.biWidth, h = out.pmi->bmiHeader.biHeight;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = plane + std::ptrdiff_t(y) * stride;
        std::uint8_t* dst = PictureRowPtr(out, y);
        for (int x = 0; x < w; ++x, src += channels, dst += 3) {
            if (channels == 4) {
                const unsigned a = src[3];
                dst[0] = OverWhite(src[2], a);
                dst[1] = OverWhite(src[1], a);
                dst[2] = OverWhite(src[0], a);
            } else {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
    }
}

// libheif turns the picture by the file's transform properties (irot, imir), which are its
// orientation: the EXIF orientation a HEIF file may also carry is not applied on top.
ReadResult DecodeHeif(Bytes file, const ReadOptions& options) {
    if (!MatchesHeif(file)) return Refused(ReadFailure::UnknownFormat);
    // Every size libheif and its decoders would allocate for decides before libheif reads on.
    const auto declared = HeifDeclaredSizes(file);
    if (!declared) return Refused(ReadFailure::Damaged);
    for (const HeifDeclaredSize& size : *declared)
        if (!SizeAllowed(size, file.size())) return Refused(ReadFailure::TooLarge);
    std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
    if (!context) return Refused(ReadFailure::OutOfMemory);
    LimitContext(context.get());
    const heif_error read = heif_context_read_from_memory_without_copy(context.get(), file.data(),
                                                                       file.size(), nullptr);
    if (read.code != heif_error_Ok) return Refused(FailureOf(read));
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return Refused(ReadFailure::Damaged);
    std::unique_ptr<const heif_image_handle, HandleDeleter> handle(rawHandle);

    // The declared size decides before anything is decoded.
    const std::int64_t width = heif_image_handle_get_width(handle.get());
    const std::int64_t height = heif_image_handle_get_height(handle.get());
    if (!ImageSizeAllowed(width, height) ||
        !FileCanHold(width, height, file.size(), kHeifPixelsPerByte))
        return Refused(ReadFailure::TooLarge);

    PhotoFacts facts;
    facts.iccProfile = ColorProfile(handle.get());
    if (options.readMetadata) {
        const std::vector<std::uint8_t> exif = ExifFromBlock(MetadataBlock(handle.get(), "Exif"));
        const std::vector<std::uint8_t> xmp = MetadataBlock(handle.get(), "mime");
        facts.metadata = PhotoMetadataFromBlocks(
            exif, std::string_view(reinterpret_cast<const char*>(xmp.data()), xmp.size()));
    }

    std::unique_ptr<heif_decoding_options, OptionsDeleter> decoding(heif_decoding_options_alloc());
    if (!decoding) return Refused(ReadFailure::OutOfMemory);
    decoding->ignore_transformations = options.applyOrientation ? 0 : 1;
    decoding->convert_hdr_to_8bit = 1;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    heif_image* rawImage = nullptr;
    const heif_error decoded = heif_decode_image(
        handle.get(), &rawImage, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, decoding.get());
    if (decoded.code != heif_error_Ok) return Refused(FailureOf(decoded));
    std::unique_ptr<const heif_image, ImageDeleter> image(rawImage);

    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    if (!plane || !ImageSizeAllowed(w, h) || std::int64_t(w) * h > width * height ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8 ||
        stride < w * channels)
        return Refused(ReadFailure::Damaged);
    ReadResult result = Decoded(Allocated(newdib(w, h, 24, nullptr, 0)));
    CopyPixels(plane, stride, channels, result.image.get());
    result.facts = std::move(facts);
    return result;
}

}  // namespace

extern const Decoder kHeifDecoder{"HEIF-Bild", "*.heic *.heif *.hif *.avif", MatchesHeif,
                                  DecodeHeif};

}  // namespace lumivane
