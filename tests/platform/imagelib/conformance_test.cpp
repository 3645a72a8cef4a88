// The public conformance images: good files load with Qt's colours, bad files are refused,
// questionable ones either load sanely or are refused.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <filesystem>
#include <set>

#include "tests/platform/imagelib/image_files.h"

namespace {

using namespace imagelib_test;
namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() &&
            (entry.path().extension() == ".png" || entry.path().extension() == ".bmp"))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

#define REQUIRE_FOLDER(folder) \
    if (!fs::is_directory(folder)) GTEST_SKIP() << "conformance images not found in " << (folder)

int Channel(COLORREF c, int shift) {
    return int((c >> shift) & 0xFF);
}

// Compares every pixel with Qt's reading of the same file, drawn over white. Qt is given a
// cleared image to decode into, since it leaves the colour-keyed pixels of 16-bit PNGs unwritten.
void ExpectSameColorsAsQt(const dib& d, const fs::path& file, int tolerance) {
    QImageReader reader(QString::fromStdString(file.string()));
    QImage reference(reader.size(), reader.imageFormat());
    reference.fill(0);
    ASSERT_TRUE(reader.read(&reference)) << file;
    reference = reference.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(Width(d), reference.width());
    ASSERT_EQ(Height(d), reference.height());
    int worst = 0;
    for (int y = 0; y < reference.height(); ++y)
        for (int x = 0; x < reference.width(); ++x) {
            const QRgb q = reference.pixel(x, y);
            const int a = qAlpha(q);
            const auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            const COLORREF ours = ColorAt(d, x, y);
            worst = std::max({worst, std::abs(Channel(ours, 0) - over(qRed(q))),
                              std::abs(Channel(ours, 8) - over(qGreen(q))),
                              std::abs(Channel(ours, 16) - over(qBlue(q)))});
        }
    EXPECT_LE(worst, tolerance) << file.filename();
}

TEST(Conformance, GoodBmpFilesLoadAtTheirDepthWithQtsColours) {
    const fs::path folder = fs::path(LUMIVANE_TESTDATA) / "bmp" / "g";
    REQUIRE_FOLDER(folder);
    for (const fs::path& file : FilesIn(folder)) {
        SCOPED_TRACE(file.filename().string());
        const std::string name = file.filename().string();
        dib d = OpenDib(file.c_str(), 0, nullptr);
        ASSERT_NE(d.poi, nullptr);
        int bits = 24;
        if (name.starts_with("pal1")) bits = 1;
        if (name.starts_with("pal4")) bits = 4;
        if (name.starts_with("pal8")) bits = 8;
        if (name == "rgb16.bmp") bits = 16;
        EXPECT_EQ(Bits(d), bits);
        EXPECT_EQ(d.ispal, bits <= 8 ? 1 : 0);
        // Qt widens 5-bit channels by shifting; we scale to the full range.
        ExpectSameColorsAsQt(d, file, name.starts_with("rgb16") ? 7 : 0);
        deldib(d);
    }
}

TEST(Conformance, BadBmpFilesAreRefused) {
    const fs::path folder = fs::path(LUMIVANE_TESTDATA) / "bmp" / "b";
    REQUIRE_FOLDER(folder);
    for (const fs::path& file : FilesIn(folder)) {
        dib d = OpenDib(file.c_str(), 0, nullptr);
        EXPECT_EQ(d.poi, nullptr) << file.filename();
        if (d.poi) deldib(d);
    }
}

// Questionable files: each either loads at 127 x 64 with sane depth, or is refused. Which
// happens is recorded here so a change of behaviour shows up.
TEST(Conformance, QuestionableBmpFilesLoadOrAreRefusedAsDocumented) {
    const fs::path folder = fs::path(LUMIVANE_TESTDATA) / "bmp" / "q";
    REQUIRE_FOLDER(folder);
    const std::set<std::string> refused = {"rgb24jpeg.bmp", "rgb24png.bmp"};  // embedded codecs
    for (const fs::path& file : FilesIn(folder)) {
        const std::string name = file.filename().string();
        dib d = OpenDib(file.c_str(), 0, nullptr);
        if (refused.count(name)) {
            EXPECT_EQ(d.poi, nullptr) << name;
        } else {
            ASSERT_NE(d.poi, nullptr) << name;
            EXPECT_EQ(Width(d), 127) << name;
            EXPECT_TRUE(Height(d) == 64 || Height(d) == 32) << name;
        }
        if (d.poi) deldib(d);
    }
}

TEST(Conformance, EveryPngSuiteFileLoadsWithQtsColoursOverWhite) {
    const fs::path folder = fs::path(LUMIVANE_TESTDATA) / "png";
    REQUIRE_FOLDER(folder);
    std::vector<fs::path> files = FilesIn(folder);
    if (fs::is_directory(folder / "interlaced")) {
        const auto more = FilesIn(folder / "interlaced");
        files.insert(files.end(), more.begin(), more.end());
    }
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        dib d = OpenDib(file.c_str(), 0, nullptr);
        ASSERT_NE(d.poi, nullptr);
        // Colour type (digit after 'n') and bit depth (last two digits) from the name.
        const std::string stem = file.stem().string();
        const char type = stem[stem.find('n', stem.size() - 5) + 1];
        const int depth = std::stoi(stem.substr(stem.size() - 2));
        if (type == '3' && depth == 1) EXPECT_EQ(Bits(d), 1);
        // Greyscale with a transparent colour key comes back flattened to 24 bits.
        else if (type == '3' || (type == '0' && depth < 16))
            EXPECT_TRUE(Bits(d) == 8 || Bits(d) == 1) << Bits(d);
        else if (type == '0')
            EXPECT_TRUE(Bits(d) == 8 || Bits(d) == 24) << Bits(d);
        else
            EXPECT_EQ(Bits(d), 24);
        ExpectSameColorsAsQt(d, file, 1);
        if (stem.starts_with("ftb") && depth == 16) {
            EXPECT_EQ(getpixel(d, 0, 0), RGB(255, 255, 255)) << "transparent corner over white";
        }
        deldib(d);
    }
}

}  // namespace
