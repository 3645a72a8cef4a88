// Exchanging an image's rows and columns straight in the pixel memory, for quarter turns and
// the EXIF orientations that turn a picture on its side.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/imagelib/dib.h"
#include "platform/imagelib/stored_rows.h"
#include "platform/parallel.h"

namespace lumivane {

// Copies pixels so that stored row r, column x of `src` lands in stored row x (or W - 1 - x
// with reverseRows), column r (or H - 1 - r with reverseColumns) of `dst`, which has the
// source's height as its width and is cleared. copyPixel(inRow, inX, outRow, outX) copies one
// pixel. Working in square tiles keeps the rows being read and written in the cache; each
// thread writes its own destination rows, so even packed 1- and 4-bit rows are never shared.
template <typename CopyPixel>
void TransposeTiles(const dib& src, const dib& dst, bool reverseColumns, bool reverseRows,
                    CopyPixel copyPixel) {
    constexpr int kTile = 64;
    const int width = src.pmi->bmiHeader.biWidth;
    const int height = src.pmi->bmiHeader.biHeight;
    const std::int64_t columnTiles = (width + kTile - 1) / kTile;
    const bool split = std::int64_t(width) * height >= (std::int64_t(1) << 20);
    ForChunks(columnTiles, 1, split, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t tile = first; tile < last; ++tile) {
            const int x0 = int(tile) * kTile;
            const int x1 = std::min(x0 + kTile, width);
            for (int r0 = 0; r0 < height; r0 += kTile) {
                const int r1 = std::min(r0 + kTile, height);
                for (int x = x0; x < x1; ++x) {
                    BYTE* out = StoredRow(dst, reverseRows ? width - 1 - x : x);
                    const int sign = reverseColumns ? -1 : 1;
                    int outX = reverseColumns ? height - 1 - r0 : r0;
                    for (int r = r0; r < r1; ++r, outX += sign)
                        copyPixel(StoredRow(src, r), x, out, outX);
                }
            }
        }
    });
}

template <int Bytes>
void CopyPixelBytes(const BYTE* in, int inX, BYTE* out, int outX) {
    std::memcpy(out + Bytes * outX, in + Bytes * inX, Bytes);
}

inline void CopyPixelNibble(const BYTE* in, int inX, BYTE* out, int outX) {
    OrNibble(out, outX, Nibble(in, inX));
}

inline void CopyPixelBit(const BYTE* in, int inX, BYTE* out, int outX) {
    OrBit(out, outX, Bit(in, inX));
}

// TransposeTiles with the pixel copy that suits the depth (1, 4, 8, 16, 24 or 32 bits).
inline void TransposePixels(const dib& src, const dib& dst, bool reverseColumns, bool reverseRows) {
    switch (src.pmi->bmiHeader.biBitCount) {
        case 1:  // the destination rows start zeroed, so set bits can be ORed in
            TransposeTiles(src, dst, reverseColumns, reverseRows, CopyPixelBit);
            break;
        case 4:
            TransposeTiles(src, dst, reverseColumns, reverseRows, CopyPixelNibble);
            break;
        case 8:
            TransposeTiles(src, dst, reverseColumns, reverseRows, CopyPixelBytes<1>);
            break;
        case 16:
            TransposeTiles(src, dst, reverseColumns, reverseRows, CopyPixelBytes<2>);
            break;
        case 24:
            TransposeTiles(src, dst, reverseColumns, reverseRows, CopyPixelBytes<3>);
            break;
        case 32:
            TransposeTiles(src, dst, reverseColumns, reverseRows, CopyPixelBytes<4>);
            break;
    }
}

}  // namespace lumivane
