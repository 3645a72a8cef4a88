// Building photo files with orientation and colour profile in the test: the picture comes from
// Qt's writers, the EXIF and ICC parts are put into the container byte by byte.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/platform/imagelib/image_files.h"

namespace imagelib_test {

inline ByteVector Encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image)) return {};
    return ByteVector(bytes.begin(), bytes.end());
}

inline void PutBe(ByteVector& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(std::uint8_t(v >> (8 * i)));
}
inline void PutLe(ByteVector& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
inline void PutText(ByteVector& out, std::string_view s) {
    for (char c : s) out.push_back(std::uint8_t(c));
}

// EXIF's TIFF block with IFD0 holding just the orientation, in either byte order.
inline ByteVector ExifBlock(int orientation, bool bigEndian = true) {
    ByteVector b;
    const auto put = [&](std::uint64_t v, int n) { bigEndian ? PutBe(b, v, n) : PutLe(b, v, n); };
    PutText(b, bigEndian ? "MM" : "II");
    put(42, 2);
    put(8, 4);  // IFD0 right after the header
    put(1, 2);  // one entry
    put(0x0112, 2);
    put(3, 2);  // SHORT
    put(1, 4);
    put(std::uint64_t(orientation), 2);
    put(0, 2);  // value field padding
    put(0, 4);  // no next IFD
    return b;
}

inline std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// The PNG with a chunk added right after IHDR.
inline ByteVector WithPngChunk(const ByteVector& png, const std::string& type,
                               const ByteVector& data) {
    ByteVector chunk;
    PutBe(chunk, data.size(), 4);
    PutText(chunk, type);
    chunk.insert(chunk.end(), data.begin(), data.end());
    PutBe(chunk, Crc32(chunk.data() + 4, chunk.size() - 4), 4);
    ByteVector out = png;
    out.insert(out.begin() + 33, chunk.begin(), chunk.end());  // after signature and IHDR
    return out;
}

// An iCCP chunk's content: name, zero, method 0, the zlib stream.
inline ByteVector IccpChunk(const ByteVector& profile) {
    const QByteArray packed = qCompress(
        QByteArray(reinterpret_cast<const char*>(profile.data()), qsizetype(profile.size())));
    ByteVector data;
    PutText(data, "icc");
    data.push_back(0);
    data.push_back(0);
    data.insert(data.end(), packed.begin() + 4, packed.end());  // past Qt's length prefix
    return data;
}

// The JPEG with marker segments added right after SOI.
inline ByteVector WithJpegSegment(const ByteVector& jpeg, int marker, const ByteVector& data) {
    ByteVector out(jpeg.begin(), jpeg.begin() + 2);
    out.push_back(0xFF);
    out.push_back(std::uint8_t(marker));
    PutBe(out, data.size() + 2, 2);
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

inline ByteVector ExifSegment(int orientation) {
    ByteVector data{'E', 'x', 'i', 'f', 0, 0};
    const ByteVector tiff = ExifBlock(orientation);
    data.insert(data.end(), tiff.begin(), tiff.end());
    return data;
}

// The profile as APP2 segments of `parts` pieces, stored last piece first.
inline ByteVector WithJpegProfile(ByteVector jpeg, const ByteVector& profile, int parts) {
    const std::size_t piece = (profile.size() + parts - 1) / parts;
    for (int i = 0; i < parts; ++i) {
        ByteVector data;
        PutText(data, "ICC_PROFILE");
        data.push_back(0);
        data.push_back(std::uint8_t(i + 1));
        data.push_back(std::uint8_t(parts));
        const std::size_t begin = std::min(profile.size(), std::size_t(i) * piece);
        const std::size_t end = std::min(profile.size(), begin + piece);
        data.insert(data.end(), profile.begin() + begin, profile.begin() + end);
        jpeg = WithJpegSegment(jpeg, 0xE2, data);  // each goes in front of the ones before
    }
    return jpeg;
}

// A simple WebP turned into the extended format with EXIF and/or ICCP chunks.
inline ByteVector ExtendedWebp(const ByteVector& webp, int width, int height,
                               const ByteVector& exif, const ByteVector& icc) {
    const auto chunk = [](ByteVector& out, const std::string& type, const ByteVector& data) {
        PutText(out, type);
        PutLe(out, data.size(), 4);
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() & 1) out.push_back(0);
    };
    ByteVector body;
    PutText(body, "WEBP");
    ByteVector vp8x;
    vp8x.push_back(std::uint8_t((icc.empty() ? 0 : 0x20) | (exif.empty() ? 0 : 0x08)));
    vp8x.insert(vp8x.end(), 3, 0);
    PutLe(vp8x, std::uint64_t(width - 1), 3);
    PutLe(vp8x, std::uint64_t(height - 1), 3);
    chunk(body, "VP8X", vp8x);
    if (!icc.empty()) chunk(body, "ICCP", icc);
    body.insert(body.end(), webp.begin() + 12, webp.end());  // the image chunk
    if (!exif.empty()) chunk(body, "EXIF", exif);
    ByteVector out;
    PutText(out, "RIFF");
    PutLe(out, body.size(), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace imagelib_test
