// Whole pictures drawn by DrawDibToDevice against a straightforward computation of each pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "draw_fixtures.h"

namespace {

using drawtest::Canvas;
using drawtest::Expected;

// What the row routines draw at destination (X + i, Y + r): picture pixel
// (SrcX + SrcW i div DestW, TopRow + SrcH r div DestH).
void ExpectRowRule(const Canvas& c, const dib& image, int X, int Y, int DestW, int DestH, int SrcX,
                   int TopRow, int SrcW, int SrcH) {
    for (int r = 0; r < DestH; ++r) {
        for (int i = 0; i < DestW; ++i) {
            const int x = X + i, y = Y + r;
            if (x < 0 || y < 0 || x >= c.surface.Width() || y >= c.surface.Height()) continue;
            ASSERT_EQ(c.At(x, y),
                      Expected(image, SrcX + SrcW * i / DestW, TopRow + SrcH * r / DestH))
                << "destination " << x << "," << y;
        }
    }
}

TEST(DrawPixels, RowRoutinesScaleByTheRowRuleAtBothDepths) {
    for (int bits : {24, 8}) {
        dib image = bits == 24 ? drawtest::Picture24(13, 9) : drawtest::PicturePalette(13, 9, 8);
        Canvas c(30, 20);
        HDC dc = CreateSurfaceDC(c.surface);
        // Source rows 2..7 of the picture (SrcY 1 from the bottom), enlarged and shrunk.
        DrawDibToDevice(dc, 1, 2, 25, 11, image, 3, 1, 8, 6, false, SRCCOPY);
        ExpectRowRule(c, image, 1, 2, 25, 11, 3, 9 - 1 - 6, 8, 6);
        EXPECT_EQ(c.At(0, 0), 0x556677u) << "outside the destination nothing changes";
        EXPECT_EQ(c.At(26, 13), 0x556677u);
        Canvas small(5, 4);
        HDC sdc = CreateSurfaceDC(small.surface);
        DrawDibToDevice(sdc, 0, 0, 5, 4, image, 0, 0, 13, 9, false, SRCCOPY);
        ExpectRowRule(small, image, 0, 0, 5, 4, 0, 0, 13, 9);
        DeleteDC(dc);
        DeleteDC(sdc);
        FreeDib(image);
    }
}

TEST(DrawPixels, ClippedSourceRectanglesLandWhereTheClippingPutsThem) {
    // SrcX = -10, SrcW = 110, DestW = 220 on a 100-pixel-wide image: 200 columns from X + 20.
    dib image = drawtest::Picture24(100, 3);
    Canvas c(240, 3);
    HDC dc = CreateSurfaceDC(c.surface);
    DrawDibToDevice(dc, 0, 0, 220, 3, image, -10, 0, 110, 3, false, SRCCOPY);
    EXPECT_EQ(c.At(19, 1), 0x556677u);
    ExpectRowRule(c, image, 20, 0, 200, 3, 0, 0, 100, 3);
    EXPECT_EQ(c.At(220, 1), 0x556677u);
    DeleteDC(dc);
    FreeDib(image);
}

TEST(DrawPixels, TheDirectStretchDrawsPaletteAndHighColourImages) {
    for (int bits : {1, 4, 16}) {
        dib image = newdib(7, 5, bits, nullptr, 0);
        if (bits < 16) {
            FreeDib(image);
            image = drawtest::PicturePalette(7, 5, bits);
        } else {
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 7; ++x) setpixel(image, x, y, DWORD((x << 10) | (y << 5) | 31));
        }
        Canvas c(11, 8);
        HDC dc = CreateSurfaceDC(c.surface);
        DrawDibToDevice(dc, 0, 0, 11, 8, image, 0, 0, 7, 5, false, SRCCOPY);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 11; ++x) {
                const int sx = (2 * x + 1) * 7 / 22, sy = (2 * y + 1) * 5 / 16;
                std::uint32_t want;
                if (bits == 16) {
                    auto widen = [](int v) { return std::uint32_t((v << 3) | (v >> 2)); };
                    want = widen(31) | (widen(sy) << 8) | (widen(sx) << 16);
                } else {
                    want = Expected(image, sx, sy);
                }
                ASSERT_EQ(c.At(x, y), want) << bits << " bits at " << x << "," << y;
            }
        }
        DeleteDC(dc);
        FreeDib(image);
    }
}

