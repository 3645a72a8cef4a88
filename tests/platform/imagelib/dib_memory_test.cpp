// newdib, deldib, getpixel and setpixel at every depth.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/imagelib/imagelib.h"

namespace {

BITMAPINFO* MakePalette(int n) {
    static BYTE storage[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)];
    auto* bi = reinterpret_cast<BITMAPINFO*>(storage);
    std::memset(storage, 0, sizeof storage);
    for (int i = 0; i < n; ++i) {
        bi->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 3), 0};
    }
    return bi;
}

TEST(NewDib, CreatesZeroedAlignedBottomUpImagesAtEveryDepth) {
    struct Case {
        int bits;
        int width;
        LONG stride;
    };
    for (Case c : {Case{1, 33, 8}, Case{4, 9, 8}, Case{8, 5, 8}, Case{16, 3, 8}, Case{24, 1, 4},
                   Case{24, 5, 16}, Case{32, 3, 12}}) {
        dib d = newdib(c.width, 7, c.bits, nullptr, 0);
        ASSERT_NE(d.poi, nullptr) << c.bits;
        EXPECT_NE(d.poih, 0u);
        EXPECT_EQ(d.bytew, c.stride) << c.bits << " bpp, width " << c.width;
        EXPECT_EQ(d.pmi->bmiHeader.biWidth, c.width);
        EXPECT_EQ(d.pmi->bmiHeader.biHeight, 7);
        EXPECT_EQ(d.pmi->bmiHeader.biBitCount, c.bits);
        EXPECT_EQ(d.ispal, c.bits <= 8 ? 1 : 0);
        const auto* bytes = static_cast<const BYTE*>(d.poi);
        for (LONG i = 0; i < d.bytew * 7; ++i) ASSERT_EQ(bytes[i], 0);
        deldib(d);
    }
}

TEST(NewDib, CopiesThePaletteIntoColourTableAndLogicalPalette) {
    const BITMAPINFO* src = MakePalette(256);
    dib d = newdib(4, 4, 8, src, 256);
    ASSERT_NE(d.poi, nullptr);
    EXPECT_EQ(d.pal.num, 256);
    for (int i : {0, 1, 100, 255}) {
        EXPECT_EQ(d.pmi->bmiColors[i].rgbBlue, BYTE(i));
        EXPECT_EQ(d.pmi->bmiColors[i].rgbGreen, BYTE(255 - i));
        EXPECT_EQ(d.pal.rgb0[i][0], BYTE(i * 3)) << "red";
        EXPECT_EQ(d.pal.rgb0[i][1], BYTE(255 - i)) << "green";
        EXPECT_EQ(d.pal.rgb0[i][2], BYTE(i)) << "blue";
    }
    deldib(d);

    dib four = newdib(4, 4, 4, src, 16);
    EXPECT_EQ(four.pal.num, 16);
    EXPECT_EQ(four.pal.rgb0[15][0], BYTE(45));
    deldib(four);
}

TEST(NewDib, FailsCleanlyOnAbsurdRequests) {
    for (auto [w, h, bits] : {std::tuple{0, 10, 24}, std::tuple{10, 0, 24}, std::tuple{-5, 10, 8},
                              std::tuple{10, 10, 7}, std::tuple{2000000000, 2000000000, 24},
                              std::tuple{1 << 20, 1 << 20, 32}}) {
        dib d = newdib(w, h, bits, nullptr, 0);
        EXPECT_EQ(d.poi, nullptr) << w << "x" << h << "x" << bits;
        EXPECT_EQ(d.poih, 0u);
    }
}

TEST(PixelAccess, RoundTripsAtEveryDepthWithRowZeroOnTop) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        dib d = newdib(13, 5, bits, nullptr, 0);
        ASSERT_NE(d.poi, nullptr);
        const DWORD mask = bits >= 24 ? 0xFFFFFF : (bits == 16 ? 0xFFFF : (1u << bits) - 1);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) setpixel(d, x, y, DWORD(x * 7919 + y * 104729) & mask);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(getpixel(d, x, y), DWORD(x * 7919 + y * 104729) & mask)
                    << bits << " bpp at " << x << "," << y;
        deldib(d);
    }
}

TEST(PixelAccess, UsesTheDibByteLayout) {
    dib d24 = newdib(2, 2, 24, nullptr, 0);
    setpixel(d24, 1, 0, RGB(10, 20, 30));  // top row = last stored row
    const BYTE* top = static_cast<BYTE*>(d24.poi) + d24.bytew;
    EXPECT_EQ(top[3], 30);  // blue first
    EXPECT_EQ(top[4], 20);
    EXPECT_EQ(top[5], 10);
    deldib(d24);

    dib d4 = newdib(2, 1, 4, nullptr, 0);
    setpixel(d4, 0, 0, 1);
    setpixel(d4, 1, 0, 2);
    EXPECT_EQ(static_cast<BYTE*>(d4.poi)[0], 0x12) << "even column in the high nibble";
    deldib(d4);

    dib d1 = newdib(9, 1, 1, nullptr, 0);
    setpixel(d1, 0, 0, 1);
    setpixel(d1, 8, 0, 1);
    EXPECT_EQ(static_cast<BYTE*>(d1.poi)[0], 0x80);
    EXPECT_EQ(static_cast<BYTE*>(d1.poi)[1], 0x80);
    deldib(d1);
}

TEST(PixelAccess, OutsideTheImageReadsZeroAndWritesNothing) {
    dib d = newdib(3, 3, 24, nullptr, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) setpixel(d, x, y, 0xFFFFFF);
    for (auto [x, y] : {std::pair{-1, 0}, std::pair{3, 0}, std::pair{0, -1}, std::pair{0, 3},
                        std::pair{INT32_MIN, INT32_MAX}}) {
        EXPECT_EQ(getpixel(d, x, y), 0u);
        setpixel(d, x, y, 0);
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(getpixel(d, x, y), 0xFFFFFFu);
    deldib(d);
}

}  // namespace
