// lumivane-render end to end: tiny pictures made here, framed, written and read back.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QImage>
#include <exiv2/exiv2.hpp>

#include "image/Zerlin.h"
#include "tests/platform/imagelib/photo_files.h"
#include "loading/save_picture.h"
#include "platform/imagelib/exiv2_compat.h"
#include "tools/render/render_cli.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

class RenderCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               (std::string("lumivane-render-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        motif_ = Solid("motif.bmp", 100, 60, RGB(200, 40, 10));
        background_ = Solid("frame.png", 200, 150, RGB(20, 90, 160));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Solid(const std::string& name, int w, int h, COLORREF c) {
        Surface s;
        EXPECT_TRUE(s.SetSize(w, h));
        s.Fill(c);
        const std::string path = Path(name);
        EXPECT_TRUE(SavePicture(s, path).Ok());
        return path;
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        return RenderMain(args, out_, err_, false);
    }

    fs::path dir_;
    std::string motif_, background_;
    std::ostringstream out_, err_;
};

// Reads a result back as 24-bit colours.
struct Result {
    dib image{};
    explicit Result(const std::string& path) : image(OpenDib(path.c_str(), 0, nullptr)) {}
    ~Result() {
        if (image.poi) FreeDib(image);
    }
    bool ok() const { return image.poi != nullptr; }
    int width() const { return DibWidth(image); }
    int height() const { return DibHeight(image); }
    DWORD at(int x, int y) const { return getpixel(image, x, y); }
};

TEST_F(RenderCli, FramesOneMotifLikeTheWindowDoes) {
    const std::string out = Path("out.bmp");
    ASSERT_EQ(Run({"--rotate", "0", "--feather", "0", "-b", background_, "-o", out, motif_}), 0)
        << err_.str();
    // Fit of a 100 x 60 motif on a 200 x 150 frame at 130 %: the width decides, ZoomEd 65
    // (130 x 97), AdditionalYED Round(-9.75) = -10: the result is 130 x 77.
    Result r(out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.width(), 130);
    EXPECT_EQ(r.height(), 77);
    EXPECT_EQ(r.at(0, 0), RGB(20, 90, 160));
    EXPECT_EQ(r.at(14, 8), RGB(20, 90, 160));
    EXPECT_EQ(r.at(15, 8), RGB(200, 40, 10)) << "the motif box starts at (15, 8)";
    EXPECT_EQ(r.at(114, 67), RGB(200, 40, 10));
    EXPECT_EQ(r.at(115, 67), RGB(20, 90, 160));
}

TEST_F(RenderCli, OptionsAfterTheFitOverrideItAndAreStoredLikeFields) {
    const std::string out = Path("plain.png");
    ASSERT_EQ(Run({"--no-background", "--fill", "#00ff00", "--margin-x", "4.5", "--margin-y",
                   "-3000", "--rotate", "0", "--feather", "0", "-b", background_, "-o", out,
                   motif_}),
              1)
        << "a margin of -1000 a side leaves nothing to render";
    EXPECT_NE(err_.str().find("leer oder zu groß"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(out));

    ASSERT_EQ(Run({"--no-background", "--fill", "#00ff00", "--margin-x", "4.5", "--rotate", "0",
                   "--feather", "0", "-b", background_, "-o", out, motif_}),
              0)
        << err_.str();
    Result r(out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.width(), 108) << "4.5 is stored as 4 (half to even): 100 + 2 x 4";
    EXPECT_EQ(r.height(), 60 + 18) << "the height keeps the frame of 130 % as a plain border";
    EXPECT_EQ(r.at(3, 20), RGB(0, 255, 0));
    EXPECT_EQ(r.at(4, 20), RGB(200, 40, 10));
}

// Without a print format --no-background frames the motif plainly at the frame percentage and
// needs no background file; a template made with the background switched off keeps the window's
// margins, which were fitted against the background.
TEST_F(RenderCli, NoBackgroundGivesAPlainFrameButATemplateKeepsTheWindowsMargins) {
    const std::string tall = Solid("tall.bmp", 600, 800, RGB(200, 40, 10));
    const std::string out = Path("out.png");
    ASSERT_EQ(Run({"--no-background", "-o", out, tall}), 0) << err_.str();
    EXPECT_EQ(Result(out).width(), 780);
    EXPECT_EQ(Result(out).height(), 1040);
    ASSERT_EQ(Run({"--frame", "150", "--motif-zoom", "50", "--no-background", "-o", out, motif_}),
              0);
    EXPECT_EQ(Result(out).width(), 75);
    EXPECT_EQ(Result(out).height(), 45);

    const std::string design = Path("plain.lumivane");
    ASSERT_EQ(Run({"--no-background", "-b", background_, "--save-template", design}), 0);
    ASSERT_EQ(Run({"--template", design, "-o", out, motif_}), 0) << err_.str();
    EXPECT_EQ(Result(out).width(), 100);
    EXPECT_EQ(Result(out).height(), 40) << "the fit's AdditionalYED of -10, as the window shows";
}

// A print format gives the paper's exact pixels, turned with the photo unless fixed, and warns
// in German when the photo is small for it.
TEST_F(RenderCli, PrintFormatGivesThePapersPixelsAndWarnsAboutASmallPhoto) {
    const std::string out = Path("print.png");
    const auto size = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"-b", background_, "-o", out, motif_});
        EXPECT_EQ(Run(args), 0) << err_.str();
        const Result r(out);
        return std::pair{r.width(), r.height()};
    };
    // 150 mm and 100 mm at 100 dpi: 590.55 and 393.70 pixels.
    // Unturned, the 100 pixels wide photo spans the paper's 5.91 inches: 16.9 dpi.
    EXPECT_EQ(size({"--rotate", "0", "--print", "10x15cm", "--dpi", "100"}), std::pair(591, 394));
    EXPECT_NE(err_.str().find(motif_ + ": Das Foto hat für 10 × 15 cm nur 16 dpi."),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(size({"--print", "10 × 15 cm", "--dpi", "100", "--paper-orientation", "hoch"}),
              std::pair(394, 591));
    EXPECT_EQ(size({"--print", "5x7in", "--dpi", "72", "--border", "5,10,20", "--fill-window"}),
              std::pair(504, 360));
    EXPECT_EQ(size({"--print", "200x300mm", "--dpi", "72", "--no-background"}),
              std::pair(850, 567));
}

