// The BMP reader, with files built byte by byte.
#include <gtest/gtest.h>

#include "tests/platform/imagelib/bmp_builder.h"

namespace {

using namespace imagelib_test;

const std::vector<Rgb> kThreeColors = {{10, 20, 30}, {200, 100, 50}, {0, 255, 128}};
const std::vector<std::vector<int>> kIndexRows = {
    {0, 1, 2, 1, 0}, {2, 2, 0, 1, 1}, {1, 0, 0, 0, 2}};

COLORREF Expected(const Rgb& c) {
    return RGB(c.r, c.g, c.b);
}

void ExpectIndexedPicture(const dib& d, const std::vector<Rgb>& palette, int bits) {
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), bits);
    EXPECT_EQ(d.ispal, 1);
    ASSERT_EQ(Width(d), 5);
    ASSERT_EQ(Height(d), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(int(getpixel(d, x, y)), kIndexRows[y][x]) << x << "," << y;
            EXPECT_EQ(ColorAt(d, x, y), Expected(palette[kIndexRows[y][x]]));
        }
}

BmpFile IndexedFile(int bits, int headerSize = 40, bool topDown = false) {
    BmpFile f;
    f.headerSize = headerSize;
    f.width = 5;
    f.height = topDown ? -3 : 3;
    f.bits = bits;
    f.palette = kThreeColors;
    if (bits == 1) f.palette.resize(2);
    f.pixels = PackIndexRows(
        bits == 1 ? std::vector<std::vector<int>>{{0, 1, 0, 1, 0}, {1, 1, 0, 1, 1}, {1, 0, 0, 0, 1}}
                  : kIndexRows,
        bits, topDown);
    return f;
}

TEST(BmpReader, PaletteImagesKeepTheirDepthAndShortPalette) {
    for (int bits : {4, 8}) {
        dib d = Load(IndexedFile(bits).Build());
        ExpectIndexedPicture(d, kThreeColors, bits);
        EXPECT_EQ(d.pal.num, 1 << bits) << "colour table has room for the whole depth";
        EXPECT_EQ(ColorAt(d, 0, 0), RGB(10, 20, 30));
        deldib(d);
    }
    dib mono = Load(IndexedFile(1).Build());
    ASSERT_NE(mono.poi, nullptr);
    EXPECT_EQ(Bits(mono), 1);
    EXPECT_EQ(getpixel(mono, 1, 0), 1u);
    EXPECT_EQ(getpixel(mono, 2, 0), 0u);
    EXPECT_EQ(ColorAt(mono, 0, 2), RGB(200, 100, 50));
    deldib(mono);
}

TEST(BmpReader, TwoBitFilesWidenToFourBits) {
    dib d = Load(IndexedFile(2).Build());
    ExpectIndexedPicture(d, kThreeColors, 4);
    deldib(d);
}

TEST(BmpReader, ReadsEveryHeaderVariantAndTopDownRows) {
    for (int headerSize : {12, 16, 40, 64, 108, 124}) {
        SCOPED_TRACE(headerSize);
        BmpFile f = IndexedFile(8, headerSize);
        if (headerSize == 12) f.palette.resize(256, {0, 0, 0});  // core palettes are always full
        dib d = Load(f.Build());
        ExpectIndexedPicture(d, f.palette, 8);
        deldib(d);
    }
    dib topDown = Load(IndexedFile(8, 40, true).Build());
    ExpectIndexedPicture(topDown, kThreeColors, 8);
    deldib(topDown);
}

// A 2 x 2 picture of 16-bit words, top row first.
BmpFile Words16(std::array<std::uint16_t, 4> words, std::uint32_t compression = BI_RGB,
                std::vector<std::uint32_t> masks = {}, int headerSize = 40) {
    BmpFile f;
    f.headerSize = headerSize;
    f.width = 2, f.height = 2, f.bits = 16, f.compression = compression, f.masks = masks;
    // Stored bottom row first; each row is 4 bytes already.
    for (int i : {2, 3, 0, 1})
        f.pixels.push_back(std::uint8_t(words[i])), f.pixels.push_back(std::uint8_t(words[i] >> 8));
    return f;
}

TEST(BmpReader, Plain555StaysSixteenBits) {
    const std::array<std::uint16_t, 4> words = {0x7C00, 0x03E0, 0x001F, 0x7FFF};
    for (const BmpFile& f :
         {Words16(words), Words16(words, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F})}) {
        dib d = Load(f.Build());
        ASSERT_NE(d.poi, nullptr);
        EXPECT_EQ(Bits(d), 16);
        EXPECT_EQ(d.ispal, 0);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(getpixel(d, i % 2, i / 2), words[i]);
        deldib(d);
    }
}

