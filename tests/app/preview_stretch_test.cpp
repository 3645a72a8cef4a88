#include <gtest/gtest.h>

#include <QPainter>

#include "app/PreviewStretch.h"

using namespace lumivane;

namespace {

// A picture whose pixel (x, y) is (blue x, green y, red 7) with the fourth byte 0, as the blend
// leaves it.
void FillCoordinates(Surface& bit, int width, int height) {
    ASSERT_TRUE(bit.SetSize(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = bit.ScanLine(y) + 4 * x;
            p[0] = BYTE(x), p[1] = BYTE(y), p[2] = 7, p[3] = 0;
        }
}

}  // namespace

TEST(StretchForPreview, PicksTheSourcePixelUnderEachCentreWithoutSmoothing) {
    Surface bit;
    FillCoordinates(bit, 10, 6);
    // Halved: destination x takes source 2x + 1 (centre of the pair), no blending.
    QImage half = StretchForPreview(bit, 5, 3, QRect(0, 0, 5, 3));
    ASSERT_EQ(half.size(), QSize(5, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(half.pixel(x, y), qRgb(7, 2 * y + 1, 2 * x + 1));
    // Enlarged 3 times: each source pixel repeated three times.
    QImage big = StretchForPreview(bit, 30, 18, QRect(0, 0, 30, 18));
    for (int x = 0; x < 30; ++x) EXPECT_EQ(qBlue(big.pixel(x, 4)), x / 3);
    for (int y = 0; y < 18; ++y) EXPECT_EQ(qGreen(big.pixel(4, y)), y / 3);
}

TEST(StretchForPreview, AnExposedPartMatchesTheWholeAndEdgesAreClipped) {
    Surface bit;
    FillCoordinates(bit, 37, 23);
    const QImage whole = StretchForPreview(bit, 101, 59, QRect(0, 0, 101, 59));
    const QImage part = StretchForPreview(bit, 101, 59, QRect(40, 20, 30, 25));
    EXPECT_EQ(part, whole.copy(40, 20, 30, 25));
    EXPECT_EQ(StretchForPreview(bit, 101, 59, QRect(90, 50, 40, 40)).size(), QSize(11, 9));
    EXPECT_TRUE(StretchForPreview(bit, 101, 59, QRect(200, 0, 5, 5)).isNull());
    EXPECT_TRUE(StretchForPreview(Surface(), 10, 10, QRect(0, 0, 10, 10)).isNull());
}

TEST(StretchForPreview, StaysOpaqueOnAnArgbTarget) {
    // The blend leaves 0 in the fourth byte; drawn as is, an ARGB target would turn transparent.
    Surface bit;
    FillCoordinates(bit, 8, 8);
    QImage target(16, 16, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        painter.drawImage(0, 0, StretchForPreview(bit, 16, 16, QRect(0, 0, 16, 16)));
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(qAlpha(target.pixel(x, y)), 255) << x << "," << y;
            EXPECT_EQ(target.pixel(x, y), qRgb(7, y / 2, x / 2));
        }
}
