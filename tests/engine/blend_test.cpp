// The rotated masked blend: worked examples, safety at any angle, zoom and shift, the fast path
// against the literal one, and whole pictures against a computation written out here.
#include "engine/blend.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "engine/blend_pixel.h"
#include "engine/blend_plan.h"
#include "engine/feather_mask.h"
#include "platform/imagelib/imagelib.h"

namespace {

using lumivane::DibRotxxx;
using lumivane::DibRotxxxReference;
using lumivane::PlanBlend;
using lumivane::Surface;

// Owns a 24-bit image for one test.
struct Image {
    dib d;
    Image(int w, int h) : d(newdib(w, h, 24, nullptr, 0)) { EXPECT_NE(d.poi, nullptr); }
    ~Image() { deldib(d); }
    Image(const Image&) = delete;
    void Fill(const std::function<DWORD(int, int)>& colour) {
        for (int y = 0; y < d.pmi->bmiHeader.biHeight; ++y)
            for (int x = 0; x < d.pmi->bmiHeader.biWidth; ++x) setpixel(d, x, y, colour(x, y));
    }
};

// A bitmap whose every byte is set, fourth bytes included, so untouched pixels are recognisable.
void FillBitmap(Surface& bit, std::uint32_t seed) {
    std::mt19937 rng(seed);
    BYTE* p = bit.Bits();
    for (std::size_t i = 0; i < std::size_t(bit.Width()) * bit.Height() * 4; ++i)
        p[i] = BYTE(rng());
}

std::vector<BYTE> Bytes(const Surface& bit) {
    return {bit.Bits(), bit.Bits() + std::size_t(bit.Width()) * bit.Height() * 4};
}

std::uint32_t PixelAt(const Surface& bit, int x, int y) {
    std::uint32_t v;
    std::memcpy(&v, bit.ScanLine(y) + 4 * x, 4);
    return v;
}

// The bitmap pixel (blue, green, red, fourth 0) of a getpixel colour.
std::uint32_t AsBitmapPixel(DWORD colour) {
    return GetBValue(colour) | (GetGValue(colour) << 8) | (std::uint32_t(GetRValue(colour)) << 16);
}

DWORD Scrambled(int x, int y) {
    return DWORD(x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
}

TEST(Blend, MixesWithTheMaskWeightRoundingDown) {
    Image motif(1, 1), mask(1, 1);
    motif.Fill([](int, int) { return RGB(200, 10, 255); });
    mask.Fill([](int, int) { return RGB(128, 0, 0); });
    Surface bit;
    ASSERT_TRUE(bit.SetSize(1, 1));
    bit.Fill(RGB(100, 20, 0));
    bit.Bits()[3] = 0x7F;
    DibRotxxx(motif.d, mask.d, bit, 0, 0, 0, 100);
    EXPECT_EQ(bit.Bits()[2], 149) << "(200 * 127 + 100 * 128) div 255";
    EXPECT_EQ(bit.Bits()[1], (10 * 127 + 20 * 128) / 255);
    EXPECT_EQ(bit.Bits()[0], 127);
    EXPECT_EQ(bit.Bits()[3], 0);
}

TEST(Blend, PackedMixEqualsThePlainOneForEveryValue) {
    for (int m = 0; m < 256; ++m)
        for (int s = 0; s < 256; ++s)
            for (int d = 0; d < 256; d += (m & 7) == 0 ? 1 : 51) {
                const BYTE bgr[3] = {BYTE(s), BYTE(255 - s), BYTE(s ^ 0x5A)};
                BYTE plain[4] = {BYTE(d), BYTE(255 - d), BYTE(d ^ 0xA5), 0xEE};
                BYTE packed[4] = {plain[0], plain[1], plain[2], plain[3]};
                lumivane::BlendPixel(bgr, BYTE(m), plain);
                lumivane::BlendPixelPacked(bgr, BYTE(m), packed);
                ASSERT_EQ(std::memcmp(plain, packed, 4), 0) << s << " " << d << " " << m;
                ASSERT_EQ(packed[3], 0);
            }
}

// The two-pixel mix: every weight in either pixel, the two weights in all combinations (both 0,
// one 0, one 255), each against the plain mix of its own pixel.
TEST(Blend, PairMixEqualsThePlainOneForEveryValue) {
    for (int m0 = 0; m0 < 256; ++m0)
        for (int s = 0; s < 256; ++s)
            for (int d = 0; d < 256; d += (m0 & 7) == 0 ? 1 : 51) {
                const int m1 = (m0 * 37 + s) & 0xFF;
                const BYTE bgr[2][3] = {{BYTE(s), BYTE(255 - s), BYTE(s ^ 0x5A)},
                                        {BYTE(d), BYTE(s ^ 0xC3), BYTE(255 - d)}};
                BYTE plain[8] = {BYTE(d),        BYTE(255 - d), BYTE(d ^ 0xA5), 0xEE,
                                 BYTE(s ^ 0x0F), BYTE(d),       BYTE(s),        0x11};
                BYTE pair[8];
                std::memcpy(pair, plain, 8);
                lumivane::BlendPixel(bgr[0], BYTE(m0), plain);
                lumivane::BlendPixel(bgr[1], BYTE(m1), plain + 4);
                std::uint64_t motif = 0;
                for (int i = 0; i < 3; ++i)
                    motif |= std::uint64_t(bgr[0][i]) << (8 * i) | std::uint64_t(bgr[1][i])
                                                                       << (32 + 8 * i);
                lumivane::BlendPixelPair(motif, BYTE(m0), BYTE(m1), pair);
                ASSERT_EQ(std::memcmp(plain, pair, 8), 0)
                    << s << " " << d << " " << m0 << " " << m1;
            }
}

TEST(Blend, FullMaskKeepsTheBitmapAndEmptyMaskCopiesTheMotif) {
    Image motif(320, 200), mask(320, 200);
    motif.Fill(Scrambled);
    Surface bit;
    ASSERT_TRUE(bit.SetSize(320, 200));
    FillBitmap(bit, 1);
    const auto before = Bytes(bit);

    mask.Fill([](int, int) { return RGB(255, 0, 0); });
    DibRotxxx(motif.d, mask.d, bit, 0, 0, 0, 100);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            std::uint32_t old;
            std::memcpy(&old, before.data() + (std::size_t(y) * 320 + x) * 4, 4);
            ASSERT_EQ(PixelAt(bit, x, y), old & 0xFFFFFF) << "only the fourth byte changes";
        }

    // Angle 0, zoom 100: a pure copy, the top row and left column included.
    mask.Fill([](int, int) { return 0; });
    DibRotxxx(motif.d, mask.d, bit, 0, 0, 0, 100);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(PixelAt(bit, x, y), AsBitmapPixel(Scrambled(x, y))) << x << "," << y;
}

TEST(Blend, BoxEnclosesTheTurnedMotif) {
    Image motif(100, 100), mask(100, 100);
    Surface bit;
    ASSERT_TRUE(bit.SetSize(10, 10));
    auto p = PlanBlend(motif.d, mask.d, bit, 45, 0, 0, 100);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->boxW, 142);
    EXPECT_EQ(p->boxH, 142);
    p = PlanBlend(motif.d, mask.d, bit, 45, 0, 0, 50);
    EXPECT_EQ(p->boxW, 71);
    EXPECT_EQ(p->left, (10 - 71) / 2) << "halved toward zero";
    EXPECT_EQ(p->left, -30);

