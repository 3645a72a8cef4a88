// PNG, GIF, TIFF, WebP and TGA through Qt, without any QGuiApplication (as in the batch
// renderer). Files are written by Qt or built by hand.
#include <gtest/gtest.h>

#include <cstring>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "platform/imagelib/read_image.h"
#include "tests/platform/imagelib/image_files.h"

namespace {

using namespace imagelib_test;

ByteVector Encode(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    return ByteVector(bytes.begin(), bytes.end());
}

// A 4 x 3 palette image whose pixel (x, y) has index (x + y) % colors.
QImage IndexedImage(int colors) {
    QImage image(4, 3, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colors; ++i) table.push_back(qRgb(i * 15, 255 - i * 15, 100));
    image.setColorTable(table);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) image.setPixel(x, y, uint((x + y) % colors));
    return image;
}

void ExpectIndexedImage(const dib& d, int colors) {
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 8);
    EXPECT_EQ(d.ispal, 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const int index = (x + y) % colors;
            EXPECT_EQ(int(getpixel(d, x, y)), index);
            EXPECT_EQ(ColorAt(d, x, y), RGB(BYTE(index * 15), BYTE(255 - index * 15), 100));
        }
}

TEST(QtFormats, PalettePngStaysEightBitsWithItsColours) {
    for (int colors : {5, 16}) {
        dib d = Load(Encode(IndexedImage(colors), "png"));
        ExpectIndexedImage(d, colors);
        deldib(d);
    }
}

TEST(QtFormats, OneBitPngStaysOneBitWithItsTwoColours) {
    QImage mono(9, 2, QImage::Format_Mono);
    mono.setColorTable({qRgb(200, 0, 0), qRgb(0, 0, 200)});
    mono.fill(0);
    mono.setPixel(8, 1, 1);
    mono.setPixel(0, 0, 1);
    dib d = Load(Encode(mono, "png"));
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 1);
    EXPECT_EQ(getpixel(d, 0, 0), 1u);
    EXPECT_EQ(getpixel(d, 8, 1), 1u);
    EXPECT_EQ(getpixel(d, 7, 1), 0u);
    EXPECT_EQ(ColorAt(d, 0, 0), RGB(0, 0, 200));
    EXPECT_EQ(ColorAt(d, 1, 0), RGB(200, 0, 0));
    deldib(d);
}

TEST(QtFormats, GreyscaleBecomesEightBitGreyRamp) {
    QImage grey(3, 2, QImage::Format_Grayscale8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) grey.scanLine(y)[x] = uchar(x * 100 + y);
    dib d = Load(Encode(grey, "png"));
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 8);
    EXPECT_EQ(getpixel(d, 2, 1), 201u);
    EXPECT_EQ(ColorAt(d, 2, 1), RGB(201, 201, 201));
    deldib(d);
}

TEST(QtFormats, TransparencyIsFlattenedOntoWhite) {
    QImage rgba(2, 1, QImage::Format_ARGB32);
    rgba.setPixel(0, 0, qRgba(0, 0, 0, 0));
    rgba.setPixel(1, 0, qRgba(200, 100, 0, 128));
    dib d = Load(Encode(rgba, "png"));
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 24);
    EXPECT_EQ(getpixel(d, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(getpixel(d, 1, 0), RGB(227, 177, 127));  // c * 128/255 + 255 * 127/255
    deldib(d);

    QImage keyed = IndexedImage(3);
    QList<QRgb> table = keyed.colorTable();
    table[1] = qRgba(0, 0, 0, 0);
    keyed.setColorTable(table);
    dib p = Load(Encode(keyed, "png"));
    ASSERT_NE(p.poi, nullptr);
    EXPECT_EQ(Bits(p), 8);
    EXPECT_EQ(ColorAt(p, 1, 0), RGB(255, 255, 255)) << "transparent palette entry";
    deldib(p);
}

// Asked for, the coverage comes beside the same flattened picture, only when a pixel is not
// opaque (an alpha channel that is opaque throughout costs nothing).
TEST(QtFormats, CoverageIsKeptBesideTheSameFlattenedPicture) {
    QImage rgba(3, 2, QImage::Format_ARGB32), keyed = IndexedImage(3);
    rgba.fill(qRgba(10, 20, 30, 255));
    rgba.setPixel(2, 1, qRgba(200, 100, 0, 128));
    keyed.setColor(1, qRgba(0, 0, 0, 0));
    QImage opaque = rgba;
    opaque.fill(qRgba(1, 2, 3, 255));
    lumivane::ReadOptions keep;
    keep.keepAlpha = true;
    for (const QImage& image :
         {rgba, keyed, opaque, opaque.convertToFormat(QImage::Format_RGB888)}) {
        const ByteVector file = Encode(image, "png");
        const lumivane::ReadResult plain = lumivane::ReadImage(file),
                                   kept = lumivane::ReadImage(file, keep);
        ASSERT_TRUE(plain.image && kept.image);
        const dib &a = plain.image.get(), &b = kept.image.get();
        EXPECT_EQ(0, std::memcmp(a.poi, b.poi, std::size_t(a.bytew) * image.height()));
        EXPECT_FALSE(plain.alpha);
        ASSERT_EQ(bool(kept.alpha), image.hasAlphaChannel() && image != opaque);
        for (int y = 0; kept.alpha && y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                EXPECT_EQ(getpixel(kept.alpha.get(), x, y), DWORD(qAlpha(image.pixel(x, y))));
    }
}

TEST(QtFormats, HandMadeGifKeepsItsPalette) {
    // 2 x 2, four global colours, LZW codes of 3 bits: clear before each pixel so the
    // code width never grows: clear 0 clear 1 clear 2 clear 3 end.
    ByteVector gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2,   0,   0xF1, 0, 0,
                      255, 0,   0,   0,   255, 0,   0, 0, 255, 255, 255,  0,  // colour table
                      ',', 0,   0,   0,   0,   2,   0, 2, 0,   0,             // image descriptor
                      2};  // LZW minimum code size
    const int codes[] = {4, 0, 4, 1, 4, 2, 4, 3, 5};
    ByteVector data;
    unsigned bits = 0, count = 0;
    for (int c : codes) {
        bits |= unsigned(c) << count;
        count += 3;
        while (count >= 8) data.push_back(std::uint8_t(bits)), bits >>= 8, count -= 8;
    }
    if (count) data.push_back(std::uint8_t(bits));
    gif.push_back(std::uint8_t(data.size()));
    gif.insert(gif.end(), data.begin(), data.end());
    gif.insert(gif.end(), {0, ';'});

    dib d = Load(gif, "picture.gif");
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 8);
    EXPECT_EQ(getpixel(d, 0, 0), 0u);
    EXPECT_EQ(getpixel(d, 1, 0), 1u);
    EXPECT_EQ(getpixel(d, 0, 1), 2u);
    EXPECT_EQ(ColorAt(d, 1, 1), RGB(255, 255, 0));
    EXPECT_EQ(ColorAt(d, 1, 0), RGB(0, 255, 0));
    deldib(d);
}

