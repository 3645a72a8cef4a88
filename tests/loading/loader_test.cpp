// Loading motif and background: the order of the steps, the presets, the size question, and
// failed loads that change nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/feather_mask.h"
#include "image/Zerlin.h"
#include "loading/loader.h"
#include "loading/save_picture.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

// Records what the loader asks of the window, storing values as the fields do.
class RecordingHost : public FramingHost {
public:
    explicit RecordingHost(WorkingImages& images) : images_(images) {}

    Parameters params;
    std::vector<std::string> log;
    bool answerYes = false;
    int questions = 0;
    std::vector<std::string> failures;

    long double Value(Field f) const override { return params[f]; }
    void SetValue(Field f, long double v) override {
        if (params.Set(f, v)) log.push_back(std::string("set ") + SpecOf(f).name);
    }
    void SetSwitches(bool background, bool round, COLORREF fill) override {
        params.backgroundCheck = background;
        params.roundMask = round;
        params.fillColor = fill;
    }
    void MakeMask() override {
        BuildFeatherMask(images_.mask, params[Field::Maskwidth], params.roundMask,
                         params[Field::MaskRadiusEd]);
        log.push_back("mask");
    }
    void PaintBox1Paint() override { log.push_back("paint"); }
    bool AskReduceSize() override {
        ++questions;
        log.push_back("question");
        return answerYes;
    }
    void ShowLoadFailure(const std::string& f) override { failures.push_back(f); }
    int PreviewClientWidth() const override { return 660; }
    int PreviewClientHeight() const override { return 386; }

private:
    WorkingImages& images_;
};

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("lumivane-loader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        ASSERT_TRUE(CreatePlaceholders(images_));
    }
    void TearDown() override {
        FreeWorkingImages(images_);
        fs::remove_all(dir_);
    }

    // A picture file of the given size: a colour ramp, or few colours (written as 8-bit RLE).
    std::string Picture(const std::string& name, int w, int h, bool fewColours = false) {
        Surface s;
        EXPECT_TRUE(s.SetSize(w, h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                BYTE* p = s.ScanLine(y) + 4 * x;
                p[0] = fewColours ? BYTE(x % 4 * 60) : BYTE(x);
                p[1] = fewColours ? BYTE(y % 2 * 100) : BYTE(y);
                p[2] = BYTE((x / 7) % 4 * 60);
            }
        const std::string path = (dir_ / name).string();
        EXPECT_TRUE(SavePicture(s, path).Ok()) << path;
        return path;
    }

    WorkingImages images_;
    fs::path dir_;
};

TEST_F(LoaderTest, MotifLoadPresetsConvertsMasksRefitsAndRendersInThatOrder) {
    RecordingHost host(images_);
    ASSERT_TRUE(OpenMotif(images_, host, Picture("m.bmp", 400, 300)));
    // Preview zoom: Round(165 / 1.3) = 127 and Round(128.67 / 1.3) = 99, the smaller wins.
    // Feather: 400 div 50 = 8. The fit against the 320 x 200 placeholder: the height decides
    // (195 against Round(162.5) = 162), so ZoomEd 195 and AdditionalEd (520 - 624) / 2.
    const std::vector<std::string> expected = {"set ZoomOutEd", "set Maskwidth", "mask",
                                               "set ZoomEd",    "set AdditionalEd", "paint"};
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(host.params[Field::ZoomOutEd], 99);
    EXPECT_EQ(host.params[Field::Maskwidth], 8);
    EXPECT_EQ(host.params[Field::ZoomEd], 195);
    EXPECT_EQ(host.params[Field::AdditionalEd], -52);
    EXPECT_EQ(host.questions, 0);
    EXPECT_EQ(DibWidth(images_.di), 400);
    EXPECT_EQ(DibBitCount(images_.di), 24);
    EXPECT_EQ(DibWidth(images_.mask), 400);
    EXPECT_EQ(DibHeight(images_.mask), 300);
    EXPECT_EQ(GetRValue(getpixel(images_.mask, 0, 150)), 255) << "the mask was rebuilt";
}

TEST_F(LoaderTest, OnlyMotifsAtLeast1000WideBringUpTheSizeQuestion) {
    RecordingHost host(images_);
    host.answerYes = true;
    ASSERT_TRUE(OpenMotif(images_, host, Picture("narrow.bmp", 999, 2000)));
    EXPECT_EQ(host.questions, 0);
    EXPECT_EQ(DibWidth(images_.di), 999);
    ASSERT_TRUE(OpenMotif(images_, host, Picture("wide.bmp", 3000, 2000)));
    EXPECT_EQ(host.questions, 1);
    EXPECT_EQ(DibWidth(images_.di), 1000);
    EXPECT_EQ(DibHeight(images_.di), 666);
    EXPECT_EQ(host.params[Field::Maskwidth], 20) << "presets come from the reduced size";
    EXPECT_EQ(DibWidth(images_.mask), 1000);
    EXPECT_EQ(DibHeight(images_.mask), 666);
}