// A hard-edged motif turned by 30 degrees: plainly every pixel is motif or frame, smoothly the
// edges mix the two.
TEST_F(RenderCli, SmoothMixesTheEdgesOfATurnedMotif) {
    for (const bool smooth : {false, true}) {
        const std::string out = Path(smooth ? "smooth.bmp" : "plain.bmp");
        std::vector<std::string> args = {"--rotate", "30", "--feather", "0", "-b",
                                         background_, "-o", out, motif_};
        if (smooth) args.insert(args.begin(), "--smooth");
        ASSERT_EQ(Run(args), 0) << err_.str();
        Result r(out);
        ASSERT_TRUE(r.ok());
        int mixed = 0;
        for (int y = 0; y < r.height(); ++y)
            for (int x = 0; x < r.width(); ++x)
                mixed += r.at(x, y) != RGB(200, 40, 10) && r.at(x, y) != RGB(20, 90, 160);
        if (smooth)
            EXPECT_GT(mixed, 100);
        else
            EXPECT_EQ(mixed, 0);
    }
    ASSERT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.str().find("--smooth"), std::string::npos);
}

// A frame with a window goes over the motif; a window the search cannot find (it touches the
// frame's edge) is given by hand; a window that does not fit the frame is refused.
TEST_F(RenderCli, OverlayLaysTheFrameOverTheMotifInItsWindow) {
    auto frame = [&](const std::string& name, QRect window) {
        QImage f(200, 150, QImage::Format_ARGB32);
        f.fill(qRgba(20, 90, 160, 255));
        for (int y = window.top(); y <= window.bottom(); ++y)
            for (int x = window.left(); x <= window.right(); ++x) f.setPixel(x, y, 0);
        EXPECT_TRUE(f.save(QString::fromStdString(Path(name))));
        return Path(name);
    };
    const std::string windowed = frame("window.png", {60, 40, 80, 50}),
                      open = frame("open.png", {0, 40, 80, 50}), out = Path("out.bmp");
    const struct {
        std::vector<std::string> options;
        std::string background;
        int status;
        std::string message;  // part of what is said, "" for nothing
        int motifX, motifY;   // a pixel showing the motif, -1 for no picture to look at
        int width = 200, height = 150;  // the frame's own size, or the paper's
    } cases[] = {
        {{"--overlay"}, windowed, 0, "", 100, 65},
        {{"--opening", "0,40,80,50"}, open, 0, "", 0, 40},
        {{"--overlay"}, open, 0, "kein transparentes Fenster", -1, -1},
        {{"--opening", "150,100,80,80"}, windowed, 1, "liegt nicht ganz im Hintergrund", -1, -1},
        {{"--opening", "1,2,3"}, windowed, 2, "vier ganze Zahlen X,Y,B,H", -1, -1},
        // 4 x 3 inches at 100 dpi: the frame stretched to 400 x 300, its window with it.
        {{"--overlay", "--print", "4x3in", "--dpi", "100", "--paper-orientation", "quer"},
         windowed, 0, "", 200, 130, 400, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.back() + " " + c.background);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--rotate", "0", "-b", c.background, "-o", out, motif_});
        ASSERT_EQ(Run(args), c.status) << err_.str();
        EXPECT_EQ(err_.str().empty(), c.message.empty()) << err_.str();
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
        if (c.motifX < 0) continue;
        Result r(out);
        EXPECT_EQ(r.width(), c.width);
        EXPECT_EQ(r.height(), c.height);
        EXPECT_EQ(r.at(c.motifX, c.motifY), RGB(200, 40, 10));
        EXPECT_EQ(r.at(c.motifX + 80, c.motifY), RGB(20, 90, 160)) << "the frame";
    }
}

