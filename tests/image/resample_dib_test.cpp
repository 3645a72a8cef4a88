// ResampleDib: nearest and bilinear copies on the 10-bit fixed-point grid.
#include <gtest/gtest.h>

#include <cstring>

#include "image/Zerlin.h"
#include "tests/image/test_images.h"

namespace {

using namespace lumivane::test;

BYTE* Pixel24(const dib& image, int x, int storedRow) {
    return static_cast<BYTE*>(image.poi) + storedRow * image.bytew + 3 * x;
}

// The resampler written plainly: library pixel access, the row order made explicit.
dib ReferenceResample(const dib& src, int w, int h, bool smooth) {
    const int sw = DibWidth(src), sh = DibHeight(src), bits = DibBitCount(src);
    const int stepX = (sw << 10) / w, stepY = (sh << 10) / h;
    dib out = newdib(w, h, bits, src.pmi, bits <= 8 ? 1 << bits : 0);
    const bool blend = bits == 24 && smooth && w >= sw && h >= sh;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int sx = (x * stepX) >> 10, sy = (y * stepY) >> 10;
            if (bits == 1) {  // picture rows, from the top
                setpixel(out, x, y, getpixel(src, sx, sy));
            } else if (bits == 32) {  // whole pixels, fourth byte included
                std::memcpy(static_cast<BYTE*>(out.poi) + y * out.bytew + 4 * x,
                            static_cast<BYTE*>(src.poi) + sy * src.bytew + 4 * sx, 4);
            } else if (!blend) {  // stored rows, from the bottom
                setpixel(out, x, h - 1 - y, getpixel(src, sx, sh - 1 - sy));
            } else {
                const int fx = (x * stepX) % 1024, fy = (y * stepY) % 1024;
                const int sx1 = sx + 1 > sw - 1 ? sw - 1 : sx + 1;
                const int sy1 = sy + 1 > sh - 1 ? sh - 1 : sy + 1;
                for (int c = 0; c < 3; ++c) {
                    const int top =
                        (Pixel24(src, sx, sy)[c] * (1023 - fx) + Pixel24(src, sx1, sy)[c] * fx) >>
                        10;
                    const int bottom =
                        (Pixel24(src, sx, sy1)[c] * (1023 - fx) + Pixel24(src, sx1, sy1)[c] * fx) >>
                        10;
                    Pixel24(out, x, y)[c] = BYTE((top * (1023 - fy) + bottom * fy) >> 10);
                }
            }
        }
    }
    return out;
}

TEST(ResampleDib, MatchesThePlainResamplerAtEveryDepthAndSize) {
    const int sizes[][4] = {{7, 5, 3, 2}, {7, 5, 16, 11}, {9, 4, 9, 4},  {5, 9, 13, 3},
                            {1, 1, 6, 5}, {33, 17, 1, 1}, {6, 6, 19, 7}, {40, 30, 17, 29}};
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (const auto& s : sizes) {
            for (bool smooth : {false, true}) {
                dib src = RandomImage(s[0], s[1], bits, unsigned(bits + s[0] * s[2]));
                dib expected = ReferenceResample(src, s[2], s[3], smooth);
                dib got = ResampleDib(src, s[2], s[3], smooth);
                ASSERT_NE(got.poi, nullptr);
                EXPECT_TRUE(SameMemory(got, expected))
                    << bits << " bits " << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3]
                    << (smooth ? " smooth" : "");
                if (bits <= 8) {
                    EXPECT_TRUE(SamePalette(got, src, 1 << bits));
                }
                FreeDib(got);
                FreeDib(expected);
                FreeDib(src);
            }
        }
    }
}

TEST(ResampleDib, ReducesOnStepsOf3072And3075) {
    // Each source pixel tells its own stored row and column.
    dib src = MakeImage(3000, 2000, 24);
    for (int r = 0; r < 2000; ++r)
        for (int c = 0; c < 3000; ++c) {
            BYTE* p = Pixel24(src, c, r);
            p[0] = BYTE(c);
            p[1] = BYTE((c >> 8) | ((r & 15) << 4));
            p[2] = BYTE(r >> 4);
        }
    dib small = ResampleDib(src, 1000, 666, true);  // shrinking: nearest despite smooth
    ASSERT_EQ(DibWidth(small), 1000);
    ASSERT_EQ(DibHeight(small), 666);
    auto column = [&](int x, int y) {
        return Pixel24(small, x, y)[0] | (Pixel24(small, x, y)[1] & 15) << 8;
    };
    auto row = [&](int x, int y) {
        return Pixel24(small, x, y)[1] >> 4 | Pixel24(small, x, y)[2] << 4;
    };
    for (int x : {0, 1, 333, 999}) EXPECT_EQ(column(x, 5), 3 * x);
    EXPECT_EQ(row(0, 0), 0);
    EXPECT_EQ(row(7, 1), 3);
    EXPECT_EQ(row(7, 333), 999);
    EXPECT_EQ(row(999, 665), 1996);
    FreeDib(small);
    FreeDib(src);
}

