#include "platform/imagelib/photo_metadata.h"

#include <unistd.h>

#include <cerrno>
#include <limits>
#include <mutex>

#include <lcms2.h>
#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>
#include <zlib.h>

#include "platform/imagelib/exiv2_compat.h"
#include "platform/imagelib/library_messages.h"
#include "platform/imagelib/maker_note.h"

namespace lumivane {
namespace {

// A file Exiv2 is handed can hold any picture, but no block that identifies a photo needs more.
constexpr std::size_t kMaxBlock = std::size_t(16) << 20;

// Tags that describe how a TIFF file stores its pixels: they belong to the motif's file, not to
// the photo, and would describe the result wrongly.
constexpr const char* kPixelLayoutTags[] = {
    "Exif.Image.NewSubfileType",
    "Exif.Image.SubfileType",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.FillOrder",
    "Exif.Image.StripOffsets",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
    "Exif.Image.Predictor",
    "Exif.Image.TileWidth",
    "Exif.Image.TileLength",
    "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts",
    "Exif.Image.ExtraSamples",
    "Exif.Image.SampleFormat",
    "Exif.Image.ColorMap",
    "Exif.Image.JPEGTables",
    "Exif.Image.InterColorProfile",
};

std::vector<std::uint8_t> EncodedExif(Exiv2::ExifData exif, Exiv2::ByteOrder order) {
    for (const char* key : kPixelLayoutTags) {
        const auto found = exif.findKey(Exiv2::ExifKey(key));
        if (found != exif.end()) exif.erase(found);
    }
    PrepareMakerNote(exif);
    if (exif.empty()) return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order,
                              exif);
    if (blob.size() > kMaxBlock) return {};
    return {blob.begin(), blob.end()};
}

std::vector<std::uint8_t> EncodedIptc(const Exiv2::IptcData& iptc) {
    if (iptc.empty()) return {};
    const Exiv2::DataBuf buf = Exiv2::IptcParser::encode(iptc);
    const auto bytes = exiv2::Bytes(buf);
    if (bytes.empty() || bytes.size() > kMaxBlock) return {};
    return {bytes.begin(), bytes.end()};
}

// Exiv2 is handed only the formats whose metadata travels; its other parsers (the video
// containers among them, which a HEIF file resembles) are never given a file.
bool CarriedFormat(const std::uint8_t* data, std::size_t size) {
    const auto type = Exiv2::ImageFactory::getType(data, exiv2::Size(size));
    return type == Exiv2::ImageType::jpeg || type == Exiv2::ImageType::png ||
           type == Exiv2::ImageType::tiff || type == Exiv2::ImageType::webp;
}

// Each block on its own, so that a damaged one does not take the others with it.
template <typename F>
void Try(F f) {
    try {
        f();
    } catch (...) {
    }
}

bool Has(const Exiv2::ExifData& exif, const char* key) {
    return exif.findKey(Exiv2::ExifKey(key)) != exif.end();
}

void SetExif(Exiv2::ExifData& exif, int width, int height) {
    Exiv2::ExifThumb(exif).erase();
    exif["Exif.Image.Orientation"] = std::uint16_t(1);
    exif["Exif.Photo.PixelXDimension"] = std::uint32_t(width);
    exif["Exif.Photo.PixelYDimension"] = std::uint32_t(height);
    if (Has(exif, "Exif.Image.ImageWidth")) exif["Exif.Image.ImageWidth"] = std::uint32_t(width);
    if (Has(exif, "Exif.Image.ImageLength")) exif["Exif.Image.ImageLength"] = std::uint32_t(height);
    exif["Exif.Photo.ColorSpace"] = std::uint16_t(1);
    // The ICC profile of the photo does not describe the result.
    const auto profile = exif.findKey(Exiv2::ExifKey("Exif.Image.InterColorProfile"));
    if (profile != exif.end()) exif.erase(profile);
}

void SetXmp(Exiv2::XmpData& xmp, int width, int height) {
    auto setIfPresent = [&](const char* key, const std::string& value) {
        if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end()) xmp[key] = value;
    };
    setIfPresent("Xmp.tiff.Orientation", "1");
    setIfPresent("Xmp.tiff.ImageWidth", std::to_string(width));
    setIfPresent("Xmp.tiff.ImageLength", std::to_string(height));
    setIfPresent("Xmp.exif.PixelXDimension", std::to_string(width));
    setIfPresent("Xmp.exif.PixelYDimension", std::to_string(height));
    setIfPresent("Xmp.exif.ColorSpace", "1");
}