TEST_F(RenderCli, SeveralMotifsGoIntoAFolderAndABadOneDoesNotStopTheOthers) {
    const std::string second = Solid("second.bmp", 50, 50, RGB(1, 2, 3));
    const std::string broken = Path("broken.jpg");
    std::ofstream(broken) << "definitely not a jpeg";
    const std::string outDir = Path("results");
    EXPECT_EQ(Run({"-j", "2", "--format", "png", "-b", background_, "-o", outDir, motif_, broken,
                   second}),
              1);
    EXPECT_NE(err_.str().find(broken + ": Konnte das Bild nicht laden (unbekanntes Format)."),
              std::string::npos)
        << err_.str();
    EXPECT_TRUE(Result((fs::path(outDir) / "motif.png").string()).ok());
    EXPECT_TRUE(Result((fs::path(outDir) / "second.png").string()).ok());
    EXPECT_FALSE(fs::exists(fs::path(outDir) / "broken.png"));
}

TEST_F(RenderCli, AnUnreadableBackgroundFailsEverything) {
    EXPECT_EQ(Run({"-b", Path("nowhere.jpg"), "-o", Path("x.jpg"), motif_}), 1);
    EXPECT_NE(err_.str().find(
                  "nowhere.jpg: Konnte das Bild nicht laden (nicht gefunden oder nicht lesbar)."),
              std::string::npos)
        << err_.str();
    EXPECT_FALSE(fs::exists(Path("x.jpg")));

    // Motifs are read while the background is: none of them is reported, nothing is made.
    const std::string broken = Path("broken.jpg");
    std::ofstream(broken) << "not a picture";
    EXPECT_EQ(
        Run({"-j", "2", "-b", Path("nowhere.jpg"), "-o", Path("folder"), motif_, broken, motif_}),
        1);
    EXPECT_EQ(err_.str(),
              "lumivane-render: " + Path("nowhere.jpg") +
                  ": Konnte das Bild nicht laden (nicht gefunden oder nicht lesbar).\n");
    EXPECT_FALSE(fs::exists(Path("folder")));
}

