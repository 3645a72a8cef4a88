// Finding the window of a frame, on frames drawn here around a window of known place and size.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "engine/opening.h"
#include "image/Zerlin.h"

namespace lumivane {
namespace {

const OpeningBox kRect{60, 40, 200, 150};

// Coverage at a pixel centre from its distance outside `r` (negative inside): hard, or ramping
// over `soft` pixels centred on the edge.
int Outside(double x, double y, OpeningBox r, double soft = 0) {
    const double d =
        std::max(std::max(r.x - x, x - (r.x + r.width)), std::max(r.y - y, y - (r.y + r.height)));
    return soft == 0 ? (d < 0 ? 0 : 255) : int(std::clamp(127.5 + d * 255 / soft, 0.0, 255.0));
}

TEST(FindOpening, FindsTheWindowEachFrameWasDrawnAround) {
    const struct {
        const char* name;
        std::function<int(double, double)> coverage;  // at a pixel centre of a 320 x 240 frame
        std::optional<OpeningBox> made;               // nothing: no window to find
    } cases[] = {
        {"rectangle", [](double x, double y) { return Outside(x, y, kRect); }, kRect},
        {"oval",
         [](double x, double y) {
             const double u = (x - 160) / 100, v = (y - 115) / 75;
             return u * u + v * v < 1 ? 0 : 255;
         },
         kRect},
        {"heart",  // the sextic (u² + v² - 1)³ = u² v³, 70 pixels to the unit
         [](double x, double y) {
             const double u = (x - 160) / 70, v = (120 - y) / 70, s = u * u + v * v - 1;
             return s * s * s < u * u * v * v * v ? 0 : 255;
         },
         OpeningBox{80, 33, 160, 157}},
        {"soft 8-pixel edge", [](double x, double y) { return Outside(x, y, kRect, 8); }, kRect},
        {"shadow falling 20 pixels in",
         [](double x, double y) {
             const double in = std::min(x - kRect.x, y - kRect.y);
             return Outside(x, y, kRect) ? 255 : in < 20 ? int(120 * (1 - in / 20)) : 0;
         },
         kRect},
        {"opaque specks",
         [](double x, double y) {
             return Outside(x, y, kRect) || (int(x) % 37 < 3 && int(y) % 29 < 3) ? 255 : 0;
         },
         kRect},
        {"two windows, the larger wins",
         [](double x, double y) {
             return std::min(Outside(x, y, kRect), Outside(x, y, {10, 200, 40, 30}));
         },
         kRect},
        {"a larger clear area at the edge is no window",
         [](double x, double y) { return x < 50 || y < 30 || y > 200 ? 0 : Outside(x, y, kRect); },
         kRect},
        {"window touching the edge",
         [](double x, double y) {
             return Outside(x, y, {0, 40, 200, 150});
         },
         std::nullopt},
        {"no window", [](double, double) { return 200; }, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dib frame = newdib(320, 240, 8, nullptr, 0);
        ASSERT_TRUE(frame.poi);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) setpixel(frame, x, y, c.coverage(x + 0.5, y + 0.5));
        const std::optional<OpeningBox> found = FindOpening(frame);
        FreeDib(frame);
        ASSERT_EQ(found.has_value(), c.made.has_value());
        if (!found) continue;
        EXPECT_NEAR(found->x, c.made->x, 1);
        EXPECT_NEAR(found->y, c.made->y, 1);
        EXPECT_NEAR(found->x + found->width, c.made->x + c.made->width, 1);
        EXPECT_NEAR(found->y + found->height, c.made->y + c.made->height, 1);
    }
}

}  // namespace
}  // namespace lumivane