void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24), p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8), p[3] = std::uint8_t(v);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16), p[3] = std::uint8_t(v >> 24);
}

// PNG's own sRGB chunk (perceptual intent) right after the header chunk, where it must come.
void TagPngAsSrgb(std::vector<std::uint8_t>& png) {
    constexpr std::size_t kAfterHeader = 8 + 8 + 13 + 4;
    if (png.size() < kAfterHeader) return;
    std::uint8_t chunk[13] = {0, 0, 0, 1, 's', 'R', 'G', 'B', 0};
    PutBe32(chunk + 9, std::uint32_t(crc32(0, chunk + 4, 5)));
    png.insert(png.begin() + kAfterHeader, std::begin(chunk), std::end(chunk));
}

// An ICCP chunk after the extended header, which gets its "has a profile" flag. (Exiv2 writes
// the profile under a wrong chunk name.)
void TagWebpWithProfile(std::vector<std::uint8_t>& webp, const std::vector<std::uint8_t>& icc) {
    constexpr std::size_t kExtendedHeader = 12, kAfterExtendedHeader = 12 + 8 + 10;
    if (webp.size() < kAfterExtendedHeader || icc.empty() ||
        std::string_view(reinterpret_cast<const char*>(&webp[kExtendedHeader]), 4) != "VP8X")
        return;
    std::vector<std::uint8_t> chunk = {'I', 'C', 'C', 'P', 0, 0, 0, 0};
    PutLe32(chunk.data() + 4, std::uint32_t(icc.size()));
    chunk.insert(chunk.end(), icc.begin(), icc.end());
    if (icc.size() % 2) chunk.push_back(0);
    webp[kExtendedHeader + 8] |= 0x20;
    webp.insert(webp.begin() + kAfterExtendedHeader, chunk.begin(), chunk.end());
    PutLe32(webp.data() + 4, std::uint32_t(webp.size() - 8));
}

// The file with the metadata in it, or nothing when Exiv2 cannot write it.
std::vector<std::uint8_t> WithMetadata(const std::vector<std::uint8_t>& file,
                                       const PhotoMetadata& metadata, int width, int height,
                                       int dpi) {
    try {
        if (!CarriedFormat(file.data(), file.size())) return {};
        auto image = Exiv2::ImageFactory::open(file.data(), exiv2::Size(file.size()));
        if (!image.get()) return {};
        image->readMetadata();

        Exiv2::ExifData exif;
        if (!metadata.exif.empty())
            Try([&] {
                Exiv2::ExifParser::decode(exif, metadata.exif.data(),
                                          std::uint32_t(metadata.exif.size()));
                PrepareMakerNote(exif);
            });
        SetExif(exif, width, height);
        if (dpi > 0) {  // the print resolution, not the camera's
            exif["Exif.Image.XResolution"] = Exiv2::URational(dpi, 1);
            exif["Exif.Image.YResolution"] = Exiv2::URational(dpi, 1);
            exif["Exif.Image.ResolutionUnit"] = std::uint16_t(2);  // inches
        }
        image->setExifData(exif);

        // JPEG and TIFF carry the profile as Exiv2 writes it; PNG and WebP are tagged below.
        const std::string type = image->mimeType();
        const bool png = type == "image/png", webp = type == "image/webp";

        Exiv2::XmpData xmp;
        if (!metadata.xmp.empty() && Exiv2::XmpParser::decode(xmp, metadata.xmp) != 0) xmp.clear();
        Exiv2::IptcData iptc;
        if (!metadata.iptc.empty() &&
            Exiv2::IptcParser::decode(iptc, metadata.iptc.data(),
                                      std::uint32_t(metadata.iptc.size())) != 0)
            iptc.clear();
        // WebP has no place for IPTC; its fields go where XMP keeps them.
        if (webp && !iptc.empty()) Exiv2::copyIptcToXmp(iptc, xmp);
        if (!xmp.empty()) {
            SetXmp(xmp, width, height);
            image->setXmpData(xmp);
        }
        if (!iptc.empty() && !webp) image->setIptcData(iptc);
        const std::vector<std::uint8_t>& srgb = SrgbProfile();
        if (!srgb.empty() && !png && !webp) {
            exiv2::SetIccProfile(*image, Exiv2::DataBuf(srgb.data(), exiv2::Size(srgb.size())));
        }
        image->writeMetadata();

        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0) return {};
        std::vector<std::uint8_t> out(io.size());
        const auto read = io.read(out.data(), exiv2::Size(out.size()));
        io.close();
        if (std::size_t(read) != out.size()) return {};
        if (png) TagPngAsSrgb(out);
        if (webp) TagWebpWithProfile(out, srgb);
        return out;
    } catch (...) {
        return {};
    }
}

