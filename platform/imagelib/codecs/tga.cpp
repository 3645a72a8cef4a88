// Truevision TGA reader: colour-mapped 8-bit, greyscale, 15/16-bit (kept as 5-5-5), 24- and
// 32-bit, plain or run-length coded, in any of the four pixel orders.
//
// TGA has no magic number, so recognition checks every header field for consistency and that
// the file can hold the data it declares. A file whose pixel data ends early is refused.
#include <cstring>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/codecs/pixel_rows.h"
#include "platform/imagelib/codecs/run_length.h"

namespace lumivane {
namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::size_t kFooterSize = 26;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";  // followed by NUL
constexpr std::size_t kExtensionAreaSize = 495;
constexpr std::size_t kAttributesTypeOffset = 494;

enum ImageType { kColorMapped = 1, kTrueColor = 2, kGrey = 3 };

struct TgaHeader {
    int idLength = 0, colorMapType = 0, imageType = 0;
    int mapFirst = 0, mapLength = 0, mapEntryBits = 0;
    int width = 0, height = 0, pixelBits = 0, descriptor = 0;

    ImageType base() const { return ImageType(imageType & 7); }
    bool rle() const { return imageType & 8; }
    int pixelBytes() const { return (pixelBits + 7) / 8; }
    int mapEntryBytes() const { return (mapEntryBits + 7) / 8; }
    int alphaBits() const { return descriptor & 0x0F; }
    bool rightToLeft() const { return descriptor & 0x10; }
    bool topToBottom() const { return descriptor & 0x20; }
    std::size_t dataOffset() const {
        return kHeaderSize + std::size_t(idLength) +
               (colorMapType ? std::size_t(mapLength) * mapEntryBytes() : 0);
    }
};

bool IsColorDepth(int bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool ReadHeader(Bytes file, TgaHeader& h) {
    ByteReader r(file);
    h.idLength = r.u8();
    h.colorMapType = r.u8();
    h.imageType = r.u8();
    h.mapFirst = r.u16le();
    h.mapLength = r.u16le();
    h.mapEntryBits = r.u8();
    r.skip(4);  // origin on the screen
    h.width = r.u16le();
    h.height = r.u16le();
    h.pixelBits = r.u8();
    h.descriptor = r.u8();
    if (r.failed()) return false;

    if (h.imageType != 1 && h.imageType != 2 && h.imageType != 3 && h.imageType != 9 &&
        h.imageType != 10 && h.imageType != 11)
        return false;
    if (h.width == 0 || h.height == 0 || (h.descriptor & 0xC0) != 0 || h.alphaBits() > 8)
        return false;
    if (h.colorMapType == 1) {
        if (h.mapLength == 0 || !IsColorDepth(h.mapEntryBits)) return false;
    } else if (h.colorMapType != 0 || h.mapFirst != 0 || h.mapLength != 0) {
        return false;
    }
    switch (h.base()) {
        case kColorMapped:
            return h.colorMapType == 1 && h.pixelBits == 8;
        case kTrueColor:
            return IsColorDepth(h.pixelBits);
        case kGrey:
            return h.pixelBits == 8;
    }
    return false;
}

// True when the data after the header could hold the declared pixels: every pixel for plain
// data, at least one packet per 128 pixels for run-length data.
bool DataCanHoldImage(Bytes file, const TgaHeader& h) {
    const std::size_t offset = h.dataOffset();
    if (offset > file.size()) return false;
    const std::uint64_t available = file.size() - offset;
    const std::uint64_t pixels = std::uint64_t(h.width) * std::uint64_t(h.height);
    if (!h.rle()) return available >= pixels * std::uint64_t(h.pixelBytes());
    return available >= (pixels + 127) / 128 * std::uint64_t(1 + h.pixelBytes());
}

bool Matches(Bytes file) {
    TgaHeader h;
    return ReadHeader(file, h) && DataCanHoldImage(file, h);
}

// Whether the alpha channel means coverage, and whether colours are premultiplied by it. The
// extension area, when present, can say that the fourth byte holds something else.
struct AlphaUse {
    bool used = false;
    bool premultiplied = false;
};

AlphaUse AlphaOf(Bytes file, const TgaHeader& h) {
    AlphaUse use{h.alphaBits() > 0, false};
    if (file.size() < kHeaderSize + kFooterSize) return use;
    const Bytes footer = file.subspan(file.size() - kFooterSize);
    if (std::memcmp(footer.data() + 8, kFooterSignature, sizeof kFooterSignature) != 0) return use;
    const std::uint32_t extension = ByteReader(footer).u32le();
    if (extension < kHeaderSize || extension > file.size() - kFooterSize ||
        file.size() - kFooterSize - extension < kExtensionAreaSize)
        return use;
    if (ByteReader(file, extension).u16le() != kExtensionAreaSize) return use;
    switch (file[extension + kAttributesTypeOffset]) {
        case 0:  // no alpha data
        case 1:  // undefined, ignore
        case 2:  // undefined, retain
            return {false, false};
        case 4:
            return {use.used, true};
        default:
            return use;
    }
}

// One colour with its alpha laid over white.
PaletteColor Flatten(unsigned red, unsigned green, unsigned blue, unsigned alpha, AlphaUse use) {
    if (!use.used) return {std::uint8_t(red), std::uint8_t(green), std::uint8_t(blue)};
    if (use.premultiplied) {
        const unsigned white = 255 - alpha;
        auto add = [white](unsigned c) { return std::uint8_t(c + white > 255 ? 255 : c + white); };
        return {add(red), add(green), add(blue)};
    }
    return {OverWhite(red, alpha), OverWhite(green, alpha), OverWhite(blue, alpha)};
}

constexpr std::uint8_t Widen5(unsigned v) {
    return std::uint8_t(v << 3 | v >> 2);
}

// The colour of a map entry or true-colour pixel of 2, 3 or 4 bytes.
PaletteColor ColorOf(const std::uint8_t* p, int bytes, AlphaUse use) {
    if (bytes == 2) {
        const unsigned w = p[0] | unsigned(p[1]) << 8;
        return {Widen5(w >> 10 & 0x1F), Widen5(w >> 5 & 0x1F), Widen5(w & 0x1F)};
    }
    return Flatten(p[2], p[1], p[0], bytes == 4 ? p[3] : 255, use);
}

// A Targa packet: the header's low seven bits give the pixel count less one; with the top bit
// set one pixel follows and is repeated, otherwise the pixels follow literally. Packets may run
// on into the next row.
struct TgaPackets {
    std::size_t pixelBytes;
    bool operator()(Bytes data, std::size_t& pos, RunPacket& packet) const {
        const std::uint8_t header = data[pos++];
        packet.count = (header & 0x7Fu) + 1u;
        packet.run = header & 0x80;
        packet.value = nullptr;
        if (!packet.run) return true;
        if (pixelBytes > data.size() - pos) return false;
        packet.value = &data[pos];
        pos += pixelBytes;
        return true;
    }
};

dib NewImageFor(Bytes file, const TgaHeader& h, AlphaUse alpha) {
    switch (h.base()) {
        case kGrey:
            return NewGreyDib(h.width, h.height);
        case kTrueColor:
            return newdib(h.width, h.height, h.pixelBits <= 16 ? 16 : 24, nullptr, 0);
        case kColorMapped:
            break;
    }
    // Pixel values index the map from its first entry on; values below it stay black.
    PaletteColor palette[256] = {};
    const std::uint8_t* entry = file.data() + kHeaderSize + h.idLength;
    for (int i = 0; i < h.mapLength && h.mapFirst + i < 256; ++i, entry += h.mapEntryBytes())
        palette[h.mapFirst + i] = ColorOf(entry, h.mapEntryBytes(), alpha);
    return NewPaletteDib(h.width, h.height, 8, palette, 256);
}

// Writes one row of file pixels into the image row, mirrored when the file runs right to left.
void ConvertRow(const TgaHeader& h, AlphaUse alpha, const std::uint8_t* src, std::uint8_t* row) {
    const int w = h.width;
    const bool mirror = h.rightToLeft();
    switch (h.pixelBytes()) {
        case 1:
            for (int x = 0; x < w; ++x) row[mirror ? w - 1 - x : x] = src[x];
            break;
        case 2:
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = row + 2 * (mirror ? w - 1 - x : x);
                p[0] = src[2 * x];
                p[1] = src[2 * x + 1] & 0x7F;  // the top bit is an attribute, not colour
            }
            break;
        case 3:
            if (!mirror) {
                std::memcpy(row, src, std::size_t(w) * 3);  // already blue, green, red
                break;
            }
            [[fallthrough]];
        default: {
            const int bytes = h.pixelBytes();
            for (int x = 0; x < w; ++x, src += bytes) {
                const PaletteColor c = ColorOf(src, bytes, alpha);
                std::uint8_t* p = row + 3 * (mirror ? w - 1 - x : x);
                p[0] = c.blue;
                p[1] = c.green;
                p[2] = c.red;
            }
        }
    }
}

ReadResult Decode(Bytes file, const ReadOptions&) {
    TgaHeader h;
    if (!ReadHeader(file, h) || !DataCanHoldImage(file, h)) return Refused(ReadFailure::Damaged);
    if (!ImageSizeAllowed(h.width, h.height)) return Refused(ReadFailure::TooLarge);
    const AlphaUse alpha = AlphaOf(file, h);
    const dib image = Allocated(NewImageFor(file, h, alpha));
    OwnedDib owner(image);

    std::vector<std::uint8_t> line(std::size_t(h.width) * h.pixelBytes());
    RunLengthReader source(file.subspan(h.dataOffset()), std::size_t(h.pixelBytes()), h.rle(),
                           TgaPackets{std::size_t(h.pixelBytes())});
    for (int r = 0; r < h.height; ++r) {
        if (!source.Read(line.data(), std::size_t(h.width))) return Refused(ReadFailure::Damaged);
        const int y = h.topToBottom() ? r : h.height - 1 - r;
        ConvertRow(h, alpha, line.data(), PictureRowPtr(image, y));
    }
    return Decoded(owner.release());
}

}  // namespace

const Decoder kTgaDecoder{"Targa-Bild", "*.tga *.vda *.icb *.vst", Matches, Decode};

}  // namespace lumivane