    Image odd(5, 3), oddMask(5, 3);
    p = PlanBlend(odd.d, oddMask.d, bit, 0, 0, 0, 100);
    EXPECT_EQ(p->boxW, 5) << "corners at -2 and 3";
    EXPECT_EQ(p->boxH, 3);
    EXPECT_EQ(p->mcx, 2);
}

TEST(Blend, QuarterTurnFillsAnUprightBoxCounterClockwise) {
    Image motif(300, 200), mask(300, 200);
    motif.Fill(Scrambled);
    Surface bit;
    ASSERT_TRUE(bit.SetSize(300, 200));
    const auto p = PlanBlend(motif.d, mask.d, bit, 90, 0, 0, 100);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->boxW, 200);
    EXPECT_EQ(p->boxH, 300);
    EXPECT_EQ(p->top, -50) << "the box's top and bottom 50 rows fall outside";

    FillBitmap(bit, 2);
    const auto before = Bytes(bit);
    DibRotxxx(motif.d, mask.d, bit, 90, 0, 0, 100);
    // The motif's top row runs up the box's left column: a counter-clockwise turn.
    EXPECT_EQ(PixelAt(bit, 50, 0), AsBitmapPixel(Scrambled(250, 0)));
    EXPECT_EQ(PixelAt(bit, 50, 199), AsBitmapPixel(Scrambled(51, 0)));
    EXPECT_EQ(PixelAt(bit, 249, 199), AsBitmapPixel(Scrambled(51, 199)));
    for (int y = 0; y < 200; ++y)
        for (int x : {0, 49, 250, 299})
            ASSERT_EQ(std::memcmp(bit.ScanLine(y) + 4 * x, before.data() + (y * 300 + x) * 4, 4), 0)
                << "outside the box: " << x << "," << y;
}