TEST(QtFormats, HandMadeTgaIsReadAsTwentyFourBits) {
    // Uncompressed true colour, 2 x 2, rows bottom-up, pixels blue-green-red, with the
    // version 2 footer Qt's reader insists on.
    ByteVector tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    tga.insert(tga.end(), {255, 0, 0, 0, 255, 0,        // bottom row: blue, green
                           0, 0, 255, 255, 255, 255});  // top row: red, white
    const std::string footer = std::string(8, '\0') + "TRUEVISION-XFILE." + std::string(1, '\0');
    tga.insert(tga.end(), footer.begin(), footer.end());
    dib d = Load(tga, "picture.tga");
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 24);
    EXPECT_EQ(getpixel(d, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(getpixel(d, 1, 0), RGB(255, 255, 255));
    EXPECT_EQ(getpixel(d, 0, 1), RGB(0, 0, 255));
    deldib(d);
}

TEST(QtFormats, TiffAndWebpColourImages) {
    QImage rgb(3, 2, QImage::Format_RGB32);
    rgb.fill(qRgb(10, 200, 30));
    rgb.setPixel(2, 1, qRgb(250, 0, 5));
    dib tiff = Load(Encode(rgb, "tiff"));
    ASSERT_NE(tiff.poi, nullptr);
    EXPECT_EQ(Bits(tiff), 24);
    EXPECT_EQ(getpixel(tiff, 0, 0), RGB(10, 200, 30));
    EXPECT_EQ(getpixel(tiff, 2, 1), RGB(250, 0, 5));
    deldib(tiff);

    if (!QImageWriter::supportedImageFormats().contains("webp")) GTEST_SKIP() << "no WebP plugin";
    dib webp = Load(Encode(rgb, "webp", 100));  // quality 100 is lossless
    ASSERT_NE(webp.poi, nullptr);
    EXPECT_EQ(Bits(webp), 24);
    EXPECT_EQ(getpixel(webp, 2, 1), RGB(250, 0, 5));
    deldib(webp);
}

TEST(QtFormats, ContentDecidesNotTheExtension) {
    dib d = Load(Encode(IndexedImage(5), "png"), "actually-a-png.bmp");
    ExpectIndexedImage(d, 5);
    deldib(d);
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

TEST(QtFormats, RefusesTruncatedAndOversizedFiles) {
    QImage rgb(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) rgb.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) & 255));
    const ByteVector png = Encode(rgb, "png");
    for (std::size_t keep : {std::size_t(8), std::size_t(30), png.size() / 2}) {
        const ByteVector cut(png.begin(), png.begin() + std::ptrdiff_t(keep));
        EXPECT_EQ(Load(cut).poi, nullptr) << "cut to " << keep;
    }

    // IHDR claims 60000 x 60000 (with a valid checksum): above the pixel limit.
    ByteVector huge = png;
    const std::uint8_t side[4] = {0, 0, 0xEA, 0x60};
    std::copy(side, side + 4, huge.begin() + 16);
    std::copy(side, side + 4, huge.begin() + 20);
    const std::uint32_t crc = Crc32(huge.data() + 12, 17);
    for (int i = 0; i < 4; ++i) huge[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    EXPECT_EQ(Load(huge).poi, nullptr);
}

}  // namespace
