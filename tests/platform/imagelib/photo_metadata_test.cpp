// The photo's EXIF, XMP and IPTC, read from a camera-like JPEG and written into saved results;
// checked with Exiv2 reading the saved files back.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "codec_test_util.h"
#include "image_files.h"
#include "platform/imagelib/exiv2_compat.h"
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
        EXPECT_EQ(exiv2::ToInteger(exif["Exif.Image.Orientation"]), 1);
        EXPECT_EQ(exiv2::ToInteger(exif["Exif.Photo.PixelXDimension"]), kWidth);
        EXPECT_EQ(exiv2::ToInteger(exif["Exif.Photo.PixelYDimension"]), kHeight);
        EXPECT_EQ(exiv2::ToInteger(exif["Exif.Photo.ColorSpace"]), 1);
        EXPECT_TRUE(exiv2::Bytes(Exiv2::ExifThumbC(exif).copy()).empty());
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
            const auto icc = exiv2::IccProfile(*image);
            EXPECT_EQ(std::vector<std::uint8_t>(icc.begin(), icc.end()), SrgbProfile());
        }
    }
}

// Bytes as Exiv2 reads an undefined value from text.
std::string Decimal(const ByteVector& bytes) {
    return static_cast<const Exiv2::Value&>(
               Exiv2::DataValue(bytes.data(), exiv2::Size(bytes.size())))
        .toString();
}

// A camera JPEG whose EXIF Exiv2 writes from `tags`.
std::string CameraJpeg(const ScratchDir& dir, const char* make,
                       const std::vector<std::pair<const char*, std::string>>& tags,
                       const ByteVector* previewData = nullptr) {
    const std::string path = dir.File("camera.jpg");
    EXPECT_TRUE(SaveImage(path, View(Picture())).Ok());
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = make;
    for (const auto& [key, value] : tags) exif[key] = value;
    const auto preview = exif.findKey(Exiv2::ExifKey("Exif.NikonPreview.JPEGInterchangeFormat"));
    if (previewData && preview != exif.end())
        preview->setDataArea(previewData->data(), exiv2::Size(previewData->size()));
    auto image = Exiv2::ImageFactory::open(path);
    image->setExifData(exif);
    image->writeMetadata();
    return path;
}

// `camera` saved with the metadata the loader reads from it.
std::string Framed(const ScratchDir& dir, const std::string& camera, const char* ext) {
    const PhotoMetadata metadata = ReadPhotoMetadata(ReadAll(camera));
    SaveOptions with;
    with.metadata = &metadata;
    const std::string path = dir.File(std::string("framed.") + ext);
    EXPECT_TRUE(SaveImage(path, View(Picture()), with).Ok());
    return path;
}

struct MakerNote {
    std::map<std::string, std::string> tags;  // as Exiv2 decodes them, without where they lie
    ByteVector bytes;
};

MakerNote ReadMakerNote(const std::string& path) {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    MakerNote note;
    for (const Exiv2::Exifdatum& datum : image->exifData()) {
        if (datum.key() == "Exif.Photo.MakerNote") {
            note.bytes.resize(std::size_t(datum.size()));
            datum.copy(note.bytes.data(), Exiv2::invalidByteOrder);
        }
        if (Exiv2::ExifTags::isMakerGroup(datum.groupName()) && datum.groupName() != "MakerNote")
            note.tags[datum.key()] = datum.toString();
    }
    return note;
}

// The maker note as an E-P3 writes it (Exiv2 0.27 cannot write this header itself): an IFD
// whose offsets count from the note's start, with the equipment sub-IFD.
ByteVector OlympusIfdNote() {
    return {
        'O',  'L',  'Y',  'M',  'P', 'U', 'S', 0,   'I', 'I', 3,   0,  // header
        2,    0,                                                       // two entries
        0x07, 0x02, 2,    0,    6,   0,   0,   0,   42,  0,   0,   0,  // CameraType, ASCII at 42
        0x10, 0x20, 13,   0,    1,   0,   0,   0,   48,  0,   0,   0,  // Equipment, IFD at 48
        0,    0,    0,    0,    'S', '0', '0', '3', '6', 0,            // no next IFD; "S0036"
        1,    0,    0x00, 0x01, 7,   0,   4,   0,   0,   0,   '0', '1', '0', '0', 0, 0, 0, 0};
}

