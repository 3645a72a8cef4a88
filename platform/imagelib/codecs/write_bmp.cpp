// Windows bitmaps: plain 24-bit, and 8-bit RLE8 for pictures of at most 256 colours.
#include <cstdint>
#include <vector>

#include "platform/imagelib/codecs/exact_palette.h"
#include "platform/imagelib/codecs/run_length.h"
#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dpi

void WriteHeaders(OutputFile& out, const Bgrx32View& picture, int bits, std::uint32_t compression,
                  std::uint32_t colors, std::uint32_t imageSize) {
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * colors;
    out.Byte('B');
    out.Byte('M');
    out.U32le(offset + imageSize);
    out.U32le(0);  // reserved
    out.U32le(offset);
    out.U32le(kInfoHeaderSize);
    out.U32le(std::uint32_t(picture.width));
    out.U32le(std::uint32_t(picture.height));  // positive: rows stored bottom-up
    out.U16le(1);
    out.U16le(std::uint16_t(bits));
    out.U32le(compression);
    out.U32le(imageSize);
    // A print resolution in pixels per metre, rounded; else the customary 72 dpi.
    const std::uint32_t perMetre =
        picture.dpi > 0 ? std::uint32_t((std::int64_t(picture.dpi) * 20000 + 254) / 508)
                        : std::uint32_t(kPixelsPerMetre);
    out.U32le(perMetre);
    out.U32le(perMetre);
    out.U32le(colors);
    out.U32le(0);
}

// Appends one row in RLE8: runs of equal indices as (count, index), stretches without runs in
// absolute mode (0, count, indices, padding to an even length).
void EncodeRle8Row(const std::uint8_t* idx, int width, std::vector<std::uint8_t>& code) {
    SplitRuns(
        width, 2, 255, [&](int a, int b) { return idx[a] == idx[b]; },
        [&](int first, int count) {
            code.push_back(std::uint8_t(count));
            code.push_back(idx[first]);
        },
        [&](int first, int count) {
            if (count < 3) {  // absolute mode needs at least three pixels
                for (int i = first; i < first + count; ++i) {
                    code.push_back(1);
                    code.push_back(idx[i]);
                }
                return;
            }
            code.push_back(0);
            code.push_back(std::uint8_t(count));
            code.insert(code.end(), idx + first, idx + first + count);
            if (count & 1) code.push_back(0);
        });
}

EncodeResult WriteRle8(const Bgrx32View& picture, const ExactPalette& palette, OutputFile& out) {
    const std::uint32_t colors = std::uint32_t(palette.Size());
    const std::uint64_t start = out.Position();
    WriteHeaders(out, picture, 8, kBiRle8, colors, 0);  // sizes filled in at the end
    for (std::uint32_t i = 0; i < colors; ++i) {
        const std::uint32_t rgb = palette.Color(int(i));
        out.U32le(rgb);  // blue, green, red, 0 in file order
    }
    std::vector<std::uint8_t> indices(std::size_t(picture.width));
    std::vector<std::uint8_t> code;
    std::uint64_t imageSize = 0;
    for (int y = picture.height - 1; y >= 0 && !out.Failed(); --y) {
        const std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < picture.width; ++x, p += 4)
            indices[std::size_t(x)] = palette.IndexOf(ExactPalette::Key(p));
        code.clear();
        EncodeRle8Row(indices.data(), picture.width, code);
        code.push_back(0);
        code.push_back(y == 0 ? 1 : 0);  // end of bitmap after the top row, else end of line
        out.Write(code.data(), code.size());
        imageSize += code.size();
    }
    const std::uint64_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * colors;
    if (offset + imageSize > UINT32_MAX) return EncodeResult::kTooLarge;
    const std::uint64_t end = out.Position();
    out.Seek(start + 2);
    out.U32le(std::uint32_t(offset + imageSize));
    out.Seek(start + kFileHeaderSize + 20);
    out.U32le(std::uint32_t(imageSize));
    out.Seek(end);
    return EncodeResult::kOk;
}

}  // namespace

EncodeResult WriteBmp(const Bgrx32View& picture, OutputFile& out) {
    const std::uint64_t rowBytes = (std::uint64_t(picture.width) * 3 + 3) & ~std::uint64_t(3);
    const std::uint64_t imageSize = rowBytes * std::uint64_t(picture.height);
    if (imageSize + kFileHeaderSize + kInfoHeaderSize > UINT32_MAX) return EncodeResult::kTooLarge;
    WriteHeaders(out, picture, 24, kBiRgb, 0, std::uint32_t(imageSize));
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int y = picture.height - 1; y >= 0 && !out.Failed(); --y) {
        const std::uint8_t* p = picture.Row(y);
        std::uint8_t* q = row.data();
        for (int x = 0; x < picture.width; ++x, p += 4, q += 3) {
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        }
        out.Write(row.data(), row.size());
    }
    return EncodeResult::kOk;
}

EncodeResult WriteRleBmp(const Bgrx32View& picture, OutputFile& out) {
    ExactPalette palette;
    if (palette.Build(picture)) return WriteRle8(picture, palette, out);
    return WriteBmp(picture, out);
}

}  // namespace lumivane
