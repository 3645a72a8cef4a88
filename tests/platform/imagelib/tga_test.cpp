// The TGA reader, fed with files written by a small encoder below.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codec_test_util.h"
#include "platform/imagelib/codecs/own_formats.h"

namespace lumivane::test {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

struct TgaSpec {
    int imageType = 2;
    int width = 1, height = 1, pixelBits = 24, descriptor = 0;
    int mapFirst = 0, mapEntryBits = 24;
    Bytes8 colorMap{};  // raw entries; empty = no colour map
    Bytes8 id{};
};

// Run-length codes pixels of `size` bytes: runs of equal pixels, raw packets otherwise.
Bytes8 RunLength(const Bytes8& pixels, int size) {
    Bytes8 out;
    const std::size_t n = pixels.size() / size;
    auto same = [&](std::size_t a, std::size_t b) {
        return std::memcmp(&pixels[a * size], &pixels[b * size], size) == 0;
    };
    for (std::size_t i = 0; i < n;) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && same(i, i + run)) ++run;
        if (run > 1) {
            out.push_back(std::uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), &pixels[i * size], &pixels[i * size] + size);
        } else {
            std::size_t raw = 1;
            while (i + raw < n && raw < 128 && !(i + raw + 1 < n && same(i + raw, i + raw + 1)))
                ++raw;
            out.push_back(std::uint8_t(raw - 1));
            out.insert(out.end(), &pixels[i * size], &pixels[(i + raw) * size]);
            run = raw;
        }
        i += run;
    }
    return out;
}

// `pixels` are in file order: the first row in the file first.
Bytes8 MakeTga(const TgaSpec& s, const Bytes8& pixels) {
    const int entryBytes = (s.mapEntryBits + 7) / 8;
    FileBuilder f;
    f.u8(s.id.size()).u8(s.colorMap.empty() ? 0 : 1).u8(s.imageType);
    f.u16le(s.colorMap.empty() ? 0 : s.mapFirst)
        .u16le(s.colorMap.size() / entryBytes)
        .u8(s.colorMap.empty() ? 0 : s.mapEntryBits);
    f.u16le(0).u16le(0).u16le(s.width).u16le(s.height).u8(s.pixelBits).u8(s.descriptor);
    f.append(s.id).append(s.colorMap);
    return f.append(s.imageType & 8 ? RunLength(pixels, (s.pixelBits + 7) / 8) : pixels).bytes;
}

// The TGA 2.0 footer with an extension area whose attributes type is `attributes`.
void AppendExtensionArea(Bytes8& file, int attributes) {
    const std::uint32_t offset = std::uint32_t(file.size());
    FileBuilder ext;
    ext.u16le(495).fill(492).u8(attributes);
    ext.u32le(offset).u32le(0).text("TRUEVISION-XFILE.").u8(0);
    file.insert(file.end(), ext.bytes.begin(), ext.bytes.end());
}

