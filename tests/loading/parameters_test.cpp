// How parameter values are stored: limited to the field's range, rounded half to even.
#include <gtest/gtest.h>

#include "loading/parameters.h"

namespace lumivane {
namespace {

TEST(Parameters, StartWithTheWindowsCreationValues) {
    Parameters p;
    EXPECT_EQ(p[Field::ZoomEd], 100);
    EXPECT_EQ(p[Field::RotED], 5);
    EXPECT_EQ(p[Field::Maskwidth], 20);
    EXPECT_EQ(p[Field::RahmenEd], 130);
    EXPECT_EQ(p[Field::ZoomOutEd], 100);
    EXPECT_TRUE(p.backgroundCheck);
    EXPECT_FALSE(p.roundMask);
    EXPECT_EQ(p.fillColor, RGB(255, 255, 255));
}

TEST(Parameters, StoreClampsThenRoundsHalfToEven) {
    Parameters p;
    EXPECT_TRUE(p.Set(Field::AdditionalEd, 12.5L));
    EXPECT_EQ(p[Field::AdditionalEd], 12);
    p.Set(Field::AdditionalEd, 13.5L);
    EXPECT_EQ(p[Field::AdditionalEd], 14);
    p.Set(Field::AdditionalEd, -2.5L);
    EXPECT_EQ(p[Field::AdditionalEd], -2);
    p.Set(Field::AdditionalEd, -129.2L);
    EXPECT_EQ(p[Field::AdditionalEd], -129);
    p.Set(Field::AdditionalEd, -5000);
    EXPECT_EQ(p[Field::AdditionalEd], -1000);
    p.Set(Field::ZoomOutEd, 0);
    EXPECT_EQ(p[Field::ZoomOutEd], 1);
    p.Set(Field::ZoomEd, 0.4L);
    EXPECT_EQ(p[Field::ZoomEd], 1) << "the minimum is applied before rounding";
}

TEST(Parameters, SetReportsOnlyRealChanges) {
    Parameters p;
    EXPECT_FALSE(p.Set(Field::Maskwidth, 20));
    EXPECT_FALSE(p.Set(Field::Maskwidth, 20.4L));
    EXPECT_TRUE(p.Set(Field::Maskwidth, 21));
    EXPECT_FALSE(p.Set(Field::ZoomOutEd, 250)) << "already at its maximum of 100";
}

}  // namespace
}  // namespace lumivane
