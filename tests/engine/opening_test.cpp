// Finding the window of a frame, on frames drawn here with the window they were drawn around.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include "engine/opening.h"
#include "image/Zerlin.h"

namespace lumivane {
namespace {

constexpr int kW = 320, kH = 240;

// Coverage at a pixel centre from its signed distance outside a rectangle (negative inside):
// hard, or ramping over `soft` pixels centred on the rectangle's edge.
int RectCoverage(double x, double y, OpeningBox r, double soft) {
    const double dx = std::max(r.x - x, x - (r.x + r.width));
    const double dy = std::max(r.y - y, y - (r.y + r.height));
    const double d = std::max(dx, dy);
    if (soft == 0) return d < 0 ? 0 : 255;
    return int(std::clamp(127.5 + d * 255 / soft, 0.0, 255.0));
}

bool InOval(double x, double y, OpeningBox r) {
    const double u = (x - r.x) / r.width * 2 - 1, v = (y - r.y) / r.height * 2 - 1;
    return u * u + v * v < 1;
}

bool InHeart(double x, double y) {
    const double u = (x - 160) / 70, v = (120 - y) / 70;  // the classic sextic, point down
    const double s = u * u + v * v - 1;
    return s * s * s - u * u * v * v * v < 0;
}

struct FrameCase {
    std::string name;
    std::function<int(double, double)> coverage;          // at a pixel centre
    std::optional<OpeningBox> made;                       // nothing: the search must find none
    std::function<bool(double, double)> shape = nullptr;  // made from the shape's pixels instead
};

const OpeningBox kRect{60, 40, 200, 150};

std::optional<OpeningBox> BoxOf(const std::function<bool(double, double)>& inside) {
    int l = kW, t = kH, r = -1, b = -1;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (inside(x + 0.5, y + 0.5)) {
                l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
            }
    return OpeningBox{l, t, r - l + 1, b - t + 1};
}

TEST(FindOpening, FindsTheWindowEachFrameWasDrawnAround) {
    const OpeningBox small{10, 200, 40, 30};
    const FrameCase cases[] = {
        {"rectangle", [](double x, double y) { return RectCoverage(x, y, kRect, 0); }, kRect},
        {"oval", [](double x, double y) { return InOval(x, y, kRect) ? 0 : 255; }, std::nullopt,
         [](double x, double y) { return InOval(x, y, kRect); }},
        {"heart", [](double x, double y) { return InHeart(x, y) ? 0 : 255; }, std::nullopt,
         InHeart},
        {"soft 8-pixel edge", [](double x, double y) { return RectCoverage(x, y, kRect, 8); },
         kRect},
        {"shadow 20 pixels into the window",
         [](double x, double y) {
             if (RectCoverage(x, y, kRect, 0)) return 255;
             const double in = std::min(x - kRect.x, y - kRect.y);  // falls from top left
             return in < 20 ? int(120 * (1 - in / 20)) : 0;
         },
         kRect},
        {"opaque specks",
         [](double x, double y) {
             const bool speck = (int(x) % 37 < 3 && int(y) % 29 < 3);
             return RectCoverage(x, y, kRect, 0) || speck ? 255 : 0;
         },
         kRect},
        {"two windows, the larger wins",
         [&](double x, double y) {
             return RectCoverage(x, y, kRect, 0) && RectCoverage(x, y, small, 0) ? 255 : 0;
         },
         kRect},
        {"a larger clear area at the edge is no window",
         [](double x, double y) {
             const OpeningBox window{200, 60, 80, 60};
             return x < 150 || !RectCoverage(x, y, window, 0) ? 0 : 255;
         },
         OpeningBox{200, 60, 80, 60}},
        {"window touching the edge",
         [](double x, double y) {
             return RectCoverage(x, y, OpeningBox{0, 40, 200, 150}, 0);
         },
         std::nullopt},
        {"no window", [](double, double) { return 200; }, std::nullopt},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        dib frame = newdib(kW, kH, 8, nullptr, 0);
        ASSERT_TRUE(frame.poi);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                setpixel(frame, x, y, COLORREF(c.coverage(x + 0.5, y + 0.5)));
        const std::optional<OpeningBox> expected = c.shape ? BoxOf(c.shape) : c.made;
        const std::optional<OpeningBox> found = FindOpening(frame);
        FreeDib(frame);
        ASSERT_EQ(found.has_value(), expected.has_value());
        if (!found) continue;
        EXPECT_NEAR(found->x, expected->x, 1);
        EXPECT_NEAR(found->y, expected->y, 1);
        EXPECT_NEAR(found->x + found->width, expected->x + expected->width, 1);
        EXPECT_NEAR(found->y + found->height, expected->y + expected->height, 1);
    }
}

}  // namespace
}  // namespace lumivane
