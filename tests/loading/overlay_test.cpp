// A frame with a transparent window laid over the motif, loaded from a PNG as a user's frame
// would be: the result against the straight-alpha over operator, and the plain render kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <QImage>

#include "image/Zerlin.h"
#include "loading/save_picture.h"
#include "loading/session.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

constexpr QRgb kRed = qRgb(250, 10, 10), kGreen = qRgb(10, 250, 10);
constexpr int kWindowX = 15, kWindowY = 10, kWindowW = 30, kWindowH = 20;

// A 60 x 40 frame in straight colours: opaque wood with a window, tinted glass over the
// window's top rows, a ring of half-opaque shade around it and a faint red veil at the left.
QRgb FramePixel(int x, int y) {
    const bool inWindow =
        x >= kWindowX && x < kWindowX + kWindowW && y >= kWindowY && y < kWindowY + kWindowH;
    if (inWindow) return y < kWindowY + 5 ? qRgba(20, 40, 250, 100) : qRgba(0, 0, 0, 0);
    if (x >= kWindowX - 1 && x <= kWindowX + kWindowW && y >= kWindowY - 1 &&
        y <= kWindowY + kWindowH)
        return qRgba(90, 90, 90, 180);
    if (x < 5) return qRgba(255, 0, 0, 60);
    return qRgba(200, 150, 100, 255);
}

struct Files {
    fs::path frame = fs::temp_directory_path() / "lumivane-overlay-frame.png";
    fs::path motif = fs::temp_directory_path() / "lumivane-overlay-motif.bmp";
    Files() {
        QImage f(60, 40, QImage::Format_ARGB32);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) f.setPixel(x, y, FramePixel(x, y));
        EXPECT_TRUE(f.save(QString::fromStdString(frame.string()), "PNG"));
        // 20 x 10, red left and green right: scaled to cover the 30 x 20 window it is cut left
        // and right, and its halves meet at the window's centre.
        Surface m;
        EXPECT_TRUE(m.SetSize(20, 10));
        m.FillRect(0, 0, 10, 10, RGB(qRed(kRed), qGreen(kRed), qBlue(kRed)));
        m.FillRect(10, 0, 20, 10, RGB(qRed(kGreen), qGreen(kGreen), qBlue(kGreen)));
        EXPECT_TRUE(SavePicture(m, motif.string()).Ok());
    }
    ~Files() {
        fs::remove(frame);
        fs::remove(motif);
    }
};

void Load(FramingSession& s, const Files& files) {
    ASSERT_TRUE(s.OpenMotif(files.motif.string()));
    ASSERT_TRUE(s.OpenBackground(files.frame.string()));
    s.SetValue(Field::RotED, 0);
    s.SetSwitches(true, false, RGB(0, 0, 255));
}

bool SamePicture(const Surface& a, const Surface& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Bits(), b.Bits(), std::size_t(a.Stride()) * a.Height()) == 0;
}

TEST(OverlayFrame, IsTheStraightAlphaOverOperatorOfFrameAndMotif) {
    const Files files;
    FramingSession session;
    Load(session, files);
    session.SetOverlay(true);
    EXPECT_EQ(session.params()[Field::Maskwidth], 0) << "no feather unless one is set";
    ASSERT_TRUE(session.Render());
    const Surface& out = session.picture();
    ASSERT_EQ(out.Width(), 60);
    ASSERT_EQ(out.Height(), 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const QRgb f = FramePixel(x, y);
            const int a = qAlpha(f);
            const bool inBox = x >= kWindowX && x < kWindowX + kWindowW && y >= kWindowY &&
                               y < kWindowY + kWindowH;
            const QRgb under = !inBox                        ? qRgb(0, 0, 255)
                               : x < kWindowX + kWindowW / 2 ? kRed
                                                             : kGreen;
            const BYTE* p = out.ScanLine(y) + 4 * x;
            const int got[3] = {p[2], p[1], p[0]};
            const int frame[3] = {qRed(f), qGreen(f), qBlue(f)};
            const int below[3] = {qRed(under), qGreen(under), qBlue(under)};
            for (int c = 0; c < 3; ++c) {
                const int expected = (frame[c] * a + below[c] * (255 - a) + 127) / 255;
                // The loaded frame is flattened onto white in 8 bits: half a step of it can
                // show where the frame is partly transparent.
                EXPECT_LE(std::abs(got[c] - expected), a == 0 || a == 255 ? 0 : 1)
                    << "at " << x << "," << y << " channel " << c;
            }
        }
}

// The mode off, a frame's coverage changes nothing; the mode on, a frame without a window
// renders as ever.
TEST(OverlayFrame, WithoutTheModeOrAWindowTheRenderIsThePlainOne) {
    const Files files;
    FramingSession withCoverage, flattened;
    Load(withCoverage, files);
    ASSERT_TRUE(withCoverage.images().bkgndAlpha.poi);
    ASSERT_TRUE(flattened.OpenMotif(files.motif.string()));
    flattened.UseSharedBackground(withCoverage.images().bkgnd);
    flattened.SetValue(Field::RotED, 0);
    flattened.SetSwitches(true, false, RGB(0, 0, 255));
    ASSERT_TRUE(withCoverage.Render() && flattened.Render());
    EXPECT_TRUE(SamePicture(withCoverage.picture(), flattened.picture()));

    Surface before;
    ASSERT_TRUE(before.SetSize(flattened.picture().Width(), flattened.picture().Height()));
    std::memcpy(before.Bits(), flattened.picture().Bits(),
                std::size_t(before.Stride()) * before.Height());
    flattened.SetOverlay(true);
    ASSERT_TRUE(flattened.Render());
    EXPECT_TRUE(SamePicture(before, flattened.picture()));
}

}  // namespace
}  // namespace lumivane
