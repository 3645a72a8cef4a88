// ZSoft PCX reader: 1-bit, 2- and 4-bit (packed or as 1-bit planes), 8-bit with the 256-colour
// palette at the end of the file, 24-bit as three 8-bit planes (a fourth plane is alpha).
//
// A file whose pixel data ends early is refused as a whole rather than shown half-black.
#include <cstring>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/codecs/pixel_rows.h"
#include "platform/imagelib/codecs/run_length.h"

namespace lumivane {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kTrailingPaletteSize = 769;  // marker 0x0C + 256 RGB triples

// The 16 colours of a display adapter, for version 3 files that carry no header palette.
constexpr PaletteColor kDefaultPalette[16] = {
    {0x00, 0x00, 0x00}, {0x00, 0x00, 0xAA}, {0x00, 0xAA, 0x00}, {0x00, 0xAA, 0xAA},
    {0xAA, 0x00, 0x00}, {0xAA, 0x00, 0xAA}, {0xAA, 0x55, 0x00}, {0xAA, 0xAA, 0xAA},
    {0x55, 0x55, 0x55}, {0x55, 0x55, 0xFF}, {0x55, 0xFF, 0x55}, {0x55, 0xFF, 0xFF},
    {0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xFF, 0x55}, {0xFF, 0xFF, 0xFF}};

struct PcxHeader {
    int version = 0;
    bool rle = false;
    int bitsPerPlane = 0;
    int planes = 0;
    std::int64_t width = 0, height = 0;
    std::size_t bytesPerLine = 0;
    Bytes headerPalette;  // 48 bytes
};

bool ReadHeader(Bytes file, PcxHeader& h) {
    ByteReader r(file);
    const int manufacturer = r.u8();
    h.version = r.u8();
    const int encoding = r.u8();
    h.bitsPerPlane = r.u8();
    const int xMin = r.u16le(), yMin = r.u16le(), xMax = r.u16le(), yMax = r.u16le();
    r.skip(4);  // resolution
    h.headerPalette = r.take(48);
    r.skip(1);
    h.planes = r.u8();
    h.bytesPerLine = r.u16le();
    if (r.failed() || file.size() < kHeaderSize || manufacturer != 0x0A) return false;
    if (h.version > 5 || h.version == 1 || encoding > 1) return false;
    h.rle = encoding == 1;
    h.width = std::int64_t(xMax) - xMin + 1;
    h.height = std::int64_t(yMax) - yMin + 1;
    return h.width >= 1 && h.height >= 1;
}

// The depth of the image record for a plane layout, or 0 for one this reader does not know.
int OutputBits(const PcxHeader& h) {
    if (h.planes == 1) {
        switch (h.bitsPerPlane) {
            case 1:
                return 1;
            case 2:
            case 4:
                return 4;
            case 8:
                return 8;
        }
    }
    if (h.bitsPerPlane == 1 && h.planes >= 2 && h.planes <= 4) return 4;
    if (h.bitsPerPlane == 8 && (h.planes == 3 || h.planes == 4)) return 24;
    return 0;
}

bool Matches(Bytes file) {
    PcxHeader h;
    return ReadHeader(file, h) &&
           (h.bitsPerPlane == 1 || h.bitsPerPlane == 2 || h.bitsPerPlane == 4 ||
            h.bitsPerPlane == 8) &&
           h.planes >= 1 && h.planes <= 4;
}

// A scan-line packet: a byte with the top two bits set repeats the next byte (its low six bits
// times), any other byte stands for itself. Runs may run on into the next line.
bool NextPcxPacket(Bytes data, std::size_t& pos, RunPacket& packet) {
    const std::uint8_t* c = &data[pos++];
    packet.run = true;
    if ((*c & 0xC0) != 0xC0) {
        packet.count = 1;
        packet.value = c;
        return true;
    }
    if (pos >= data.size()) return false;
    packet.count = *c & 0x3F;
    packet.value = &data[pos++];
    return true;
}

// The colours of a palette image: the header palette, the trailing 256-colour palette, or black
// and white for 1-bit files (whose header palette is unreliable in practice).
std::vector<PaletteColor> Palette(Bytes file, const PcxHeader& h) {
    std::vector<PaletteColor> colors;
    if (h.planes == 1 && h.bitsPerPlane == 1) return {{0, 0, 0}, {255, 255, 255}};
    if (h.planes == 1 && h.bitsPerPlane == 8) {
        const std::size_t size = file.size();
        if (size >= kHeaderSize + kTrailingPaletteSize &&
            file[size - kTrailingPaletteSize] == 0x0C) {
            const std::uint8_t* p = file.data() + size - 768;
            for (int i = 0; i < 256; ++i, p += 3) colors.push_back({p[0], p[1], p[2]});
        } else {
            // Without the palette the values are grey levels.
            for (int i = 0; i < 256; ++i)
                colors.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
        }
        return colors;
    }
    if (h.version == 3) return {std::begin(kDefaultPalette), std::end(kDefaultPalette)};
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = h.headerPalette.data() + 3 * i;
        colors.push_back({p[0], p[1], p[2]});
    }
    return colors;
}

