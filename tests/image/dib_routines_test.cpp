// The small routines over the image record.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "image/Zerlin.h"

namespace {

TEST(FreeDib, ClearsOnlyThePixelPointer) {
    dib d = newdib(5, 4, 24, nullptr, 0);
    ASSERT_NE(d.poi, nullptr);
    dib before = d;
    FreeDib(d);
    EXPECT_EQ(d.poi, nullptr);
    before.poi = nullptr;
    EXPECT_EQ(std::memcmp(&before, &d, sizeof(dib)), 0) << "no other field changes";
}

TEST(FreeDib, ACopySharesThePixelsAndLeavesTheOwnerPointingAtThem) {
    dib owner = newdib(2, 2, 24, nullptr, 0);
    dib view = owner;
    setpixel(view, 0, 0, 0x123456);
    EXPECT_EQ(getpixel(owner, 0, 0), 0x123456u);
    void* pixels = owner.poi;
    view.poi = nullptr;  // the view is dropped, never freed
    EXPECT_EQ(owner.poi, pixels);
    FreeDib(owner);
}

TEST(DibQueries, ReadTheHeader) {
    dib d = newdib(5, 3, 24, nullptr, 0);
    EXPECT_EQ(DibWidth(d), 5);
    EXPECT_EQ(DibHeight(d), 3);
    EXPECT_EQ(DibBitCount(d), 24);
    EXPECT_EQ(d.bytew, 16) << "a 5-pixel 24-bit row is padded to 16 bytes";
    FreeDib(d);
}

TEST(PowerOfTwo, DoublesIn32BitArithmetic) {
    EXPECT_EQ(PowerOfTwo(0), 1);
    EXPECT_EQ(PowerOfTwo(-3), 1);
    EXPECT_EQ(PowerOfTwo(1), 2);
    EXPECT_EQ(PowerOfTwo(30), 1 << 30);
    EXPECT_EQ(PowerOfTwo(31), INT32_MIN);
    EXPECT_EQ(PowerOfTwo(32), 0);
    EXPECT_EQ(PowerOfTwo(1000), 0);
}

TEST(DibColorCount, FollowsTheDepth) {
    const std::pair<int, LONG> expected[] = {{1, 2},      {4, 16},        {8, 256},
                                             {16, 65536}, {24, 16777216}, {32, 0}};
    for (auto [bits, count] : expected) {
        dib d = newdib(1, 1, bits, nullptr, 0);
        EXPECT_EQ(DibColorCount(d), count) << bits;
        FreeDib(d);
    }
}

}  // namespace
