// The HEIF / AVIF reader against files made by libheif's own encoder: size, colours,
// transparency, the transform properties and the metadata blocks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <exiv2/exiv2.hpp>

#include "codec_test_util.h"
#include "heif_files.h"
#include "image_files.h"
#include "platform/imagelib/codecs/heif.h"
#include "platform/imagelib/read_image.h"

namespace lumivane::test {
namespace {

using imagelib_test::HeifRecipe;
using imagelib_test::Rgba;

// Four flat quadrants of distinct colours: any turn or mirror moves them somewhere else.
constexpr Rgba kQuadrant[4] = {
    {220, 30, 30, 255}, {30, 200, 40, 255}, {30, 40, 210, 255}, {230, 220, 40, 255}};

Rgba QuadrantPixel(int x, int y, int w, int h) {
    return kQuadrant[(x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0)];
}

// The stored pixel that an upright display shows at (x, y), for EXIF orientations 1-8 of a
// w x h stored picture: 5-8 are transposed, and each orientation mirrors none, one or both axes.
void StoredAt(int orientation, int x, int y, int w, int h, int& sx, int& sy) {
    const int o = orientation;
    sx = o >= 5 ? y : x;
    sy = o >= 5 ? x : y;
    if (o == 2 || o == 3 || o == 7 || o == 8) sx = w - 1 - sx;
    if (o == 3 || o == 4 || o == 6 || o == 7) sy = h - 1 - sy;
}

std::vector<std::uint8_t> ExifWithOrientation(int orientation) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Model"] = "Testkamera";
    exif["Exif.Image.Orientation"] = std::uint16_t(orientation);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return {blob.begin(), blob.end()};
}

bool Close(COLORREF got, Rgba want, int tolerance) {
    return std::abs(int(GetRValue(got)) - want.r) <= tolerance &&
           std::abs(int(GetGValue(got)) - want.g) <= tolerance &&
           std::abs(int(GetBValue(got)) - want.b) <= tolerance;
}

struct Format {
    heif_compression_format format;
    const char* name;
};
constexpr Format kFormats[] = {{heif_compression_HEVC, "HEIC"}, {heif_compression_AV1, "AVIF"}};
constexpr int kTolerance = 24;  // lossy coding, chroma subsampled at the quadrant edges

TEST(HeifReader, ReadsTurnedPicturesUprightWithTheirMetadata) {
    int encoders = 0;
    for (const Format& f : kFormats) {
        if (!imagelib_test::CanEncodeHeif(f.format)) continue;
        ++encoders;
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::string(f.name) + " orientation " + std::to_string(orientation));
            HeifRecipe recipe;
            recipe.format = f.format;
            recipe.orientation = heif_orientation(orientation);
            // The EXIF block repeats the orientation, as phones write it; libheif's transform
            // properties already turned the picture, so the EXIF value must not turn it again.
            recipe.exif = ExifWithOrientation(orientation);
            recipe.pixel = [&](int x, int y) { return QuadrantPixel(x, y, 32, 24); };
            const auto file = imagelib_test::MakeHeif(recipe);
            ASSERT_FALSE(file.empty());
            ASSERT_TRUE(Matches(kHeifDecoder, file));

            ReadOptions options;
            options.readMetadata = true;
            ReadResult read = ReadImage(Bytes(file.data(), file.size()), options);
            const PhotoMetadata metadata = std::move(read.facts.metadata);
            DecodedImage image(read.image.release());
            ASSERT_TRUE(image.ok());
            const bool sideways = orientation >= 5;
            ASSERT_EQ(image.width(), sideways ? 24 : 32);
            ASSERT_EQ(image.height(), sideways ? 32 : 24);
            EXPECT_EQ(image.bits(), 24);
            // The middle of each displayed quadrant, away from the edges lossy coding blurs.
            for (int qy = 0; qy < 2; ++qy)
                for (int qx = 0; qx < 2; ++qx) {
                    const int x = image.width() / 4 + qx * image.width() / 2;
                    const int y = image.height() / 4 + qy * image.height() / 2;
                    int sx = 0, sy = 0;
                    StoredAt(orientation, x, y, 32, 24, sx, sy);
                    EXPECT_TRUE(Close(image.color(x, y), QuadrantPixel(sx, sy, 32, 24), kTolerance))
                        << "at " << x << "," << y;
                }

            Exiv2::ExifData exif;
            ASSERT_FALSE(metadata.exif.empty());
            Exiv2::ExifParser::decode(exif, metadata.exif.data(),
                                      std::uint32_t(metadata.exif.size()));
            EXPECT_EQ(exif["Exif.Image.Model"].toString(), "Testkamera");
        }
    }
    if (encoders == 0) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
}

TEST(HeifReader, FlattensTransparencyOntoWhite) {
    int encoders = 0;
    for (const Format& f : kFormats) {
        if (!imagelib_test::CanEncodeHeif(f.format)) continue;
        ++encoders;
        SCOPED_TRACE(f.name);
        HeifRecipe recipe;
        recipe.format = f.format;
        recipe.alpha = true;
        // Left half clear, right half opaque blue.
        recipe.pixel = [](int x, int) {
            return x < 16 ? Rgba{0, 0, 0, 0} : Rgba{30, 40, 210, 255};
        };
        const auto file = imagelib_test::MakeHeif(recipe);
        ASSERT_FALSE(file.empty());
        DecodedImage image(DecodeImage(Bytes(file.data(), file.size())));
        ASSERT_TRUE(image.ok());
        EXPECT_EQ(image.bits(), 24);
        EXPECT_TRUE(Close(image.color(4, 12), {255, 255, 255, 255}, kTolerance));
        EXPECT_TRUE(Close(image.color(27, 12), {30, 40, 210, 255}, kTolerance));
    }
    if (encoders == 0) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
}

}  // namespace
}  // namespace lumivane::test