bool ReadAllAt(int fd, std::vector<std::uint8_t>& data, int& error) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pread(fd, data.data() + done, data.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

int WriteAllAt(int fd, const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += std::size_t(n);
    }
    if (::ftruncate(fd, off_t(data.size())) != 0) return errno;
    return 0;
}

std::vector<std::uint8_t> MakeSrgbProfile() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    if (!profile) return {};
    std::vector<std::uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
    }
    cmsCloseProfile(profile);
    return bytes;
}

void LockXmp(void* mutex, bool lock) {
    auto* m = static_cast<std::mutex*>(mutex);
    if (lock)
        m->lock();
    else
        m->unlock();
}

}  // namespace

// Exiv2 reports damaged blocks, which are simply left out here, as library messages. Its XMP
// toolkit must be set up once, with a lock, before threads use it.
void PrepareExiv2() {
    static std::once_flag once;
    static std::mutex xmpMutex;
    std::call_once(once, [] {
        RouteLibraryMessages();
        Exiv2::XmpParser::initialize(LockXmp, &xmpMutex);
    });
}

PhotoMetadata ReadPhotoMetadata(std::span<const std::uint8_t> file) {
    PhotoMetadata metadata;
    try {
        PrepareExiv2();
        if (file.size() > std::size_t(std::numeric_limits<exiv2::Size>::max()) ||
            !CarriedFormat(file.data(), file.size()))
            return metadata;
        auto image = Exiv2::ImageFactory::open(file.data(), exiv2::Size(file.size()));
        if (!image.get()) return metadata;
        image->readMetadata();
        Try([&] { metadata.exif = EncodedExif(image->exifData(), image->byteOrder()); });
        Try([&] {
            if (image->xmpPacket().size() <= kMaxBlock) metadata.xmp = image->xmpPacket();
        });
        Try([&] { metadata.iptc = EncodedIptc(image->iptcData()); });
    } catch (...) {
        // Not a format Exiv2 knows, or damaged beyond reading: the photo simply has none.
    }
    return metadata;
}

PhotoMetadata PhotoMetadataFromBlocks(std::span<const std::uint8_t> exif, std::string_view xmp) {
    PhotoMetadata metadata;
    Try([&] {
        PrepareExiv2();
        if (!exif.empty() && exif.size() <= kMaxBlock) {
            Exiv2::ExifData data;
            const auto order =
                Exiv2::ExifParser::decode(data, exif.data(), std::uint32_t(exif.size()));
            metadata.exif = EncodedExif(data, order);
        }
    });
    Try([&] {
        Exiv2::XmpData data;
        if (!xmp.empty() && xmp.size() <= kMaxBlock &&
            Exiv2::XmpParser::decode(data, std::string(xmp)) == 0)
            metadata.xmp = std::string(xmp);
    });
    return metadata;
}

int WritePhotoMetadata(int fd, std::uint64_t size, const PhotoMetadata& metadata, int width,
                       int height, int dpi) {
    if (metadata.Empty() && dpi <= 0) return 0;
    std::vector<std::uint8_t> file;
    try {
        PrepareExiv2();
        file.resize(std::size_t(size));
    } catch (...) {
        return 0;  // no memory for a copy: the picture is saved without its metadata
    }
    int error = 0;
    if (!ReadAllAt(fd, file, error)) return error;
    const std::vector<std::uint8_t> out = WithMetadata(file, metadata, width, height, dpi);
    if (out.empty()) return 0;
    return WriteAllAt(fd, out);
}

const std::vector<std::uint8_t>& SrgbProfile() {
    static const std::vector<std::uint8_t> profile = MakeSrgbProfile();
    return profile;
}

}  // namespace lumivane
