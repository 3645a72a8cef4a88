// Resampling for the high-quality mode against a direct computation over the whole source.
#include "image/smooth_resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "test_images.h"

namespace lumivane {
namespace {

// How much source pixel a (of `size`) counts towards target pixel i (of `target`): its share of
// the footprint when shrinking, the bilinear tent at the centre's position otherwise.
double Weight(int a, int i, int size, int target) {
    const double scale = double(size) / target;
    if (target < size) {
        const double lo = i * scale, hi = (i + 1) * scale;
        return std::max(0.0, std::min(hi, a + 1.0) - std::max(lo, double(a))) / scale;
    }
    const double u = std::clamp((i + 0.5) * scale - 0.5, 0.0, size - 1.0);
    return std::max(0.0, 1 - std::abs(a - u));
}

// Blue, green, red of target pixel (i, j), summed over every source pixel.
std::array<double, 3> Expected(const dib& src, int i, int j, int tw, int th) {
    const RGBQUAD* table = src.pmi->bmiColors;
    std::array<double, 3> sum{};
    for (int b = 0; b < DibHeight(src); ++b) {
        for (int a = 0; a < DibWidth(src); ++a) {
            const double w = Weight(a, i, DibWidth(src), tw) * Weight(b, j, DibHeight(src), th);
            if (w == 0) continue;
            DWORD c = getpixel(src, a, b);
            if (DibBitCount(src) == 8) {
                const RGBQUAD q = table[c];
                c = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
            }
            sum[0] += w * GetBValue(c);
            sum[1] += w * GetGValue(c);
            sum[2] += w * GetRValue(c);
        }
    }
    return sum;
}

TEST(SmoothResample, CopiesAndStretchesAsTheDirectComputationDoes) {
    struct Case {
        int w, h, bits, tw, th;
    };
    // Shrinking, enlarging, one of each, the same size, and a palette source.
    const Case cases[] = {{17, 13, 24, 5, 4},
                          {7, 5, 24, 20, 11},
                          {12, 9, 24, 5, 20},
                          {9, 6, 24, 9, 6},
                          {10, 7, 8, 4, 15}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " to " << c.tw << "x" << c.th);
        dib src = test::RandomImage(c.w, c.h, c.bits, unsigned(c.w * c.th));
        dib copy = SmoothResampleDib(src, c.tw, c.th);
        ASSERT_NE(copy.poi, nullptr);
        ASSERT_EQ(DibBitCount(copy), 24);
        ASSERT_EQ(DibWidth(copy), c.tw);
        ASSERT_EQ(DibHeight(copy), c.th);

        // Into a bitmap shifted up and left, so the stretch is clipped on two sides.
        Surface bit;
        ASSERT_TRUE(bit.SetSize(c.tw + 2, c.th + 1));
        std::memset(bit.Bits(), 0xAB, std::size_t(bit.Width()) * bit.Height() * 4);
        ASSERT_TRUE(SmoothStretchDib(src, bit, -2, 1, c.tw, c.th));

        for (int j = 0; j < c.th; ++j) {
            for (int i = 0; i < c.tw; ++i) {
                const auto e = Expected(src, i, j, c.tw, c.th);
                const DWORD got = getpixel(copy, i, j);
                const BYTE value[3] = {GetBValue(got), GetGValue(got), GetRValue(got)};
                const BYTE* shown =
                    i >= 2 && j + 1 < bit.Height() ? bit.ScanLine(j + 1) + 4 * (i - 2) : nullptr;
                for (int ch = 0; ch < 3; ++ch) {
                    const double tolerance = c.w == c.tw && c.h == c.th ? 0 : 0.51;
                    EXPECT_NEAR(value[ch], e[ch], tolerance) << "(" << i << ", " << j << ")";
                    if (shown) {
                        EXPECT_EQ(shown[ch], value[ch]) << "shown (" << i << ", " << j << ")";
                    }
                }
                if (shown) {
                    EXPECT_EQ(shown[3], 0);
                }
            }
        }
        // The top row and the last columns lie beyond the stretch and stay as they were.
        for (int y = 0; y < bit.Height(); ++y)
            for (int x = 0; x < bit.Width(); ++x)
                if (y == 0 || x >= c.tw - 2) {
                    EXPECT_EQ(bit.ScanLine(y)[4 * x], 0xAB) << "(" << x << ", " << y << ")";
                }
        FreeDib(copy);
        FreeDib(src);
    }
}

TEST(SmoothResample, RefusesWhatItCannotRead) {
    dib src = test::RandomImage(8, 8, 24, 1);
    Surface bit;
    ASSERT_TRUE(bit.SetSize(4, 4));
    EXPECT_FALSE(SmoothStretchDib(dib{}, bit, 0, 0, 4, 4));
    EXPECT_FALSE(SmoothStretchDib(src, bit, 0, 0, 0, 4));
    EXPECT_EQ(SmoothResampleDib(src, 0, 3).poi, nullptr);
    EXPECT_EQ(SmoothResampleDib(dib{}, 3, 3).poi, nullptr);
    FreeDib(src);
}

}  // namespace
}  // namespace lumivane
