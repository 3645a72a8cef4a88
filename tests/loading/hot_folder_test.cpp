// The hot folder's rule for when a photo is complete, without waiting: the settling time is
// far longer than the test, so only what is complete at once may be handed out.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "loading/hot_folder.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<fs::path>;

TEST(HotFolder, OnlyReadablePicturesCountNotHiddenOrTemporaryFiles) {
    const struct {
        const char* name;
        bool picture;
    } cases[] = {{"a.jpg", true},         {"B.HEIC", true},     {"c.d.tga", true},
                 {".a.jpg", false},       {"a.jpg~", false},    {"a.jpg.part", false},
                 {"a.crdownload", false}, {"notes.txt", false}, {"jpg", false}};
    for (const auto& c : cases) EXPECT_EQ(IsPictureName(c.name), c.picture) << c.name;
}

TEST(HotFolder, MovedInIsCompleteAtOnceWrittenWaitsAndEachVersionIsHandedOutOnce) {
    const fs::path dir = fs::temp_directory_path() / "lumivane-hot-folder-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto put = [&](const std::string& name, const char* bytes) {
        std::ofstream(dir / name, std::ios::binary | std::ios::app) << bytes;
    };
    put("old.jpg", "x");
    fs::last_write_time(dir / "old.jpg", fs::file_time_type::clock::now() - std::chrono::hours(1));
    put("fresh.jpg", "x");  // may still be being copied
    put("notes.txt", "x");

    HotFolder folder(dir, std::chrono::hours(1));
    ASSERT_EQ(folder.Error(), "");
    EXPECT_EQ(folder.Present(), Names{"old.jpg"});

    int wake[2];
    ASSERT_EQ(pipe(wake), 0);
    ASSERT_EQ(write(wake[1], "w", 1), 1);  // Wait only looks, it does not block
    put(".moved.png.part", "whole");
    fs::rename(dir / ".moved.png.part", dir / "moved.png");
    put("half.png", "half");
    EXPECT_EQ(folder.Wait(wake[0]), Names{"moved.png"});
    EXPECT_EQ(folder.Wait(wake[0]), Names{});

    put(".moved.png.part", "another");
    fs::rename(dir / ".moved.png.part", dir / "moved.png");
    EXPECT_EQ(folder.Wait(wake[0]), Names{"moved.png"});
    put("moved.png", " and more");  // written after the move: it must settle again
    EXPECT_EQ(folder.Wait(wake[0]), Names{});

    fs::remove_all(dir);
    EXPECT_EQ(folder.Wait(wake[0]), Names{});
    EXPECT_NE(folder.Error(), "");
    close(wake[0]);
    close(wake[1]);
}

}  // namespace
}  // namespace lumivane
