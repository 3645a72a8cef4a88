// The PCX reader, fed with files written by a small encoder below.
#include <gtest/gtest.h>

#include <vector>

#include "codec_test_util.h"
#include "platform/imagelib/codecs/own_formats.h"

namespace lumivane::test {
namespace {

using Plane = std::vector<std::uint8_t>;
using Line = std::vector<Plane>;  // one scan line: bytesPerLine bytes per plane

struct PcxSpec {
    int version = 5;
    int bitsPerPlane = 8;
    int planes = 1;
    int width = 1, height = 1;
    int bytesPerLine = 0;  // 0: the smallest even count that holds the width
    bool rle = true;
    std::vector<std::uint8_t> headerPalette = std::vector<std::uint8_t>(48);
};

// Run-length codes the data the way PCX writers do (runs of up to 63, escaped literals).
void AppendRle(FileBuilder& f, const std::vector<std::uint8_t>& data) {
    for (std::size_t i = 0; i < data.size();) {
        std::size_t n = 1;
        while (i + n < data.size() && n < 63 && data[i + n] == data[i]) ++n;
        if (n > 1 || data[i] >= 0xC0) f.u8(0xC0 | n);
        f.u8(data[i]);
        i += n;
    }
}

std::vector<std::uint8_t> MakePcx(const PcxSpec& s, const std::vector<Line>& lines,
                                  const std::vector<std::uint8_t>& trailer = {}) {
    const int bpl = s.bytesPerLine ? s.bytesPerLine : ((s.width * s.bitsPerPlane + 7) / 8 + 1) & ~1;
    FileBuilder f;
    f.u8(0x0A).u8(s.version).u8(s.rle ? 1 : 0).u8(s.bitsPerPlane);
    f.u16le(0).u16le(0).u16le(s.width - 1).u16le(s.height - 1).u16le(72).u16le(72);
    f.append(s.headerPalette).u8(0).u8(s.planes).u16le(bpl).u16le(1).fill(58);
    std::vector<std::uint8_t> data;
    for (const Line& line : lines) {
        for (Plane plane : line) {
            plane.resize(bpl);
            data.insert(data.end(), plane.begin(), plane.end());
        }
    }
    if (s.rle)
        AppendRle(f, data);
    else
        f.append(data);
    return f.append(trailer).bytes;
}

std::vector<std::uint8_t> SixteenColours() {
    std::vector<std::uint8_t> p;
    for (int i = 0; i < 16; ++i) {
        p.push_back(std::uint8_t(i * 16));
        p.push_back(std::uint8_t(255 - i));
        p.push_back(std::uint8_t(i));
    }
    return p;
}

TEST(PcxReader, OneBitIsBlackAndWhiteAtOneBitPerPixel) {
    PcxSpec s{.bitsPerPlane = 1, .width = 10, .height = 2};
    const auto file = MakePcx(s, {{{0b10110000, 0b01000000}}, {{0xFF, 0xC0}}});
    ASSERT_TRUE(Matches(kPcxDecoder, file));
    DecodedImage img(Decode(kPcxDecoder, file));
    ASSERT_TRUE(img.ok());
    EXPECT_EQ(img.bits(), 1);
    EXPECT_EQ(img.width(), 10);
    EXPECT_EQ(img.height(), 2);
    EXPECT_EQ(img.paletteColor(0), RGB(0, 0, 0));
    EXPECT_EQ(img.paletteColor(1), RGB(255, 255, 255));
    const int top[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(img.raw(x, 0), DWORD(top[x])) << x;
        EXPECT_EQ(img.raw(x, 1), 1u) << x;
    }
}

TEST(PcxReader, SixteenColoursFromFourPlanesOrOnePackedPlane) {
    // Pixel x has index x: bit p of the index lives in plane p.
    Line planar(4, Plane(2));
    for (int x = 0; x < 16; ++x)
        for (int p = 0; p < 4; ++p)
            if (x >> p & 1) planar[p][x >> 3] |= 0x80 >> (x & 7);
    Plane packed(8);
    for (int x = 0; x < 16; ++x) packed[x / 2] |= x % 2 ? x : x << 4;

    const auto fromPlanes = MakePcx(
        {.bitsPerPlane = 1, .planes = 4, .width = 16, .headerPalette = SixteenColours()}, {planar});
    const auto fromNibbles =
        MakePcx({.bitsPerPlane = 4, .planes = 1, .width = 16, .headerPalette = SixteenColours()},
                {{packed}});
    for (const auto& file : {fromPlanes, fromNibbles}) {
        DecodedImage img(Decode(kPcxDecoder, file));
        ASSERT_TRUE(img.ok());
        EXPECT_EQ(img.bits(), 4);
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(img.raw(x, 0), DWORD(x));
            EXPECT_EQ(img.color(x, 0), RGB(x * 16, 255 - x, x));
        }
    }
}

TEST(PcxReader, TwoBitAndThreePlaneFilesBecomeFourBitImages) {
    DecodedImage twoBit(Decode(
        kPcxDecoder, MakePcx({.bitsPerPlane = 2, .width = 5, .headerPalette = SixteenColours()},
                             {{{0b00011011, 0b10000000}}})));
    ASSERT_TRUE(twoBit.ok());
    EXPECT_EQ(twoBit.bits(), 4);
    const DWORD expected[5] = {0, 1, 2, 3, 2};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(twoBit.raw(x, 0), expected[x]);
    EXPECT_EQ(twoBit.color(3, 0), RGB(48, 252, 3));

    // Three 1-bit planes: 8 colours.
    DecodedImage eight(Decode(kPcxDecoder, MakePcx({.bitsPerPlane = 1, .planes = 3, .width = 3},
                                                   {{{0xA0}, {0x60}, {0x20}}})));
    ASSERT_TRUE(eight.ok());
    EXPECT_EQ(eight.raw(0, 0), 1u);
    EXPECT_EQ(eight.raw(1, 0), 2u);
    EXPECT_EQ(eight.raw(2, 0), 7u);
}

TEST(PcxReader, VersionThreeUsesTheStandardSixteenColours) {
    DecodedImage img(
        Decode(kPcxDecoder, MakePcx({.version = 3, .bitsPerPlane = 4, .width = 2}, {{{0x1E}}})));
    ASSERT_TRUE(img.ok());
    EXPECT_EQ(img.color(0, 0), RGB(0, 0, 0xAA));
    EXPECT_EQ(img.color(1, 0), RGB(0xFF, 0xFF, 0x55));
}

TEST(PcxReader, EightBitUsesTheTrailingPaletteOrGreyLevels) {
    std::vector<std::uint8_t> trailer{0x0C};
    for (int i = 0; i < 256; ++i) trailer.insert(trailer.end(), {std::uint8_t(255 - i), 7, 9});
    // 130 pixels wide so that runs cross 63-byte run limits; bottom row holds 0xC5 literals.
    Plane top(130), bottom(130, 0xC5);
    for (int x = 0; x < 130; ++x) top[x] = std::uint8_t(x < 100 ? 3 : x);
    const PcxSpec s{.width = 130, .height = 2};

    DecodedImage img(Decode(kPcxDecoder, MakePcx(s, {{top}, {bottom}}, trailer)));
    ASSERT_TRUE(img.ok());
    EXPECT_EQ(img.bits(), 8);
    EXPECT_EQ(img.raw(0, 0), 3u);
    EXPECT_EQ(img.raw(99, 0), 3u);
    EXPECT_EQ(img.raw(129, 0), 129u);
    EXPECT_EQ(img.raw(64, 1), 0xC5u);
    EXPECT_EQ(img.color(0, 0), RGB(252, 7, 9));

    DecodedImage grey(Decode(kPcxDecoder, MakePcx(s, {{top}, {bottom}})));
    ASSERT_TRUE(grey.ok());
    EXPECT_EQ(grey.color(129, 0), RGB(129, 129, 129));
}

TEST(PcxReader, TrueColourPlanesAndAlphaOverWhite) {
    const Line rgb{{10, 200}, {20, 100}, {30, 0}};
    DecodedImage img(Decode(kPcxDecoder, MakePcx({.planes = 3, .width = 2}, {rgb})));
    ASSERT_TRUE(img.ok());
    EXPECT_EQ(img.bits(), 24);
    EXPECT_EQ(img.color(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(img.color(1, 0), RGB(200, 100, 0));

    DecodedImage rgba(Decode(kPcxDecoder, MakePcx({.planes = 4, .width = 2},
                                                  {{{10, 200}, {20, 100}, {30, 0}, {255, 0}}})));
    ASSERT_TRUE(rgba.ok());
    EXPECT_EQ(rgba.color(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(rgba.color(1, 0), RGB(255, 255, 255));
}

TEST(PcxReader, ReadsUncompressedDataAndRunsAcrossLines) {
    const std::vector<Line> lines{{{1, 2, 3, 4}}, {{5, 6, 7, 8}}};
    DecodedImage plain(
        Decode(kPcxDecoder, MakePcx({.width = 4, .height = 2, .rle = false}, lines)));
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain.raw(3, 0), 4u);
    EXPECT_EQ(plain.raw(0, 1), 5u);

    // One run of 8 covering both 4-byte lines.
    auto file = MakePcx({.width = 4, .height = 2}, {});
    file.insert(file.end(), {0xC8, 0x2A});
    DecodedImage crossing(Decode(kPcxDecoder, file));
    ASSERT_TRUE(crossing.ok());
    EXPECT_EQ(crossing.raw(0, 0), 0x2Au);
    EXPECT_EQ(crossing.raw(3, 1), 0x2Au);
}

TEST(PcxReader, RefusesTruncatedHugeAndMalformedFiles) {
    const Line rgb{{10, 200, 3}, {20, 100, 4}, {30, 0, 5}};
    const auto good = MakePcx({.planes = 3, .width = 3, .height = 3}, {rgb, rgb, rgb});
    ASSERT_TRUE(DecodedImage(Decode(kPcxDecoder, good)).ok());
    ExpectEveryTruncationRefused(kPcxDecoder, good);
    ExpectGarbageRefused(kPcxDecoder);

    auto wrongMagic = good;
    wrongMagic[0] = 0x0B;
    EXPECT_FALSE(Matches(kPcxDecoder, wrongMagic));

    // 65535 x 65535 from a handful of bytes: refused before any allocation.
    auto huge = MakePcx({.width = 65535, .height = 65535}, {});
    huge.insert(huge.end(), 64, 0xFF);
    EXPECT_TRUE(Matches(kPcxDecoder, huge));
    EXPECT_FALSE(DecodedImage(Decode(kPcxDecoder, huge)).ok());

    // Scan lines too short for the width, and an unknown plane layout.
    EXPECT_FALSE(
        DecodedImage(Decode(kPcxDecoder, MakePcx({.width = 8, .bytesPerLine = 4}, {{{}}}))).ok());
    EXPECT_FALSE(
        DecodedImage(Decode(kPcxDecoder, MakePcx({.bitsPerPlane = 4, .planes = 3}, {{{}}}))).ok());
}

}  // namespace
}  // namespace lumivane::test
