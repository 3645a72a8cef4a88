// Reads the orientation and colour profile from JPEG segments, PNG and RIFF chunks and TIFF's
// first directory. Only IFD0 is ever read, so directory chains (which may loop) are not followed.
#include "platform/imagelib/codecs/embedded_facts.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "platform/imagelib/codecs/decode_util.h"

namespace lumivane {
namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kIccProfileTag = 0x8773;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeUndefined = 7;
// A directory with more entries than this is not one a camera wrote.
constexpr std::uint64_t kMaxDirectoryEntries = 4096;

bool HasPrefix(Bytes bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

// TIFF's values in the byte order its header names.
class TiffReader {
  public:
    TiffReader(Bytes tiff, bool bigEndian) : r_(tiff), bigEndian_(bigEndian) {}
    ByteReader& bytes() { return r_; }
    std::uint16_t u16() { return bigEndian_ ? r_.u16be() : r_.u16le(); }
    std::uint32_t u32() { return bigEndian_ ? r_.u32be() : r_.u32le(); }
    std::uint64_t u64() {
        const std::uint64_t a = u32(), b = u32();
        return bigEndian_ ? (a << 32) | b : (b << 32) | a;
    }

  private:
    ByteReader r_;
    bool bigEndian_;
};

struct Ifd0Facts {
    int orientation = 1;
    Bytes iccProfile;
};

// Reads IFD0 of classic TIFF and BigTIFF. Entries whose values lie outside the block are skipped.
Ifd0Facts ReadIfd0(Bytes tiff) {
    Ifd0Facts facts;
    bool bigEndian;
    if (HasPrefix(tiff, "II"))
        bigEndian = false;
    else if (HasPrefix(tiff, "MM"))
        bigEndian = true;
    else
        return facts;
    TiffReader t(tiff, bigEndian);
    t.bytes().skip(2);
    const std::uint16_t magic = t.u16();
    const bool big = magic == 43;
    if (magic != 42 && !big) return facts;
    std::uint64_t ifd;
    if (big) {
        if (t.u16() != 8 || t.u16() != 0) return facts;  // offset size, reserved
        ifd = t.u64();
    } else {
        ifd = t.u32();
    }
    if (t.bytes().failed() || ifd > tiff.size()) return facts;
    t.bytes().seek(std::size_t(ifd));
    const std::uint64_t count = big ? t.u64() : t.u16();
    const std::size_t entrySize = big ? 20 : 12;
    if (t.bytes().failed() || count > kMaxDirectoryEntries) return facts;
    const std::size_t first = t.bytes().pos();
    for (std::uint64_t i = 0; i < count; ++i) {
        t.bytes().seek(first + std::size_t(i) * entrySize);
        const std::uint16_t tag = t.u16();
        const std::uint16_t type = t.u16();
        const std::uint64_t n = big ? t.u64() : t.u32();
        if (t.bytes().failed()) break;
        const std::size_t valueField = t.bytes().pos();
        if (tag == kOrientationTag && type == kTypeShort && n >= 1) {
            const int value = t.u16();
            if (!t.bytes().failed() && value >= 1 && value <= 8) facts.orientation = value;
        } else if (tag == kIccProfileTag && (type == kTypeUndefined || type == 1) && n > 0) {
            const std::size_t inlineBytes = big ? 8 : 4;
            std::uint64_t offset = valueField;
            if (n > inlineBytes) offset = big ? t.u64() : t.u32();
            if (!t.bytes().failed() && offset <= tiff.size() && n <= tiff.size() - offset &&
                n <= kMaxProfileBytes)
                facts.iccProfile = tiff.subspan(std::size_t(offset), std::size_t(n));
        }
    }
    return facts;
}

// The TIFF block of EXIF data as containers store it, with or without the "Exif\0\0" prefix.
Bytes ExifTiffBlock(Bytes exif) {
    using namespace std::string_view_literals;
    return HasPrefix(exif, "Exif\0\0"sv) ? exif.subspan(6) : exif;
}

// A zlib stream inflated, as long as it stays within the profile limit; empty otherwise.
std::vector<std::uint8_t> Inflate(Bytes compressed) {
    std::vector<std::uint8_t> out;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return out;
    z.next_in = const_cast<Bytef*>(compressed.data());  // zlib only reads it
    z.avail_in = uInt(std::min<std::size_t>(compressed.size(), UINT32_MAX));
    std::array<std::uint8_t, 16384> buffer;
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = buffer.data();
        z.avail_out = uInt(buffer.size());
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) break;
        const std::size_t produced = buffer.size() - z.avail_out;
        if (out.size() + produced > kMaxProfileBytes) {
            status = Z_MEM_ERROR;
            break;
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + std::ptrdiff_t(produced));
        if (produced == 0 && z.avail_in == 0) break;  // input ends before the stream does
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) out.clear();
    return out;
}

}  // namespace