// A phone's portrait photo (stored sideways, EXIF orientation 6) frames like a picture stored
// upright; --ignore-orientation frames it as stored. A broken colour profile is named in one
// line and the picture used as stored; --ignore-profile does not look at it.
TEST_F(RenderCli, PhotosAreTurnedAndConvertedUnlessTheOptionsSayNo) {
    using imagelib_test::ExifBlock;
    using imagelib_test::WithPngChunk;
    const std::string storedUpright = Solid("upright.png", 60, 100, RGB(200, 40, 10));
    const imagelib_test::ByteVector sideways = imagelib_test::ReadAll(Solid("side.png", 100, 60,
                                                                            RGB(200, 40, 10)));
    const std::string phone = Path("phone.png");
    const imagelib_test::ByteVector turned = WithPngChunk(sideways, "eXIf", ExifBlock(6));
    std::ofstream(phone, std::ios::binary)
        .write(reinterpret_cast<const char*>(turned.data()), std::streamsize(turned.size()));
    imagelib_test::ByteVector garbage(300, 0x5A);
    const std::string badProfile = Path("bad-profile.png");
    const imagelib_test::ByteVector tagged =
        WithPngChunk(sideways, "iCCP", imagelib_test::IccpChunk(garbage));
    std::ofstream(badProfile, std::ios::binary)
        .write(reinterpret_cast<const char*>(tagged.data()), std::streamsize(tagged.size()));

    const auto size = [&](const std::string& motif, std::vector<std::string> extra) {
        const std::string out = Path("out.bmp");
        std::vector<std::string> args = {"-b", background_, "-o", out, motif};
        args.insert(args.begin(), extra.begin(), extra.end());
        EXPECT_EQ(Run(args), 0) << err_.str();
        const Result r(out);
        return std::pair{r.width(), r.height()};
    };
    EXPECT_EQ(size(phone, {}), size(storedUpright, {}));
    EXPECT_EQ(size(phone, {"--ignore-orientation"}), size(motif_, {}));

    size(badProfile, {});
    const std::string warning = badProfile +
                                ": Das Farbprofil ist beschädigt oder wird nicht unterstützt; das "
                                "Bild wird ohne Umrechnung verwendet.\n";
    EXPECT_EQ(err_.str(), std::string("lumivane-render: ") + warning);
    size(badProfile, {"--ignore-profile"});
    EXPECT_EQ(err_.str(), "");
}

TEST_F(RenderCli, AnUnwritableOutputIsReportedAndLeavesNoFile) {
    const std::string blocker = Path("file");
    std::ofstream(blocker) << "x";
    const std::string out = blocker + "/inside.jpg";  // a folder that is a file
    EXPECT_EQ(Run({"-b", background_, "-o", out, motif_}), 1);
    EXPECT_NE(err_.str().find("Das Bild konnte nicht gespeichert werden"), std::string::npos)
        << err_.str();
    std::vector<fs::path> left;
    for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename());
    EXPECT_EQ(left.size(), 3u) << "motif, frame and the blocking file only";
}

