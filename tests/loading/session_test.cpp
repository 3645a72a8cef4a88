// The window-less working state: a background borrowed from the caller is never freed by it.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lumivane
