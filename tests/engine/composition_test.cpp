// The whole render: result size, margins, fill, centred background, blended motif.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/blend.h"
#include "engine/composition.h"
#include "engine/feather_mask.h"
#include "image/Zerlin.h"

namespace lumivane {
namespace {

DWORD PixelAt(const Surface& s, int x, int y) {
    const BYTE* p = s.ScanLine(y) + 4 * x;
    return RGB(p[2], p[1], p[0]);
}

dib Filled(int w, int h, COLORREF color) {
    dib d = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setpixel(d, x, y, color);
    return d;
}

// A scene with a plain background, a motif with a marked top-left pixel and a mask of the given
// feather width (0: the motif is pasted with hard edges).
struct Scene {
    dib bkgnd, di, mask;
    Scene(int bw, int bh, int mw, int mh, double feather = 0)
        : bkgnd(Filled(bw, bh, RGB(10, 20, 30))),
          di(Filled(mw, mh, RGB(200, 100, 50))),
          mask(newdib(mw, mh, 24, nullptr, 0)) {
        setpixel(di, 0, 0, RGB(1, 2, 3));
        BuildFeatherMask(mask, feather, false, 0);
    }
    ~Scene() {
        FreeDib(bkgnd);
        FreeDib(di);
        FreeDib(mask);
    }
    CompositionLayout Layout(const CompositionParams& p) const {
        return ComputeLayout(p, DibWidth(bkgnd), DibHeight(bkgnd), DibWidth(di), DibHeight(di));
    }
    bool Compose(const CompositionParams& p, Surface& bit) const {
        return ComposePicture(p, Layout(p), bkgnd, di, mask, bit);
    }
};

CompositionParams Straight() {
    CompositionParams p;
    p.rotEd = 0;
    return p;
}

TEST(Composition, WorkedExampleCentresTheMotifBoxOnTheBackground) {
    Scene scene(640, 480, 320, 200);
    CompositionParams p = Straight();
    p.zoomOutEd = 50;
    const CompositionLayout l = scene.Layout(p);
    EXPECT_EQ(l.outW, 640);
    EXPECT_EQ(l.outH, 480);
    EXPECT_EQ(l.pvW, 320);
    EXPECT_EQ(l.pvH, 240);

    Surface bit;
    ASSERT_TRUE(scene.Compose(p, bit));
    EXPECT_EQ(PixelAt(bit, 159, 139), RGB(10, 20, 30)) << "background just outside the box";
    EXPECT_EQ(PixelAt(bit, 160, 140), RGB(1, 2, 3)) << "the motif's top-left pixel";
    EXPECT_EQ(PixelAt(bit, 479, 339), RGB(200, 100, 50)) << "the motif's bottom-right pixel";
    EXPECT_EQ(PixelAt(bit, 480, 340), RGB(10, 20, 30));
    EXPECT_EQ(bit.ScanLine(140)[4 * 160 + 3], 0) << "blended pixels carry a zero fourth byte";
}

TEST(Composition, WithoutTheBackgroundTheResultIsTheMotifAndItsFeatherFadesIntoTheFill) {
    Scene scene(640, 480, 300, 200, 20);
    CompositionParams p = Straight();
    p.backgroundCheck = false;
    p.fillColor = RGB(0, 0, 255);
    p.additionalEd = 5;
    Surface bit;
    ASSERT_TRUE(scene.Compose(p, bit));
    ASSERT_EQ(bit.Width(), 310);
    ASSERT_EQ(bit.Height(), 200);
    EXPECT_EQ(PixelAt(bit, 0, 100), RGB(0, 0, 255)) << "margin strip";
    EXPECT_EQ(PixelAt(bit, 5, 100), RGB(0, 0, 255)) << "outermost motif column has weight 255";
    EXPECT_EQ(PixelAt(bit, 155, 100), RGB(200, 100, 50)) << "the motif's inside is opaque";
    const DWORD half = PixelAt(bit, 15, 100);  // column 10 of the band: weight 127
    EXPECT_EQ(GetRValue(half), (200 * 128 + 0 * 127) / 255);
    EXPECT_EQ(GetBValue(half), (50 * 128 + 255 * 127) / 255);
}

TEST(Composition, AMotifLargerThanTheBackgroundLeavesFillStrips) {
    Scene scene(100, 100, 200, 50);
    CompositionParams p = Straight();
    p.fillColor = RGB(9, 9, 9);
    Surface bit;
    ASSERT_TRUE(scene.Compose(p, bit));
    ASSERT_EQ(bit.Width(), 200);
    ASSERT_EQ(bit.Height(), 100);
    EXPECT_EQ(PixelAt(bit, 25, 10), RGB(9, 9, 9));
    EXPECT_EQ(PixelAt(bit, 50, 10), RGB(10, 20, 30));
    EXPECT_EQ(PixelAt(bit, 149, 10), RGB(10, 20, 30));
    EXPECT_EQ(PixelAt(bit, 150, 10), RGB(9, 9, 9));
}

TEST(Composition, MarginsWidenWithFillAndNegativeMarginsCrop) {
    Scene scene(640, 480, 320, 200);
    dib& bg = scene.bkgnd;
    for (int y = 0; y < 480; ++y) setpixel(bg, 50, y, RGB(77, 77, 77));  // column 50 marked

    CompositionParams p = Straight();
    p.additionalEd = 10;
    Surface bit;
    ASSERT_TRUE(scene.Compose(p, bit));
    ASSERT_EQ(bit.Width(), 660);
    EXPECT_EQ(PixelAt(bit, 9, 0), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(bit, 10, 0), RGB(10, 20, 30));
    EXPECT_EQ(PixelAt(bit, 650, 0), RGB(255, 255, 255));

    p.additionalEd = -50;
    ASSERT_TRUE(scene.Compose(p, bit));
    ASSERT_EQ(bit.Width(), 540);
    EXPECT_EQ(PixelAt(bit, 0, 0), RGB(77, 77, 77)) << "the 50 outermost columns are cut away";
    EXPECT_EQ(PixelAt(bit, 1, 0), RGB(10, 20, 30));
}

TEST(Composition, TwoRendersOfTheSameParametersAreIdentical) {
    Scene scene(400, 300, 250, 170, 12);
    CompositionParams p;  // 5 degrees, the creation values
    Surface a, b;
    ASSERT_TRUE(scene.Compose(p, a));
    ASSERT_TRUE(scene.Compose(p, b));
    ASSERT_TRUE(scene.Compose(p, b));  // again into a bitmap of the right size already
    ASSERT_EQ(a.Width(), b.Width());
    EXPECT_EQ(0, std::memcmp(a.Bits(), b.Bits(), std::size_t(a.Stride()) * a.Height()));
}

TEST(Composition, AnEmptyOrHugeResultRendersNothingAndKeepsTheLastPicture) {
    Scene scene(64, 48, 32, 20);
    CompositionParams p = Straight();
    Surface bit;
    ASSERT_TRUE(scene.Compose(p, bit));
    const DWORD before = PixelAt(bit, 0, 0);

    p.additionalEd = -1000;  // 64 - 2000 < 0
    EXPECT_FALSE(scene.Layout(p).Renderable());
    EXPECT_FALSE(scene.Compose(p, bit));
    p.additionalEd = 0;
    p.backgroundCheck = false;
    p.zoom2Ed = -100;  // a negative motif scale typed while the background is off
    EXPECT_FALSE(scene.Compose(p, bit));
    p.zoom2Ed = 2000000000;  // 640 million x 400 million pixels
    EXPECT_FALSE(scene.Compose(p, bit));

    EXPECT_EQ(bit.Width(), 64);
    EXPECT_EQ(bit.Height(), 48);
    EXPECT_EQ(PixelAt(bit, 0, 0), before);
}

// A background whose every pixel differs from its neighbours, in 24 bits or as 8-bit greys.
dib Patterned(int w, int h, int bits) {
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* grey = reinterpret_cast<BITMAPINFO*>(info.data());
    for (int i = 0; i < 256; ++i) grey->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    dib d = newdib(w, h, bits, grey, 256);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setpixel(d, x, y,
                     bits == 8 ? DWORD((x * 7 + y * 3) & 0xFF)
                               : RGB(BYTE(x * 5), BYTE(y * 3), BYTE(x ^ y)));
    return d;
}

// Where the background covers the picture it is not filled first; whatever the bitmap held
// before must still be gone everywhere, and every pixel come out as from filling all of it.
TEST(Composition, ThePictureIsTheSameAsWhenEverythingIsFilledFirst) {
    struct Case {
        const char* what;
        int bgW, bgH, bits, mW, mH;
        long double zoomEd, marginX, marginY, rot;
        bool background;
    };
    const Case cases[] = {
        {"background covers all", 90, 70, 24, 40, 30, 100, 0, 0, 5, true},
        {"odd sizes, background smaller than the motif", 31, 17, 24, 45, 29, 100, 0, 0, 0, true},
        {"wide margins around the background", 60, 40, 24, 30, 20, 100, 7, 3, 30, true},
        {"negative margins crop the background", 80, 60, 24, 30, 20, 100, -9, -5, 0, true},
        {"background scaled up", 33, 21, 24, 40, 30, 250, 1, 0, 10, true},
        {"background scaled to nothing", 33, 21, 24, 40, 30, 1, 2, 2, 0, true},
        {"8-bit background", 50, 40, 8, 30, 20, 100, 4, 0, 5, true},
        {"background off", 50, 40, 24, 30, 20, 100, 4, 6, 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dib bkgnd = Patterned(c.bgW, c.bgH, c.bits);
        dib di = Patterned(c.mW, c.mH, 24);
        dib mask = newdib(c.mW, c.mH, 24, nullptr, 0);
        BuildFeatherMask(mask, 4, false, 0);
        CompositionParams p;
        p.zoomEd = c.zoomEd;
        p.additionalEd = c.marginX;
        p.additionalYED = c.marginY;
        p.rotEd = c.rot;
        p.backgroundCheck = c.background;
        p.fillColor = RGB(12, 200, 77);
        const CompositionLayout l = ComputeLayout(p, c.bgW, c.bgH, c.mW, c.mH);
        ASSERT_TRUE(l.Renderable());

        Surface filledFirst;
        ASSERT_TRUE(filledFirst.SetSize(int(l.outW), int(l.outH)));
        filledFirst.Fill(p.fillColor);
        if (c.background) {
            HDC dc = CreateSurfaceDC(filledFirst);
            DrawDibToDevice(dc, int((l.outW - l.bgW) / 2), int((l.outH - l.bgH) / 2), int(l.bgW),
                            int(l.bgH), bkgnd, 0, 0, c.bgW, c.bgH, false, SRCCOPY);
            DeleteDC(dc);
        }
        DibRotxxx(di, mask, filledFirst, int(c.rot), 0, 0, 100);

        Surface bit;
        ASSERT_TRUE(bit.SetSize(int(l.outW), int(l.outH)));
        std::memset(bit.Bits(), 0xA5, std::size_t(bit.Stride()) * bit.Height());  // stale
        ASSERT_TRUE(ComposePicture(p, l, bkgnd, di, mask, bit));
        EXPECT_EQ(0, std::memcmp(bit.Bits(), filledFirst.Bits(),
                                 std::size_t(bit.Stride()) * bit.Height()));
        FreeDib(bkgnd);
        FreeDib(di);
        FreeDib(mask);
    }
}

TEST(Composition, SizesAreTruncatedAndThePreviewRounded) {
    Scene scene(333, 333, 101, 99);
    CompositionParams p = Straight();
    p.zoomEd = 50;          // 166.5 -> 166
    p.zoom2Ed = 150;        // 151.5 -> 151, 148.5 -> 148
    p.zoomOutEd = 25;       // 166 / 4 = 41.5 -> 42 (the even neighbour)
    p.additionalYED = 0.5;  // the result grows by Round(0.5 x 2) = 1 row
    const CompositionLayout l = scene.Layout(p);
    EXPECT_EQ(l.bgW, 166);
    EXPECT_EQ(l.mW, 151);
    EXPECT_EQ(l.mH, 148);
    EXPECT_EQ(l.outW, 166);
    EXPECT_EQ(l.outH, 167);
    EXPECT_EQ(l.pvW, 42);
    EXPECT_EQ(l.pvH, 42);  // 41.75
}

}  // namespace
}  // namespace lumivane