TEST_F(RenderCli, BadArgumentsExplainInGermanAndExitWith2) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"-b", background_, motif_},
        {"-b", background_, "-o", Path("a.jpg")},
        {"--frame", "viel", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--fill", "red", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--bogus", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"-b", background_, "-o", Path("a.xyz"), motif_},
        {"-j", "0", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--format", "doc", "-b", background_, "-o", Path("d"), motif_, motif_},
        {"--quality", "0", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--quality", "101", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--quality", "80.5", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--rotate"},
        {"--print", "10x", "-o", Path("a.jpg"), motif_},
        {"--print", "A7", "-o", Path("a.jpg"), motif_},
        {"--print", "A4", "--dpi", "71", "-o", Path("a.jpg"), motif_},
        {"--print", "A4", "--dpi", "300.5", "-o", Path("a.jpg"), motif_},
        {"--print", "A4", "--border", "1,2", "-o", Path("a.jpg"), motif_},
        {"--print", "A4", "--border", "-3", "-o", Path("a.jpg"), motif_},
        {"--print", "10x15cm", "--border", "50", "-o", Path("a.jpg"), motif_},
        {"--print", "A4", "--paper-orientation", "schräg", "-o", Path("a.jpg"), motif_},
        {"--dpi", "300", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--watch", dir_.string(), "-b", background_, "-o", Path("./")},  // results framed again
        {"--watch", dir_.string(), "-b", background_, "-o", Path("out"), motif_},
        {"--caption-position", "mitte", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--caption-size", "0", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--caption-font", "Serif:999", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--caption-color", "weiß", "-b", background_, "-o", Path("a.jpg"), motif_},
        {"--caption", "1", "--caption", "2", "--caption", "3", "--caption", "4"},
    };
    for (const auto& args : bad) {
        EXPECT_EQ(Run(args), 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(err_.str().find("Aufruf: lumivane-render"), std::string::npos) << err_.str();
    }
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.str().find("--no-background"), std::string::npos);
    EXPECT_NE(out_.str().find("Füllfarbe"), std::string::npos);
}

// A pattern that cannot be filled names its fault and renders nothing; text that has no border
// to go in is drawn over the photo, which is said once for the whole run.
TEST_F(RenderCli, ACaptionIsCheckedFirstAndItsPlaceReportedOnce) {
    EXPECT_EQ(Run({"--caption", "{Kamera}", "--caption", "{Unbekannt}", "-b", background_, "-o",
                   Path("a.png"), motif_}),
              2);
    EXPECT_NE(err_.str().find("Zeile 2 der Beschriftung"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("Unbekannt"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(Path("a.png")));

    const std::string over = "liegt teils über dem Motiv";
    ASSERT_EQ(Run({"--no-background", "--frame", "100", "--rotate", "0", "--caption", "Größe",
                   "-o", Path("aus"), motif_, Solid("zwei.bmp", 100, 60, RGB(200, 40, 10))}),
              0)
        << err_.str();
    const std::string said = err_.str();
    ASSERT_NE(said.find(over), std::string::npos) << said;
    EXPECT_EQ(said.find(over, said.find(over) + 1), std::string::npos) << said;
}

// A photo's metadata travels into the result unless stripped; the quality reaches the encoder.
TEST_F(RenderCli, MetadataAndQualityReachTheResult) {
    Surface photo;
    ASSERT_TRUE(photo.SetSize(120, 80));
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120 * 4; ++x) photo.ScanLine(y)[x] = BYTE((x * 13 + y * 29) % 256);
    const std::string motif = Path("foto.jpg");
    ASSERT_TRUE(SavePicture(photo, motif).Ok());
    {
        auto image = Exiv2::ImageFactory::open(motif);
        Exiv2::ExifData exif;
        exif["Exif.Image.Model"] = "Testkamera";
        exif["Exif.Image.Artist"] = "Anna Schäfer";
        image->setExifData(exif);
        image->writeMetadata();
    }
    auto exifOf = [](const std::string& path) {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        return image->exifData();
    };

    const std::string kept = Path("kept.jpg"), stripped = Path("stripped.jpg"),
                      rough = Path("rough.jpg");
    ASSERT_EQ(Run({"-b", background_, "-o", kept, motif}), 0) << err_.str();
    ASSERT_EQ(Run({"--strip-metadata", "-b", background_, "-o", stripped, motif}), 0);
    ASSERT_EQ(Run({"--quality", "20", "--strip-metadata", "-b", background_, "-o", rough, motif}),
              0);
    Exiv2::ExifData exif = exifOf(kept);
    EXPECT_EQ(exif["Exif.Image.Model"].toString(), "Testkamera");
    EXPECT_EQ(exif["Exif.Image.Artist"].toString(), "Anna Schäfer");
    EXPECT_EQ(lumivane::exiv2::ToInteger(exif["Exif.Photo.PixelXDimension"]),
              Result(kept).width());
    EXPECT_TRUE(exifOf(stripped).empty());
    EXPECT_LT(fs::file_size(rough), fs::file_size(stripped));
}

TEST_F(RenderCli, ListFieldsShowsWhatAPatternWillSayAndFramesNothing) {
    Surface photo;
    ASSERT_TRUE(photo.SetSize(40, 30));
    const std::string motif = Path("IMG_7.jpg");
    ASSERT_TRUE(SavePicture(photo, motif).Ok());
    {
        auto image = Exiv2::ImageFactory::open(motif);
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Canon";
        exif["Exif.Image.Model"] = "Canon EOS 40D";
        exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
        image->setExifData(exif);
        image->writeMetadata();
    }
    ASSERT_EQ(Run({"--list-fields", motif}), 0) << err_.str();
    const std::string listed = out_.str();
    for (const char* line : {"Kamera: Canon EOS 40D\n", "Blende: ƒ/2,8\n", "Objektiv:\n",
                             "Datei: IMG_7\n", "Exif.Image.Make: Canon\n"})
        EXPECT_NE(listed.find(line), std::string::npos) << line << listed;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);

    EXPECT_EQ(Run({"--list-fields", Path("fehlt.jpg")}), 1);
    EXPECT_NE(err_.str().find("Konnte das Bild nicht laden (nicht gefunden oder nicht lesbar)."),
              std::string::npos)
        << err_.str();
}

// Two results read back agree in size and every pixel.
bool SamePicture(const std::string& a, const std::string& b) {
    Result ra(a), rb(b);
    if (!ra.ok() || !rb.ok() || ra.width() != rb.width() || ra.height() != rb.height())
        return false;
    for (int y = 0; y < ra.height(); ++y)
        for (int x = 0; x < ra.width(); ++x)
            if (ra.at(x, y) != rb.at(x, y)) return false;
    return true;
}

TEST_F(RenderCli, ATemplateRendersAsTheOptionsItWasSavedFromAndLaterOptionsWin) {
    fs::create_directories(dir_ / "vorlagen");
    const std::string design = Path("vorlagen/design.lumivane");
    ASSERT_EQ(Run({"--save-template", design, "--frame", "110", "--margin-x", "-3", "--round",
                   "--radius", "12", "--fill", "#102030", "--rotate", "-7", "-b", background_}),
              0)
        << err_.str();
    const std::vector<std::string> same = {"--margin-x", "-3", "--round", "--radius", "12",
                                           "--fill", "#102030", "--rotate", "-7", "-b", background_};
    auto plain = [&](const std::string& frame, const std::string& out) {
        std::vector<std::string> args = same;
        args.insert(args.end(), {"--frame", frame, "-o", out, motif_});
        return Run(args);
    };
    ASSERT_EQ(plain("110", Path("plain110.png")), 0);
    ASSERT_EQ(plain("120", Path("plain120.png")), 0);
    ASSERT_FALSE(SamePicture(Path("plain110.png"), Path("plain120.png")));

    // Options before the template give way to it; options after it override it.
    ASSERT_EQ(Run({"--frame", "50", "--template", design, "-o", Path("t110.png"), motif_}), 0)
        << err_.str();
    ASSERT_EQ(Run({"--template", design, "--frame", "120", "-o", Path("t120.png"), motif_}), 0);
    EXPECT_TRUE(SamePicture(Path("t110.png"), Path("plain110.png")));
    EXPECT_TRUE(SamePicture(Path("t120.png"), Path("plain120.png")));

    // The background lies outside the template's folder and is kept by its full name: the
    // folder can move. Without the background, nothing is written.
    fs::rename(dir_ / "vorlagen", dir_ / "weg");
    EXPECT_EQ(Run({"--template", Path("weg/design.lumivane"), "-o", Path("t.png"), motif_}), 0);
    fs::remove(background_);
    EXPECT_EQ(Run({"--template", Path("weg/design.lumivane"), "-o", Path("x.png"), motif_}), 1);
    EXPECT_NE(err_.str().find("Das Hintergrundbild der Vorlage fehlt: " + background_),
              std::string::npos)
        << err_.str();
    EXPECT_FALSE(fs::exists(Path("x.png")));

    std::ofstream(Path("kaputt.lumivane")) << "{\"format\": \"lumivane-template\"";
    EXPECT_EQ(Run({"--template", Path("kaputt.lumivane"), "-o", Path("x.png"), motif_}), 2);
    EXPECT_NE(err_.str().find("Die Vorlage ist beschädigt."), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(Path("x.png")));
}

TEST_F(RenderCli, TheProgramItselfReturnsTheStatus) {
    const std::string cmd = std::string(LUMIVANE_RENDER_BINARY) + " --bogus 2>/dev/null";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const std::string ok = std::string(LUMIVANE_RENDER_BINARY) + " -b '" + background_ +
                           "' -o '" + Path("r.jpg") + "' '" + motif_ + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(ok.c_str())), 0);
    EXPECT_TRUE(Result(Path("r.jpg")).ok());
}

