// The feather mask's weights: rectangular and round, bands, widths of 0 or less, extremes.
#include "engine/feather_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/imagelib/imagelib.h"

namespace {

using lumivane::BuildFeatherMask;

// Owns a 24-bit mask for one test.
struct Mask {
    dib d;
    Mask(int w, int h) : d(newdib(w, h, 24, nullptr, 0)) { EXPECT_NE(d.poi, nullptr); }
    ~Mask() { deldib(d); }
    int At(int x, int y) const { return int(getpixel(d, x, y)); }
};

TEST(FeatherMask, RectangularBandsFallLinearlyFromTheEdges) {
    Mask m(320, 200);
    BuildFeatherMask(m.d, 20, false, 0);
    EXPECT_EQ(m.At(0, 0), 255);
    EXPECT_EQ(m.At(319, 100), 255);
    EXPECT_EQ(m.At(10, 100), 127);
    EXPECT_EQ(m.At(19, 100), 12);
    EXPECT_EQ(m.At(20, 100), 0);
    EXPECT_EQ(m.At(160, 100), 0);
    EXPECT_EQ(m.At(300, 100), 12);
    EXPECT_EQ(m.At(5, 10), 191) << "the left band's 191 beats the top band's 127";
    EXPECT_EQ(m.At(160, 199), 255);
}

TEST(FeatherMask, OverlappingSideBandsTakeTheRightBandsValue) {
    Mask m(30, 100);
    BuildFeatherMask(m.d, 20, false, 0);
    EXPECT_EQ(m.At(5, 50), 191);
    EXPECT_EQ(m.At(12, 50), 38) << "not the left band's 102";
}

TEST(FeatherMask, RoundMaskFadesAcrossTheRingInsideTheRadius) {
    Mask m(320, 200);
    BuildFeatherMask(m.d, 20, true, 0);
    EXPECT_EQ(m.At(160, 100), 0);
    EXPECT_EQ(m.At(160, 20), 0);
    EXPECT_EQ(m.At(160, 10), 127);
    EXPECT_EQ(m.At(160, 0), 255);
    EXPECT_EQ(m.At(0, 100), 255);

    BuildFeatherMask(m.d, 20, true, 30);  // R = 130: (0, 100) at distance 160 is still outside
    EXPECT_EQ(m.At(160, 0), 0);
    EXPECT_EQ(m.At(30, 100), 255);
    EXPECT_EQ(m.At(40, 100), (120 - 110) * 255 / 20);
}

TEST(FeatherMask, FieldValuesAreRoundedHalfToEven) {
    Mask m(320, 200);
    BuildFeatherMask(m.d, 20.5, false, 0);  // 20
    EXPECT_EQ(m.At(10, 100), 127);
    BuildFeatherMask(m.d, 21.5, false, 0);  // 22
    EXPECT_EQ(m.At(10, 100), (22 - 10) * 255 / 22);
    BuildFeatherMask(m.d, 0, true, 2.5);  // R = 102
    EXPECT_EQ(m.At(58, 100), 0);
    EXPECT_EQ(m.At(57, 100), 255);
    BuildFeatherMask(m.d, 0, true, 3.5);  // R = 104
    EXPECT_EQ(m.At(56, 100), 0);
    EXPECT_EQ(m.At(55, 100), 255);
}

TEST(FeatherMask, WidthOfZeroOrLessHasNoBand) {
    Mask m(41, 31);
    for (double width : {0.0, -5.0, -1e12, std::nan("")}) {
        BuildFeatherMask(m.d, width, false, 0);
        for (int y = 0; y < 31; ++y)
            for (int x = 0; x < 41; ++x) ASSERT_EQ(m.At(x, y), 0) << width;

        // Round: a hard edge at R = 15.
        BuildFeatherMask(m.d, width, true, 0);
        EXPECT_EQ(m.At(20, 15), 0);
        EXPECT_EQ(m.At(20, 0), 0) << "distance 15";
        EXPECT_EQ(m.At(4, 15), 255) << "distance 16";
    }
}

TEST(FeatherMask, ExtremeValuesStayInRange) {
    Mask m(33, 17);
    BuildFeatherMask(m.d, 0, true, -1000);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x) ASSERT_EQ(m.At(x, y), 255);