TEST(TgaReader, ColourMappedPixelsIndexTheMapFromItsFirstEntry) {
    FileBuilder map24;
    for (int i = 0; i < 4; ++i) map24.u8(i).u8(0x80).u8(0xF0 + i);
    const Bytes8 map16{0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0xFF, 0x7F};  // blue green red white
    for (int type : {1, 9}) {
        DecodedImage img(Decode(kTgaDecoder, MakeTga({.imageType = type,
                                                      .width = 3,
                                                      .pixelBits = 8,
                                                      .mapFirst = 10,
                                                      .colorMap = map24.bytes,
                                                      .id = {'h', 'i'}},
                                                     {10, 13, 12})));
        ASSERT_TRUE(img.ok()) << type;
        EXPECT_EQ(img.bits(), 8);
        EXPECT_EQ(img.raw(0, 0), 10u);
        EXPECT_EQ(img.color(0, 0), RGB(0xF0, 0x80, 0));
        EXPECT_EQ(img.color(1, 0), RGB(0xF3, 0x80, 3));
        EXPECT_EQ(img.paletteColor(9), RGB(0, 0, 0));
    }
    DecodedImage fifteen(Decode(
        kTgaDecoder,
        MakeTga({.imageType = 1, .width = 4, .pixelBits = 8, .mapEntryBits = 16, .colorMap = map16},
                {0, 1, 2, 3})));
    ASSERT_TRUE(fifteen.ok());
    EXPECT_EQ(fifteen.color(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(fifteen.color(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(fifteen.color(2, 0), RGB(255, 0, 0));
    EXPECT_EQ(fifteen.color(3, 0), RGB(255, 255, 255));
}

TEST(TgaReader, GreyBecomesEightBitGreyAndSixteenBitStaysFiveFiveFive) {
    for (int type : {3, 11}) {
        DecodedImage grey(
            Decode(kTgaDecoder,
                   MakeTga({.imageType = type, .width = 3, .pixelBits = 8, .descriptor = 0x20},
                           {0, 77, 77})));
        ASSERT_TRUE(grey.ok());
        EXPECT_EQ(grey.bits(), 8);
        EXPECT_EQ(grey.color(1, 0), RGB(77, 77, 77));
        EXPECT_EQ(grey.color(2, 0), RGB(77, 77, 77));
    }
    // Red with the attribute bit set, then pure blue, as 16 and 15 bits.
    for (int bits : {15, 16}) {
        for (int type : {2, 10}) {
            DecodedImage img(Decode(
                kTgaDecoder,
                MakeTga({.imageType = type, .width = 2, .pixelBits = bits, .descriptor = 0x20},
                        {0x00, 0xFC, 0x1F, 0x00})));
            ASSERT_TRUE(img.ok());
            EXPECT_EQ(img.bits(), 16);
            EXPECT_EQ(img.raw(0, 0), 0x7C00u);
            EXPECT_EQ(img.raw(1, 0), 0x001Fu);
        }
    }
}

TEST(TgaReader, TrueColourInEveryPixelOrder) {
    // File rows: (1,2,3)(4,5,6) then (7,8,9)(10,11,12), stored blue green red.
    const Bytes8 pixels{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10};
    struct Case {
        int descriptor;
        COLORREF topLeft;
    };
    for (Case c : {Case{0x00, RGB(7, 8, 9)}, Case{0x20, RGB(1, 2, 3)}, Case{0x10, RGB(10, 11, 12)},
                   Case{0x30, RGB(4, 5, 6)}}) {
        for (int type : {2, 10}) {
            DecodedImage img(Decode(
                kTgaDecoder,
                MakeTga({.imageType = type, .width = 2, .height = 2, .descriptor = c.descriptor},
                        pixels)));
            ASSERT_TRUE(img.ok());
            EXPECT_EQ(img.bits(), 24);
            EXPECT_EQ(img.color(0, 0), c.topLeft) << "descriptor " << c.descriptor;
        }
    }
}

TEST(TgaReader, AlphaIsLaidOverWhiteOnlyWhenItMeansCoverage) {
    const Bytes8 pixels{30, 20, 10, 255, 30, 20, 10, 0, 30, 20, 10, 128};
    const TgaSpec header{.width = 3, .pixelBits = 32, .descriptor = 0x28};
    DecodedImage straight(Decode(kTgaDecoder, MakeTga(header, pixels)));
    ASSERT_TRUE(straight.ok());
    EXPECT_EQ(straight.bits(), 24);
    EXPECT_EQ(straight.color(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(straight.color(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(straight.color(2, 0), RGB(132, 137, 142));

    // No alpha bits declared, or the extension area says the byte is not alpha: opaque.
    DecodedImage noAlphaBits(
        Decode(kTgaDecoder, MakeTga({.width = 3, .pixelBits = 32, .descriptor = 0x20}, pixels)));
    ASSERT_TRUE(noAlphaBits.ok());
    EXPECT_EQ(noAlphaBits.color(1, 0), RGB(10, 20, 30));
    auto undefinedAlpha = MakeTga(header, pixels);
    AppendExtensionArea(undefinedAlpha, 2);
    DecodedImage ignored(Decode(kTgaDecoder, undefinedAlpha));
    ASSERT_TRUE(ignored.ok());
    EXPECT_EQ(ignored.color(1, 0), RGB(10, 20, 30));

    auto premultiplied = MakeTga(header, {15, 10, 5, 128});
    AppendExtensionArea(premultiplied, 4);
    DecodedImage pre(Decode(kTgaDecoder, premultiplied));
    ASSERT_TRUE(pre.ok());
    EXPECT_EQ(pre.color(0, 0), RGB(132, 137, 142));
}

TEST(TgaReader, RunsMayCrossRows) {
    // One run packet of 6 pixels covering both rows of a 3 x 2 image.
    auto file = MakeTga({.imageType = 10, .width = 3, .height = 2}, {});
    file.insert(file.end(), {0x85, 1, 2, 3});
    DecodedImage img(Decode(kTgaDecoder, file));
    ASSERT_TRUE(img.ok());
    EXPECT_EQ(img.color(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(img.color(2, 1), RGB(3, 2, 1));
}

TEST(TgaReader, RecognitionIsStrict) {
    const auto good = MakeTga({.width = 2, .height = 2}, Bytes8(12, 9));
    EXPECT_TRUE(Matches(kTgaDecoder, good));

    auto noMapButMapFields = good;
    noMapButMapFields[5] = 4;  // map length without a colour map
    EXPECT_FALSE(Matches(kTgaDecoder, noMapButMapFields));
    auto oddDepth = good;
    oddDepth[16] = 12;
    EXPECT_FALSE(Matches(kTgaDecoder, oddDepth));
    auto interleaved = good;
    interleaved[17] = 0x40;
    EXPECT_FALSE(Matches(kTgaDecoder, interleaved));
    auto mappedWithoutMap = MakeTga({.imageType = 1, .width = 2, .pixelBits = 8}, {0, 0});
    EXPECT_FALSE(Matches(kTgaDecoder, mappedWithoutMap));

    // Headers of other formats.
    const auto bmp = FileBuilder().text("BM").u32le(70).u32le(0).u32le(54).u32le(40).fill(60).bytes;
    const auto png =
        FileBuilder().u8(0x89).text("PNG\r\n\x1a\n").u32be(13).text("IHDR").fill(60).bytes;
    const auto jpeg =
        FileBuilder().u8(0xFF).u8(0xD8).u8(0xFF).u8(0xE0).u16be(16).text("JFIF").fill(60).bytes;
    const auto text =
        FileBuilder().text("Hello, this is a plain text file with some words.\n").bytes;
    for (const auto& other : {bmp, png, jpeg, text}) EXPECT_FALSE(Matches(kTgaDecoder, other));
}

TEST(TgaReader, RefusesTruncatedHugeAndMalformedFiles) {
    Bytes8 pixels;
    for (int i = 0; i < 16; ++i)
        pixels.insert(pixels.end(), {std::uint8_t(i), 1, 2, std::uint8_t(i / 3)});
    for (int type : {2, 10}) {
        const auto good =
            MakeTga({.imageType = type, .width = 4, .height = 4, .pixelBits = 32}, pixels);
        ASSERT_TRUE(DecodedImage(Decode(kTgaDecoder, good)).ok());
        ExpectEveryTruncationRefused(kTgaDecoder, good);
    }
    ExpectGarbageRefused(kTgaDecoder);

    // 65535 x 65535 promised by a few bytes of run-length data, and a plain one that is short.
    auto huge = MakeTga({.imageType = 10, .width = 65535, .height = 65535}, {});
    huge.insert(huge.end(), 400, 0xFF);
    EXPECT_FALSE(Matches(kTgaDecoder, huge));
    EXPECT_FALSE(DecodedImage(Decode(kTgaDecoder, huge)).ok());
    // Just over 512 megapixels, with enough data to be plausible.
    auto tooBig = MakeTga({.imageType = 10, .width = 65535, .height = 8193}, {});
    tooBig.resize(tooBig.size() + 65535u * 8193u / 128 * 4 + 64, 0xFF);
    EXPECT_TRUE(Matches(kTgaDecoder, tooBig));
    EXPECT_FALSE(DecodedImage(Decode(kTgaDecoder, tooBig)).ok());
}

}  // namespace
}  // namespace lumivane::test
