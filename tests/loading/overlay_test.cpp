// A frame with a transparent window, loaded from a PNG as a user's frame would be, laid over
// the motif: the result against the straight-alpha over operator; the plain render kept.
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "image/Zerlin.h"
#include "loading/save_picture.h"
#include "loading/session.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

const QRect kWindow(15, 10, 30, 20);
constexpr QRgb kRed = qRgb(250, 10, 10), kGreen = qRgb(10, 250, 10), kFill = qRgb(0, 0, 255);

// 60 x 40 in straight colours: opaque wood, a window with tinted glass over its top rows, a
// ring of half-opaque shade around it and a faint red veil at the left.
QRgb FramePixel(int x, int y) {
    if (kWindow.contains(x, y)) return y < kWindow.y() + 5 ? qRgba(20, 40, 250, 100) : 0;
    if (kWindow.adjusted(-1, -1, 1, 1).contains(x, y)) return qRgba(90, 90, 90, 180);
    return x < 5 ? qRgba(255, 0, 0, 60) : qRgba(200, 150, 100, 255);
}

// The frame, and a 20 x 10 motif, red left and green right: scaled to cover the 30 x 20
// window it is cut left and right, and its halves meet at the window's centre.
struct Scene {
    // CTest runs the tests of this file side by side, each in a process of its own.
    const std::string tag = std::to_string(getpid());
    const fs::path frame = fs::temp_directory_path() / ("lumivane-overlay-frame-" + tag + ".png");
    const fs::path motif = fs::temp_directory_path() / ("lumivane-overlay-motif-" + tag + ".bmp");
    Scene() {
        QImage f(60, 40, QImage::Format_ARGB32);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) f.setPixel(x, y, FramePixel(x, y));
        EXPECT_TRUE(f.save(QString::fromStdString(frame.string())));
        Surface m;
        EXPECT_TRUE(m.SetSize(20, 10));
        m.FillRect(0, 0, 10, 10, RGB(250, 10, 10));
        m.FillRect(10, 0, 20, 10, RGB(10, 250, 10));
        EXPECT_TRUE(SavePicture(m, motif.string()).Ok());
    }
    ~Scene() { fs::remove(frame), fs::remove(motif); }
    void Load(FramingSession& s, bool shared = false, const dib& background = dib{}) const {
        ASSERT_TRUE(s.OpenMotif(motif.string()));
        if (shared)
            s.UseSharedBackground(background);
        else
            ASSERT_TRUE(s.OpenBackground(frame.string()));
        s.SetValue(Field::RotED, 0);
        s.SetSwitches(true, false, RGB(0, 0, 255));
    }
};

std::vector<BYTE> Pixels(const Surface& s) {
    return std::vector<BYTE>(s.Bits(), s.Bits() + s.Stride() * s.Height());
}

TEST(OverlayFrame, IsTheStraightAlphaOverOperatorOfFrameAndMotif) {
    const Scene scene;
    FramingSession session;
    scene.Load(session);
    session.SetOverlay(true);
    EXPECT_EQ(session.params()[Field::Maskwidth], 0) << "no feather unless one is set";
    ASSERT_TRUE(session.Render());
    const Surface& out = session.picture();
    ASSERT_EQ(QSize(out.Width(), out.Height()), QSize(60, 40));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const QRgb f = FramePixel(x, y);
            const QRgb u = !kWindow.contains(x, y)        ? kFill
                           : x < kWindow.center().x() + 1 ? kRed
                                                          : kGreen;
            const int a = qAlpha(f), frame[3] = {qBlue(f), qGreen(f), qRed(f)},
                      under[3] = {qBlue(u), qGreen(u), qRed(u)};
            for (int c = 0; c < 3; ++c) {
                const int expected = (frame[c] * a + under[c] * (255 - a) + 127) / 255;
                // The frame is loaded flattened onto white in 8 bits: where it is partly
                // transparent, half a step of that rounding may show.
                EXPECT_LE(std::abs(out.ScanLine(y)[4 * x + c] - expected), a % 255 ? 1 : 0)
                    << "at " << x << "," << y << " channel " << c;
            }
        }
}

// The mode off, the frame's coverage changes nothing; on, a frame without one renders as ever.
TEST(OverlayFrame, WithoutTheModeOrAWindowTheRenderIsThePlainOne) {
    const Scene scene;
    FramingSession withCoverage, flattened;
    scene.Load(withCoverage);
    ASSERT_TRUE(withCoverage.images().bkgndAlpha.poi);
    scene.Load(flattened, true, withCoverage.images().bkgnd);
    ASSERT_TRUE(withCoverage.Render() && flattened.Render());
    const std::vector<BYTE> plain = Pixels(flattened.picture());
    EXPECT_EQ(Pixels(withCoverage.picture()), plain);
    flattened.SetOverlay(true);
    ASSERT_TRUE(flattened.Render());
    EXPECT_EQ(Pixels(flattened.picture()), plain);
}

}  // namespace
}  // namespace lumivane
