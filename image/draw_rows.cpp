// DrawDib24Rows and DrawDib8Rows: nearest-pixel scaling into one reused row buffer, one
// SetDIBitsToDevice per destination row.
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/Zerlin.h"

namespace {

template <int BytesPerPixel>
void DrawRows(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
              LONG TopRow, LONG SrcW, LONG SrcH) {
    if (!Image.poi || !Image.pmi) return;
    // The row buffer; an 8-bit one carries the image's colour table.
    dib R =
        BytesPerPixel == 3 ? newdib(DestW, 1, 24, nullptr, 0) : newdib(DestW, 1, 8, Image.pmi, 256);
    if (!R.poi) return;  // no buffer (e.g. DestW < 1): nothing to draw

    const LONG W = DibWidth(Image), H = DibHeight(Image);
    // Byte offset of each destination column's source pixel within a row; 64-bit so that
    // huge sizes cannot wrap into a wrong column.
    std::vector<std::int64_t> Col(static_cast<std::size_t>(DestW));
    LONG First = DestW, Last = 0;
    for (LONG i = 0; i < DestW; ++i) {
        Col[i] = (SrcX + std::int64_t(SrcW) * i / DestW) * BytesPerPixel;
        if (Col[i] >= 0 && Col[i] < std::int64_t(W) * BytesPerPixel) {
            if (First == DestW) First = i;
            Last = i;
        }
    }

    const auto* src = static_cast<const BYTE*>(Image.poi);
    auto* row = static_cast<BYTE*>(R.poi);
    const std::int64_t MaxOff = std::int64_t(H - 1) * Image.bytew;
    std::int64_t Prev = -1;
    for (LONG r = 0; r < DestH; ++r) {
        const std::int64_t pictureRow = TopRow + std::int64_t(SrcH) * r / DestH;
        const std::int64_t Off = (H - 1 - pictureRow) * Image.bytew;
        if (Off < 0 || Off > MaxOff) {
            std::memset(row, 0, std::size_t(R.bytew));
        } else if (Off != Prev) {
            const BYTE* line = src + Off;
            for (LONG j = First; j <= Last; ++j) {
                std::memcpy(row + std::ptrdiff_t(j) * BytesPerPixel, line + Col[j], BytesPerPixel);
            }
            Prev = Off;
        }
        SetDIBitsToDevice(DC, X, LONG(std::uint32_t(Y) + std::uint32_t(r)), DWORD(DestW), 1, 0, 0,
                          0, 1, R.poi, R.pmi, DIB_RGB_COLORS);
    }
    deldib(R);
}

}  // namespace

void DrawDib24Rows(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
                   LONG TopRow, LONG SrcW, LONG SrcH) {
    DrawRows<3>(DC, X, Y, DestW, DestH, Image, SrcX, TopRow, SrcW, SrcH);
}

void DrawDib8Rows(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
                  LONG TopRow, LONG SrcW, LONG SrcH) {
    DrawRows<1>(DC, X, Y, DestW, DestH, Image, SrcX, TopRow, SrcW, SrcH);
}
