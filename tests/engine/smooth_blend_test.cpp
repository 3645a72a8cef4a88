// The high-quality blend: the plain blend's result where the geometry lands on pixel centres, and
// turned, shrunk and enlarged pictures against a floating-point computation written out here.
#include "engine/smooth_blend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/blend.h"
#include "engine/blend_plan.h"
#include "engine/composition.h"
#include "image/Zerlin.h"
#include "platform/imagelib/imagelib.h"

namespace {

using namespace lumivane;

struct Image {
    dib d;
    Image(int w, int h) : d(newdib(w, h, 24, nullptr, 0)) { EXPECT_NE(d.poi, nullptr); }
    ~Image() { deldib(d); }
    Image(const Image&) = delete;
    // Picture coordinates: row 0 at the top (stored last).
    BYTE* At(int x, int y) const {
        return static_cast<BYTE*>(d.poi) + std::ptrdiff_t(DibHeight(d) - 1 - y) * d.bytew + 3 * x;
    }
};

void FillRandom(const Image& image, std::mt19937& rng) {
    auto* p = static_cast<BYTE*>(image.d.poi);
    for (LONG i = 0; i < image.d.bytew * DibHeight(image.d); ++i) p[i] = BYTE(rng());
}

std::vector<BYTE> Bytes(const Surface& bit) {
    return {bit.Bits(), bit.Bits() + std::size_t(bit.Width()) * bit.Height() * 4};
}

TEST(SmoothBlend, AtAngleZeroAndZoom100GivesThePlainBlendBitForBit) {
    struct Case {
        int w, h, bitW, bitH, offx, offy;
    };
    // Odd and even sizes, a motif larger than the bitmap, and shifts that clip it on each side.
    const Case cases[] = {{5, 4, 9, 8, 0, 0},
                          {8, 7, 8, 7, 0, 0},
                          {31, 17, 20, 12, 0, 0},
                          {16, 16, 30, 30, -9, 5},
                          {13, 9, 20, 14, 6, -7}};
    std::mt19937 rng(7);
    for (const Case& c : cases) {
        Image motif(c.w, c.h), mask(c.w, c.h);
        FillRandom(motif, rng);
        FillRandom(mask, rng);
        // Whole-weight extremes as well as values in between.
        for (int x = 0; x < c.w; ++x) mask.At(x, 0)[2] = BYTE(x % 2 ? 255 : 0);
        Surface plain, smooth;
        ASSERT_TRUE(plain.SetSize(c.bitW, c.bitH));
        ASSERT_TRUE(smooth.SetSize(c.bitW, c.bitH));
        std::mt19937 fill(c.w);
        for (std::size_t i = 0; i < std::size_t(c.bitW) * c.bitH * 4; ++i)
            plain.Bits()[i] = smooth.Bits()[i] = BYTE(fill());
        DibRotxxx(motif.d, mask.d, plain, 0, c.offx, c.offy, 100);
        DibRotxxxSmooth(motif.d, mask.d, smooth, 0, c.offx, c.offy, 100);
        EXPECT_EQ(Bytes(plain), Bytes(smooth)) << c.w << "x" << c.h << " shift " << c.offx;
    }
}

// The motif's colour or the mask weight (channel 3) at a real position, bilinear between pixel
// centres and held at the outermost ones.
double Bilinear(const Image& motif, const Image& mask, int channel, double u, double v) {
    const int w = DibWidth(motif.d), h = DibHeight(motif.d);
    u = std::clamp(u, 0.0, w - 1.0);
    v = std::clamp(v, 0.0, h - 1.0);
    const int x0 = int(std::floor(u)), y0 = int(std::floor(v));
    const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
    const double fx = u - x0, fy = v - y0;
    auto value = [&](int x, int y) {
        // The mask is read by stored row: picture row h - 1 - y.
        return channel < 3 ? double(motif.At(x, y)[channel]) : double(mask.At(x, h - 1 - y)[2]);
    };
    return (value(x0, y0) * (1 - fx) + value(x1, y0) * fx) * (1 - fy) +
           (value(x0, y1) * (1 - fx) + value(x1, y1) * fx) * fy;
}

// The share of the quadrilateral `quad` (motif coordinates) inside the rectangle
// [x0, x1] x [y0, y1]: the polygon clipped edge by edge, its area by the shoelace formula.
double ShareInside(std::vector<std::array<double, 2>> poly, double x0, double x1, double y0,
                   double y1) {
    auto area = [](const std::vector<std::array<double, 2>>& p) {
        double a = 0;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const auto& q = p[i];
            const auto& r = p[(i + 1) % p.size()];
            a += q[0] * r[1] - r[0] * q[1];
        }
        return std::abs(a) / 2;
    };
    const double whole = area(poly);
    // Each edge as: coordinate `axis` on the inner side of `limit` (sign +1: above it).
    const struct {
        int axis;
        double limit, sign;
    } edges[] = {{0, x0, 1}, {0, x1, -1}, {1, y0, 1}, {1, y1, -1}};
    for (const auto& e : edges) {
        std::vector<std::array<double, 2>> out;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const auto& a = poly[i];
            const auto& b = poly[(i + 1) % poly.size()];
            const double da = (a[e.axis] - e.limit) * e.sign, db = (b[e.axis] - e.limit) * e.sign;
            if (da >= 0) out.push_back(a);
            if ((da >= 0) != (db >= 0)) {
                const double t = da / (da - db);
                out.push_back({a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])});
            }
        }
        poly = out;
        if (poly.empty()) return 0;
    }
    return area(poly) / whole;
}

