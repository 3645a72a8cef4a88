// The quarter turn of the background.
#include <gtest/gtest.h>

#include <cstring>

#include "image/Zerlin.h"
#include "tests/image/test_images.h"

namespace {

using namespace lumivane::test;

// The turn written plainly: every pixel through the library, (x, y) to (y, W - 1 - x).
dib ReferenceTurn(const dib& src) {
    const int w = DibWidth(src), h = DibHeight(src), bits = DibBitCount(src);
    const int colors = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    dib out = newdib(h, w, bits, src.pmi, colors);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setpixel(out, y, w - 1 - x, getpixel(src, x, y));
    return out;
}

TEST(TurnDibQuarter, MatchesThePlainTurnAtEveryDepth) {
    const int sizes[][2] = {{1, 1}, {3, 5}, {7, 2}, {9, 33}, {33, 9}, {37, 70}, {70, 37}};
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (const auto& s : sizes) {
            dib src = RandomImage(s[0], s[1], bits, unsigned(bits * s[0] + s[1]));
            dib expected = ReferenceTurn(src);
            dib turned = TurnDibQuarter(src);
            ASSERT_NE(turned.poi, nullptr);
            EXPECT_TRUE(SamePixels(turned, expected)) << bits << " bits " << s[0] << "x" << s[1];
            if (bits != 32) {  // the plain turn drops the fourth byte of 32-bit pixels
                EXPECT_TRUE(SameMemory(turned, expected)) << "row padding stays clear";
            }
            const int colors = bits <= 8 ? 1 << bits : 0;
            EXPECT_EQ(turned.pmi->bmiHeader.biClrUsed, DWORD(colors));
            EXPECT_TRUE(SamePalette(turned, src, colors));
            FreeDib(turned);
            FreeDib(expected);
            FreeDib(src);
        }
    }
}

TEST(TurnDibQuarter, TurnsCounterClockwise) {
    dib bkgnd = MakeImage(300, 200, 24);
    setpixel(bkgnd, 0, 0, 1);
    setpixel(bkgnd, 299, 0, 2);
    setpixel(bkgnd, 299, 199, 3);
    setpixel(bkgnd, 0, 199, 4);
    dib turned = TurnDibQuarter(bkgnd);
    ASSERT_EQ(DibWidth(turned), 200);
    ASSERT_EQ(DibHeight(turned), 300);
    EXPECT_EQ(getpixel(turned, 0, 299), 1u) << "top-left to bottom-left";
    EXPECT_EQ(getpixel(turned, 0, 0), 2u) << "top-right to top-left";
    EXPECT_EQ(getpixel(turned, 199, 0), 3u) << "bottom-right to top-right";
    EXPECT_EQ(getpixel(turned, 199, 299), 4u);
    FreeDib(turned);
    FreeDib(bkgnd);
}

TEST(TurnBackgroundQuarter, FourTurnsGiveBackTheStartingImage) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {13, 7}, {2, 9}}) {
            dib start = RandomImage(w, h, bits, unsigned(w * h + bits));
            // Same-size copies have clear row padding, so whole memories can be compared.
            dib clean = ResampleDib(start, w, h, false);
            dib bkgnd = ResampleDib(start, w, h, false);
            for (int turn = 0; turn < 4; ++turn) ASSERT_TRUE(TurnBackgroundQuarter(bkgnd));
            EXPECT_TRUE(SameMemory(bkgnd, clean)) << bits << " bits " << w << "x" << h;
            EXPECT_TRUE(SamePixels(bkgnd, start));
            FreeDib(bkgnd);
            FreeDib(clean);
            FreeDib(start);
        }
    }
}

TEST(TurnBackgroundQuarter, KeepsTheOldImageWhenTheTurnCannotBeMade) {
    // The library refuses an image 2,000,000 pixels wide, the turned width of this one.
    OversizedRecord tall(1, 2'000'000, 24);
    const dib before = tall.record;
    EXPECT_FALSE(TurnBackgroundQuarter(tall.record));
    EXPECT_EQ(std::memcmp(&before, &tall.record, sizeof(dib)), 0);

    dib empty{};
    EXPECT_FALSE(TurnBackgroundQuarter(empty));
}

}  // namespace