TEST(Blend, DoubleZoomRepeatsColumnsThreeAndOne) {
    Image motif(8, 2), mask(8, 2);
    motif.Fill([](int x, int) { return RGB(BYTE(x * 10), 0, 0); });
    Surface bit;
    ASSERT_TRUE(bit.SetSize(16, 4));
    bit.Fill(RGB(255, 255, 255));
    DibRotxxx(motif.d, mask.d, bit, 0, 0, 0, 200);
    const int expected[16] = {0, 0, 1, 2, 2, 2, 3, 4, 4, 4, 5, 6, 6, 6, 7, -1};
    for (int x = 0; x < 16; ++x) {
        const int red = bit.ScanLine(1)[4 * x + 2];
        EXPECT_EQ(red, expected[x] < 0 ? 255 : expected[x] * 10) << "column " << x;
    }
}

TEST(Blend, RoundMaskIsAppliedMirroredTopToBottom) {
    Image motif(24, 20), mask(24, 20);
    motif.Fill([](int, int) { return RGB(255, 255, 255); });
    lumivane::BuildFeatherMask(mask.d, 4, true, 0);
    bool asymmetric = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
            asymmetric |= getpixel(mask.d, x, y) != getpixel(mask.d, x, 19 - y);
    ASSERT_TRUE(asymmetric) << "an even height puts the circle's centre off the middle";

    Surface bit;
    ASSERT_TRUE(bit.SetSize(24, 20));
    bit.Fill(RGB(0, 0, 0));
    DibRotxxx(motif.d, mask.d, bit, 0, 0, 0, 100);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(bit.ScanLine(y)[4 * x + 2], 255 - int(getpixel(mask.d, x, 19 - y)))
                << x << "," << y;
}

TEST(Blend, DrawsNothingWithoutAUsableMotifMaskOrZoom) {
    Image motif(10, 8), mask(10, 8), small(9, 8);
    dib palette = newdib(10, 8, 8, nullptr, 0);
    dib empty{};
    Surface bit;
    ASSERT_TRUE(bit.SetSize(12, 12));
    FillBitmap(bit, 3);
    const auto before = Bytes(bit);
    DibRotxxx(motif.d, mask.d, bit, 0, 0, 0, 0);
    DibRotxxx(motif.d, mask.d, bit, 0, 0, 0, -100);
    DibRotxxx(motif.d, small.d, bit, 0, 0, 0, 100);
    DibRotxxx(motif.d, palette, bit, 0, 0, 0, 100);
    DibRotxxx(palette, palette, bit, 0, 0, 0, 100);
    DibRotxxx(empty, mask.d, bit, 0, 0, 0, 100);
    DibRotxxx(motif.d, mask.d, bit, NAN, 0, 0, 100);
    DibRotxxx(motif.d, mask.d, bit, INFINITY, 0, 0, 100);
    // Far left: the box's right edge ends left of column 0.
    DibRotxxx(motif.d, mask.d, bit, 0, -(12 - 10) / 2 - 10, 0, 100);
    DibRotxxx(motif.d, mask.d, bit, 30, INT_MIN, INT_MAX, 100);
    EXPECT_EQ(Bytes(bit), before);
    DibRotxxx(motif.d, mask.d, bit, 0, -(12 - 10) / 2 - 9, 0, 100);
    EXPECT_NE(Bytes(bit), before) << "one column further right reaches the bitmap";
    deldib(palette);

    Surface none;
    DibRotxxx(motif.d, mask.d, none, 0, 0, 0, 100);
}