TEST(SmoothBlend, TurnsAndScalesAsTheFootprintComputationDoes) {
    struct Case {
        double angle;
        int zoom;
    };
    const Case cases[] = {{5, 100}, {30, 100}, {-17, 45}, {0, 50}, {12, 250}, {90, 33}, {200, 70}};
    const int w = 40, h = 30;
    Image motif(w, h), mask(w, h);
    // Detail at a few pixels' period, smooth enough for a fine numerical integral to settle.
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            motif.At(x, y)[0] = BYTE(128 + 120 * std::sin(x * 1.3 + y * 0.4));
            motif.At(x, y)[1] = BYTE(128 + 120 * std::cos(y * 0.9));
            motif.At(x, y)[2] = BYTE(x * 6);
            mask.At(x, y)[2] = BYTE(std::clamp(255 - 40 * std::min(x, w - 1 - x), 0, 255));
        }
    }
    for (const Case& c : cases) {
        Surface bit;
        ASSERT_TRUE(bit.SetSize(70, 60));
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 70; ++x)
                std::memcpy(bit.ScanLine(y) + 4 * x, "\x20\x90\xF0\x55", 4);
        Surface before;
        ASSERT_TRUE(before.SetSize(70, 60));
        std::memcpy(before.Bits(), bit.Bits(), 70 * 60 * 4);
        DibRotxxxSmooth(motif.d, mask.d, bit, c.angle, 0, 0, c.zoom);

        const auto plan = PlanBlend(motif.d, mask.d, bit, c.angle, 0, 0, c.zoom);
        ASSERT_TRUE(plan);
        const double s = double(plan->s), co = double(plan->c), f = double(plan->f);
        int compared = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 70; ++x) {
                // The pixel's footprint, sampled finely for the mean colour.
                constexpr int kN = 24;
                double sum[4] = {0, 0, 0, 0};
                bool nearCorner = false;
                for (int j = 0; j < kN; ++j) {
                    for (int i = 0; i < kN; ++i) {
                        const double dx = x - plan->left - plan->bcx + (i + 0.5) / kN - 0.5;
                        const double dy = y - plan->top - plan->bcy + (j + 0.5) / kN - 0.5;
                        const double u = (co * dx - s * dy) * f + plan->mcx;
                        const double v = (s * dx + co * dy) * f + plan->mcy;
                        const bool nearX = u < 0.5 + f || u > w - 1.5 - f;
                        const bool nearY = v < 0.5 + f || v > h - 1.5 - f;
                        nearCorner |= nearX && nearY;
                        for (int ch = 0; ch < 4; ++ch) sum[ch] += Bilinear(motif, mask, ch, u, v);
                    }
                }
                // Enlarged or kept: the sample at the centre; shrunk: the footprint's mean.
                const double dx = x - plan->left - plan->bcx, dy = y - plan->top - plan->bcy;
                const double uc = (co * dx - s * dy) * f + plan->mcx;
                const double vc = (s * dx + co * dy) * f + plan->mcy;
                const BYTE* got = bit.ScanLine(y) + 4 * x;
                const BYTE* old = before.ScanLine(y) + 4 * x;
                std::vector<std::array<double, 2>> footprint;
                for (const auto& corner :
                     {std::array<double, 2>{-0.5, -0.5}, {0.5, -0.5}, {0.5, 0.5}, {-0.5, 0.5}}) {
                    const double ex = dx + corner[0], ey = dy + corner[1];
                    footprint.push_back(
                        {(co * ex - s * ey) * f + plan->mcx, (s * ex + co * ey) * f + plan->mcy});
                }
                const double cover = ShareInside(footprint, -0.5, w - 0.5, -0.5, h - 0.5);
                // Where two edges cross one pixel the cover is only estimated.
                if (nearCorner) continue;
                if (cover == 0) {
                    EXPECT_EQ(std::memcmp(got, old, 4), 0)
                        << "angle " << c.angle << " zoom " << c.zoom << " at (" << x << ", " << y
                        << ") outside the motif changed";
                    continue;
                }
                double value[4];
                for (int ch = 0; ch < 4; ++ch)
                    value[ch] = f <= 1 ? Bilinear(motif, mask, ch, uc, vc) : sum[ch] / (kN * kN);
                const double weight = cover * (255 - value[3]);
                for (int ch = 0; ch < 3; ++ch) {
                    const double expected = (value[ch] * weight + old[ch] * (255 - weight)) / 255;
                    EXPECT_NEAR(got[ch], expected, 3.0)
                        << "angle " << c.angle << " zoom " << c.zoom << " at (" << x << ", " << y
                        << ") channel " << ch;
                }
                EXPECT_EQ(got[3], 0);
                ++compared;
            }
        }
        EXPECT_GT(compared, 100) << "angle " << c.angle << " zoom " << c.zoom;
    }
}

