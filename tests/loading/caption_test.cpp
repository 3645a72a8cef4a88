// A caption drawn onto a picture: its ink lies in the border under the motif, centred on it,
// in a colour that stands out (or the one given), and no other pixel changes.
#include <gtest/gtest.h>

#include <cstring>

#include "loading/caption.h"

using namespace lumivane;

TEST(CaptionTest, TheTextLandsInTheBorderAndNothingElseChanges) {
    const PixelBox motif{40, 20, 160, 100};  // the border below runs from y = 120 to 160
    const struct {
        COLORREF border;
        std::optional<COLORREF> colour;
        std::string family;
        COLORREF expectedInk;
    } cases[] = {
        {RGB(230, 225, 220), std::nullopt, "", RGB(0, 0, 0)},
        {RGB(30, 20, 60), std::nullopt, "DejaVu Sans", RGB(255, 255, 255)},
        {RGB(128, 128, 128), RGB(200, 0, 0), "Keine Solche Schrift", RGB(200, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        Surface picture, before;
        ASSERT_TRUE(picture.SetSize(240, 160) && before.SetSize(240, 160));
        picture.Fill(c.border);
        Caption caption;
        caption.size = 10;  // 16 px
        caption.colour = c.colour;
        caption.lines[1].family = c.family;
        std::memcpy(before.Bits(), picture.Bits(), std::size_t(before.Stride()) * 160);

        EXPECT_TRUE(DrawCaptionText(picture, motif, caption, {"", "", ""}).notices.empty());
        EXPECT_EQ(std::memcmp(before.Bits(), picture.Bits(), std::size_t(before.Stride()) * 160),
                  0);

        const CaptionResult drawn = DrawCaptionText(picture, motif, caption, {"", "Hgß ƒ/8", ""});
        EXPECT_FALSE(drawn.overMotif);
        EXPECT_EQ(drawn.notices.size(), c.family == "Keine Solche Schrift" ? 1u : 0u);
        int changed = 0, full = 0;
        double sumX = 0;
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 240; ++x) {
                const BYTE* p = picture.ScanLine(y) + 4 * x;
                if (std::memcmp(p, before.ScanLine(y) + 4 * x, 3) == 0) continue;
                ++changed;
                sumX += x;
                EXPECT_GE(y, 120) << x;  // never on the motif
                EXPECT_GE(x, 16) << y;   // inside the margins
                EXPECT_LT(x, 224) << y;
                full += p[0] == GetBValue(c.expectedInk) && p[1] == GetGValue(c.expectedInk) &&
                        p[2] == GetRValue(c.expectedInk);
            }
        EXPECT_GT(changed, 60);
        EXPECT_GT(full, 10);                  // the strokes' cores have the ink's colour
        EXPECT_NEAR(sumX / changed, 120, 8);  // centred under the motif
    }
}
