// Windows and OS/2 bitmaps (BMP, DIB, RLE): palette images keep their depth, plain 5-5-5 keeps
// 16 bits, every other direct-colour layout becomes 24 bits.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"

namespace lumivane {
namespace {

constexpr std::uint32_t kBiAlphaBitfields = 6;
constexpr std::uint32_t kFileHeaderSize = 14;

// Densities beyond this (25400 dpi) only come from corrupt headers.
constexpr std::int64_t kMaxDensity = 1000000;

struct BmpHeader {
    std::uint32_t fileSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive: bottom-up rows
    bool topDown = false;
    int planes = 0;
    int bits = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t imageSize = 0;
    std::int64_t xDensity = 0, yDensity = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    std::size_t paletteOffset = 0;
    int paletteEntrySize = 4;
};

bool IsOs2V2HeaderSize(std::uint32_t size) {
    return size >= 16 && size <= 64 && size % 4 == 0 && size != 40 && size != 52 && size != 56;
}

bool ParseHeader(Bytes file, BmpHeader& h) {
    ByteReader r(file);
    if (r.u8() != 'B' || r.u8() != 'M') return false;
    h.fileSize = r.u32le();
    r.skip(4);
    h.pixelOffset = r.u32le();
    h.headerSize = r.u32le();
    if (r.failed()) return false;

    if (h.headerSize == 12) {
        h.width = r.u16le();
        h.height = r.u16le();
        h.planes = r.u16le();
        h.bits = r.u16le();
        h.paletteEntrySize = 3;
    } else {
        const bool os2 = IsOs2V2HeaderSize(h.headerSize);
        if (!os2 && h.headerSize != 40 && h.headerSize != 52 && h.headerSize != 56 &&
            h.headerSize != 108 && h.headerSize != 124)
            return false;
        // Short OS/2 headers simply end early; the missing fields read as zero.
        std::array<std::uint8_t, 36> info{};
        const Bytes stored = r.take(std::min<std::size_t>(h.headerSize - 4, info.size()));
        if (r.failed()) return false;
        std::copy(stored.begin(), stored.end(), info.begin());
        ByteReader f(Bytes(info.data(), info.size()));
        h.width = f.s32le();
        h.height = f.s32le();
        h.planes = f.u16le();
        h.bits = f.u16le();
        h.compression = f.u32le();
        h.imageSize = f.u32le();
        h.xDensity = f.s32le();
        h.yDensity = f.s32le();
        h.colorsUsed = f.u32le();
        // OS/2 reuses 3 and 4 for Huffman 1D and RLE24, which we do not read.
        if (os2 && h.compression > BI_RLE4) return false;
        if (h.headerSize >= 52) {
            ByteReader m(file, kFileHeaderSize + 40);
            for (int i = 0; i < (h.headerSize >= 56 ? 4 : 3); ++i) h.masks[i] = m.u32le();
            if (m.failed()) return false;
        }
    }
    h.paletteOffset = kFileHeaderSize + h.headerSize;
    if (h.headerSize == 40 &&
        (h.compression == BI_BITFIELDS || h.compression == kBiAlphaBitfields)) {
        // The masks follow the 40-byte header.
        ByteReader m(file, h.paletteOffset);
        const int n = h.compression == BI_BITFIELDS ? 3 : 4;
        for (int i = 0; i < n; ++i) h.masks[i] = m.u32le();
        if (m.failed()) return false;
        h.paletteOffset += 4 * n;
    }
    if (h.height < 0) {
        h.topDown = true;
        h.height = -h.height;
    }
    if (h.pixelOffset == 0) {
        // Some writers leave the offset out: the pixels then follow the colour table.
        const std::uint64_t entries =
            h.bits > 8 ? 0 : (h.colorsUsed ? h.colorsUsed : std::uint64_t(1) << h.bits);
        const std::uint64_t end = h.paletteOffset + entries * h.paletteEntrySize;
        if (end > UINT32_MAX) return false;
        h.pixelOffset = std::uint32_t(end);
    }
    return h.pixelOffset >= h.paletteOffset;
}

bool HeaderIsSound(const BmpHeader& h, std::size_t fileLength) {
    if (h.fileSize > fileLength) return false;  // truncated file
    if (h.planes != 1) return false;
    if (!ImageSizeAllowed(h.width, h.height)) return false;
    if (std::abs(h.xDensity) > kMaxDensity || std::abs(h.yDensity) > kMaxDensity) return false;
    switch (h.compression) {
        case BI_RGB:
            if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 &&
                h.bits != 24 && h.bits != 32)
                return false;
            break;
        case BI_RLE8:
            if (h.bits != 8 || h.topDown) return false;
            break;
        case BI_RLE4:
            if (h.bits != 4 || h.topDown) return false;
            break;
        case BI_BITFIELDS:
        case kBiAlphaBitfields:
            if (h.bits != 16 && h.bits != 32) return false;
            break;
        default:  // embedded JPEG / PNG and unknown schemes
            return false;
    }
    return h.pixelOffset <= fileLength;
}

// Reads the colour table; for an implicit size the gap before the pixels may shorten it.
bool ReadPalette(Bytes file, const BmpHeader& h, std::vector<PaletteColor>& palette) {
    std::uint64_t count = h.colorsUsed;
    if (count == 0) {
        count = std::uint64_t(1) << h.bits;
        if (h.pixelOffset > h.paletteOffset)
            count = std::min<std::uint64_t>(count,
                                            (h.pixelOffset - h.paletteOffset) / h.paletteEntrySize);
    }
    if (h.paletteOffset + count * h.paletteEntrySize > file.size()) return false;
    count = std::min<std::uint64_t>(count, std::uint64_t(1) << h.bits);
    ByteReader r(file, h.paletteOffset);
    palette.resize(count);
    for (PaletteColor& c : palette) {
        c.blue = r.u8();
        c.green = r.u8();
        c.red = r.u8();
        if (h.paletteEntrySize == 4) r.skip(1);
    }
    return !r.failed();
}

void SetIndex(std::uint8_t* row, std::int64_t x, int bits, unsigned v) {
    if (bits == 8) {
        row[x] = std::uint8_t(v);
    } else if (bits == 4) {
        std::uint8_t& b = row[x >> 1];
        b = (x & 1) ? std::uint8_t((b & 0xF0) | (v & 0x0F)) : std::uint8_t((b & 0x0F) | (v << 4));
    } else {
        if (v & 1) row[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
    }
}

unsigned GetIndex(const std::uint8_t* row, std::int64_t x, int bits) {
    if (bits == 8) return row[x];
    if (bits == 4) return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// An index beyond a short colour table has no colour: such a file is corrupt.
bool IndicesWithinPalette(const dib& image, int bits, std::size_t count) {
    if (count >= (std::size_t(1) << bits)) return true;
    const std::int64_t w = image.pmi->bmiHeader.biWidth, h = image.pmi->bmiHeader.biHeight;
    for (std::int64_t y = 0; y < h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(image.poi) + y * image.bytew;
        for (std::int64_t x = 0; x < w; ++x)
            if (GetIndex(row, x, bits) >= count) return false;
    }
    return true;
}

// Run-length data is stored bottom-up like the image, so it decodes straight into the rows.
// Pixels that run past the end of a row are dropped; rows past the top make the file corrupt.
bool DecodeRle(Bytes data, int bits, const dib& image) {
    const std::int64_t w = image.pmi->bmiHeader.biWidth, h = image.pmi->bmiHeader.biHeight;
    auto* pixels = static_cast<std::uint8_t*>(image.poi);
    ByteReader r(data);
    std::int64_t x = 0, y = 0;
    auto put = [&](unsigned v) {
        if (x < w) SetIndex(pixels + y * image.bytew, x, bits, v);
        ++x;
    };
    while (r.remaining() >= 2) {
        const unsigned n = r.u8(), c = r.u8();
        if (n > 0) {
            if (y >= h) return false;
            for (unsigned i = 0; i < n; ++i) put(bits == 8 ? c : ((i & 1) ? c & 0x0F : c >> 4));
        } else if (c == 0) {  // end of line
            x = 0;
            if (++y > h) return false;
        } else if (c == 1) {  // end of bitmap
            return true;
        } else if (c == 2) {  // delta: skip pixels right and rows up
            x += r.u8();
            y += r.u8();
            if (r.failed() || y > h || (y == h && x > 0)) return false;
        } else {  // c literal pixels, padded to a 16-bit boundary
            const std::size_t bytes = bits == 8 ? c : (c + 1) / 2;
            const Bytes literal = r.take(bytes + (bytes & 1));
            if (r.failed() || y >= h) return false;
            for (unsigned i = 0; i < c; ++i)
                put(bits == 8 ? literal[i]
                              : ((i & 1) ? literal[i / 2] & 0x0F : literal[i / 2] >> 4));
        }
    }
    // Without an end-of-bitmap code the data must at least have covered every row.
    return y >= h;
}

// One colour channel of a bit-field layout.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;  // largest value after shifting; 0 for an absent channel

    std::uint8_t operator()(std::uint32_t v) const {
        if (max == 0) return 0;
        const std::uint64_t x = (v & mask) >> shift;
        return max == 255 ? std::uint8_t(x) : std::uint8_t((x * 255 + max / 2) / max);
    }
};

bool MakeChannel(std::uint32_t mask, Channel& c) {
    c = Channel{};
    if (mask == 0) return true;
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    c.max = (std::uint64_t(1) << std::popcount(mask)) - 1;
    return (mask >> c.shift) == c.max;  // only contiguous masks
}

dib DecodePaletteImage(Bytes file, const BmpHeader& h) {
    std::vector<PaletteColor> palette;
    if (!ReadPalette(file, h, palette)) return dib{};
    const int outBits = h.bits == 2 ? 4 : h.bits;  // 2-bit files widen to the next DIB depth
    const int w = int(h.width), ht = int(h.height);
    dib image = Allocated(NewPaletteDib(w, ht, outBits, palette.data(), int(palette.size())));

    const Bytes data = file.subspan(h.pixelOffset);
    if (h.compression == BI_RGB) {
        const std::size_t srcStride = (std::size_t(w) * h.bits + 31) / 32 * 4;
        const std::size_t rowBytes = (std::size_t(w) * h.bits + 7) / 8;
        for (int y = 0; y < ht; ++y) {
            const std::uint8_t* src = data.data() + std::size_t(y) * srcStride;
            auto* dst = static_cast<std::uint8_t*>(image.poi) +
                        std::ptrdiff_t(h.topDown ? ht - 1 - y : y) * image.bytew;
            if (outBits == h.bits) {
                std::copy(src, src + rowBytes, dst);
            } else {
                for (int x = 0; x < w; ++x)
                    SetIndex(dst, x, 4, (src[x >> 2] >> (6 - 2 * (x & 3))) & 3);
            }
        }
    } else {
        const std::size_t length = h.imageSize ? h.imageSize : data.size();
        if (!DecodeRle(data.first(length), h.bits, image)) {
            deldib(image);
            return dib{};
        }
    }
    if (!IndicesWithinPalette(image, outBits, palette.size())) {
        deldib(image);
        return dib{};
    }
    return image;
}

dib DecodeDirectImage(Bytes file, const BmpHeader& h) {
    std::uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
    if (h.compression == BI_RGB) {
        if (h.bits == 16) {
            masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
        } else if (h.bits == 32) {
            masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
        }
        masks[3] = 0;
    }
    const int w = int(h.width), ht = int(h.height);
    const std::size_t srcStride = (std::size_t(w) * h.bits + 31) / 32 * 4;
    const std::uint8_t* data = file.data() + h.pixelOffset;
    auto sourceRow = [&](int y) {
        return data + std::size_t(h.topDown ? ht - 1 - y : y) * srcStride;
    };

    const bool plain555 = masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
    if ((h.bits == 16 && plain555 && masks[3] == 0) || h.bits == 24) {
        dib image = Allocated(newdib(w, ht, h.bits, nullptr, 0));
        const std::size_t rowBytes = std::size_t(w) * h.bits / 8;
        for (int y = 0; y < ht; ++y)
            std::copy_n(sourceRow(y), rowBytes,
                        static_cast<std::uint8_t*>(image.poi) + y * image.bytew);
        return image;
    }

    Channel red, green, blue;
    if (!MakeChannel(masks[0], red) || !MakeChannel(masks[1], green) ||
        !MakeChannel(masks[2], blue))
        return dib{};
    if (h.bits == 16 && (masks[0] | masks[1] | masks[2]) > 0xFFFF) return dib{};

    // Every 16-bit value once, rather than three divisions per pixel.
    std::vector<std::array<std::uint8_t, 3>> lut(h.bits == 16 ? 65536 : 0);
    for (std::uint32_t v = 0; v < lut.size(); ++v) lut[v] = {blue(v), green(v), red(v)};

    dib image = Allocated(newdib(w, ht, 24, nullptr, 0));
    auto* out = static_cast<std::uint8_t*>(image.poi);
    if (h.bits == 16) {
        for (int y = 0; y < ht; ++y) {
            const std::uint8_t* src = sourceRow(y);
            std::uint8_t* dst = out + std::ptrdiff_t(y) * image.bytew;
            for (int x = 0; x < w; ++x, dst += 3) {
                const auto& bgr = lut[src[2 * x] | (src[2 * x + 1] << 8)];
                dst[0] = bgr[0], dst[1] = bgr[1], dst[2] = bgr[2];
            }
        }
        return image;
    }
    const bool plain888 = masks[0] == 0xFF0000 && masks[1] == 0x00FF00 && masks[2] == 0x0000FF;
    for (int y = 0; y < ht; ++y) {
        const std::uint8_t* src = sourceRow(y);
        std::uint8_t* dst = out + std::ptrdiff_t(y) * image.bytew;
        if (plain888) {
            for (int x = 0; x < w; ++x, src += 4, dst += 3)
                dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
        } else {
            for (int x = 0; x < w; ++x, src += 4, dst += 3) {
                const std::uint32_t v =
                    src[0] | (src[1] << 8) | (src[2] << 16) | (std::uint32_t(src[3]) << 24);
                dst[0] = blue(v), dst[1] = green(v), dst[2] = red(v);
            }
        }
    }
    return image;
}

bool MatchesBmp(Bytes file) {
    return file.size() >= 18 && file[0] == 'B' && file[1] == 'M';
}

ReadResult DecodeBmp(Bytes file, const ReadOptions&) {
    BmpHeader h;
    if (!ParseHeader(file, h)) return Refused(ReadFailure::Damaged);
    if (!HeaderIsSound(h, file.size()))
        return Refused(ImageSizeAllowed(h.width, h.height) ? ReadFailure::Damaged
                                                           : ReadFailure::TooLarge);
    const std::size_t available = file.size() - h.pixelOffset;
    if (h.imageSize > available)  // the header promises more than the file holds
        return Refused(ReadFailure::Damaged);

    if (h.compression == BI_RGB || h.compression == BI_BITFIELDS ||
        h.compression == kBiAlphaBitfields) {
        // Every row must be present; only the last row's padding may be missing.
        const std::uint64_t stride = (std::uint64_t(h.width) * h.bits + 31) / 32 * 4;
        const std::uint64_t needed =
            stride * (h.height - 1) + (std::uint64_t(h.width) * h.bits + 7) / 8;
        if (needed > available) return Refused(ReadFailure::Damaged);
    } else {
        // Runs hold at most 255 pixels in two bytes; a tiny file cannot honestly describe a
        // huge picture, so it does not get to allocate one.
        const std::size_t length = h.imageSize ? std::size_t(h.imageSize) : available;
        if (!FileCanHold(h.width, h.height, length, 256)) return Refused(ReadFailure::TooLarge);
    }
    return Decoded(h.bits <= 8 ? DecodePaletteImage(file, h) : DecodeDirectImage(file, h));
}

}  // namespace

extern const Decoder kBmpDecoder{"Windows-Bitmap", "*.bmp *.dib *.rle", MatchesBmp, DecodeBmp};

}  // namespace lumivane
