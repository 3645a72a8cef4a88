// The photo's metadata on its way into a full-size result (7800 x 5200 JPEG): the save with and
// without it, side by side, and reading it from the saved file as a motif's load does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "platform/imagelib/exiv2_compat.h"
#include "platform/imagelib/save_image.h"

namespace {

constexpr int kWidth = 7800;
constexpr int kHeight = 5200;

const std::vector<std::uint8_t>& Picture() {
    static const std::vector<std::uint8_t> pixels = [] {
        std::vector<std::uint8_t> p(std::size_t(kWidth) * kHeight * 4);
        std::uint32_t noise = 12345;
        for (std::size_t i = 0; i < p.size(); ++i) {
            noise = noise * 1664525u + 1013904223u;
            p[i] = std::uint8_t((i / 4 % kWidth) * 255 / kWidth + (noise >> 29));
        }
        return p;
    }();
    return pixels;
}

// What a camera writes: its usual tags, a maker note of a few kilobytes, a 160 x 120 thumbnail,
// an XMP packet and a few IPTC fields.
lumivane::PhotoMetadata CameraMetadata() {
    std::vector<std::uint8_t> small(160 * 120 * 4, 0x70);
    const std::string thumbPath = "/tmp/lumivane-bench-thumb.jpg";
    lumivane::SaveImage(thumbPath, {160, 120, 160 * 4, small.data()});
    std::ifstream in(thumbPath, std::ios::binary);
    const std::vector<std::uint8_t> thumb(std::istreambuf_iterator<char>(in), {});
    std::remove(thumbPath.c_str());

    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Testhersteller";
    exif["Exif.Image.Model"] = "Testkamera X100";
    exif["Exif.Image.Orientation"] = std::uint16_t(6);
    exif["Exif.Image.Artist"] = "Jürgen Weiß";
    exif["Exif.Image.Copyright"] = "(c) Jürgen Weiß";
    exif["Exif.Image.Software"] = "Firmware 1.2.3";
    exif["Exif.Image.DateTime"] = "2024:07:14 18:03:21";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:07:14 18:03:21";
    exif["Exif.Photo.DateTimeDigitized"] = "2024:07:14 18:03:21";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = std::uint16_t(200);
    exif["Exif.Photo.FocalLength"] = Exiv2::URational(350, 10);
    exif["Exif.Photo.PixelXDimension"] = std::uint32_t(6000);
    exif["Exif.Photo.PixelYDimension"] = std::uint32_t(4000);
    exif["Exif.Photo.LensModel"] = "Testobjektiv 24-70";
    exif["Exif.Photo.UserComment"] = "charset=Ascii Sonnenuntergang am Hafen";
    exif["Exif.Photo.MakerNote"] = Exiv2::DataValue(std::vector<Exiv2::byte>(6000, 7).data(), 6000);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "53/1 4/1 3000/100";
    exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    exif["Exif.GPSInfo.GPSLongitude"] = "8/1 48/1 1200/100";
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumb.data(), long(thumb.size()));
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);

    Exiv2::XmpData xmp;
    xmp["Xmp.dc.subject"] = "Urlaub";
    xmp["Xmp.dc.description"] = std::string(3000, 'x');
    xmp["Xmp.tiff.Orientation"] = "6";
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.City"] = "Bremen";
    iptc["Iptc.Application2.Keywords"] = "Urlaub";

    lumivane::PhotoMetadata metadata;
    metadata.exif.assign(blob.begin(), blob.end());
    Exiv2::XmpParser::encode(metadata.xmp, xmp);
    const Exiv2::DataBuf iptcBytes = Exiv2::IptcParser::encode(iptc);
    const auto iptcSpan = lumivane::exiv2::Bytes(iptcBytes);
    metadata.iptc.assign(iptcSpan.begin(), iptcSpan.end());
    return metadata;
}

const lumivane::Bgrx32View kView{kWidth, kHeight, std::ptrdiff_t(kWidth) * 4, nullptr};

void SaveJpeg(benchmark::State& state, bool withMetadata) {
    lumivane::Bgrx32View view = kView;
    view.pixels = Picture().data();
    const lumivane::PhotoMetadata metadata = CameraMetadata();
    lumivane::SaveOptions options;
    if (withMetadata) options.metadata = &metadata;
    const std::string path = "/tmp/lumivane-bench-metadata.jpg";
    for (auto _ : state) {
        const lumivane::SaveResult r = lumivane::SaveImage(path, view, options);
        if (!r.Ok()) state.SkipWithError(lumivane::SaveErrorMessage(r.error).c_str());
    }
    std::remove(path.c_str());
}

void ReadMetadata(benchmark::State& state) {
    lumivane::Bgrx32View view = kView;
    view.pixels = Picture().data();
    const lumivane::PhotoMetadata metadata = CameraMetadata();
    lumivane::SaveOptions options;
    options.metadata = &metadata;
    const std::string path = "/tmp/lumivane-bench-metadata-read.jpg";
    lumivane::SaveImage(path, view, options);
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file(std::istreambuf_iterator<char>(in), {});
    std::remove(path.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(lumivane::ReadPhotoMetadata(file));
}

}  // namespace

BENCHMARK_CAPTURE(SaveJpeg, plain, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(SaveJpeg, with_metadata, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadMetadata)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
