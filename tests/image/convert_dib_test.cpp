// ConvertDib: palette and 16-bit images to 24 bits per pixel.
#include <gtest/gtest.h>

#include <cstring>

#include "image/Zerlin.h"
#include "tests/image/test_images.h"

namespace {

using namespace lumivane::test;

// The conversion written plainly through the library's pixel access, colours from `pal`.
dib ReferenceConvert(const dib& src) {
    dib out = newdib(DibWidth(src), DibHeight(src), 24, nullptr, 0);
    for (int y = 0; y < DibHeight(src); ++y) {
        for (int x = 0; x < DibWidth(src); ++x) {
            const DWORD v = getpixel(src, x, y);
            DWORD color;
            if (DibBitCount(src) == 16) {
                color =
                    RGB(BYTE(((v >> 10) & 31) * 8), BYTE(((v >> 5) & 31) * 8), BYTE((v & 31) * 8));
            } else {
                const BYTE* e = src.pal.rgb0[DibBitCount(src) == 1 ? (v != 0) : v];
                color = e[0] + 256 * e[1] + 65536 * e[2];
            }
            setpixel(out, x, y, color);
        }
    }
    return out;
}

TEST(ConvertDib, MatchesThePlainConversionAtEveryDepthAndOddWidth) {
    for (int bits : {1, 4, 8, 16}) {
        for (int width : {1, 3, 5, 7, 9, 33}) {
            dib image = RandomImage(width, 3, bits, unsigned(bits * 100 + width));
            // pal, not the colour table, gives the colours: make the two disagree.
            for (int i = 0; i < 256; ++i) image.pal.rgb0[i][1] ^= 0x5A;
            dib expected = ReferenceConvert(image);
            ConvertDib(image, 24);
            ASSERT_EQ(DibBitCount(image), 24);
            EXPECT_TRUE(SamePixels(image, expected)) << bits << " bits, width " << width;
            FreeDib(expected);
            FreeDib(image);
        }
    }
}

TEST(ConvertDib, WidensFiveBitChannelsByAShiftOnly) {
    dib image = MakeImage(4, 1, 16);
    const WORD words[] = {0x7FFF, 0x8000, 0x001F, 0x7C00};
    std::memcpy(image.poi, words, sizeof words);
    ConvertDib(image, 24);
    EXPECT_EQ(getpixel(image, 0, 0), RGB(248, 248, 248));
    EXPECT_EQ(getpixel(image, 1, 0), RGB(0, 0, 0)) << "bit 15 is ignored";
    EXPECT_EQ(getpixel(image, 2, 0), RGB(0, 0, 248));
    EXPECT_EQ(getpixel(image, 3, 0), RGB(248, 0, 0));
    FreeDib(image);
}

TEST(ConvertDib, PaletteImagesTakeTheirColoursFromPal) {
    dib four = MakeImage(2, 1, 4, 16);
    static_cast<BYTE*>(four.poi)[0] = 0x12;  // pixel 0 in the high nibble
    const dib before = four;
    ConvertDib(four, 24);
    EXPECT_EQ(getpixel(four, 0, 0),
              RGB(before.pal.rgb0[1][0], before.pal.rgb0[1][1], before.pal.rgb0[1][2]));
    EXPECT_EQ(getpixel(four, 1, 0),
              RGB(before.pal.rgb0[2][0], before.pal.rgb0[2][1], before.pal.rgb0[2][2]));
    FreeDib(four);

    dib eight = MakeImage(1, 1, 8);
    setpixel(eight, 0, 0, 255);
    eight.pal.rgb0[255][0] = 11;
    eight.pal.rgb0[255][1] = 22;
    eight.pal.rgb0[255][2] = 33;
    ConvertDib(eight, 24);
    EXPECT_EQ(getpixel(eight, 0, 0), RGB(11, 22, 33));
    FreeDib(eight);
}

TEST(ConvertDib, OneBitImageWithWhiteFirstKeepsItsLook) {
    dib image = MakeImage(9, 2, 1, 2);
    std::memset(image.pal.rgb0[0], 255, 3);
    std::memset(image.pal.rgb0[1], 0, 3);
    setpixel(image, 8, 1, 1);
    ConvertDib(image, 24);
    EXPECT_EQ(getpixel(image, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(getpixel(image, 8, 1), RGB(0, 0, 0));
    EXPECT_EQ(DibWidth(image), 9);
    EXPECT_EQ(DibHeight(image), 2);
    FreeDib(image);
}

TEST(ConvertDib, LeavesTheRecordUntouchedWhenItDoesNotConvert) {
    for (int bits : {24, 32}) {
        dib image = RandomImage(3, 2, bits, 7);
        const dib before = image;
        ConvertDib(image, 24);
        EXPECT_EQ(std::memcmp(&before, &image, sizeof(dib)), 0) << bits;
        FreeDib(image);
    }

    dib eight = MakeImage(3, 2, 8);
    const dib before = eight;
    ConvertDib(eight, 16);  // only 24 is a wanted depth
    EXPECT_EQ(std::memcmp(&before, &eight, sizeof(dib)), 0);
    FreeDib(eight);

    dib empty{};
    ConvertDib(empty, 24);
    EXPECT_EQ(empty.poi, nullptr);

    // The library refuses a 24-bit image this wide; nothing may be read, freed or replaced.
    OversizedRecord huge(2'000'000, 1, 8);
    const dib hugeBefore = huge.record;
    ConvertDib(huge.record, 24);
    EXPECT_EQ(std::memcmp(&hugeBefore, &huge.record, sizeof(dib)), 0);
}

}  // namespace