// Shrunk, the fully covered pixels step their footprint's samples in fixed point along the row:
// long rows, and grids of 3 to 17 samples a side, against the same footprint mean.
TEST(SmoothBlend, LongRowsAndEverySampleGridAverageTheFootprint) {
    struct Case {
        int w, h;
        double angle;
        int zoom;
    };
    const Case cases[] = {
        {1201, 9, 0, 99}, {1201, 15, 0.3, 67}, {1001, 41, -3, 20}, {1201, 61, 1, 12}};
    for (const Case& c : cases) {
        Image motif(c.w, c.h), mask(c.w, c.h);
        for (int y = 0; y < c.h; ++y) {
            for (int x = 0; x < c.w; ++x) {
                motif.At(x, y)[0] = BYTE(128 + 100 * std::sin(x * 0.6 + y * 0.3));
                motif.At(x, y)[1] = BYTE(128 + 100 * std::cos(x * 0.05));
                motif.At(x, y)[2] = BYTE(x * 255 / c.w);
                // Unmasked, except for a ramp over the last third of the columns.
                mask.At(x, y)[2] = BYTE(x < 2 * c.w / 3 ? 0 : (x * 5) % 256);
            }
        }
        const int bitW = c.w * c.zoom / 100 + 8, bitH = c.h * c.zoom / 100 + 24;
        Surface bit;
        ASSERT_TRUE(bit.SetSize(bitW, bitH));
        const BYTE old[3] = {0x20, 0x90, 0xF0};
        for (int y = 0; y < bitH; ++y)
            for (int x = 0; x < bitW; ++x) std::memcpy(bit.ScanLine(y) + 4 * x, old, 3);
        DibRotxxxSmooth(motif.d, mask.d, bit, c.angle, 0, 0, c.zoom);
        const auto plan = PlanBlend(motif.d, mask.d, bit, c.angle, 0, 0, c.zoom);
        ASSERT_TRUE(plan);
        const double s = double(plan->s), co = double(plan->c), f = double(plan->f);
        int compared = 0;
        for (int y = 0; y < bitH; ++y) {
            for (int x = 0; x < bitW; ++x) {
                constexpr int kN = 24;
                double sum[4] = {0, 0, 0, 0};
                bool inside = true;
                for (int j = 0; j < kN && inside; ++j) {
                    for (int i = 0; i < kN && inside; ++i) {
                        const double dx = x - plan->left - plan->bcx + (i + 0.5) / kN - 0.5;
                        const double dy = y - plan->top - plan->bcy + (j + 0.5) / kN - 0.5;
                        const double u = (co * dx - s * dy) * f + plan->mcx;
                        const double v = (s * dx + co * dy) * f + plan->mcy;
                        inside = u > 1 && u < c.w - 2 && v > 1 && v < c.h - 2;
                        for (int ch = 0; ch < 4; ++ch) sum[ch] += Bilinear(motif, mask, ch, u, v);
                    }
                }
                // Only pixels the motif covers whole, away from its border.
                if (!inside) continue;
                const double weight = 255 - sum[3] / (kN * kN);
                const BYTE* got = bit.ScanLine(y) + 4 * x;
                for (int ch = 0; ch < 3; ++ch) {
                    const double expected =
                        (sum[ch] / (kN * kN) * weight + old[ch] * (255 - weight)) / 255;
                    EXPECT_NEAR(got[ch], expected, 3.0)
                        << c.w << "x" << c.h << " angle " << c.angle << " zoom " << c.zoom
                        << " at (" << x << ", " << y << ") channel " << ch;
                }
                ++compared;
            }
        }
        EXPECT_GT(compared, 300) << c.w << "x" << c.h << " zoom " << c.zoom;
    }
}