int ExifOrientation(Bytes tiff) {
    return ReadIfd0(tiff).orientation;
}

PhotoFacts TiffFacts(Bytes file) {
    const Ifd0Facts ifd0 = ReadIfd0(file);
    PhotoFacts facts;
    facts.orientation = ifd0.orientation;
    facts.iccProfile.assign(ifd0.iccProfile.begin(), ifd0.iccProfile.end());
    return facts;
}

PhotoFacts JpegFacts(Bytes file) {
    using namespace std::string_view_literals;
    PhotoFacts facts;
    bool haveExif = false;
    // ICC_PROFILE parts: sequence number (1-based) and total, then the part's bytes.
    std::array<Bytes, 256> parts{};
    int partCount = 0;
    ByteReader r(file, 2);  // after SOI
    while (!r.failed() && r.remaining() >= 4) {
        if (r.u8() != 0xFF) break;
        std::uint8_t marker = r.u8();
        while (marker == 0xFF && !r.failed()) marker = r.u8();  // fill bytes
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xDA || marker == 0xD9) break;  // image data follows: no more headers
        const std::uint16_t length = r.u16be();
        if (length < 2) break;
        const Bytes segment = r.take(length - 2u);
        if (r.failed()) break;
        if (marker == 0xE1 && !haveExif && HasPrefix(segment, "Exif\0\0"sv)) {
            facts.orientation = ExifOrientation(segment.subspan(6));
            haveExif = true;
        } else if (marker == 0xE2 && segment.size() >= 14 &&
                   HasPrefix(segment, "ICC_PROFILE\0"sv)) {
            const int sequence = segment[12], total = segment[13];
            if (sequence >= 1 && sequence <= total && (partCount == 0 || total == partCount) &&
                parts[std::size_t(sequence)].empty()) {
                partCount = total;
                parts[std::size_t(sequence)] = segment.subspan(14);
            }
        }
    }
    // Parts are joined in their numbered order; a missing part leaves a profile that fails to
    // parse, which then counts as unusable.
    for (int i = 1; i <= partCount; ++i)
        facts.iccProfile.insert(facts.iccProfile.end(), parts[std::size_t(i)].begin(),
                                parts[std::size_t(i)].end());
    return facts;
}

PhotoFacts PngFacts(Bytes file) {
    PhotoFacts facts;
    ByteReader r(file, 8);  // after the signature
    bool haveExif = false, haveProfile = false;
    while (!r.failed() && r.remaining() >= 12) {
        const std::uint32_t length = r.u32be();
        const Bytes type = r.take(4);
        const Bytes data = r.take(length);
        r.skip(4);  // CRC
        if (r.failed()) break;
        if (HasPrefix(type, "eXIf") && !haveExif) {
            facts.orientation = ExifOrientation(ExifTiffBlock(data));
            haveExif = true;
        } else if (HasPrefix(type, "iCCP") && !haveProfile) {
            // Profile name (1-79 bytes), a zero byte, compression method 0, zlib data.
            const auto end = std::find(data.begin(), data.end(), std::uint8_t(0));
            const std::size_t nameLength = std::size_t(end - data.begin());
            if (nameLength >= 1 && nameLength <= 79 && nameLength + 2 <= data.size() &&
                data[nameLength + 1] == 0)
                facts.iccProfile = Inflate(data.subspan(nameLength + 2));
            haveProfile = true;
        } else if (HasPrefix(type, "IEND")) {
            break;
        }
    }
    return facts;
}

PhotoFacts WebpFacts(Bytes file) {
    PhotoFacts facts;
    ByteReader r(file, 12);  // after "RIFF", the size and "WEBP"
    bool haveExif = false, haveProfile = false;
    while (!r.failed() && r.remaining() >= 8) {
        const Bytes type = r.take(4);
        const std::uint32_t length = r.u32le();
        const Bytes data = r.take(length);
        if (r.failed()) break;
        if (length & 1) r.skip(1);  // chunks are padded to an even size
        if (HasPrefix(type, "EXIF") && !haveExif) {
            facts.orientation = ExifOrientation(ExifTiffBlock(data));
            haveExif = true;
        } else if (HasPrefix(type, "ICCP") && !haveProfile && data.size() <= kMaxProfileBytes) {
            facts.iccProfile.assign(data.begin(), data.end());
            haveProfile = true;
        }
    }
    return facts;
}

}  // namespace lumivane