// The blend written out again from the definition, independently of the engine: the box over
// all four corners, every box pixel visited, half-to-even rounding done by hand.
long double HalfEven(long double v) {
    const long double down = std::floor(v);
    const long double rest = v - down;
    if (rest > 0.5L) return down + 1;
    if (rest < 0.5L) return down;
    return std::fmod(down, 2.0L) == 0 ? down : down + 1;
}

void StraightforwardBlend(const dib& di, const dib& mask, Surface& bit, long double winkel,
                          int offx, int offy, int zoom) {
    const int w = di.pmi->bmiHeader.biWidth, h = di.pmi->bmiHeader.biHeight;
    const long double a = winkel * 3.1415926535897932385L / 180;
    const long double s = sinl(a), c = cosl(a);
    long long maxX = 0, minX = 0, maxY = 0, minY = 0;
    const long long xs[2] = {-(w / 2), w - w / 2}, ys[2] = {-(h / 2), h - h / 2};
    for (long long x : xs)
        for (long long y : ys) {
            const auto X = (long long)HalfEven(c * x - s * y);
            const auto Y = (long long)HalfEven(s * x + c * y);
            maxX = std::max(maxX, X), minX = std::min(minX, X);
            maxY = std::max(maxY, Y), minY = std::min(minY, Y);
        }
    const long long boxW = (long long)HalfEven((long double)zoom * (maxX - minX) / 100);
    const long long boxH = (long long)HalfEven((long double)zoom * (maxY - minY) / 100);
    const long double f = 100.0L / zoom;
    const long long left = offx + (bit.Width() - boxW) / 2, top = offy + (bit.Height() - boxH) / 2;
    for (long long r = 0; r < boxH; ++r)
        for (long long k = 0; k < boxW; ++k) {
            const long long dx = k - boxW / 2, dy = r - boxH / 2;
            const long long sx = (long long)HalfEven((c * dx - s * dy) * f) + w / 2;
            const long long sy = (long long)HalfEven((s * dx + c * dy) * f) + h / 2;
            if (sx < 0 || sx >= w || sy < 0 || sy >= h) continue;
            const long long X = left + k, Y = top + r;
            if (X < 0 || X >= bit.Width() || Y < 0 || Y >= bit.Height()) continue;
            BYTE* t = bit.ScanLine(int(Y)) + 4 * X;
            const BYTE* src = static_cast<const BYTE*>(di.poi) + (h - 1 - sy) * di.bytew + 3 * sx;
            const int m = static_cast<const BYTE*>(mask.poi)[sy * mask.bytew + 3 * sx + 2];
            for (int i = 0; i < 3; ++i) t[i] = BYTE((src[i] * (255 - m) + t[i] * m) / 255);
            t[3] = 0;
        }
}

struct Scene {
    int w, h, bitW, bitH;
    long double winkel;
    int offx, offy, zoom;
};

