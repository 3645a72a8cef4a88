// OpenDib's handling of paths and bytes that are not images, loading from several threads,
// and the open dialog's filter.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/imagelib/read_image.h"
#include "tests/platform/imagelib/bmp_builder.h"

namespace {

using namespace imagelib_test;

BmpFile Sample(int seed) {
    BmpFile f;
    f.width = 37, f.height = 23, f.bits = 24;
    f.pixels.resize(std::size_t((37 * 3 + 3) / 4 * 4) * 23);
    for (std::size_t i = 0; i < f.pixels.size(); ++i) f.pixels[i] = std::uint8_t(i * 31 + seed);
    return f;
}

TEST(OpenDib, FailsCleanlyOnAnythingThatIsNotAnImageFileAndSaysWhy) {
    using lumivane::ReadFailure;
    ScratchDir dir;
    ByteVector garbage(4096);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = std::uint8_t(i * 7919 >> 3);
    BmpFile wide = Sample(0);
    wide.width = 70000;  // beyond the side limit
    ByteVector truncated = Sample(0).Build();
    truncated.resize(truncated.size() / 2);
    // A FIFO without a writer would block a plain open(); it must be refused at once.
    const std::string fifo = dir.File("pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const struct {
        std::string path;
        ReadFailure why;
    } cases[] = {
        {"", ReadFailure::NotReadable},
        {dir.File("missing.bmp"), ReadFailure::NotReadable},
        {dir.path(), ReadFailure::NotReadable},   // a directory
        {"/dev/zero", ReadFailure::NotReadable},  // a device
        {fifo, ReadFailure::NotReadable},
        {dir.Write("empty.jpg", {}), ReadFailure::Damaged},
        {dir.Write("garbage.png", garbage), ReadFailure::UnknownFormat},
        {dir.Write("half.bmp", truncated), ReadFailure::Damaged},
        {dir.Write("wide.bmp", wide.Build()), ReadFailure::TooLarge},
    };
    EXPECT_EQ(OpenDib(nullptr, 0, nullptr).poi, nullptr);
    for (const auto& c : cases) {
        EXPECT_EQ(OpenDib(c.path.c_str(), 0, nullptr).poi, nullptr) << c.path;
        const lumivane::ReadResult result = lumivane::ReadImageFile(c.path.c_str());
        EXPECT_FALSE(result.image) << c.path;
        EXPECT_EQ(result.failure, c.why) << c.path;
    }
}

TEST(OpenDib, LoadsFromSeveralThreadsAtOnce) {
    ScratchDir dir;
    const std::string bmp = dir.Write("a.bmp", Sample(1).Build());
    // Qt's readers (and its plugin loading) must cope with parallel use too.
    QImage image(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) image.setPixel(x, y, qRgb(x * 7, y * 11, x ^ y));
    const std::string png = dir.File("b.png");
    ASSERT_TRUE(image.save(QString::fromStdString(png), "png"));
    const std::string tiff = dir.File("c.tif");
    ASSERT_TRUE(image.save(QString::fromStdString(tiff), "tiff"));
    const std::string files[3] = {bmp, png, tiff};
    dib first[3];
    for (int i = 0; i < 3; ++i) {
        first[i] = OpenDib(files[i].c_str(), 0, nullptr);
        ASSERT_NE(first[i].poi, nullptr) << files[i];
    }
    const std::size_t bytes = std::size_t(first[0].bytew) * 23;

    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const int f = (t + i) % 3;
                dib d = OpenDib(files[f].c_str(), 0, nullptr);
                if (!d.poi) {
                    ++mismatches[t];
                    continue;
                }
                if (std::memcmp(d.poi, first[f].poi, bytes) != 0) ++mismatches[t];
                deldib(d);
            }
        });
    for (std::thread& t : threads) t.join();
    for (int m : mismatches) EXPECT_EQ(m, 0);
    for (dib& d : first) deldib(d);
}

TEST(OpenFilter, ListsAllImagesFirstThenEveryFormatInQtSyntax) {
    const std::string filter = GetDIBOpenFilter();
    EXPECT_EQ(GetDIBOpenFilter(), GetDIBOpenFilter()) << "built once, same storage";
    ASSERT_TRUE(filter.starts_with("Alle Bilddateien (*.bmp *.dib *.rle *.jpg")) << filter;
    const std::string all = filter.substr(0, filter.find(";;"));
    for (const char* pattern : {"*.png", "*.gif", "*.tif", "*.webp", "*.tga", "*.jif"})
        EXPECT_NE(all.find(pattern), std::string::npos) << pattern;
    EXPECT_NE(filter.find(";;Windows-Bitmap (*.bmp *.dib *.rle);;"), std::string::npos);
    EXPECT_NE(filter.find(";;JPEG-Bild (*.jpg *.jpeg *.jpe *.jif *.jfif);;"), std::string::npos);
    EXPECT_TRUE(filter.ends_with(";;Alle Dateien (*)"));
}

}  // namespace
