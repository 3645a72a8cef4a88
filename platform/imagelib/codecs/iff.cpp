// IFF reader for FORM ILBM (interleaved bitplanes) and FORM PBM (chunky 8-bit) pictures:
// 1 to 8 planes with CMAP as palette images, extra half-brite, HAM6 / HAM8 and deep 24- and
// 32-plane pictures as 24-bit images. Bodies are plain or ByteRun1 coded; a mask plane is skipped.
//
// A body that ends before the last row is refused as a whole rather than shown half-black.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/codecs/pixel_rows.h"
#include "platform/imagelib/codecs/run_length.h"

namespace lumivane {
namespace {

constexpr std::uint32_t Tag(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) << 24 | std::uint32_t(std::uint8_t(s[1])) << 16 |
           std::uint32_t(std::uint8_t(s[2])) << 8 | std::uint32_t(std::uint8_t(s[3]));
}

constexpr std::uint32_t kCamgExtraHalfBrite = 0x80;
constexpr std::uint32_t kCamgHoldAndModify = 0x800;
constexpr int kMaskingHasMask = 1;

struct IffPicture {
    bool chunky = false;  // PBM: one byte per pixel instead of bitplanes
    bool haveHeader = false;
    int width = 0, height = 0, planes = 0, masking = 0, compression = 0;
    std::uint32_t camg = 0;
    std::vector<PaletteColor> cmap;
    Bytes body;
    bool haveBody = false;
};

bool Matches(Bytes file) {
    ByteReader r(file);
    const std::uint32_t form = r.u32be();
    r.skip(4);
    const std::uint32_t type = r.u32be();
    return !r.failed() && form == Tag("FORM") && (type == Tag("ILBM") || type == Tag("PBM "));
}

// Collects the chunks the picture needs, in whatever order they come.
bool ReadChunks(Bytes file, IffPicture& pic) {
    ByteReader r(file);
    r.skip(4);
    const std::uint64_t formEnd = std::uint64_t(r.u32be()) + 8;
    pic.chunky = r.u32be() == Tag("PBM ");
    const std::size_t end = formEnd < file.size() ? std::size_t(formEnd) : file.size();
    if (r.failed() || end < r.pos()) return false;
    while (!r.failed() && end - r.pos() >= 8) {
        const std::uint32_t id = r.u32be();
        const std::uint32_t size = r.u32be();
        // A cut-off last chunk keeps what is there; the body decoder notices missing rows.
        const std::size_t available = end - r.pos();
        ByteReader chunk(r.take(size < available ? size : available));
        if (id == Tag("BMHD")) {
            pic.width = chunk.u16be();
            pic.height = chunk.u16be();
            chunk.skip(4);  // position
            pic.planes = chunk.u8();
            pic.masking = chunk.u8();
            pic.compression = chunk.u8();
            pic.haveHeader = !chunk.failed();
        } else if (id == Tag("CMAP")) {
            pic.cmap.clear();
            while (chunk.remaining() >= 3 && pic.cmap.size() < 256) {
                const std::uint8_t red = chunk.u8(), green = chunk.u8(), blue = chunk.u8();
                pic.cmap.push_back({red, green, blue});
            }
        } else if (id == Tag("CAMG")) {
            pic.camg = chunk.u32be();
        } else if (id == Tag("BODY")) {
            pic.body = chunk.rest();
            pic.haveBody = true;
        }
        if (size < available)
            r.skip(std::min<std::size_t>(size & 1, available - size));
        else
            break;
    }
    return pic.haveHeader && pic.haveBody;
}

// A ByteRun1 packet: a signed header n copies n + 1 literal bytes when n >= 0, repeats the next
// byte 1 - n times when n < 0, and -128 does nothing. Runs may run on into the next row.
bool NextByteRun1Packet(Bytes data, std::size_t& pos, RunPacket& packet) {
    const int code = std::int8_t(data[pos++]);
    packet = RunPacket{};
    if (code == -128) return true;
    if (code >= 0) {
        packet.count = std::size_t(code) + 1;
        return true;
    }
    if (pos >= data.size()) return false;
    packet.count = std::size_t(1 - code);
    packet.run = true;
    packet.value = &data[pos++];
    return true;
}

enum class Kind { Palette, HoldAndModify, Deep };

Kind KindOf(const IffPicture& pic) {
    if (pic.planes == 24 || pic.planes == 32) return Kind::Deep;
    if ((pic.camg & kCamgHoldAndModify) && (pic.planes == 6 || pic.planes == 8))
        return Kind::HoldAndModify;
    return Kind::Palette;
}

bool LayoutSupported(const IffPicture& pic) {
    if (pic.compression > 1) return false;
    if (pic.chunky) return pic.planes == 8;
    return (pic.planes >= 1 && pic.planes <= 8) || pic.planes == 24 || pic.planes == 32;
}

// Extra half-brite: the upper 32 colours are the lower 32 at half brightness. Old files
// without a CAMG chunk are recognised by six planes and a 32-colour map.
bool IsExtraHalfBrite(const IffPicture& pic) {
    if (pic.planes != 6 || (pic.camg & kCamgHoldAndModify)) return false;
    return (pic.camg & kCamgExtraHalfBrite) || (pic.camg == 0 && pic.cmap.size() == 32);
}

// The colour map of a palette or hold-and-modify picture.
std::vector<PaletteColor> PaletteOf(const IffPicture& pic, Kind kind) {
    std::vector<PaletteColor> colors = pic.cmap;
    const int count = 1 << (kind == Kind::HoldAndModify ? pic.planes - 2 : pic.planes);
    if (colors.empty()) {
        // No colour map: the indices are grey levels.
        for (int i = 0; i < count; ++i) {
            const auto level = std::uint8_t(i * 255 / (count - 1));
            colors.push_back({level, level, level});
        }
    }
    if (IsExtraHalfBrite(pic)) {
        colors.resize(64, PaletteColor{0, 0, 0});
        for (int i = 0; i < 32; ++i) {
            const PaletteColor c = colors[i];
            colors[32 + i] = {std::uint8_t(c.red >> 1), std::uint8_t(c.green >> 1),
                              std::uint8_t(c.blue >> 1)};
        }
    }
    return colors;
}

int PaletteDepth(int planes) {
    return planes == 1 ? 1 : planes <= 4 ? 4 : 8;
}

// Hold-and-modify: the top two bits choose between a palette colour and changing one channel
// of the previous pixel; the data bits are widened to 8 bits by repeating them.
void HoldAndModifyRow(const std::uint8_t* values, int width, int planes,
                      const std::vector<PaletteColor>& palette, std::uint8_t* row) {
    const int dataBits = planes - 2;
    const std::uint32_t dataMask = (1u << dataBits) - 1;
    PaletteColor c = palette.empty() ? PaletteColor{0, 0, 0} : palette[0];
    for (int x = 0; x < width; ++x, row += 3) {
        const std::uint32_t data = values[x] & dataMask;
        const auto wide = std::uint8_t(data << (8 - dataBits) | data >> (2 * dataBits - 8));
        switch (values[x] >> dataBits) {
            case 0:
                c = data < palette.size() ? palette[data] : PaletteColor{0, 0, 0};
                break;
            case 1:
                c.blue = wide;
                break;
            case 2:
                c.red = wide;
                break;
            default:
                c.green = wide;
                break;
        }
        row[0] = c.blue;
        row[1] = c.green;
        row[2] = c.red;
    }
}

// Deep pictures: eight planes each of red, green, blue and, with 32 planes, alpha.
void DeepRow(const std::uint8_t* const channels[4], int width, bool alpha, std::uint8_t* row) {
    if (!alpha) {
        for (int x = 0; x < width; ++x, row += 3) {
            row[0] = channels[2][x];
            row[1] = channels[1][x];
            row[2] = channels[0][x];
        }
        return;
    }
    for (int x = 0; x < width; ++x, row += 3) {
        const unsigned a = channels[3][x];
        row[0] = OverWhite(channels[2][x], a);
        row[1] = OverWhite(channels[1][x], a);
        row[2] = OverWhite(channels[0][x], a);
    }
}

ReadResult Decode(Bytes file, const ReadOptions&) {
    IffPicture pic;
    if (!Matches(file) || !ReadChunks(file, pic) || !LayoutSupported(pic))
        return Refused(ReadFailure::Damaged);
    if (!ImageSizeAllowed(pic.width, pic.height)) return Refused(ReadFailure::TooLarge);

    const std::size_t planeBytes = pic.chunky ? (std::size_t(pic.width) + 1) & ~std::size_t(1)
                                              : (std::size_t(pic.width) + 15) / 16 * 2;
    const int storedPlanes = pic.chunky ? 1 : pic.planes + (pic.masking == kMaskingHasMask ? 1 : 0);
    const std::size_t rowBytes = planeBytes * std::size_t(storedPlanes);
    // Refuse a header that promises more than the body could unpack to: ByteRun1 turns two
    // bytes into at most 128.
    const std::uint64_t needed = std::uint64_t(rowBytes) * std::uint64_t(pic.height);
    if (needed > std::uint64_t(pic.body.size()) * (pic.compression == 1 ? 64 : 1))
        return Refused(pic.compression == 1 ? ReadFailure::TooLarge : ReadFailure::Damaged);

    const Kind kind = KindOf(pic);
    const std::vector<PaletteColor> palette =
        kind == Kind::Deep ? std::vector<PaletteColor>{} : PaletteOf(pic, kind);
    const int bits = kind == Kind::Palette ? PaletteDepth(pic.planes) : 24;
    const dib image = Allocated(bits == 24 ? newdib(pic.width, pic.height, 24, nullptr, 0)
                                           : NewPaletteDib(pic.width, pic.height, bits,
                                                           palette.data(), int(palette.size())));
    OwnedDib owner(image);

    std::vector<std::uint8_t> stored(rowBytes);
    const std::size_t channelStride = (std::size_t(pic.width) + 7) / 8 * 8;
    std::vector<std::uint8_t> values(channelStride * (kind == Kind::Deep ? 4 : 1));
    const std::uint8_t* const channels[4] = {&values[0], &values[0] + channelStride,
                                             &values[0] + 2 * channelStride,
                                             &values[0] + 3 * channelStride};
    RunLengthReader source(pic.body, 1, pic.compression == 1, NextByteRun1Packet);
    for (int y = 0; y < pic.height; ++y) {
        if (!source.Read(stored.data(), rowBytes)) return Refused(ReadFailure::Damaged);
        std::uint8_t* row = PictureRowPtr(image, y);
        if (pic.chunky) {
            std::memcpy(row, stored.data(), std::size_t(pic.width));
            continue;
        }
        if (kind == Kind::Deep) {
            for (int c = 0; c < pic.planes / 8; ++c)
                PlanesToBytes(stored.data() + std::size_t(c) * 8 * planeBytes, planeBytes, 8,
                              pic.width, values.data() + c * channelStride);
        } else {
            PlanesToBytes(stored.data(), planeBytes, pic.planes, pic.width, values.data());
        }
        switch (kind) {
            case Kind::Palette:
                PackIndexRow(values.data(), pic.width, bits, row);
                break;
            case Kind::HoldAndModify:
                HoldAndModifyRow(values.data(), pic.width, pic.planes, palette, row);
                break;
            case Kind::Deep:
                DeepRow(channels, pic.width, pic.planes == 32, row);
                break;
        }
    }
    return Decoded(owner.release());
}

}  // namespace

const Decoder kIffDecoder{"IFF-Bild", "*.iff *.lbm *.ilbm", Matches, Decode};

}  // namespace lumivane