    // A typed width far beyond 32 bits (held at 2^31 - 1): every band covers the whole mask and
    // nothing overflows. The right band replaces the left one even at column 0.
    BuildFeatherMask(m.d, 1e15, false, 0);
    EXPECT_EQ(m.At(0, 8), 254);
    EXPECT_EQ(m.At(16, 8), 254);
    BuildFeatherMask(m.d, 1e15, true, 0);
    EXPECT_EQ(m.At(16, 8), 254);
    EXPECT_EQ(m.At(0, 0), 255);
    BuildFeatherMask(m.d, 20, true, 1e15);
    EXPECT_EQ(m.At(0, 0), 0);
}

TEST(FeatherMask, WritesOnlyRedAndClearsPadding) {
    Mask m(5, 3);  // 15 bytes of pixels in a 16-byte row
    std::memset(m.d.poi, 0xAB, std::size_t(m.d.bytew) * 3);
    BuildFeatherMask(m.d, 2, false, 0);
    const auto* bytes = static_cast<const BYTE*>(m.d.poi);
    for (int row = 0; row < 3; ++row) {
        const BYTE* p = bytes + row * m.d.bytew;
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(p[3 * x], 0);
            EXPECT_EQ(p[3 * x + 1], 0);
        }
        EXPECT_EQ(p[15], 0) << "padding";
    }
    EXPECT_EQ(m.At(2, 1), 127);
}

TEST(FeatherMask, DistancesBeyond32BitSquaresStayExact) {
    // 100000 wide: (cx - 0)^2 = 2.5e9 would wrap a 32-bit sum.
    Mask m(100000, 1);
    BuildFeatherMask(m.d, 20, true, 60000);
    EXPECT_EQ(m.At(0, 0), 0);
    EXPECT_EQ(m.At(99999, 0), 0);
    BuildFeatherMask(m.d, 20, true, 49990);  // R = 49990, ring 49970..49990
    EXPECT_EQ(m.At(0, 0), 255);
    EXPECT_EQ(m.At(30, 0), 0);
    EXPECT_EQ(m.At(20, 0), (49980 - 49970) * 255 / 20);
}

// Straightforward per-pixel statement of both masks, compared over whole pictures.
int ExpectedWeight(int w, int h, int mw, bool round, int adjust, int x, int y) {
    int v = 0;
    if (round) {
        const int cx = w / 2, cy = h / 2;
        const int r = std::min(cx, cy) + adjust;
        const std::int32_t sum = (cx - x) * (cx - x) + (cy - y) * (cy - y);
        const int d = int(std::lround(std::sqrt(double(sum))));
        if (d > r)
            v = 255;
        else if (d > r - mw)
            v = (d - (r - mw)) * 255 / mw;
        return v;
    }
    if (x < mw) v = (mw - x) * 255 / mw;
    if (x > w - 1 - mw) v = (x - (w - 1 - mw)) * 255 / mw;
    if (y < mw) v = std::max(v, (mw - y) * 255 / mw);
    if (y > h - 1 - mw) v = std::max(v, (y - (h - 1 - mw)) * 255 / mw);
    return v;
}

TEST(FeatherMask, WholeMasksMatchAStraightforwardComputation) {
    struct Case {
        int w, h, mw, adjust;
    };
    for (Case c : {Case{320, 200, 20, 0}, Case{7, 5, 3, 0}, Case{1, 1, 1, 0}, Case{64, 9, 40, -3},
                   Case{101, 99, 13, 17}, Case{1001, 700, 60, 5} /* large: rows split */}) {
        Mask m(c.w, c.h);
        for (bool round : {false, true}) {
            BuildFeatherMask(m.d, c.mw, round, c.adjust);
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x)
                    ASSERT_EQ(m.At(x, y), ExpectedWeight(c.w, c.h, c.mw, round, c.adjust, x, y))
                        << c.w << "x" << c.h << " mw " << c.mw << " round " << round << " at " << x
                        << "," << y;
        }
    }
}

}  // namespace