TEST_F(LoaderTest, AnsweringNoKeepsTheMotifAsLoaded) {
    RecordingHost host(images_);
    host.answerYes = false;
    ASSERT_TRUE(OpenMotif(images_, host, Picture("strip.bmp", 5000, 300)));
    EXPECT_EQ(host.questions, 1);
    EXPECT_EQ(DibWidth(images_.di), 5000);
    EXPECT_EQ(DibHeight(images_.di), 300);
    EXPECT_EQ(host.params[Field::Maskwidth], 100);
}

TEST_F(LoaderTest, Yes1000WideKeepsItsSizeButPassesTheSmoothing) {
    RecordingHost host(images_);
    host.answerYes = true;
    const std::string path = Picture("exact.bmp", 1000, 8);
    ASSERT_TRUE(OpenMotif(images_, host, path));
    EXPECT_EQ(DibWidth(images_.di), 1000);
    EXPECT_EQ(DibHeight(images_.di), 8);
    // The same-size smoothing lowers 255 to 253; column 255's blue byte is 255 in the file.
    EXPECT_EQ(GetBValue(getpixel(images_.di, 255, 0)), 253);
}

TEST_F(LoaderTest, AMotifTooWideToReduceIsKeptAsLoaded) {
    RecordingHost host(images_);
    host.answerYes = true;
    ASSERT_TRUE(OpenMotif(images_, host, Picture("line.bmp", 2500, 2)));  // 2 x 1000 div 2500 = 0
    EXPECT_EQ(DibWidth(images_.di), 2500);
    EXPECT_EQ(DibHeight(images_.di), 2);
}

TEST_F(LoaderTest, APaletteMotifBecomes24BitsAndAPaletteBackgroundStaysAsLoaded) {
    RecordingHost host(images_);
    const std::string few = Picture("few.rle", 64, 40, true);  // at most 256 colours: 8-bit RLE
    ASSERT_TRUE(OpenBackground(images_, host, few));
    EXPECT_EQ(DibBitCount(images_.bkgnd), 8);
    ASSERT_TRUE(OpenMotif(images_, host, few));
    EXPECT_EQ(DibBitCount(images_.di), 24);
    EXPECT_EQ(getpixel(images_.di, 10, 3), RGB(60, 100, 120));
}

TEST_F(LoaderTest, FailedLoadsReportOnceAndChangeNothing) {
    RecordingHost host(images_);
    ASSERT_TRUE(OpenMotif(images_, host, Picture("m.bmp", 120, 80)));
    ASSERT_TRUE(OpenBackground(images_, host, Picture("b.bmp", 90, 60)));
    const WorkingImages before = images_;
    const Parameters params = host.params;
    host.log.clear();

    const std::string garbage = (dir_ / "garbage.jpg").string();
    std::ofstream(garbage) << "not a picture at all";
    for (const std::string& bad : {garbage, (dir_ / "missing.png").string(), dir_.string()}) {
        EXPECT_FALSE(OpenMotif(images_, host, bad));
        EXPECT_FALSE(OpenBackground(images_, host, bad));
    }
    EXPECT_EQ(host.failures.size(), 6u);
    EXPECT_TRUE(host.log.empty()) << "no field written, no mask built, no render";
    EXPECT_EQ(images_.di.poi, before.di.poi);
    EXPECT_EQ(images_.mask.poi, before.mask.poi);
    EXPECT_EQ(images_.bkgnd.poi, before.bkgnd.poi);
    EXPECT_EQ(host.params.values, params.values);
}

TEST_F(LoaderTest, BackgroundLoadRefitsAndRenders) {
    RecordingHost host(images_);
    ASSERT_TRUE(OpenBackground(images_, host, Picture("bg.bmp", 640, 480)));
    // The 320 x 200 placeholder motif on a 640 x 480 background: the width decides.
    EXPECT_EQ(host.params[Field::ZoomEd], 65);
    EXPECT_EQ(host.params[Field::AdditionalYED], -26);
    EXPECT_EQ(host.params[Field::AdditionalEd], 0);
    EXPECT_EQ(host.log.back(), "paint");
}

}  // namespace
}  // namespace lumivane
