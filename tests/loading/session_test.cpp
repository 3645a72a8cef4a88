// The window-less working state: a background borrowed from the caller is never freed by it,
// and the high-quality mode reaches the reduction of a wide motif.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "image/Zerlin.h"
#include "loading/save_picture.h"
#include "loading/session.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

TEST(FramingSession, ABorrowedBackgroundOutlivesTheSessionAndALaterLoadReplacingIt) {
    const fs::path file = fs::temp_directory_path() / "lumivane-session-background.bmp";
    Surface s;
    ASSERT_TRUE(s.SetSize(40, 30));
    s.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(SavePicture(s, file.string()).Ok());

    dib shared = newdib(64, 48, 24, nullptr, 0);
    ASSERT_NE(shared.poi, nullptr);
    setpixel(shared, 5, 5, RGB(9, 8, 7));
    {
        FramingSession session;
        ASSERT_TRUE(session.Ready());
        session.UseSharedBackground(shared);
        EXPECT_EQ(session.images().bkgnd.poi, shared.poi);
        EXPECT_EQ(session.params()[Field::ZoomEd], 650) << "refitted: Round(41600 / 64)";
        ASSERT_TRUE(session.OpenBackground(file.string()));
        EXPECT_EQ(DibWidth(session.images().bkgnd), 40);
    }
    {
        FramingSession session;
        session.UseSharedBackground(shared);
    }
    // Both sessions are gone; the borrowed image, header included, is still intact.
    EXPECT_EQ(DibWidth(shared), 64);
    EXPECT_EQ(getpixel(shared, 5, 5), RGB(9, 8, 7));
    FreeDib(shared);
    fs::remove(file);
}

// Columns alternating black and white, reduced to 1000 pixels: the plain reduction keeps every
// other column and so one colour alone, the high-quality one their mean.
TEST(FramingSession, HighQualityReductionAveragesWhatThePlainOneDrops) {
    const fs::path file = fs::temp_directory_path() / "lumivane-session-stripes.bmp";
    Surface s;
    ASSERT_TRUE(s.SetSize(2000, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 2000; ++x) std::memset(s.ScanLine(y) + 4 * x, x % 2 ? 255 : 0, 3);
    ASSERT_TRUE(SavePicture(s, file.string()).Ok());
    for (const bool smooth : {false, true}) {
        FramingSession session;
        session.SetReduceAnswer(true);
        session.params().smooth = smooth;
        ASSERT_TRUE(session.OpenMotif(file.string()));
        const dib& motif = session.images().di;
        ASSERT_EQ(DibWidth(motif), 1000);
        int grey = 0;
        for (int x = 0; x < 1000; ++x) {
            const BYTE red = GetRValue(getpixel(motif, x, 5));
            grey += red > 100 && red < 155;
        }
        EXPECT_EQ(grey, smooth ? 1000 : 0);
    }
    fs::remove(file);
}

}  // namespace
}  // namespace lumivane