// Tiny and thin motifs at any angle and zoom, shifted partly off the bitmap: nothing is read or
// written out of place (the sanitizer build checks the reads), and pixels away from the box stay.
TEST(SmoothBlend, TinyMotifsAtAnyAngleAndZoomStayInsideTheirBox) {
    const int sizes[][2] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {3, 5}};
    std::mt19937 rng(11);
    for (const auto& size : sizes) {
        Image motif(size[0], size[1]), mask(size[0], size[1]);
        FillRandom(motif, rng);
        for (const double angle : {0.0, 33.0, 90.0, 181.0}) {
            for (const int zoom : {1, 37, 100, 333}) {
                for (const int shift : {0, -9}) {
                    Surface bit;
                    ASSERT_TRUE(bit.SetSize(20, 16));
                    std::memset(bit.Bits(), 0xAB, 20 * 16 * 4);
                    DibRotxxxSmooth(motif.d, mask.d, bit, angle, shift, shift, zoom);
                    const auto plan = PlanBlend(motif.d, mask.d, bit, angle, shift, shift, zoom);
                    for (int y = 0; y < 16; ++y) {
                        for (int x = 0; x < 20; ++x) {
                            // An empty box (a tiny motif at a tiny zoom) draws nothing at all.
                            const bool nearBox =
                                plan && x >= plan->left - 2 && x < plan->left + plan->boxW + 2 &&
                                y >= plan->top - 2 && y < plan->top + plan->boxH + 2;
                            if (!nearBox) {
                                EXPECT_EQ(bit.ScanLine(y)[4 * x + 3], 0xAB)
                                    << size[0] << "x" << size[1] << " angle " << angle << " zoom "
                                    << zoom << " at (" << x << ", " << y << ")";
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(SmoothComposition, OffLeavesThePlainPictureAndOnMatchesItAtScaleAndAngleZero) {
    Image background(24, 18), motif(10, 8), mask(10, 8);
    std::mt19937 rng(3);
    FillRandom(background, rng);
    FillRandom(motif, rng);
    FillRandom(mask, rng);
    CompositionParams params;
    params.rotEd = 0;
    params.additionalEd = 3;
    params.additionalYED = -2;
    const CompositionLayout layout = ComputeLayout(params, 24, 18, 10, 8);
    Surface plain, smooth;
    ASSERT_TRUE(ComposePicture(params, layout, background.d, motif.d, mask.d, plain));
    params.smooth = true;
    ASSERT_TRUE(ComposePicture(params, layout, background.d, motif.d, mask.d, smooth));
    EXPECT_EQ(Bytes(plain), Bytes(smooth));

    // Turned, the two differ, and only the smooth one is asked to.
    params.rotEd = 5;
    ASSERT_TRUE(ComposePicture(params, layout, background.d, motif.d, mask.d, smooth));
    params.smooth = false;
    ASSERT_TRUE(ComposePicture(params, layout, background.d, motif.d, mask.d, plain));
    EXPECT_NE(Bytes(plain), Bytes(smooth));
}

}  // namespace
