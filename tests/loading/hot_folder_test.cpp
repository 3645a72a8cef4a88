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

TEST(HotFolder, MovedInIsCompleteAtOnceWrittenWaitsAndEachVersionIsHandedOutOnce) {
    const fs::path dir = fs::temp_directory_path() / "lumivane-hot-folder-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto put = [&](const std::string& name, const char* bytes) {
        std::ofstream(dir / name, std::ios::binary | std::ios::app) << bytes;
    };
    put("old.jpg", "x");
    put("old.jpg~", "x");
    put("notes.txt", "x");
    for (const char* name : {"old.jpg", "old.jpg~"})
        fs::last_write_time(dir / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
    put("fresh.jpg", "x");  // may still be being copied

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