::testing::AssertionResult SameAsStraightforward(const Scene& s) {
    Image motif(s.w, s.h), mask(s.w, s.h);
    motif.Fill(Scrambled);
    lumivane::BuildFeatherMask(mask.d, 7, true, 3);
    Surface fast, slow;
    if (!fast.SetSize(s.bitW, s.bitH) || !slow.SetSize(s.bitW, s.bitH))
        return ::testing::AssertionFailure() << "no bitmap";
    FillBitmap(fast, 4);
    FillBitmap(slow, 4);
    DibRotxxx(motif.d, mask.d, fast, s.winkel, s.offx, s.offy, s.zoom);
    StraightforwardBlend(motif.d, mask.d, slow, s.winkel, s.offx, s.offy, s.zoom);
    if (Bytes(fast) == Bytes(slow)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "differs at angle " << double(s.winkel) << ", zoom " << s.zoom;
}

TEST(Blend, WholePicturesMatchAStraightforwardComputation) {
    EXPECT_TRUE(SameAsStraightforward({120, 80, 200, 150, 30, 5, -7, 150}));
    EXPECT_TRUE(SameAsStraightforward({121, 79, 90, 60, -17, 0, 0, 37}));
    EXPECT_TRUE(SameAsStraightforward({64, 48, 64, 48, 0, -20, 10, 100}));
    EXPECT_TRUE(SameAsStraightforward({33, 21, 80, 80, 90, 0, 0, 200}));
    EXPECT_TRUE(SameAsStraightforward({400, 300, 520, 390, 5, 0, 0, 100})) << "two threads";
}

// The fast blend against the literal one over random scenes, bit for bit.
TEST(Blend, FastPathEqualsTheLiteralComputation) {
    std::mt19937 rng(20240611);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto compare = [&](int w, int h, int bitW, int bitH, long double winkel, int offx, int offy,
                       int zoom, int seed) {
        Image motif(w, h), mask(w, h);
        motif.Fill([&](int, int) { return DWORD(rng()) & 0xFFFFFF; });
        mask.Fill([&](int, int) { return DWORD(rng() & 0xFF); });
        Surface fast, slow;
        ASSERT_TRUE(fast.SetSize(bitW, bitH) && slow.SetSize(bitW, bitH));
        FillBitmap(fast, seed);
        FillBitmap(slow, seed);
        DibRotxxx(motif.d, mask.d, fast, winkel, offx, offy, zoom);
        DibRotxxxReference(motif.d, mask.d, slow, winkel, offx, offy, zoom);
        ASSERT_EQ(Bytes(fast), Bytes(slow))
            << w << "x" << h << " into " << bitW << "x" << bitH << ", angle " << double(winkel)
            << ", zoom " << zoom << ", shift " << offx << "," << offy;
    };
    // Typed extremes: a box far larger than the bitmap, shifts at the ends of the range.
    for (int zoom : {INT_MAX, 1000000, 100000})
        for (long double winkel : {0.0L, 5.0L, 90.0L, -33.3L})
            compare(7, 5, 40, 30, winkel, zoom == INT_MAX ? INT_MIN : 3, 0, zoom, 1);
    compare(9, 9, 20, 20, 45, INT_MAX, INT_MIN, 100, 2);

    const int zooms[] = {1, 3, 37, 50, 99, 100, 101, 150, 200, 333, 1000};
    for (int i = 0; i < 400; ++i) {
        const bool large = i % 40 == 0;  // big enough to be split across threads
        const int w = large ? uniform(300, 500) : uniform(1, 40);
        const int h = large ? uniform(300, 500) : uniform(1, 40);
        const int bitW = large ? uniform(300, 700) : uniform(1, 60);
        const int bitH = large ? uniform(300, 700) : uniform(1, 60);
        long double winkel;
        switch (i % 4) {
            case 0:
                winkel = uniform(-720, 720);
                break;
            case 1:
                winkel = uniform(-8, 8) * 45;
                break;
            default:
                winkel = std::uniform_real_distribution<long double>(-400, 400)(rng);
        }
        const int zoom = i % 3 == 0 ? uniform(1, 400) : zooms[uniform(0, 10)];
        int offx = uniform(-30, 30), offy = uniform(-30, 30);
        if (i % 10 == 7) offx = uniform(-2000000000, 2000000000);
        if (i % 10 == 8) offy = uniform(-2000000000, 2000000000);

        compare(w, h, bitW, bitH, winkel, offx, offy, zoom, i);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
