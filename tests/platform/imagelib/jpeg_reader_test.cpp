// The JPEG reader, with files written by libjpeg in the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "tests/platform/imagelib/image_files.h"

namespace {

using namespace imagelib_test;

// Encodes samples (components per pixel, rows top first) at quality 100.
ByteVector EncodeJpeg(int width, int height, int components, J_COLOR_SPACE space,
                      const ByteVector& samples, bool adobeMarker = true) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    if (space == JCS_CMYK) {
        jpeg_set_colorspace(&cinfo, JCS_CMYK);
        cinfo.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    }
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    ByteVector out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// 16 x 16 in four flat 8 x 8 quarters, so quality 100 keeps the colours within a step or two.
ByteVector Quarters(int components, const std::array<ByteVector, 4>& colors) {
    ByteVector samples;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const ByteVector& c = colors[(y / 8) * 2 + x / 8];
            samples.insert(samples.end(), c.begin(), c.begin() + components);
        }
    return samples;
}

void ExpectNear(COLORREF actual, COLORREF expected, int tolerance, const char* where) {
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((actual >> shift) & 0xFF), int((expected >> shift) & 0xFF), tolerance)
            << where << " channel at bit " << shift;
}

TEST(JpegReader, ColourBecomesTwentyFourBitsUpright) {
    const auto jpeg =
        EncodeJpeg(16, 16, 3, JCS_RGB,
                   Quarters(3, {ByteVector{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 250, 250}}));
    dib d = Load(jpeg, "photo.jpg");
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 24);
    EXPECT_EQ(d.ispal, 0);
    EXPECT_EQ(Width(d), 16);
    ExpectNear(getpixel(d, 2, 2), RGB(255, 0, 0), 3, "top left");
    ExpectNear(getpixel(d, 13, 2), RGB(0, 255, 0), 3, "top right");
    ExpectNear(getpixel(d, 2, 13), RGB(0, 0, 255), 3, "bottom left");
    ExpectNear(getpixel(d, 13, 13), RGB(250, 250, 250), 3, "bottom right");
    deldib(d);
}

TEST(JpegReader, GreyscaleBecomesEightBitGreyPalette) {
    const auto jpeg =
        EncodeJpeg(16, 16, 1, JCS_GRAYSCALE, Quarters(1, {ByteVector{0}, {80}, {160}, {255}}));
    dib d = Load(jpeg);
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 8);
    EXPECT_EQ(d.ispal, 1);
    EXPECT_EQ(d.pal.rgb0[77][0], 77);
    EXPECT_EQ(d.pal.rgb0[77][2], 77);
    EXPECT_NEAR(int(getpixel(d, 13, 2)), 80, 2);
    EXPECT_NEAR(int(getpixel(d, 2, 13)), 160, 2);
    deldib(d);
}

// Quarters: cyan, full black, yellow, no ink.
void ExpectInkQuarters(const ByteVector& jpeg) {
    dib d = Load(jpeg);
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 24);
    ExpectNear(getpixel(d, 2, 2), RGB(0, 255, 255), 3, "cyan");
    ExpectNear(getpixel(d, 13, 2), RGB(0, 0, 0), 3, "full black");
    ExpectNear(getpixel(d, 2, 13), RGB(255, 255, 0), 3, "yellow");
    ExpectNear(getpixel(d, 13, 13), RGB(255, 255, 255), 3, "no ink");
    deldib(d);
}

TEST(JpegReader, CmykIsConvertedWithAndWithoutAdobeInversion) {
    // Adobe files store 255 - ink: cyan only is (0, 255, 255, 255).
    ExpectInkQuarters(EncodeJpeg(16, 16, 4, JCS_CMYK,
                                 Quarters(4, {ByteVector{0, 255, 255, 255},
                                              {255, 255, 255, 0},
                                              {255, 255, 0, 255},
                                              {255, 255, 255, 255}})));
    // Without the marker the values are ink amounts: cyan only is (255, 0, 0, 0).
    ExpectInkQuarters(EncodeJpeg(
        16, 16, 4, JCS_CMYK,
        Quarters(4, {ByteVector{255, 0, 0, 0}, {0, 0, 0, 255}, {0, 0, 255, 0}, {0, 0, 0, 0}}),
        false));
}

TEST(JpegReader, RefusesTruncatedCorruptAndOversizedFiles) {
    ByteVector samples(64 * 64 * 3);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint8_t(i * 37 % 251);
    const auto jpeg = EncodeJpeg(64, 64, 3, JCS_RGB, samples);

    for (std::size_t keep :
         {std::size_t(3), std::size_t(20), std::size_t(200), jpeg.size() / 2, jpeg.size() - 10}) {
        const ByteVector cut(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(keep));
        EXPECT_EQ(Load(cut).poi, nullptr) << "cut to " << keep << " of " << jpeg.size();
    }
    ByteVector garbage = {0xFF, 0xD8, 0xFF};
    for (int i = 0; i < 500; ++i) garbage.push_back(std::uint8_t(i * 91 + 7));
    EXPECT_EQ(Load(garbage).poi, nullptr);

    // Frame header claims 65000 x 65000: refused before anything is allocated.
    ByteVector huge = jpeg;
    for (std::size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFD, huge[i + 6] = 0xE8, huge[i + 7] = 0xFD, huge[i + 8] = 0xE8;
            break;
        }
    EXPECT_EQ(Load(huge).poi, nullptr);
}

}  // namespace
