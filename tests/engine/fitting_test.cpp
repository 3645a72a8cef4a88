// The automatic fit of the background and the presets for a newly loaded motif.
#include <gtest/gtest.h>

#include "engine/fitting.h"
#include "engine/rounding.h"

namespace lumivane {
namespace {

TEST(FitBackground, WidthDecidesForALandscapeMotifOnA43Background) {
    const BackgroundFit fit = FitBackground(100, 130, 320, 200, 640, 480);
    EXPECT_FALSE(fit.heightDecides);
    EXPECT_EQ(fit.zoomEd, 65);  // Round(41600 / 640)
    EXPECT_EQ(fit.additionalYED, -26);
    EXPECT_EQ(fit.additionalEd, 0);
}

TEST(FitBackground, HeightDecidesForAPortraitMotifAndTheMarginIsHandedOnUnrounded) {
    const BackgroundFit fit = FitBackground(100, 130, 200, 300, 640, 480);
    EXPECT_TRUE(fit.heightDecides);
    EXPECT_EQ(fit.zoomEd, 81);  // Round(81.25) beats Round(40.625) = 41
    EXPECT_EQ(fit.additionalYED, 0);
    EXPECT_NEAR(static_cast<double>(fit.additionalEd), -129.2, 1e-12);
    EXPECT_EQ(RoundHalfEven(fit.additionalEd), -129);
}

TEST(FitBackground, ATieLetsTheHeightDecideAndSameAspectGivesNoMargins) {
    const BackgroundFit fit = FitBackground(100, 130, 400, 300, 800, 600);
    EXPECT_TRUE(fit.heightDecides);
    EXPECT_EQ(fit.zoomEd, 65);
    EXPECT_EQ(fit.additionalEd, 0);
    EXPECT_EQ(fit.additionalYED, 0);
}

TEST(FitBackground, AFrameOf100CoversTheMotifExactlyInOneDirection) {
    const BackgroundFit fit = FitBackground(100, 100, 300, 200, 600, 600);
    // Width wants 50 %, height 33 %: the width decides, the height is cropped to the motif.
    EXPECT_FALSE(fit.heightDecides);
    EXPECT_EQ(fit.zoomEd, 50);
    EXPECT_EQ(fit.additionalYED, (200 - 300) / 2.0L);
}

TEST(FitBackground, ANonPositiveFrameGivesNoScale) {
    const BackgroundFit zero = FitBackground(100, 0, 320, 200, 640, 480);
    EXPECT_EQ(zero.zoomEd, 0);
    EXPECT_EQ(zero.additionalEd, 0);
    const BackgroundFit negative = FitBackground(100, -130, 320, 200, 640, 480);
    EXPECT_LE(negative.zoomEd, 0);
}

TEST(FitBackground, AHugeTypedMotifZoomDoesNotWrap) {
    const BackgroundFit fit = FitBackground(2000000000.0L, 1000, 65535, 65535, 1, 1);
    EXPECT_GT(fit.zoomEd, 1e15L);
    EXPECT_EQ(fit.additionalEd, 0) << "same aspect: nothing to crop";
}

TEST(Presets, PreviewZoomIsTheSmallerFitAndFeatherIsAFiftieth) {
    auto zoom = PresetPreviewZoom(660, 386, 1000, 750, 130);
    ASSERT_TRUE(zoom.has_value());
    EXPECT_EQ(*zoom, 40);  // a = Round(50.77) = 51, b = Round(39.59) = 40
    EXPECT_EQ(PresetFeatherWidth(1000), 20);
    EXPECT_EQ(PresetFeatherWidth(49), 0) << "narrow motifs get hard edges";
    EXPECT_EQ(PresetFeatherWidth(99), 1);
}

TEST(Presets, AZeroFrameLeavesThePreviewZoomAlone) {
    EXPECT_FALSE(PresetPreviewZoom(660, 386, 1000, 750, 0).has_value());
    auto negative = PresetPreviewZoom(660, 386, 1000, 750, -130);
    ASSERT_TRUE(negative.has_value());
    EXPECT_EQ(*negative, -51);
}

}  // namespace
}  // namespace lumivane
