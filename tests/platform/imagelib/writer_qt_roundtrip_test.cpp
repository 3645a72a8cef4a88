// Formats that Qt's readers can check independently: BMP, RLE8 BMP, PNG, TIFF, WebP, JPEG and
// GIF, each written through SaveImage and read back. (Qt reads no run-length Targa files.)
#include <thread>

#include "platform/imagelib/save_image.h"
#include "tests/platform/imagelib/writer_test_util.h"

namespace lumivane::test {
namespace {

struct Size {
    int width, height;
};
// Odd sizes exercise row padding, odd plane lengths and runs at the row ends.
constexpr Size kSizes[] = {{1, 1}, {37, 23}, {64, 3}, {3, 70}};

void ExpectExact(const Picture& picture, const std::string& path, const char* format = nullptr) {
    const QImage back = ReadWithQt(path, format);
    ASSERT_FALSE(back.isNull()) << path;
    ASSERT_EQ(back.width(), picture.width) << path;
    ASSERT_EQ(back.height(), picture.height) << path;
    EXPECT_EQ(MaxChannelDifference(picture, back), 0) << path;
}

TEST(QtReadableWriters, LosslessFormatsKeepEveryPixel) {
    ScratchFolder folder;
    for (const char* ext : {"bmp", "dib", "png", "tif", "tiff", "BMP"}) {
        for (Size s : kSizes) {
            const Picture picture =
                NoisePicture(s.width, s.height, unsigned(s.width * 7 + s.height));
            const std::string path = folder.File("noise." + std::string(ext));
            ASSERT_TRUE(SaveImage(path, picture.View()).Ok()) << path;
            // Qt takes ".dib" for a bitmap without file header; ours are whole bitmap files.
            const bool bitmap = std::string(ext) == "dib" || std::string(ext) == "BMP";
            ExpectExact(picture, path, bitmap ? "bmp" : nullptr);
        }
    }
}

TEST(QtReadableWriters, FourthByteDoesNotBecomeTransparency) {
    ScratchFolder folder;
    Picture picture = PhotoPicture(20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) picture.At(x, y)[3] = 0;  // as the blend leaves it
    for (const char* ext : {"png", "tif", "webp"}) {
        const std::string path = folder.File("opaque." + std::string(ext));
        ASSERT_TRUE(SaveImage(path, picture.View()).Ok()) << ext;
        const QImage raw = QImageReader(QString::fromStdString(path)).read();
        ASSERT_FALSE(raw.isNull()) << ext;
        EXPECT_FALSE(raw.hasAlphaChannel()) << ext;
        EXPECT_EQ(qAlpha(raw.pixel(5, 5)), 255) << ext;
    }
}

TEST(QtReadableWriters, RleUsesRle8UpTo256ColoursAndPlain24BitAbove) {
    ScratchFolder folder;
    struct Case {
        Picture picture;
        int bits, compression;
    };
    Picture solidRows(600, 5);  // runs longer than one RLE8 count
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 600; ++x) solidRows.Set(x, y, x < 550 ? 0x102030u * y : 0xFFFFFF);
    const Case cases[] = {{FewColorsPicture(37, 23, 256), 8, 1},
                          {FewColorsPicture(41, 9, 2), 8, 1},
                          {std::move(solidRows), 8, 1},
                          {FewColorsPicture(37, 23, 257), 24, 0},
                          {NoisePicture(31, 17), 24, 0}};
    for (const Case& c : cases) {
        const std::string path = folder.File("picture.rle");
        ASSERT_TRUE(SaveImage(path, c.picture.View()).Ok());
        const std::vector<std::uint8_t> file = ReadBytes(path);
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(file[28], c.bits);
        EXPECT_EQ(file[30], c.compression);
        // The size fields agree with the file.
        EXPECT_EQ(file[2] | file[3] << 8 | file[4] << 16 | std::uint32_t(file[5]) << 24,
                  file.size());
        ExpectExact(c.picture, path, "bmp");
    }
}

TEST(QtReadableWriters, GifIsExactUpTo256Colours) {
    ScratchFolder folder;
    // 300 x 200 of 256 colours in noise fills the LZW table many times over.
    for (int colors : {1, 2, 3, 17, 256}) {
        const Picture picture = FewColorsPicture(300, 200, colors, unsigned(colors));
        const std::string path = folder.File("few.gif");
        ASSERT_TRUE(SaveImage(path, picture.View()).Ok()) << colors;
        ExpectExact(picture, path);
    }
    for (Size s : kSizes) {
        const Picture picture = FewColorsPicture(s.width, s.height, 5);
        ASSERT_TRUE(SaveImage(folder.File("small.gif"), picture.View()).Ok());
        ExpectExact(picture, folder.File("small.gif"));
    }
}

TEST(QtReadableWriters, GifOfAPhotoIsClose) {
    ScratchFolder folder;
    const Picture picture = PhotoPicture(240, 160);
    const std::string path = folder.File("photo.gif");
    ASSERT_TRUE(SaveImage(path, picture.View()).Ok());
    const QImage back = ReadWithQt(path);
    ASSERT_EQ(back.size(), QSize(240, 160));
    double mean = 0;
    MaxChannelDifference(picture, back, &mean);
    EXPECT_LT(mean, 7.0);
    // Dithering keeps the colour of every area: compare 8 x 8 block averages. Only the
    // corners of the colour cube, which the palette's averages cannot reach, may be off a bit.
    int worst = 0, sum = 0, count = 0;
    for (int by = 0; by < 160; by += 8)
        for (int bx = 0; bx < 240; bx += 8)
            for (int shift = 0; shift < 24; shift += 8) {
                int a = 0, b = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        a += int(picture.Rgb(x, y) >> shift & 0xFF);
                        b += int(back.pixel(x, y) >> shift & 0xFF);
                    }
                worst = std::max(worst, std::abs(a - b) / 64);
                sum += std::abs(a - b) / 64;
                ++count;
            }
    EXPECT_LE(worst, 10);
    EXPECT_LT(double(sum) / count, 1.0);
}

