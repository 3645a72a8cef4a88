// The photo's EXIF, XMP and IPTC, read from a camera-like JPEG and written into saved results;
// checked with Exiv2 reading the saved files back.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "codec_test_util.h"
#include "image_files.h"
#include "platform/imagelib/save_image.h"

namespace lumivane::test {
namespace {

using imagelib_test::ByteVector;
using imagelib_test::ReadAll;
using imagelib_test::ScratchDir;

constexpr int kWidth = 40, kHeight = 30;

std::vector<std::uint8_t> Picture() {
    std::vector<std::uint8_t> pixels(kWidth * kHeight * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint8_t(i * 7 % 251);
    return pixels;
}

Bgrx32View View(const std::vector<std::uint8_t>& pixels) {
    return {kWidth, kHeight, kWidth * 4, pixels.data()};
}

// A JPEG as a camera writes it: turned (orientation 6), 4000 x 3000 in EXIF, with a thumbnail,
// XMP and IPTC; then read as the loader reads it.
PhotoMetadata CameraMetadata() {
    ScratchDir dir;
    const auto pixels = Picture();
    const std::string path = dir.File("camera.jpg");
    EXPECT_TRUE(SaveImage(path, View(pixels)).Ok());
    const ByteVector thumbnail = ReadAll(path);

    auto image = Exiv2::ImageFactory::open(path);
    Exiv2::ExifData exif;
    exif["Exif.Photo.DateTimeOriginal"] = "2024:07:14 18:03:21";
    exif["Exif.Image.Model"] = "Testkamera X100";
    exif["Exif.Image.Artist"] = "Jürgen Weiß";
    exif["Exif.Image.Orientation"] = std::uint16_t(6);
    exif["Exif.Photo.PixelXDimension"] = std::uint32_t(4000);
    exif["Exif.Photo.PixelYDimension"] = std::uint32_t(3000);
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail.data(), long(thumbnail.size()));
    image->setExifData(exif);
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.subject"] = "Urlaub";
    xmp["Xmp.tiff.Orientation"] = "6";
    image->setXmpData(xmp);
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.City"] = "Bremen";
    image->setIptcData(iptc);
    image->writeMetadata();

    const PhotoMetadata metadata = ReadPhotoMetadata(ReadAll(path));
    EXPECT_FALSE(metadata.exif.empty());
    EXPECT_FALSE(metadata.xmp.empty());
    EXPECT_FALSE(metadata.iptc.empty());
    return metadata;
}

TEST(PhotoMetadataSave, TravelsIntoEveryFormatWithAPlaceForIt) {
    const PhotoMetadata metadata = CameraMetadata();
    const auto pixels = Picture();
    for (const char* ext : {"jpg", "png", "tif", "webp"}) {
        SCOPED_TRACE(ext);
        ScratchDir dir;
        const std::string tagged = dir.File(std::string("tagged.") + ext);
        const std::string plain = dir.File(std::string("plain.") + ext);
        const std::string none = dir.File(std::string("none.") + ext);
        SaveOptions with;
        with.metadata = &metadata;
        ASSERT_TRUE(SaveImage(tagged, View(pixels), with).Ok());
        ASSERT_TRUE(SaveImage(plain, View(pixels)).Ok());
        // Empty metadata (a photo that had none) leaves the encoder's file untouched.
        const PhotoMetadata empty;
        SaveOptions withEmpty;
        withEmpty.metadata = &empty;
        ASSERT_TRUE(SaveImage(none, View(pixels), withEmpty).Ok());
        EXPECT_EQ(ReadAll(none), ReadAll(plain));

        // The pixels are those of the plain file.
        DecodedImage a(OpenDib(tagged.c_str(), 0, nullptr)), b(OpenDib(plain.c_str(), 0, nullptr));
        ASSERT_TRUE(a.ok() && b.ok());
        ASSERT_EQ(a.width(), kWidth);
        ASSERT_EQ(a.height(), kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) ASSERT_EQ(a.color(x, y), b.color(x, y));

        auto image = Exiv2::ImageFactory::open(tagged);
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        EXPECT_EQ(exif["Exif.Photo.DateTimeOriginal"].toString(), "2024:07:14 18:03:21");
        EXPECT_EQ(exif["Exif.Image.Model"].toString(), "Testkamera X100");
        EXPECT_EQ(exif["Exif.Image.Artist"].toString(), "Jürgen Weiß");
        EXPECT_EQ(exif["Exif.Image.Orientation"].toLong(), 1);
        EXPECT_EQ(exif["Exif.Photo.PixelXDimension"].toLong(), kWidth);
        EXPECT_EQ(exif["Exif.Photo.PixelYDimension"].toLong(), kHeight);
        EXPECT_EQ(exif["Exif.Photo.ColorSpace"].toLong(), 1);
        EXPECT_EQ(Exiv2::ExifThumbC(exif).copy().size_, 0);
        EXPECT_EQ(image->xmpData()["Xmp.dc.subject"].toString(), "Urlaub");
        EXPECT_EQ(image->xmpData()["Xmp.tiff.Orientation"].toString(), "1");
        // WebP has no place for IPTC: the place goes into XMP.
        EXPECT_EQ(std::string(ext) == "webp"
                      ? image->xmpData()["Xmp.photoshop.City"].toString()
                      : image->iptcData()["Iptc.Application2.City"].toString(),
                  "Bremen");
        if (std::string(ext) == "png") {
            // PNG's own sRGB chunk, right after the header.
            const ByteVector file = ReadAll(tagged);
            EXPECT_EQ(std::string(file.begin() + 37, file.begin() + 41), "sRGB");
        } else {
            ASSERT_TRUE(image->iccProfileDefined());
            const Exiv2::DataBuf* icc = image->iccProfile();
            EXPECT_EQ(std::vector<std::uint8_t>(icc->pData_, icc->pData_ + icc->size_),
                      SrgbProfile());
        }
    }
}

// A TIFF motif's EXIF also says how that file stores its pixels; only the photo's facts travel.
TEST(PhotoMetadataRead, LeavesATiffsPixelLayoutBehind) {
    ScratchDir dir;
    const auto pixels = Picture();
    const std::string path = dir.File("scan.tif");
    ASSERT_TRUE(SaveImage(path, View(pixels)).Ok());
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    image->exifData()["Exif.Image.Artist"] = "Jürgen Weiß";
    image->writeMetadata();
    ASSERT_TRUE(image->exifData().findKey(Exiv2::ExifKey("Exif.Image.StripOffsets")) !=
                image->exifData().end());

    const PhotoMetadata metadata = ReadPhotoMetadata(ReadAll(path));
    Exiv2::ExifData exif;
    Exiv2::ExifParser::decode(exif, metadata.exif.data(), std::uint32_t(metadata.exif.size()));
    EXPECT_EQ(exif["Exif.Image.Artist"].toString(), "Jürgen Weiß");
    for (const char* key : {"Exif.Image.StripOffsets", "Exif.Image.Compression",
                            "Exif.Image.BitsPerSample", "Exif.Image.RowsPerStrip"})
        EXPECT_TRUE(exif.findKey(Exiv2::ExifKey(key)) == exif.end()) << key;
}

// The metadata is written after the picture; when that write fails, the save fails as a whole:
// no temporary file is left and the existing file keeps its content.
TEST(PhotoMetadataSave, AFailedWriteLeavesTheOldFile) {
    PhotoMetadata metadata = CameraMetadata();
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.description"] = std::string(200000, 'x');
    ASSERT_EQ(Exiv2::XmpParser::encode(metadata.xmp, xmp), 0);
    const auto pixels = Picture();
    ScratchDir dir;
    const std::string plain = dir.File("plain.png");
    ASSERT_TRUE(SaveImage(plain, View(pixels)).Ok());
    const ByteVector old = {'a', 'l', 't'};
    const std::string target = dir.Write("ziel.png", old);

    // Room for the picture, not for the picture with its metadata.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limit = saved;
    limit.rlim_cur = std::filesystem::file_size(plain) + 50000;
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    SaveOptions with;
    with.metadata = &metadata;
    const SaveResult result = SaveImage(target, View(pixels), with);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.error, SaveError::kFileTooBig);
    EXPECT_EQ(ReadAll(target), old);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2u);  // plain.png and ziel.png, no leftover
}

}  // namespace
}  // namespace lumivane::test