TEST(ResampleDib, SameSizeCopiesAreExactUnlessSmoothed) {
    for (int bits : {1, 4, 8, 16, 24}) {
        dib src = RandomImage(13, 5, bits, unsigned(bits));
        dib copy = ResampleDib(src, 13, 5, false);
        EXPECT_TRUE(SamePixels(copy, src)) << bits;
        FreeDib(copy);
        FreeDib(src);
    }

    dib src = MakeImage(5, 1, 24);
    const BYTE values[] = {255, 128, 3, 2, 1};
    for (int x = 0; x < 5; ++x) std::memset(Pixel24(src, x, 0), values[x], 3);
    dib smoothed = ResampleDib(src, 5, 1, true);
    const BYTE expected[] = {253, 126, 1, 0, 0};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(Pixel24(smoothed, x, 0)[1], expected[x]) << int(values[x]);
    FreeDib(smoothed);
    FreeDib(src);
}

TEST(ResampleDib, EnlargesWithTheTruncatingBlend) {
    dib src = MakeImage(2, 1, 24);
    std::memset(Pixel24(src, 1, 0), 200, 3);
    dib wide = ResampleDib(src, 4, 1, true);
    const BYTE expected[] = {0, 99, 198, 198};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel24(wide, x, 0)[2], expected[x]) << x;
    FreeDib(wide);
    FreeDib(src);
}

TEST(ResampleDib, ShrinkingIgnoresSmoothing) {
    dib src = RandomImage(50, 40, 24, 3);
    for (auto [w, h] : {std::pair{30, 40}, {50, 20}, {80, 20}, {20, 80}}) {
        dib smooth = ResampleDib(src, w, h, true);
        dib nearest = ResampleDib(src, w, h, false);
        EXPECT_TRUE(SameMemory(smooth, nearest)) << w << "x" << h;
        FreeDib(smooth);
        FreeDib(nearest);
    }
    FreeDib(src);
}

TEST(ResampleDib, OneBitRowsAreCountedFromTheTopTheOthersFromTheBottom) {
    // Five picture rows, row r marked with value r + 1 (1-bit: only row 2 set).
    dib one = MakeImage(1, 5, 1, 2);
    dib eight = MakeImage(1, 5, 8);
    setpixel(one, 0, 2, 1);
    for (int r = 0; r < 5; ++r) setpixel(eight, 0, r, DWORD(r + 1));
    dib oneHalf = ResampleDib(one, 1, 2, false);
    dib eightHalf = ResampleDib(eight, 1, 2, false);
    // Step 2560: picture rows 0 and 2 for 1 bit; stored rows 0 and 2 (picture 4 and 2) for 8.
    EXPECT_EQ(getpixel(oneHalf, 0, 0), 0u);
    EXPECT_EQ(getpixel(oneHalf, 0, 1), 1u);
    EXPECT_EQ(getpixel(eightHalf, 0, 0), 3u);
    EXPECT_EQ(getpixel(eightHalf, 0, 1), 5u);
    for (dib* d : {&one, &eight, &oneHalf, &eightHalf}) FreeDib(*d);
}

TEST(ResampleDib, KeepsNibbleOrder) {
    dib src = MakeImage(2, 1, 4, 16);
    static_cast<BYTE*>(src.poi)[0] = 0x12;
    dib copy = ResampleDib(src, 3, 1, false);
    EXPECT_EQ(static_cast<BYTE*>(copy.poi)[0], 0x11) << "new pixel 0 in the high nibble";
    EXPECT_EQ(static_cast<BYTE*>(copy.poi)[1], 0x20) << "odd width leaves the last low nibble";
    FreeDib(copy);
    FreeDib(src);
}

TEST(ResampleDib, GivesNoImageInsteadOfFailing) {
    dib src = RandomImage(4, 4, 24, 1);
    for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-1, 4}, {4, -5}})
        EXPECT_EQ(ResampleDib(src, w, h, true).poi, nullptr) << w << "x" << h;
    EXPECT_EQ(ResampleDib(src, 2'000'000, 1, true).poi, nullptr) << "the library refuses it";
    FreeDib(src);
    EXPECT_EQ(ResampleDib(dib{}, 4, 4, true).poi, nullptr);
    OversizedRecord huge(1, 2'097'152, 8);  // side shl 10 would overflow
    EXPECT_EQ(ResampleDib(huge.record, 1, 1, false).poi, nullptr);
}

}  // namespace