// Converts one decoded scan line (all planes) into a row of the image record.
void ConvertLine(const PcxHeader& h, int outBits, const std::uint8_t* line, std::uint8_t* row,
                 std::uint8_t* indices) {
    const int width = int(h.width);
    const std::size_t bpl = h.bytesPerLine;
    if (outBits == 24) {
        const std::uint8_t* red = line;
        const std::uint8_t* green = line + bpl;
        const std::uint8_t* blue = line + 2 * bpl;
        if (h.planes == 4) {
            const std::uint8_t* alpha = line + 3 * bpl;
            for (int x = 0; x < width; ++x, row += 3) {
                row[0] = OverWhite(blue[x], alpha[x]);
                row[1] = OverWhite(green[x], alpha[x]);
                row[2] = OverWhite(red[x], alpha[x]);
            }
        } else {
            for (int x = 0; x < width; ++x, row += 3) {
                row[0] = blue[x];
                row[1] = green[x];
                row[2] = red[x];
            }
        }
    } else if (h.planes > 1) {
        PlanesToBytes(line, bpl, h.planes, width, indices);
        PackIndexRow(indices, width, 4, row);
    } else if (h.bitsPerPlane == 2) {
        for (int x = 0; x < width; ++x) indices[x] = (line[x >> 2] >> (6 - 2 * (x & 3))) & 3;
        PackIndexRow(indices, width, 4, row);
    } else {
        // 1, 4 and 8 bits in one plane are laid out as in the image record already.
        std::memcpy(row, line, (std::size_t(width) * outBits + 7) / 8);
    }
}

ReadResult Decode(Bytes file, const ReadOptions&) {
    PcxHeader h;
    if (!ReadHeader(file, h)) return Refused(ReadFailure::Damaged);
    const int outBits = OutputBits(h);
    if (outBits == 0) return Refused(ReadFailure::Damaged);
    if (!ImageSizeAllowed(h.width, h.height)) return Refused(ReadFailure::TooLarge);
    if (h.bytesPerLine < (std::size_t(h.width) * h.bitsPerPlane + 7) / 8)
        return Refused(ReadFailure::Damaged);

    // Refuse a header that promises more than the data could possibly unpack to:
    // a two-byte run gives at most 63 bytes.
    const Bytes data = file.subspan(kHeaderSize);
    const std::size_t lineBytes = h.bytesPerLine * std::size_t(h.planes);
    const std::uint64_t needed = std::uint64_t(lineBytes) * std::uint64_t(h.height);
    if (needed > std::uint64_t(data.size()) * (h.rle ? 32 : 1))
        return Refused(h.rle ? ReadFailure::TooLarge : ReadFailure::Damaged);

    dib image;
    if (outBits == 24) {
        image = newdib(int(h.width), int(h.height), 24, nullptr, 0);
    } else {
        const std::vector<PaletteColor> colors = Palette(file, h);
        image =
            NewPaletteDib(int(h.width), int(h.height), outBits, colors.data(), int(colors.size()));
    }
    OwnedDib owner(Allocated(image));

    std::vector<std::uint8_t> line(lineBytes);
    std::vector<std::uint8_t> indices((std::size_t(h.width) + 7) / 8 * 8);
    RunLengthReader source(data, 1, h.rle, NextPcxPacket);
    for (int y = 0; y < int(h.height); ++y) {
        if (!source.Read(line.data(), lineBytes)) return Refused(ReadFailure::Damaged);
        ConvertLine(h, outBits, line.data(), PictureRowPtr(image, y), indices.data());
    }
    return Decoded(owner.release());
}

}  // namespace

const Decoder kPcxDecoder{"PCX-Bild", "*.pcx", Matches, Decode};

}  // namespace lumivane