TEST(DrawPixels, ThePlainSurfaceShortcutMatchesTheRowByRowTransfers) {
    // The same drawings on a plain surface (straight into memory) and on a logging device
    // (one SetDIBitsToDevice per row) must give identical pixels, also off the surface's edges.
    std::mt19937 rng(1234);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int run = 0; run < 300; ++run) {
        const int W = pick(1, 23), H = pick(1, 17);
        dib image = drawtest::Picture24(W, H);
        const int X = pick(-15, 20), Y = pick(-15, 20), DestW = pick(1, 40), DestH = pick(1, 40);
        // Source rectangles may reach past the image: those pixels come out black.
        const int SrcW = pick(1, W + 3), SrcH = pick(1, H + 3);
        const int SrcX = pick(-3, W - SrcW + 3), TopRow = pick(-3, H - SrcH + 3);
        Canvas direct(pick(1, 30), pick(1, 30));
        Canvas logged(direct.surface.Width(), direct.surface.Height());
        GdiCallLog log;
        HDC fast = CreateSurfaceDC(direct.surface);
        HDC slow = CreateTestDC(logged.surface, {.log = &log});
        ASSERT_NE(DirectSurface(fast), nullptr);
        DrawDib24Rows(fast, X, Y, DestW, DestH, image, SrcX, TopRow, SrcW, SrcH);
        DrawDib24Rows(slow, X, Y, DestW, DestH, image, SrcX, TopRow, SrcW, SrcH);
        EXPECT_EQ(log.Count("SetDIBitsToDevice"), DestH);
        const std::size_t bytes = std::size_t(direct.surface.Stride()) * direct.surface.Height();
        ASSERT_EQ(std::memcmp(direct.surface.Bits(), logged.surface.Bits(), bytes), 0)
            << "run " << run;
        DeleteDC(fast);
        DeleteDC(slow);
        FreeDib(image);
    }
}

TEST(DrawPixels, LargeDrawingsSplitOverThreadsStayIdentical) {
    dib image = drawtest::Picture24(701, 523);
    Canvas direct(650, 700), logged(650, 700);
    GdiCallLog log;
    HDC fast = CreateSurfaceDC(direct.surface);
    HDC slow = CreateTestDC(logged.surface, {.log = &log});
    DrawDibToDevice(fast, -3, 5, 640, 690, image, 0, 0, 701, 523, false, SRCCOPY);
    DrawDibToDevice(slow, -3, 5, 640, 690, image, 0, 0, 701, 523, false, SRCCOPY);
    const std::size_t bytes = std::size_t(direct.surface.Stride()) * direct.surface.Height();
    EXPECT_EQ(std::memcmp(direct.surface.Bits(), logged.surface.Bits(), bytes), 0);
    DeleteDC(fast);
    DeleteDC(slow);
    FreeDib(image);
}

TEST(DrawPixels, TheFirstFallbackTakesTheSameRowsAtEveryDepth) {
    // A 1-bit image and an 8-bit image with the same indices must show the same rows when a
    // part of the picture is drawn through the scaled copy.
    dib one = drawtest::PicturePalette(6, 9, 1);
    dib eight = newdib(6, 9, 8, one.pmi, 2);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x) setpixel(eight, x, y, getpixel(one, x, y));
    Canvas a(6, 4), b(6, 4);
    HDC da = CreateTestDC(a.surface, {.technology = DT_RASPRINTER, .failing = kFailStretchDIBits});
    HDC db = CreateTestDC(b.surface, {.technology = DT_RASPRINTER, .failing = kFailStretchDIBits});
    DrawDibToDevice(da, 0, 0, 6, 4, one, 0, 1, 6, 4, false, SRCCOPY);
    DrawDibToDevice(db, 0, 0, 6, 4, eight, 0, 1, 6, 4, false, SRCCOPY);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(a.At(x, y), b.At(x, y)) << x << "," << y;
            EXPECT_EQ(a.At(x, y), Expected(one, x, 4 + y)) << "picture rows 4..7";
        }
    DeleteDC(da);
    DeleteDC(db);
    FreeDib(one);
    FreeDib(eight);
}

TEST(ScreenBitsPerPixel, MeasuresTheDesktop) {
    EXPECT_EQ(ScreenBitsPerPixel(), 32);
    const int previous = SetDesktopBitsPerPixel(8);
    EXPECT_EQ(ScreenBitsPerPixel(), 8);
    SetDesktopBitsPerPixel(previous);
}

}  // namespace
