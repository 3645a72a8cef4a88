// The print resolution in every format that has a place for it, read back by the libraries
// that read those files (libjpeg, Qt's PNG, TIFF and BMP readers, Exiv2) or, for JPEG 2000 and
// PCX, straight from the bytes.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

#include <QImage>
#include <exiv2/exiv2.hpp>

#include "platform/imagelib/read_image.h"
#include "platform/imagelib/save_image.h"
#include "tests/platform/imagelib/writer_test_util.h"

namespace lumivane {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& path) {
    return test::ReadBytes(path);
}

int JfifDpi(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    const int dpi = info.density_unit == 1 && info.X_density == info.Y_density ? info.X_density
                                                                               : -info.density_unit;
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return dpi;
}

int QtDpi(const std::string& path) {
    const QImage image(QString::fromStdString(path));
    if (image.isNull() || image.dotsPerMeterX() != image.dotsPerMeterY()) return -1;
    return static_cast<int>(std::lround(image.dotsPerMeterX() * 0.0254));
}

int ExifDpi(const std::string& path) {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    const auto x = exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution"));
    const auto unit = exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
    if (x == exif.end() || unit == exif.end() || unit->toString() != "2") return -1;
    const Exiv2::Rational r = x->toRational();
    return r.second ? r.first / r.second : -1;
}

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Walks the boxes to jp2h / res / resc; grid points per metre as dpi.
int Jp2Dpi(const std::string& path) {
    const std::vector<std::uint8_t> b = Bytes(path);
    auto find = [&](std::size_t from, std::size_t to, const char* type) -> std::size_t {
        while (from + 8 <= to) {
            const std::uint32_t length = Be32(&b[from]);
            if (length < 8 || from + length > to) return 0;
            if (std::equal(type, type + 4, b.begin() + std::ptrdiff_t(from) + 4)) return from;
            from += length;
        }
        return 0;
    };
    const std::size_t h = find(0, b.size(), "jp2h");
    if (!h) return -1;
    const std::size_t res = find(h + 8, h + Be32(&b[h]), "res ");
    if (!res) return -1;
    const std::size_t c = find(res + 8, res + Be32(&b[res]), "resc");
    if (!c || Be32(&b[c]) != 18) return -1;
    const std::uint8_t* p = &b[c + 8];
    auto perMetre = [](const std::uint8_t* q, int e) {
        return (q[0] << 8 | q[1]) / double(q[2] << 8 | q[3]) * std::pow(10.0, e);
    };
    const double v = perMetre(p, std::int8_t(p[8])), hz = perMetre(p + 4, std::int8_t(p[9]));
    if (v != hz) return -1;
    return static_cast<int>(std::lround(v * 0.0254));
}

int PcxDpi(const std::string& path) {
    const std::vector<std::uint8_t> b = Bytes(path);
    if (b.size() < 128 || (b[12] | b[13] << 8) != (b[14] | b[15] << 8)) return -1;
    return b[12] | b[13] << 8;
}

TEST(PrintResolution, EveryFormatWithAPlaceForItIsReadBackAsTheDpiAskedFor) {
    const test::ScratchFolder folder;
    const test::Picture picture = test::PhotoPicture(40, 30);
    PhotoMetadata camera;  // a camera's EXIF says 72 dpi; the print format overrides it
    {
        Exiv2::ExifData exif;
        exif["Exif.Image.XResolution"] = Exiv2::URational(72, 1);
        exif["Exif.Image.YResolution"] = Exiv2::URational(72, 1);
        exif["Exif.Image.ResolutionUnit"] = std::uint16_t(2);
        exif["Exif.Image.Model"] = "Testkamera";
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        camera.exif.assign(blob.begin(), blob.end());
    }
    struct Case {
        const char* ext;
        int (*read)(const std::string&);
        bool withCamera;
    };
    const Case cases[] = {
        {"jpg", JfifDpi, false},  {"jpg", ExifDpi, true},  {"png", QtDpi, false},
        {"tif", QtDpi, false},    {"tif", QtDpi, true},    {"bmp", QtDpi, false},
        {"webp", ExifDpi, false}, {"webp", ExifDpi, true}, {"jp2", Jp2Dpi, false},
        {"pcx", PcxDpi, false},
    };
    for (const Case& c : cases) {
        for (int dpi : {72, 300, 1200}) {
            SCOPED_TRACE(testing::Message() << c.ext << " " << dpi << " camera " << c.withCamera);
            const std::string path = folder.File(std::string("print.") + c.ext);
            SaveOptions options;
            options.dpi = dpi;
            if (c.withCamera) options.metadata = &camera;
            ASSERT_TRUE(SaveImage(path, picture.View(), options).Ok());
            EXPECT_EQ(c.read(path), dpi);
            if (c.read == Jp2Dpi) {  // the moved codestream still decodes
                ReadResult back = ReadImageFile(path.c_str(), {});
                ASSERT_TRUE(back.image);
                EXPECT_EQ(back.image.get().pmi->bmiHeader.biHeight, 30);
            }
        }
    }
}

}  // namespace
}  // namespace lumivane