TEST(QtReadableWriters, JpegIsCloseAndKeepsFullColourResolution) {
    ScratchFolder folder;
    // Alternating reddish and bluish columns: chroma subsampling would blend them to purple.
    Picture stripes(48, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) stripes.Set(x, y, x & 1 ? 0xC83232u : 0x3232C8u);
    for (const char* ext : {"jpg", "jif", "jpeg"}) {
        const std::string path = folder.File("stripes." + std::string(ext));
        ASSERT_TRUE(SaveImage(path, stripes.View()).Ok());
        const QImage back = ReadWithQt(path);
        ASSERT_EQ(back.size(), QSize(48, 16)) << ext;
        EXPECT_LT(MaxChannelDifference(stripes, back), 40) << ext;
    }
    const Picture photo = PhotoPicture(97, 61);
    ASSERT_TRUE(SaveImage(folder.File("photo.jpg"), photo.View()).Ok());
    double mean = 0;
    EXPECT_LE(MaxChannelDifference(photo, ReadWithQt(folder.File("photo.jpg")), &mean), 12);
    EXPECT_LT(mean, 1.5);
}

TEST(QtReadableWriters, WebpIsClose) {
    ScratchFolder folder;
    const Picture photo = PhotoPicture(97, 61);
    ASSERT_TRUE(SaveImage(folder.File("photo.webp"), photo.View()).Ok());
    const QImage back = ReadWithQt(folder.File("photo.webp"));
    ASSERT_EQ(back.size(), QSize(97, 61));
    double mean = 0;
    EXPECT_LE(MaxChannelDifference(photo, back, &mean), 24);
    EXPECT_LT(mean, 2.5);
}

TEST(QtReadableWriters, SeveralThreadsWriteAtOnce) {
    ScratchFolder folder;
    const Picture picture = NoisePicture(50, 40);
    const char* formats[] = {"png", "tif", "jpg", "webp", "gif", "bmp", "jp2", "pcx"};
    std::vector<std::thread> threads;
    std::vector<int> ok(std::size(formats) * 2, 0);
    for (std::size_t i = 0; i < ok.size(); ++i)
        threads.emplace_back([&, i] {
            std::string name = "t";
            name += std::to_string(i);
            name += '.';
            name += formats[i % std::size(formats)];
            const std::string path = folder.File(name);
            ok[i] = SaveImage(path, picture.View()).Ok();
        });
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < ok.size(); ++i)
        EXPECT_TRUE(ok[i]) << formats[i % std::size(formats)];
    const QImage png = ReadWithQt(folder.File("t0.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(MaxChannelDifference(picture, png), 0);
}

}  // namespace
}  // namespace lumivane::test
