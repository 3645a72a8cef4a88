// The eight EXIF orientations. Those that keep the picture's sides (2-4) mirror rows and their
// order; those that turn it on its side (5-8) are transposes, tiled like the quarter turn.
#include "platform/imagelib/orientation.h"

#include <algorithm>
#include <cstring>

#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/tiled_transpose.h"
#include "platform/parallel.h"

namespace lumivane {
namespace {

// One stored row copied with its pixels in reverse order; `out` is cleared.
void MirrorRow(const BYTE* in, BYTE* out, int width, int bits) {
    switch (bits) {
        case 1:
            for (int x = 0; x < width; ++x) OrBit(out, width - 1 - x, Bit(in, x));
            return;
        case 4:
            for (int x = 0; x < width; ++x) OrNibble(out, width - 1 - x, Nibble(in, x));
            return;
        default: {
            const int bytes = bits / 8;
            const BYTE* src = in + std::ptrdiff_t(width - 1) * bytes;
            for (int x = 0; x < width; ++x, src -= bytes, out += bytes)
                std::memcpy(out, src, std::size_t(bytes));
        }
    }
}

void MirrorAndFlip(const dib& src, const dib& dst, bool mirror, bool flip) {
    const int width = src.pmi->bmiHeader.biWidth;
    const int height = src.pmi->bmiHeader.biHeight;
    const int bits = src.pmi->bmiHeader.biBitCount;
    const std::size_t rowBytes = std::size_t(std::min(src.bytew, dst.bytew));
    const bool split = std::int64_t(width) * height >= (std::int64_t(1) << 20);
    ForChunks(height, 64, split, [&](std::int64_t first, std::int64_t last) {
        for (int r = int(first); r < int(last); ++r) {
            const BYTE* in = StoredRow(src, flip ? height - 1 - r : r);
            BYTE* out = StoredRow(dst, r);
            if (mirror)
                MirrorRow(in, out, width, bits);
            else
                std::memcpy(out, in, rowBytes);
        }
    });
}

}  // namespace

dib OrientedDib(const dib& image, int orientation) {
    if (!image.poi || !image.pmi || orientation < 2 || orientation > 8) return dib{};
    const BITMAPINFOHEADER& h = image.pmi->bmiHeader;
    const int bits = h.biBitCount;
    const bool sideways = orientation >= 5;
    dib out = newdib(sideways ? h.biHeight : h.biWidth, sideways ? h.biWidth : h.biHeight, bits,
                     image.pmi, bits <= 8 ? 1 << bits : 0);
    if (!out.poi) return out;
    switch (orientation) {
        case 2:  // mirrored left to right
            MirrorAndFlip(image, out, true, false);
            break;
        case 3:  // turned by a half
            MirrorAndFlip(image, out, true, true);
            break;
        case 4:  // mirrored top to bottom
            MirrorAndFlip(image, out, false, true);
            break;
        case 5:  // mirrored along the main diagonal
            TransposePixels(image, out, true, true);
            break;
        case 6:  // stored turned a quarter anticlockwise: shown turned a quarter clockwise
            TransposePixels(image, out, false, true);
            break;
        case 7:  // mirrored along the other diagonal
            TransposePixels(image, out, false, false);
            break;
        case 8:  // stored turned a quarter clockwise: shown turned a quarter anticlockwise
            TransposePixels(image, out, true, false);
            break;
    }
    return out;
}

}  // namespace lumivane
