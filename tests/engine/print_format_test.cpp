// The print format's fit: exact paper sizes, borders in millimetres, the motif in the window.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/composition.h"
#include "engine/print_format.h"
#include "engine/rounding.h"
#include "image/Zerlin.h"
#include "platform/imagelib/imagelib.h"

namespace lumivane {
namespace {

// The paper's pixels worked out independently, in floating point from millimetres.
std::int64_t Oracle(long double um, int dpi) {
    return std::llround(um / 1000 / 25.4L * dpi);
}

TEST(PrintFit, EveryPresetDpiOrientationModeAndTurnGivesThePaperExactly) {
    const int dpis[] = {72, 96, 150, 240, 300, 360, 600, 1200};
    const long double turns[] = {0, 5, -17, 45, 90};
    struct Motif {
        int w, h;
    };
    const Motif motifs[] = {{3000, 2000}, {2000, 3000}, {1000, 1000}};
    for (const PaperPreset& preset : PaperPresets()) {
        for (int dpi : dpis) {
            for (bool fill : {false, true}) {
                for (long double turn : turns) {
                    for (const Motif& m : motifs) {
                        PrintFormat f{
                            preset.widthUm, preset.heightUm, dpi,  5000,
                            8000,           20000,           fill, PaperOrientation::AsPhoto};
                        CompositionParams base;
                        base.rotEd = turn;
                        const CompositionParams c = FitPrint(f, base, 640, 480, m.w, m.h);
                        const CompositionLayout l = ComputeLayout(c, 640, 480, m.w, m.h);
                        SCOPED_TRACE(testing::Message()
                                     << preset.name << " " << dpi << " dpi fill " << fill
                                     << " turn " << double(turn) << " motif " << m.w << "x" << m.h);
                        std::int64_t pw = Oracle(preset.widthUm, dpi);
                        std::int64_t ph = Oracle(preset.heightUm, dpi);
                        // The paper turns with the turned photo; a square outline (any motif
                        // at 45 degrees) keeps the paper as named.
                        const long double a = std::fmod(std::fabs(turn), 180);
                        const bool portrait =
                            m.w == m.h || a == 45 || (m.h > m.w) != (a > 45 && a < 135);
                        if (!portrait && pw != ph) std::swap(pw, ph);
                        ASSERT_EQ(l.outW, pw);
                        ASSERT_EQ(l.outH, ph);
                        ASSERT_TRUE(l.Renderable());

                        // Borders: the same millimetres on paper of either orientation.
                        ASSERT_TRUE(c.motifWindow);
                        EXPECT_EQ(c.motifWindow->x, Oracle(8000, dpi));
                        EXPECT_EQ(c.motifWindow->y, Oracle(5000, dpi));
                        EXPECT_EQ(pw - c.motifWindow->x - c.motifWindow->width, Oracle(8000, dpi));
                        EXPECT_EQ(ph - c.motifWindow->y - c.motifWindow->height,
                                  Oracle(20000, dpi));

                        // The turned outline of the scaled motif against the window.
                        const long double r = RoundHalfEven(turn) * 3.14159265358979323846L / 180;
                        const long double cs = std::fabs(std::cos(r)), sn = std::fabs(std::sin(r));
                        const long double ww = c.motifWindow->width, wh = c.motifWindow->height;
                        auto fits = [&](long double z) {
                            const long double w = z / 100 * m.w, h = z / 100 * m.h;
                            return w * cs + h * sn <= ww + 1e-6L && w * sn + h * cs <= wh + 1e-6L;
                        };
                        auto covers = [&](long double z) {
                            const long double w = z / 100 * m.w, h = z / 100 * m.h;
                            return w + 1e-6L >= ww * cs + wh * sn && h + 1e-6L >= ww * sn + wh * cs;
                        };
                        if (fill) {
                            EXPECT_TRUE(covers(c.zoom2Ed));
                            EXPECT_FALSE(covers(c.zoom2Ed - 1));
                        } else if (c.zoom2Ed > 1) {
                            EXPECT_TRUE(fits(c.zoom2Ed));
                            EXPECT_FALSE(fits(c.zoom2Ed + 1));
                        }
                    }
                }
            }
        }
    }
}

TEST(PrintFit, EveryPresetIsExactAtEveryDpiFrom72To1200) {
    for (int dpi = kMinPrintDpi; dpi <= kMaxPrintDpi; ++dpi) {
        for (const PaperPreset& p : PaperPresets()) {
            ASSERT_EQ(PrintPixels(p.widthUm, dpi), Oracle(p.widthUm, dpi)) << p.name << dpi;
            ASSERT_EQ(PrintPixels(p.heightUm, dpi), Oracle(p.heightUm, dpi)) << p.name << dpi;
        }
    }
}

// The white borders around a black motif, measured along the middle row and column.
struct Borders {
    int top = 0, left = 0, right = 0, bottom = 0;
};
Borders MeasureBorders(const Surface& s) {
    auto dark = [&](int x, int y) { return s.ScanLine(y)[4 * x] < 128; };
    const int mx = s.Width() / 2, my = s.Height() / 2;
    Borders b;
    while (b.top < my && !dark(mx, b.top)) ++b.top;
    while (b.bottom < my && !dark(mx, s.Height() - 1 - b.bottom)) ++b.bottom;
    while (b.left < mx && !dark(b.left, my)) ++b.left;
    while (b.right < mx && !dark(s.Width() - 1 - b.right, my)) ++b.right;
    return b;
}

TEST(PrintFit, RenderedBordersMeasureTheSameOnPortraitAndLandscapePhotosAndFillIsCutAtThem) {
    for (bool fill : {false, true}) {
        Borders seen[2];
        for (int portrait = 0; portrait < 2; ++portrait) {
            // 10 x 15 cm paper and a motif of its shape, so "einpassen" touches every border.
            const int w = portrait ? 400 : 600, h = portrait ? 600 : 400;
            dib di = newdib(w, h, 24, nullptr, 0);
            dib mask = newdib(w, h, 24, nullptr, 0);
            ASSERT_TRUE(di.poi && mask.poi);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    setpixel(di, x, y, RGB(0, 0, 0));
                    setpixel(mask, x, y, RGB(0, 0, 0));
                }
            PrintFormat f{100000, 150000, 100, 6000, 6000, 6000, fill};
            CompositionParams base;
            base.rotEd = 0;
            base.backgroundCheck = false;
            const CompositionParams c = FitPrint(f, base, 0, 0, w, h);
            Surface bit;
            ASSERT_TRUE(ComposePicture(c, ComputeLayout(c, 0, 0, w, h), dib{}, di, mask, bit));
            seen[portrait] = MeasureBorders(bit);
            FreeDib(di);
            FreeDib(mask);
        }
        // Filled, the motif is cut at every border; fitted, it keeps at least the border, and
        // the portrait photo's borders are the landscape photo's turned.
        const int border = static_cast<int>(Oracle(6000, 100));  // 24 pixels
        const Borders& l = seen[0];
        const Borders& p = seen[1];
        SCOPED_TRACE(fill);
        for (const Borders& b : seen) {
            for (int v : {b.top, b.left, b.right, b.bottom}) {
                if (fill)
                    EXPECT_NEAR(v, border, 1);
                else
                    EXPECT_GE(v, border - 1);
            }
        }
        if (!fill) {
            EXPECT_NEAR(p.top, l.left, 1);
            EXPECT_NEAR(p.left, l.top, 1);
        }
    }
}

}  // namespace
}  // namespace lumivane