// A damaged file gives the program's own reason and nothing else; the libraries' English
// warnings come out only when LUMIVANE_DEBUG asks for them.
TEST_F(RenderCli, LibraryWarningsOnlyWhenDebugging) {
    const std::string tiff = Solid("kaputt.tif", 300, 200, RGB(90, 60, 30));
    fs::resize_file(tiff, fs::file_size(tiff) / 2);  // cuts off the directory at its end
    const auto stderrWith = [&](const std::string& environment) {
        const std::string log = Path("stderr.txt");
        const std::string cmd = environment + " " + LUMIVANE_RENDER_BINARY + " -b '" + background_ +
                                "' -o '" + Path("r.jpg") + "' '" + tiff + "' 2>'" + log + "'";
        EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 1);
        std::ifstream in(log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string reason = "lumivane-render: " + tiff +
                               ": Konnte das Bild nicht laden (beschädigt oder unvollständig).\n";
    EXPECT_EQ(stderrWith("LUMIVANE_DEBUG="), reason);
    const std::string debugging = stderrWith("LUMIVANE_DEBUG=1");
    EXPECT_NE(debugging.find("TIFFReadDirectory"), std::string::npos) << debugging;
    EXPECT_NE(debugging.find(reason), std::string::npos) << debugging;
}

}  // namespace
}  // namespace lumivane
