// The quarter turn: a tiled transpose straight in the pixel memory.
#include "image/quarter_turn.h"

#include <algorithm>
#include <cstring>

#include "image/Zerlin.h"
#include "image/copied_colors.h"
#include "image/stored_rows.h"

namespace {

using lumivane::StoredRow;

// In storage order the turn is a transpose: stored row r, column x of the source becomes stored
// row x, column H - 1 - r of the turned image. Working in square tiles keeps the rows being
// read and written in the cache.
template <typename CopyPixel>
void Turn(const dib& src, const dib& dst, CopyPixel copyPixel) {
    constexpr int kTile = 64;
    const int width = DibWidth(src);
    const int height = DibHeight(src);
    for (int r0 = 0; r0 < height; r0 += kTile) {
        const int r1 = std::min(r0 + kTile, height);
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int x1 = std::min(x0 + kTile, width);
            for (int x = x0; x < x1; ++x) {
                BYTE* out = StoredRow(dst, x);
                for (int r = r0; r < r1; ++r) copyPixel(StoredRow(src, r), x, out, height - 1 - r);
            }
        }
    }
}

template <int Bytes>
void CopyBytes(const BYTE* in, int inX, BYTE* out, int outX) {
    std::memcpy(out + Bytes * outX, in + Bytes * inX, Bytes);
}

}  // namespace

dib TurnDibQuarter(const dib& image) {
    if (!image.poi || !image.pmi) return dib{};
    const int bits = DibBitCount(image);
    dib turned = newdib(DibHeight(image), DibWidth(image), bits, image.pmi,
                        lumivane::CopiedColorCount(image));
    if (!turned.poi) return turned;

    switch (bits) {
        case 1:  // the turned rows start zeroed, so set bits can be ORed in
            Turn(image, turned, [](const BYTE* in, int inX, BYTE* out, int outX) {
                lumivane::OrBit(out, outX, lumivane::Bit(in, inX));
            });
            break;
        case 4:
            Turn(image, turned, [](const BYTE* in, int inX, BYTE* out, int outX) {
                lumivane::OrNibble(out, outX, lumivane::Nibble(in, inX));
            });
            break;
        case 8:
            Turn(image, turned, CopyBytes<1>);
            break;
        case 16:
            Turn(image, turned, CopyBytes<2>);
            break;
        case 24:
            Turn(image, turned, CopyBytes<3>);
            break;
        case 32:
            Turn(image, turned, CopyBytes<4>);
            break;
    }
    return turned;
}

bool TurnBackgroundQuarter(dib& bkgnd) {
    const dib turned = TurnDibQuarter(bkgnd);
    if (!turned.poi) return false;
    FreeDib(bkgnd);
    bkgnd = turned;
    return true;
}
