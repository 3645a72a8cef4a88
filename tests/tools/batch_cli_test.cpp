// lumivane-render's batches: motif lists, machine-readable progress, resuming after a kill, and
// one batch shared between several processes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/render/render_cli.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

class BatchCli : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               (std::string("lumivane-batch-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        background_ = Photo("frame.jpg", 240, 180, 7);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A JPEG that differs from every other seed's in every pixel.
    std::string Photo(const std::string& name, int w, int h, int seed) {
        QImage image(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qRgb((x + seed * 37) & 255, (y * 3 + seed) & 255, seed * 20));
        const std::string path = (dir_ / name).string();
        EXPECT_TRUE(image.save(QString::fromStdString(path), "JPEG"));
        return path;
    }
    std::vector<std::string> Photos(int count, int w, int h) {
        std::vector<std::string> photos;
        for (int i = 0; i < count; ++i)
            photos.push_back(
                Photo(std::string("p").append(std::to_string(i)).append(".jpg"), w, h, i + 1));
        return photos;
    }
    int Run(std::vector<std::string> args, const std::string& input = "") {
        std::istringstream in(input);
        out_.str("");
        err_.str("");
        return RenderMain(args, out_, err_, false, in);
    }
    // The results in `folder` by name with their bytes; hidden files (temporaries) apart.
    static std::map<std::string, std::string> Results(const fs::path& folder,
                                                      std::vector<std::string>* hidden = nullptr) {
        std::map<std::string, std::string> files;
        for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
            const std::string name = e.path().filename().string();
            if (name[0] == '.') {
                if (hidden) hidden->push_back(name);
                continue;
            }
            std::ifstream f(e.path(), std::ios::binary);
            files[name] = std::string(std::istreambuf_iterator<char>(f), {});
        }
        return files;
    }
    std::string Template() {
        const std::string t = (dir_ / "design.lumivane").string();
        EXPECT_EQ(Run({"-b", background_, "--frame", "120", "--save-template", t}), 0)
            << err_.str();
        return t;
    }

    fs::path dir_;
    std::string background_;
    std::ostringstream out_, err_;
};

std::set<std::string> Names(const std::map<std::string, std::string>& files) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : files) names.insert(name);
    return names;
}

TEST_F(BatchCli, FilesFromAListAndStandardInputJoinTheCommandLine) {
    const std::vector<std::string> p = Photos(4, 60, 40);
    const std::string list = (dir_ / "list.txt").string();
    std::ofstream(list) << p[1] << "\r\n\n" << p[2] << "\n";  // a Windows line, an empty one
    const fs::path out = dir_ / "out";
    ASSERT_EQ(Run({"-b", background_, "-o", out.string(), "--files-from", list, "--files-from", "-",
                   p[0]},
                  p[3] + "\n"),
              0)
        << err_.str();
    EXPECT_EQ(Names(Results(out)), (std::set<std::string>{"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg"}));

    // A list of one photo still gives a folder: the command cannot know the list's length.
    ASSERT_EQ(Run({"-b", background_, "-o", (dir_ / "one").string(), "--files-from", "-"}, p[0]),
              0);
    EXPECT_TRUE(fs::is_regular_file(dir_ / "one" / "p0.jpg"));

    EXPECT_EQ(Run({"-b", background_, "-o", out.string(), "--files-from", list + "-fehlt"}), 2);
    EXPECT_NE(err_.str().find("Die Liste der Motive lässt sich nicht lesen."), std::string::npos);
}

