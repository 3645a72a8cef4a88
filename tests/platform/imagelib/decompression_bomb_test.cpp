// Tiny files that declare an enormous picture (400 megapixels: within the side and pixel limits,
// so only the "the file cannot hold that" checks can refuse them). Every reader must turn them
// away without allocating or decoding the picture, which shows as a refusal well under a second.
#include <gtest/gtest.h>

#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "codec_test_util.h"
#include "heif_files.h"
#include "image_files.h"
#include "platform/imagelib/save_image.h"

namespace lumivane::test {
namespace {

using imagelib_test::ByteVector;

constexpr unsigned kSide = 20000;  // 400 megapixels

void ExpectRefusedQuickly(const ByteVector& file, const std::string& what) {
    ASSERT_LT(file.size(), 4096u) << what << " is not tiny";
    const auto start = std::chrono::steady_clock::now();
    DecodedImage image(DecodeImage(Bytes(file.data(), file.size())));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(image.ok()) << what;
    // Generous: a reader that decodes or even clears 400 megapixels takes far longer.
    EXPECT_LT(took.count(), 1.0) << what;
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void PngChunk(FileBuilder& f, const char* type, const ByteVector& data) {
    FileBuilder body;
    body.text(type).append(data);
    f.u32be(std::uint32_t(data.size())).append(body.bytes);
    f.u32be(Crc32(body.bytes.data(), body.bytes.size()));
}

ByteVector Deflated(std::size_t zeros) {
    const QByteArray z = qCompress(QByteArray(qsizetype(zeros), '\0'));
    return ByteVector(z.begin() + 4, z.end());  // without Qt's length prefix
}

// A small sound file in `extension` written by our own writer.
ByteVector Written(const std::string& extension) {
    imagelib_test::ScratchDir dir;
    std::vector<std::uint8_t> pixels(8 * 8 * 4, 0x80);
    const std::string path = dir.File("small." + extension);
    EXPECT_TRUE(SaveImage(path, Bgrx32View{8, 8, 32, pixels.data()}).Ok());
    return imagelib_test::ReadAll(path);
}

std::size_t Find(const ByteVector& file, const ByteVector& what) {
    const auto at = std::search(file.begin(), file.end(), what.begin(), what.end());
    EXPECT_NE(at, file.end());
    return std::size_t(at - file.begin());
}

void PutBe(ByteVector& file, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = std::uint8_t(v >> (8 * (bytes - 1 - i)));
}

constexpr unsigned kUncompressed = 1, kDeflate = 8;

// An 8-bit grey little-endian TIFF with one strip.
ByteVector GreyTiff(std::uint32_t width, std::uint32_t height, unsigned compression,
                    const ByteVector& strip) {
    FileBuilder tiff;
    tiff.text("II").u16le(42).u32le(8).u16le(9);
    auto entry = [&](unsigned tag, unsigned type, std::uint32_t value) {
        tiff.u16le(tag).u16le(type).u32le(1);
        if (type == 3)
            tiff.u16le(value).u16le(0);
        else
            tiff.u32le(value);
    };
    const std::uint32_t dataAt = 8 + 2 + 9 * 12 + 4;
    entry(256, 4, width), entry(257, 4, height), entry(258, 3, 8), entry(259, 3, compression);
    entry(262, 3, 1), entry(273, 4, dataAt), entry(277, 3, 1), entry(278, 4, height);
    entry(279, 4, std::uint32_t(strip.size()));
    tiff.u32le(0).append(strip);
    return tiff.bytes;
}

TEST(DecompressionBombs, QtFormatsAreRefusedQuickly) {
    FileBuilder png;
    png.u8(0x89).text("PNG\r\n\x1a\n");
    PngChunk(png, "IHDR", FileBuilder().u32be(kSide).u32be(kSide).u8(8).u8(2).fill(3).bytes);
    PngChunk(png, "IDAT", Deflated(60000));
    PngChunk(png, "IEND", {});
    ExpectRefusedQuickly(png.bytes, "PNG");

    FileBuilder gif;
    gif.text("GIF89a").u16le(kSide).u16le(kSide).u8(0x80).u8(0).u8(0).fill(3, 0).fill(3, 255);
    gif.u8(0x2C).u16le(0).u16le(0).u16le(kSide).u16le(kSide).u8(0);
    gif.u8(2).u8(3).u8(0x84).u8(0x8F).u8(0x00).u8(0).u8(0x3B);
    ExpectRefusedQuickly(gif.bytes, "GIF");
    FileBuilder gifScreen;  // a one-pixel frame on a huge screen
    gifScreen.text("GIF89a").u16le(kSide).u16le(kSide).u8(0x80).u8(0).u8(0).fill(6, 0);
    gifScreen.u8(0x2C).u16le(0).u16le(0).u16le(1).u16le(1).u8(0);
    gifScreen.u8(2).u8(2).u8(0x4C).u8(0x01).u8(0).u8(0x3B);
    ExpectRefusedQuickly(gifScreen.bytes, "GIF with a huge screen");

    ExpectRefusedQuickly(GreyTiff(kSide, kSide, kDeflate, Deflated(100000)), "TIFF");

    constexpr unsigned kWebpSide = 16383;  // the format's largest
    FileBuilder webp;
    webp.text("RIFF").u32le(4 + 8 + 13).text("WEBP").text("VP8L").u32le(13).u8(0x2F);
    webp.u32le((kWebpSide - 1) | (kWebpSide - 1) << 14).fill(8, 0);
    ExpectRefusedQuickly(webp.bytes, "WebP");
}

TEST(DecompressionBombs, JpegAndJpeg2000AreRefusedQuickly) {
    ByteVector jpeg = Written("jpg");
    const std::size_t sof = Find(jpeg, {0xFF, 0xC0});
    PutBe(jpeg, sof + 5, kSide, 2);
    PutBe(jpeg, sof + 7, kSide, 2);
    ExpectRefusedQuickly(jpeg, "JPEG");

    // A single huge tile: the codestream is a few hundred bytes whatever the size.
    ByteVector jp2 = Written("jp2");
    const std::size_t ihdr = Find(jp2, {'i', 'h', 'd', 'r'});
    PutBe(jp2, ihdr + 4, kSide, 4);
    PutBe(jp2, ihdr + 8, kSide, 4);
    const std::size_t siz = Find(jp2, {0xFF, 0x51});
    for (int i = 0; i < 2; ++i) PutBe(jp2, siz + 6 + 4 * i, kSide, 4);   // image size
    for (int i = 0; i < 2; ++i) PutBe(jp2, siz + 22 + 4 * i, kSide, 4);  // tile size
    ExpectRefusedQuickly(jp2, "JPEG 2000");
}

TEST(DecompressionBombs, OwnRunLengthFormatsAreRefusedQuickly) {
    FileBuilder rle;  // BMP RLE8: one run, then end of picture
    rle.text("BM").u32le(14 + 40 + 8 + 6).u32le(0).u32le(14 + 40 + 8);
    rle.u32le(40).u32le(kSide).u32le(kSide).u16le(1).u16le(8).u32le(1).u32le(6);
    rle.u32le(0).u32le(0).u32le(2).u32le(0).u32le(0).u32le(0xFFFFFF);
    rle.u8(255).u8(1).u8(0).u8(0).u8(0).u8(1);
    ExpectRefusedQuickly(rle.bytes, "BMP RLE8");

    FileBuilder pcx;
    pcx.u8(0x0A).u8(5).u8(1).u8(8).u16le(0).u16le(0).u16le(kSide - 1).u16le(kSide - 1);
    pcx.u16le(72).u16le(72).fill(48).u8(0).u8(1).u16le(kSide).u16le(1).fill(58);
    for (int i = 0; i < 64; ++i) pcx.u8(0xFF).u8(0);
    ExpectRefusedQuickly(pcx.bytes, "PCX");

    FileBuilder body;
    for (int i = 0; i < 64; ++i) body.u8(0x81).u8(0);  // ByteRun1: 128 zero bytes
    FileBuilder iff;
    iff.text("FORM").u32be(4 + 28 + 8 + std::uint32_t(body.bytes.size())).text("ILBM");
    iff.text("BMHD").u32be(20).u16be(kSide).u16be(kSide).u32be(0).u8(1).u8(0).u8(1).u8(0);
    iff.u16be(0).u8(1).u8(1).u16be(kSide).u16be(kSide);
    iff.text("BODY").u32be(std::uint32_t(body.bytes.size())).append(body.bytes);
    ExpectRefusedQuickly(iff.bytes, "IFF");

    FileBuilder tga;  // RLE grey: 128-pixel runs
    tga.u8(0).u8(0).u8(11).fill(5).u16le(0).u16le(0).u16le(kSide).u16le(kSide).u8(8).u8(0);
    for (int i = 0; i < 64; ++i) tga.u8(0xFF).u8(0);
    ExpectRefusedQuickly(tga.bytes, "TGA RLE");
}

TEST(DecompressionBombs, HeifAndAvifAreRefusedQuickly) {
    int encoders = 0;
    for (const auto format : {heif_compression_HEVC, heif_compression_AV1}) {
        if (!imagelib_test::CanEncodeHeif(format)) continue;
        ++encoders;
        imagelib_test::HeifRecipe recipe;
        recipe.format = format;
        recipe.width = recipe.height = 8;
        recipe.pixel = [](int, int) { return imagelib_test::Rgba{128, 128, 128, 255}; };
        const ByteVector small = imagelib_test::MakeHeif(recipe);
        ASSERT_FALSE(small.empty());
        const std::string name = format == heif_compression_HEVC ? "HEIC" : "AVIF";
        ASSERT_TRUE(DecodedImage(DecodeImage(Bytes(small.data(), small.size()))).ok()) << name;
        // The image spatial extents property declares the size; the coded picture stays 8 x 8.
        for (const auto& [width, height] : {std::pair{kSide, kSide}, std::pair{70000u, 8u}}) {
            ByteVector bomb = small;
            const ByteVector ispe = {'i', 's', 'p', 'e'};
            for (auto at = std::search(bomb.begin(), bomb.end(), ispe.begin(), ispe.end());
                 at != bomb.end(); at = std::search(at + 1, bomb.end(), ispe.begin(), ispe.end())) {
                PutBe(bomb, std::size_t(at - bomb.begin()) + 8, width, 4);
                PutBe(bomb, std::size_t(at - bomb.begin()) + 12, height, 4);
            }
            ExpectRefusedQuickly(bomb, name + " declaring " + std::to_string(width) + " x " +
                                           std::to_string(height));
        }
    }
    if (encoders == 0) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder here";
}

// Files big enough to hold what they declare, so that the side and pixel limits themselves must
// refuse them (65535 x 8193 is just above 512 megapixels).
void ExpectRefused(const ByteVector& file, const std::string& what) {
    DecodedImage image(DecodeImage(Bytes(file.data(), file.size())));
    EXPECT_FALSE(image.ok()) << what;
}

ByteVector PngDeclaring(unsigned width, unsigned height, std::size_t padding) {
    FileBuilder png;
    png.u8(0x89).text("PNG\r\n\x1a\n");
    PngChunk(png, "IHDR", FileBuilder().u32be(width).u32be(height).u8(1).u8(0).fill(3).bytes);
    PngChunk(png, "teXt", FileBuilder().text("Comment").u8(0).fill(padding, 'x').bytes);
    const std::size_t rows = std::min<std::size_t>(height, 2);  // enough for the loadable ones
    PngChunk(png, "IDAT", Deflated(rows * (1 + (width + 7) / 8)));
    PngChunk(png, "IEND", {});
    return png.bytes;
}

TEST(ImageLimits, SidesAndPixelCountHoldForTheLibraryFormats) {
    EXPECT_TRUE(DecodedImage(DecodeImage(Bytes(PngDeclaring(65535, 1, 0)))).ok());
    ExpectRefused(PngDeclaring(65536, 1, 0), "PNG 65536 wide");
    ExpectRefused(PngDeclaring(1, 65536, 0), "PNG 65536 high");
    ExpectRefused(PngDeclaring(65535, 8193, 100000), "PNG above 512 megapixels");

    FileBuilder gif;
    gif.text("GIF89a").u16le(65535).u16le(8193).u8(0x80).u8(0).u8(0).fill(6, 0);
    for (int i = 0; i < 400; ++i) gif.u8(0x21).u8(0xFE).u8(255).fill(255, 'x').u8(0);
    gif.u8(0x2C).u16le(0).u16le(0).u16le(65535).u16le(8193).u8(0);
    gif.u8(2).u8(2).u8(0x4C).u8(0x01).u8(0).u8(0x3B);
    ExpectRefused(gif.bytes, "GIF above 512 megapixels");

    // A JPEG with 8.4 million blocks needs a megabyte: comment segments provide it.
    ByteVector jpeg = Written("jpg");
    const std::size_t sof = Find(jpeg, {0xFF, 0xC0});
    PutBe(jpeg, sof + 5, 8193, 2);
    PutBe(jpeg, sof + 7, 65535, 2);
    FileBuilder comments;
    for (int i = 0; i < 20; ++i) comments.u8(0xFF).u8(0xFE).u16be(65533).fill(65531, 'x');
    jpeg.insert(jpeg.begin() + 2, comments.bytes.begin(), comments.bytes.end());
    ExpectRefused(jpeg, "JPEG above 512 megapixels");

    for (const std::uint32_t width : {65535u, 65536u}) {
        // width x 1, uncompressed, with its one row present
        const DecodedImage image(
            DecodeImage(Bytes(GreyTiff(width, 1, kUncompressed, ByteVector(width, 0x80)))));
        EXPECT_EQ(image.ok(), width == 65535u) << "TIFF " << width << " wide";
    }
}

}  // namespace
}  // namespace lumivane::test