TEST(BmpReader, OtherBitFieldLayoutsBecomeTwentyFourBits) {
    // 5-6-5: red 31, green 63, blue 31, and the smallest step of each channel.
    dib d565 = Load(
        Words16({0xF800, 0x07E0, 0x001F, 0x0821}, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}).Build());
    ASSERT_NE(d565.poi, nullptr);
    EXPECT_EQ(Bits(d565), 24);
    EXPECT_EQ(getpixel(d565, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(getpixel(d565, 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(getpixel(d565, 0, 1), RGB(0, 0, 255));
    EXPECT_EQ(getpixel(d565, 1, 1), RGB(8, 4, 8)) << "1/31 and 1/63 of 255, rounded";
    deldib(d565);

    // 5-5-5 with an alpha bit in a V5 header: alpha is not kept, colours are.
    dib alpha = Load(Words16({0xFC00, 0x03E0, 0x001F, 0x8000}, BI_BITFIELDS,
                             {0x7C00, 0x03E0, 0x001F, 0x8000}, 124)
                         .Build());
    ASSERT_NE(alpha.poi, nullptr);
    EXPECT_EQ(Bits(alpha), 24);
    EXPECT_EQ(getpixel(alpha, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(getpixel(alpha, 1, 1), RGB(0, 0, 0));
    deldib(alpha);
}

TEST(BmpReader, ThirtyTwoBitsBecomeTwentyFourBits) {
    const ByteVector pixel = {0x11, 0x22, 0x33, 0x44};  // bytes of one little-endian word
    auto file = [&](std::uint32_t compression, std::vector<std::uint32_t> masks) {
        BmpFile f;
        f.width = 1, f.height = 1, f.bits = 32, f.compression = compression, f.masks = masks;
        f.pixels = pixel;
        return Load(f.Build());
    };
    dib plain = file(BI_RGB, {});
    ASSERT_NE(plain.poi, nullptr);
    EXPECT_EQ(Bits(plain), 24);
    EXPECT_EQ(getpixel(plain, 0, 0), RGB(0x33, 0x22, 0x11));
    deldib(plain);

    dib xbgr = file(BI_BITFIELDS, {0x000000FF, 0x0000FF00, 0x00FF0000});
    ASSERT_NE(xbgr.poi, nullptr);
    EXPECT_EQ(getpixel(xbgr, 0, 0), RGB(0x11, 0x22, 0x33));
    deldib(xbgr);

    // 10-10-10: word 0x44332211 -> red 0x110 (>>20), green 0x332, blue 0x211, each of 1023.
    dib wide = file(BI_BITFIELDS, {0x3FF00000, 0x000FFC00, 0x000003FF});
    ASSERT_NE(wide.poi, nullptr);
    const auto scale = [](unsigned v) { return BYTE((v * 255 + 511) / 1023); };
    EXPECT_EQ(getpixel(wide, 0, 0),
              RGB(scale(0x044332211u >> 20 & 0x3FF), scale(0x44332211u >> 10 & 0x3FF),
                  scale(0x44332211u & 0x3FF)));
    deldib(wide);
}

TEST(BmpReader, TwentyFourBitsWithRowPadding) {
    BmpFile f;
    f.width = 3, f.height = 2, f.bits = 24;
    // Bottom row: blue, green, red; top row: white, black, grey. 9 bytes + 3 padding each.
    f.pixels = {255, 0,   0,   0, 255, 0, 0,   0,   255, 0, 0, 0,
                255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0};
    dib d = Load(f.Build());
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 24);
    EXPECT_EQ(getpixel(d, 0, 1), RGB(0, 0, 255));
    EXPECT_EQ(getpixel(d, 2, 1), RGB(255, 0, 0));
    EXPECT_EQ(getpixel(d, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(getpixel(d, 2, 0), RGB(128, 128, 128));
    deldib(d);
}

BmpFile RleFile(int bits, ByteVector data, int width = 6, int height = 3) {
    BmpFile f;
    f.width = width, f.height = height, f.bits = bits;
    f.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
    f.palette = kThreeColors;
    f.pixels = std::move(data);
    return f;
}

TEST(BmpReader, DecodesRle8RunsLiteralsDeltasAndLineEnds) {
    // Bottom row: run of 3 x 1, literal (2, 0, 1) with its pad byte, line end. Middle row:
    // delta 3 right, run of 2 x 2, line end. Top row: literal (1, 2, 1), end of bitmap.
    const ByteVector data = {3, 1, 0, 3, 2, 0, 1, 0, 0, 0, 0, 2, 3,
                             0, 2, 2, 0, 0, 0, 3, 1, 2, 1, 0, 0, 1};
    dib d = Load(RleFile(8, data).Build());
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 8);
    const int expected[3][6] = {{1, 2, 1, 0, 0, 0}, {0, 0, 0, 2, 2, 0}, {1, 1, 1, 2, 0, 1}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(int(getpixel(d, x, y)), expected[y][x]) << x << "," << y;
    deldib(d);
}

TEST(BmpReader, DecodesRle4NibblePairs) {
    // Bottom row: run of 5 alternating 1, 2; run of 1 x 0; line end. Top row: literal
    // (1, 2, 1) in two bytes, delta 1 right, run of 2 x 1, end of bitmap.
    const ByteVector data = {5, 0x12, 1, 0x00, 0, 0, 0, 3, 0x12, 0x10, 0, 2, 1, 0, 2, 0x11, 0, 1};
    dib d = Load(RleFile(4, data, 6, 2).Build());
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(Bits(d), 4);
    const int expected[2][6] = {{1, 2, 1, 0, 1, 1}, {1, 2, 1, 2, 1, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(int(getpixel(d, x, y)), expected[y][x]) << x << "," << y;
    deldib(d);
}

TEST(BmpReader, RefusesCorruptRle) {
    const struct {
        const char* what;
        ByteVector data;
    } cases[] = {
        {"more line ends than rows", {0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 1}},
        {"delta beyond the top", {0, 2, 0, 9, 0, 1}},
        {"literal cut short", {0, 6, 1, 2}},
        {"ends before every row was drawn", {2, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        dib d = Load(RleFile(8, c.data).Build());
        EXPECT_EQ(d.poi, nullptr) << c.what;
    }
    BmpFile topDown = RleFile(8, {2, 1, 0, 1});
    topDown.height = -3;
    EXPECT_EQ(Load(topDown.Build()).poi, nullptr) << "run-length rows cannot be top-down";
}

TEST(BmpReader, RefusesInconsistentHeaders) {
    auto refuses = [](const char* what, auto change) {
        BmpFile f = IndexedFile(8);
        change(f);
        dib d = Load(f.Build());
        EXPECT_EQ(d.poi, nullptr) << what;
        if (d.poi) deldib(d);
    };
    refuses("bit count 7", [](BmpFile& f) { f.bits = 7; });
    refuses("two planes", [](BmpFile& f) { f.planes = 2; });
    refuses("zero width", [](BmpFile& f) { f.width = 0; });
    refuses("negative width", [](BmpFile& f) { f.width = -5; });
    refuses("header size 66", [](BmpFile& f) { f.headerSize = 66; });
    refuses("palette beyond the file", [](BmpFile& f) { f.colorsUsed = 0x12345678; });
    refuses("image size beyond the file", [](BmpFile& f) { f.imageSize = 0x7F000000; });
    refuses("file size beyond the file", [](BmpFile& f) { f.fileSize = 0x7F000000; });
    refuses("index beyond a short palette", [](BmpFile& f) { f.palette.resize(2); });
    refuses("absurd density", [](BmpFile& f) { f.density = 30000000; });
    refuses("embedded JPEG", [](BmpFile& f) { f.compression = 4; });
    refuses("huge declared size", [](BmpFile& f) { f.width = 60000, f.height = 60000; });
    refuses("wider than 65535", [](BmpFile& f) { f.width = 70000, f.height = 1; });
    refuses("non-contiguous mask", [](BmpFile& f) {
        f.bits = 16, f.compression = BI_BITFIELDS, f.masks = {0x7C01, 0x03E0, 0x001E},
        f.palette.clear();
        f.pixels.assign(4 * 3 * 4, 0);
    });
}

TEST(BmpReader, RefusesTruncatedFilesAtEveryStage) {
    BmpFile f = IndexedFile(8);
    f.fileSize = 0;  // a missing size field must not hide the truncation
    const ByteVector whole = f.Build();
    for (std::size_t keep : {std::size_t(2), std::size_t(13), std::size_t(20), std::size_t(53),
                             std::size_t(60), whole.size() - 8, whole.size() - 4}) {
        const ByteVector cut(whole.begin(), whole.begin() + std::ptrdiff_t(keep));
        EXPECT_EQ(Load(cut).poi, nullptr) << "cut to " << keep << " of " << whole.size();
    }
    // Only the last row's padding may be missing: 5 of its 8 bytes are pixels.
    f.imageSize = 0;
    const ByteVector full = f.Build();
    const ByteVector unpadded(full.begin(), full.end() - 3);
    dib d = Load(unpadded);
    ExpectIndexedPicture(d, kThreeColors, 8);
    deldib(d);
}

}  // namespace