// Every maker-note tag comes back with its value; notes whose offsets count from the note
// itself come back byte for byte, the others as Exiv2 rewrites them.
TEST(PhotoMetadataSave, KeepsMakerNotesReadable) {
    struct Case {
        const char* make;
        std::vector<std::pair<const char*, std::string>> tags;
        bool byteExact;
    };
    const Case cases[] = {
        {"OLYMPUS IMAGING CORP.", {{"Exif.Photo.MakerNote", Decimal(OlympusIfdNote())}}, true},
        {"OLYMPUS OPTICAL CO.,LTD",
         {{"Exif.Olympus.Quality", "2"}, {"Exif.Olympus.CameraID", "1234"}},
         false},
        {"NIKON CORPORATION",
         {{"Exif.Nikon3.Version", "48 50 49 48"},
          {"Exif.Nikon3.ISOSpeed", "0 200"},
          {"Exif.Nikon3.SerialNumber", "3004711"}},
         true},
        {"Canon", {{"Exif.Canon.OwnerName", "Jan"}, {"Exif.CanonCs.Macro", "1"}}, false},
        {"SONY", {{"Exif.Sony1.Quality", "2"}, {"Exif.Sony1.Teleconverter", "0"}}, false},
    };
    for (const Case& c : cases) {
        for (const char* ext : {"jpg", "tif"}) {
            SCOPED_TRACE(std::string(c.make) + " " + ext);
            ScratchDir dir;
            const std::string camera = CameraJpeg(dir, c.make, c.tags);
            const MakerNote before = ReadMakerNote(camera);
            ASSERT_GE(before.tags.size(), 2u);
            const MakerNote after = ReadMakerNote(Framed(dir, camera, ext));
            EXPECT_EQ(after.tags, before.tags);
            if (c.byteExact) {
                EXPECT_EQ(after.bytes, before.bytes);
            }
        }
    }
}

// Previews inside maker notes show the unframed photo: their bytes do not reach the result, and
// Exiv2's preview manager, which knows where makers keep them, finds none there.
TEST(PhotoMetadataSave, DropsMakerNotePreviews) {
    ScratchDir dir;
    const auto pixels = Picture();
    const std::string small = dir.File("preview.jpg");
    ASSERT_TRUE(SaveImage(small, {kWidth / 2, kHeight / 2, kWidth * 4, pixels.data()}).Ok());
    const ByteVector jpeg = ReadAll(small);
    // An Olympus note whose ThumbnailImage entry holds the preview, right after its IFD.
    const std::uint32_t n = std::uint32_t(jpeg.size());
    const std::string head("OLYMPUS\0II\3\0\1\0\0\1\7\0", 18);  // one entry: 0x0100, undefined
    ByteVector olympus(head.begin(), head.end());
    for (int shift : {0, 8, 16, 24}) olympus.push_back(std::uint8_t(n >> shift));
    olympus.insert(olympus.end(), {30, 0, 0, 0, 0, 0, 0, 0});  // data at 30, no next IFD
    olympus.insert(olympus.end(), jpeg.begin(), jpeg.end());
    const std::pair<const char*, std::vector<std::pair<const char*, std::string>>> cases[] = {
        {"NIKON CORPORATION",
         {{"Exif.Nikon3.Version", "48 50 49 48"},
          {"Exif.NikonPreview.JPEGInterchangeFormat", "0"},
          {"Exif.NikonPreview.JPEGInterchangeFormatLength", std::to_string(jpeg.size())}}},
        {"CASIO COMPUTER CO.,LTD.", {{"Exif.Casio2.PreviewImage", Decimal(jpeg)}}},
        {"OLYMPUS OPTICAL CO.,LTD", {{"Exif.Olympus.ThumbnailImage", Decimal(jpeg)}}},
        {"OLYMPUS IMAGING CORP.", {{"Exif.Photo.MakerNote", Decimal(olympus)}}},
    };
    const auto holdsPreview = [&](const std::string& path) {
        const ByteVector file = ReadAll(path);
        return std::search(file.begin(), file.end(), jpeg.begin(), jpeg.end()) != file.end();
    };
    for (const auto& [make, tags] : cases) {
        SCOPED_TRACE(make);
        const std::string camera = CameraJpeg(dir, make, tags, &jpeg);
        ASSERT_TRUE(holdsPreview(camera));
        for (const char* ext : {"jpg", "tif"}) {
            const std::string framed = Framed(dir, camera, ext);
            EXPECT_FALSE(holdsPreview(framed)) << ext;
            auto image = Exiv2::ImageFactory::open(framed);
            image->readMetadata();
            EXPECT_TRUE(Exiv2::PreviewManager(*image).getPreviewProperties().empty()) << ext;
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