TEST_F(BatchCli, ProgressJsonIsOneValidObjectAPhotoEvenForOddNames) {
    std::vector<std::string> p = Photos(1, 60, 40);
    const std::string odd = (dir_ / "a\"b\\c\td\x01\xff\xc3(.jpg").string();  // not UTF-8
    fs::copy_file(p[0], odd);
    const std::string bad = (dir_ / "kaputt.jpg").string();
    std::ofstream(bad) << "kein Bild";
    const fs::path out = dir_ / "out";
    ASSERT_EQ(Run({"-b", background_, "-o", out.string(), "--progress", "json", "-j", "2", p[0],
                   odd, bad}),
              1);
    // The odd name's characters survive, each byte that is not UTF-8 as U+FFFD.
    const QString oddDecoded =
        QString::fromUtf8("a\"b\\c\td\x01") + QChar(0xFFFD) + QChar(0xFFFD) + "(.jpg";
    bool sawBad = false, sawOdd = false;
    std::istringstream lines(out_.str());
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        const QJsonObject o = doc.object();
        EXPECT_TRUE(o.value("ms").isDouble()) << line;
        sawOdd |= o.value("file").toString().endsWith(oddDecoded) &&
                  o.value("output").toString().endsWith("/" + oddDecoded);
        if (o.value("file").toString().toStdString() == bad) {
            sawBad = true;
            EXPECT_EQ(o.value("status").toString(), "failed");
            EXPECT_EQ(o.value("reason").toString().toStdString(),
                      "Konnte das Bild nicht laden (unbekanntes Format).");
        } else {
            EXPECT_EQ(o.value("status").toString(), "written") << line;
            EXPECT_EQ(o.value("reason").toString(), "") << line;
        }
    }
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(sawBad);
    EXPECT_TRUE(sawOdd);
    EXPECT_EQ(Results(out).size(), 2u);
}

// Starts the program itself and kills it with SIGKILL as soon as its first result exists.
TEST_F(BatchCli, SkipExistingAfterAKillGivesTheUninterruptedResults) {
    const std::vector<std::string> p = Photos(12, 400, 300);
    const fs::path cut = dir_ / "cut", whole = dir_ / "whole";
    std::vector<std::string> args = {
        LUMIVANE_RENDER_BINARY, "-j", "1", "-b", background_, "-o", cut.string()};
    args.insert(args.end(), p.begin(), p.end());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(cut / "p0.jpg") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the batch ended before it could be killed";
    const std::size_t before = Results(cut).size();
    ASSERT_GE(before, 1u);

    std::vector<std::string> rest = {"-j",         "1",    "-b", background_, "--skip-existing",
                                     "--progress", "json", "-o", cut.string()};
    rest.insert(rest.end(), p.begin(), p.end());
    ASSERT_EQ(Run(rest), 0) << err_.str();
    std::size_t skipped = 0;
    for (std::size_t at = 0; (at = out_.str().find("\"skipped\"", at)) != std::string::npos; ++at)
        ++skipped;
    EXPECT_EQ(skipped, before);

    std::vector<std::string> all = {"-j", "1", "-b", background_, "-o", whole.string()};
    all.insert(all.end(), p.begin(), p.end());
    ASSERT_EQ(Run(all), 0) << err_.str();
    std::vector<std::string> hidden;
    const std::map<std::string, std::string> resumed = Results(cut, &hidden);
    EXPECT_EQ(resumed.size(), 12u);
    EXPECT_TRUE(resumed == Results(whole)) << "a result differs from the uninterrupted run's";
    for (const std::string& h : hidden)  // a temporary the kill left behind is no result's name
        EXPECT_EQ(h.find(".tmp"), h.size() - 4) << h;
}

TEST_F(BatchCli, GnuParallelWorkersGiveTheSingleRunsResults) {
    if (std::system("parallel --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU parallel is not installed";
    const std::vector<std::string> p = Photos(7, 80, 60);
    const std::string design = Template();
    const std::string list = (dir_ / "list.txt").string();
    {
        std::ofstream f(list);
        for (const std::string& photo : p) f << photo << "\n";
    }
    const fs::path shared = dir_ / "shared", single = dir_ / "single";
    // Two workers at a time, three photos each, as on several machines over one folder.
    const std::string cmd = "parallel -j 2 --pipe -N 3 '" + std::string(LUMIVANE_RENDER_BINARY) +
                            "' --template '" + design + "' --skip-existing -o '" + shared.string() +
                            "' --files-from - < '" + list + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_EQ(Run({"--template", design, "-o", single.string(), "--files-from", list}), 0)
        << err_.str();
    const std::map<std::string, std::string> workers = Results(shared);
    EXPECT_EQ(workers.size(), p.size());
    EXPECT_TRUE(workers == Results(single)) << "a worker's result differs from the single run's";
}

}  // namespace
}  // namespace lumivane
