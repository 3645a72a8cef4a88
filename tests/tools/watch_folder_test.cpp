// lumivane-render --watch run as the program itself: photos already there, one written slowly in
// two passes, a broken one, and SIGTERM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "loading/save_picture.h"
#include "tools/render/render_cli.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

ino_t Inode(const fs::path& file) {
    struct stat st {};
    return stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Waits, briefly and bounded, until `done` holds.
bool Within(std::chrono::seconds limit, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (; !done(); std::this_thread::sleep_for(20ms))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

TEST(WatchFolder, FramesWhatIsThereThenEachCompletePhotoOnceAndStopsOnSigterm) {
    const fs::path dir = fs::temp_directory_path() / "lumivane-watch-test";
    fs::remove_all(dir);
    for (const char* sub : {"in", "out", "src"}) fs::create_directories(dir / sub);
    auto picture = [&](const fs::path& path, COLORREF a, COLORREF b) {
        Surface s;
        ASSERT_TRUE(s.SetSize(96, 64));
        s.Fill(a);
        s.FillRect(10, 30, 80, 60, b);
        ASSERT_TRUE(SavePicture(s, path.string()).Ok());
    };
    const fs::path background = dir / "src" / "frame.png";
    picture(background, RGB(20, 90, 160), RGB(240, 230, 200));
    picture(dir / "src" / "slow.jpg", RGB(200, 40, 10), RGB(10, 200, 40));
    for (const char* name : {"there.jpg", "done.jpg"}) {  // there before the watch began
        picture(dir / "in" / name, RGB(90, 90, 10), RGB(10, 10, 90));
        fs::last_write_time(dir / "in" / name, fs::file_time_type::clock::now() - 1h);
    }
    std::ofstream(dir / "out" / "done.jpg") << "finished earlier";

    // The reference: a normal run on the complete photo.
    const fs::path reference = dir / "reference.jpg";
    std::ostringstream out, err;
    ASSERT_EQ(RenderMain({"-b", background.string(), "-o", reference.string(),
                          (dir / "src" / "slow.jpg").string()},
                         out, err, false),
              0);

    const fs::path log = dir / "stderr.txt";
    const std::string in = (dir / "in").string(), outFolder = (dir / "out").string();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        execl(LUMIVANE_RENDER_BINARY, LUMIVANE_RENDER_BINARY, "-b", background.c_str(), "-o",
              outFolder.c_str(), "--watch", in.c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);

    const fs::path slow = dir / "out" / "slow.jpg";
    EXPECT_TRUE(Within(10s, [&] { return fs::exists(dir / "out" / "there.jpg"); }));
    EXPECT_EQ(ReadAll(dir / "out" / "done.jpg"), "finished earlier");

    std::ofstream(dir / "in" / "broken.png") << "not a picture";
    const std::string whole = ReadAll(dir / "src" / "slow.jpg");
    auto append = [&](const std::string& bytes) {
        std::ofstream(dir / "in" / "slow.jpg", std::ios::binary | std::ios::app) << bytes;
    };
    append(whole.substr(0, whole.size() / 2));
    std::this_thread::sleep_for(100ms);
    append(whole.substr(whole.size() / 2));
    ino_t firstResult = 0;
    EXPECT_TRUE(Within(10s, [&] { return (firstResult = Inode(slow)) != 0; }));
    EXPECT_EQ(ReadAll(slow), ReadAll(reference)) << "framed from the complete photo";
    EXPECT_TRUE(Within(10s, [&] { return Count(ReadAll(log), "broken") > 0; }));

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string messages = ReadAll(log);
    EXPECT_EQ(Count(messages, "broken.png: Konnte das Bild nicht laden"), 1) << messages;
    EXPECT_EQ(Count(messages, "slow.jpg"), 0) << messages;
    EXPECT_EQ(Inode(slow), firstResult) << "framed once, not replaced";
    fs::remove_all(dir);
}

}  // namespace
}  // namespace lumivane
