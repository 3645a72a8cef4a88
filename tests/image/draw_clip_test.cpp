// Clipping the source rectangle to the image.
#include <gtest/gtest.h>

#include <cstring>

#include "image/Zerlin.h"

namespace {

DrawRect Clip(DrawRect r, LONG W, LONG H, bool* drawn = nullptr) {
    const bool ok = ClipToImage(r, W, H);
    if (drawn) *drawn = ok;
    return r;
}

TEST(ClipToImage, TheWholeImageClipsNothing) {
    const DrawRect r{3, 4, 50, 60, 0, 0, 100, 80};
    bool drawn = false;
    const DrawRect c = Clip(r, 100, 80, &drawn);
    EXPECT_TRUE(drawn);
    EXPECT_EQ(std::memcmp(&c, &r, sizeof r), 0);
}

TEST(ClipToImage, EachEdgeShrinksTheDestinationInProportion) {
    // Right edge: SrcW 100 -> 50, DestW Round(37.5) = 38 (half to even).
    DrawRect c = Clip({0, 0, 75, 10, 50, 0, 100, 10}, 100, 10);
    EXPECT_EQ(c.SrcW, 50);
    EXPECT_EQ(c.DestW, 38);
    // Left edge: DestW 220 -> 200 and X moves right by 20.
    c = Clip({5, 0, 220, 10, -10, 0, 110, 10}, 100, 10);
    EXPECT_EQ(c.DestW, 200);
    EXPECT_EQ(c.X, 25);
    EXPECT_EQ(c.SrcX, 0);
    EXPECT_EQ(c.SrcW, 100);
    // Bottom edge: DestH 210 -> 200, Y stays.
    c = Clip({0, 7, 10, 210, 0, -5, 10, 105}, 10, 100);
    EXPECT_EQ(c.DestH, 200);
    EXPECT_EQ(c.Y, 7);
    EXPECT_EQ(c.SrcY, 0);
    EXPECT_EQ(c.SrcH, 100);
    // Top edge: the same overhang moves Y down by 10.
    c = Clip({0, 7, 10, 210, 0, 0, 10, 105}, 10, 100);
    EXPECT_EQ(c.DestH, 200);
    EXPECT_EQ(c.Y, 17);
    EXPECT_EQ(c.SrcH, 100);
}

TEST(ClipToImage, RoundsHalvesToEven) {
    // 5 * 1 / 2 = 2.5 -> 2; 7 * 1 / 2 = 3.5 -> 4; right edge keeps one of two columns.
    EXPECT_EQ(Clip({0, 0, 5, 1, 1, 0, 2, 1}, 2, 1).DestW, 2);
    EXPECT_EQ(Clip({0, 0, 7, 1, 1, 0, 2, 1}, 2, 1).DestW, 4);
    // Left edge with t = Round(2.5) = 2: X moves by 5 - 2 = 3.
    const DrawRect c = Clip({0, 0, 5, 1, -1, 0, 2, 1}, 2, 1);
    EXPECT_EQ(c.DestW, 2);
    EXPECT_EQ(c.X, 3);
}

TEST(ClipToImage, ARectangleOutsideTheImageLeavesNothing) {
    bool drawn = true;
    Clip({0, 0, 10, 10, 100, 0, 10, 10}, 100, 100, &drawn);
    EXPECT_FALSE(drawn) << "right of the image";
    Clip({0, 0, 10, 10, -10, 0, 10, 10}, 100, 100, &drawn);
    EXPECT_FALSE(drawn) << "left of the image";
    Clip({0, 0, 10, 10, 0, -20, 10, 10}, 100, 100, &drawn);
    EXPECT_FALSE(drawn) << "below the image";
    Clip({0, 0, 10, 10, 0, 100, 10, 10}, 100, 100, &drawn);
    EXPECT_FALSE(drawn) << "above the image";
    Clip({0, 0, 10, 10, 0, 0, 0, 10}, 100, 100, &drawn);
    EXPECT_FALSE(drawn) << "no source width";
    Clip({0, 0, 1, 10, 0, 0, 100, 10}, 3, 100, &drawn);
    EXPECT_FALSE(drawn) << "the destination shrinks to 0 columns";
}

}  // namespace
