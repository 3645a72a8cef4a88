// Where caption lines go: expected positions worked out by hand for a 1000 x 700 (or 700 x 1000)
// picture with a 2.5 % caption (17.5 px, line pitch 21.875 px, margin 17.5 px), and the same
// design at other scales must land on the same places scaled, within a pixel.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/caption_layout.h"

using namespace lumivane;

TEST(CaptionLayoutTest, LinesSitInTheBorderAtEveryScale) {
    struct Case {
        const char* name;
        int width, height;
        PixelBox motif;
        CaptionPlace place;
        CaptionAlign align;
        std::vector<PixelBox> lines;  // measured at the nominal size
        std::vector<double> sizes;    // expected; the last one for the remaining lines
        std::vector<std::pair<double, double>> at;
        bool overMotif;
    };
    const PixelBox landscapeMotif{100, 100, 800, 450};  // border below: 550 to 700
    const Case cases[] = {
        {"landscape, under the motif, centred",
         1000,
         700,
         landscapeMotif,
         CaptionPlace::Below,
         CaptionAlign::Centre,
         {{0, 0, 300, 20}},
         {17.5},
         {{350, 615}},
         false},
        {"portrait, under the motif, centred",
         700,
         1000,
         {100, 100, 500, 700},
         CaptionPlace::Below,
         CaptionAlign::Centre,
         {{0, 0, 300, 20}},
         {17.5},
         {{200, 890}},
         false},
        {"two lines left under the motif",
         1000,
         700,
         landscapeMotif,
         CaptionPlace::Below,
         CaptionAlign::Left,
         {{0, 0, 300, 20}, {0, 0, 200, 20}},
         {17.5},
         {{100, 604.0625}, {100, 625.9375}},
         false},
        {"bottom right corner",
         1000,
         700,
         landscapeMotif,
         CaptionPlace::BottomRight,
         CaptionAlign::Right,
         {{0, 0, 300, 20}},
         {17.5},
         {{682.5, 615}},
         false},
        {"top left corner",
         1000,
         700,
         landscapeMotif,
         CaptionPlace::TopLeft,
         CaptionAlign::Left,
         {{0, 0, 300, 20}},
         {17.5},
         {{17.5, 40}},
         false},
        {"too wide: made smaller to fit between the margins",
         1000,
         700,
         landscapeMotif,
         CaptionPlace::Below,
         CaptionAlign::Centre,
         {{0, 0, 1200, 20}},
         {14.072917},
         {{17.5, 616.958}},
         false},
        {"a long first line shrinks alone",
         1000,
         700,
         landscapeMotif,
         CaptionPlace::Below,
         CaptionAlign::Centre,
         {{0, 0, 1200, 20}, {0, 0, 300, 20}},
         {14.072917, 17.5},
         {{17.5, 606.021}, {350, 623.796}},
         false},
        {"no border: over the picture, a margin from the edge",
         1000,
         700,
         {0, 0, 1000, 700},
         CaptionPlace::Below,
         CaptionAlign::Centre,
         {{0, 0, 300, 20}},
         {17.5},
         {{350, 661.5625}},
         true},
        {"border too narrow: against the edge, over the motif",
         1000,
         700,
         {100, 40, 800, 650},
         CaptionPlace::Below,
         CaptionAlign::Centre,
         {{0, 0, 300, 20}, {0, 0, 300, 20}},
         {17.5},
         {{350, 657.19}, {350, 679.06}},
         true},
    };
    for (const Case& c : cases) {
        for (double k : {1.0, 0.37, 4.3}) {
            SCOPED_TRACE(std::string(c.name) + " at scale " + std::to_string(k));
            CaptionLayoutInput in;
            in.pictureWidth = int(c.width * k + 0.5);
            in.pictureHeight = int(c.height * k + 0.5);
            in.motif = {c.motif.x * k, c.motif.y * k, c.motif.width * k, c.motif.height * k};
            in.place = c.place;
            in.align = c.align;
            for (const PixelBox& l : c.lines) in.lines.push_back({0, 0, l.width * k, l.height * k});
            const CaptionLayout out = LayOutCaption(in);
            ASSERT_EQ(out.lines.size(), c.at.size());

            EXPECT_EQ(out.overMotif, c.overMotif);
            for (std::size_t i = 0; i < c.at.size(); ++i) {
                EXPECT_NEAR(out.sizes[i], c.sizes[std::min(i, c.sizes.size() - 1)] * k,
                            k == 1 ? 0.01 : 1)
                    << i;
                EXPECT_NEAR(out.lines[i].x, c.at[i].first * k, k == 1 ? 0.01 : 1) << i;
                EXPECT_NEAR(out.lines[i].y, c.at[i].second * k, k == 1 ? 0.01 : 1) << i;
            }
        }
    }
}
