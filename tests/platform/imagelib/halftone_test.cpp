// DIBHalftoneDIB(XY): dithered 8-bit copies of direct-colour images, palette images widened.
#include <gtest/gtest.h>

#include "tests/platform/imagelib/image_files.h"

namespace {

using namespace imagelib_test;

TEST(Halftone, CubeColoursAreExactAndMixturesAverageOut) {
    dib rgb = newdib(16, 16, 24, nullptr, 0);
    ASSERT_NE(rgb.poi, nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            setpixel(rgb, x, y, x < 8 ? RGB(255, 51, 0) : RGB(128, 128, 128));
    dib out = DIBHalftoneDIB(rgb);
    ASSERT_NE(out.poi, nullptr);
    EXPECT_EQ(Bits(out), 8);
    EXPECT_EQ(out.ispal, 1);
    EXPECT_EQ(Width(out), 16);
    EXPECT_EQ(Height(out), 16);
    // A colour of the cube comes through unchanged everywhere.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(ColorAt(out, x, y), RGB(255, 51, 0)) << x << "," << y;
    // Grey 128 lies between levels 102 and 153; the 8 x 8 pattern averages to it.
    int sum = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x) {
            const COLORREF c = ColorAt(out, x, y);
            EXPECT_TRUE((c & 0xFF) == 102 || (c & 0xFF) == 153) << std::hex << c;
            sum += int(c & 0xFF);
        }
    EXPECT_NEAR(sum / 64.0, 128.0, 1.0);
    deldib(out);
    deldib(rgb);
}

TEST(Halftone, ResamplesByNearestPixelKeepingTheTopOnTop) {
    dib rgb = newdib(4, 4, 24, nullptr, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            setpixel(rgb, x, y, y < 2 ? RGB(255, 255, 255) : RGB(0, 0, 255));
    setpixel(rgb, 3, 0, RGB(0, 0, 0));
    dib big = DIBHalftoneDIBXY(rgb, 8, 8);
    ASSERT_NE(big.poi, nullptr);
    EXPECT_EQ(Width(big), 8);
    EXPECT_EQ(ColorAt(big, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(ColorAt(big, 7, 1), RGB(0, 0, 0));
    EXPECT_EQ(ColorAt(big, 0, 7), RGB(0, 0, 255));
    dib small = DIBHalftoneDIBXY(rgb, 2, 2);
    ASSERT_NE(small.poi, nullptr);
    EXPECT_EQ(ColorAt(small, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(ColorAt(small, 1, 1), RGB(0, 0, 255));
    deldib(small);
    deldib(big);
    deldib(rgb);
}

TEST(Halftone, OtherDepthsAndBadRequests) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[16];
    } palette{};
    palette.colors[5] = RGBQUAD{10, 20, 30, 0};
    dib four = newdib(3, 2, 4, reinterpret_cast<BITMAPINFO*>(&palette), 16);
    setpixel(four, 2, 1, 5);
    dib widened = DIBHalftoneDIB(four);
    ASSERT_NE(widened.poi, nullptr);
    EXPECT_EQ(Bits(widened), 8);
    EXPECT_EQ(getpixel(widened, 2, 1), 5u);
    EXPECT_EQ(ColorAt(widened, 2, 1), RGB(30, 20, 10));
    deldib(widened);
    deldib(four);

    dib sixteen = newdib(2, 2, 16, nullptr, 0);
    setpixel(sixteen, 0, 0, 0x7C00);  // pure red in 5-5-5
    dib fromSixteen = DIBHalftoneDIB(sixteen);
    ASSERT_NE(fromSixteen.poi, nullptr);
    EXPECT_EQ(ColorAt(fromSixteen, 0, 0), RGB(255, 0, 0));
    deldib(fromSixteen);

    EXPECT_EQ(DIBHalftoneDIB(dib{}).poi, nullptr);
    EXPECT_EQ(DIBHalftoneDIBXY(sixteen, 0, 5).poi, nullptr);
    EXPECT_EQ(DIBHalftoneDIBXY(sixteen, 70000, 70000).poi, nullptr);
    deldib(sixteen);
}

}  // namespace
