// DrawDib24Rows and DrawDib8Rows: nearest-pixel scaling into one reused row buffer, one
// SetDIBitsToDevice per destination row.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/Zerlin.h"
#include "platform/parallel.h"

namespace {

constexpr LONG kWidestDrawing = kMaxImageSide * 16;

struct RowPlan {
    std::vector<std::int64_t> Col;  // byte offset of each destination column's source pixel
    LONG First, Last;               // the destination columns whose source pixel is in the image
};

RowPlan PlanColumns(LONG DestW, LONG W, LONG SrcX, LONG SrcW, int bytesPerPixel) {
    // 64-bit, so that huge sizes cannot wrap into a wrong column.
    RowPlan plan{std::vector<std::int64_t>(static_cast<std::size_t>(DestW)), DestW, 0};
    for (LONG i = 0; i < DestW; ++i) {
        plan.Col[i] = (SrcX + std::int64_t(SrcW) * i / DestW) * bytesPerPixel;
        if (plan.Col[i] >= 0 && plan.Col[i] < std::int64_t(W) * bytesPerPixel) {
            if (plan.First == DestW) plan.First = i;
            plan.Last = i;
        }
    }
    return plan;
}

// Byte offset of the stored row that shows destination row r (rows are stored bottom-up).
std::int64_t SourceRowOffset(const dib& Image, LONG H, LONG TopRow, LONG SrcH, LONG DestH, LONG r) {
    return (H - 1 - (TopRow + std::int64_t(SrcH) * r / DestH)) * Image.bytew;
}

LONG RowY(LONG Y, LONG r) {
    return LONG(std::uint32_t(Y) + std::uint32_t(r));
}

// The pixels the per-row transfers of a 24-bit drawing produce, written straight into the
// surface: one pass from the image to the surface instead of two, and a repeated source row is
// copied from the destination row above. Columns outside First..Last and rows outside the image
// come out black, as from the zeroed row buffer.
void Draw24RowsDirect(lumivane::Surface& target, LONG X, LONG Y, LONG DestW, LONG DestH,
                      const dib& Image, const RowPlan& plan, LONG TopRow, LONG SrcH, LONG rowBegin,
                      LONG rowEnd) {
    const std::int64_t c0 = std::max<std::int64_t>(X, 0);
    const std::int64_t c1 = std::min<std::int64_t>(std::int64_t(X) + DestW, target.Width());
    if (c0 >= c1) return;
    const std::size_t n = std::size_t(c1 - c0);
    const LONG H = DibHeight(Image);
    const std::int64_t MaxOff = std::int64_t(H - 1) * Image.bytew;
    const std::int64_t imageBytes = std::int64_t(H) * Image.bytew;
    const auto* src = static_cast<const BYTE*>(Image.poi);

    std::int64_t prevOff = -1;
    const std::uint32_t* prevOut = nullptr;
    for (LONG r = rowBegin; r < rowEnd; ++r) {
        const std::int64_t dy = RowY(Y, r);
        if (dy < 0 || dy >= target.Height()) {
            prevOut = nullptr;
            continue;
        }
        auto* out = reinterpret_cast<std::uint32_t*>(target.ScanLine(int(dy))) + c0;
        const std::int64_t Off = SourceRowOffset(Image, H, TopRow, SrcH, DestH, r);
        if (prevOut && Off == prevOff) {
            std::memcpy(out, prevOut, n * 4);
        } else if (Off < 0 || Off > MaxOff) {
            std::fill(out, out + n, 0u);
        } else {
            // Destination columns [a, b) of this span have a source pixel; the rest are black.
            const std::int64_t a = std::clamp<std::int64_t>(std::int64_t(X) + plan.First, c0, c1);
            const std::int64_t b = std::clamp<std::int64_t>(std::int64_t(X) + plan.Last + 1, a, c1);
            std::fill(out, out + (a - c0), 0u);
            std::fill(out + (b - c0), out + n, 0u);
            const BYTE* line = src + Off;
            const std::int64_t* col = plan.Col.data() + (a - X);
            std::uint32_t* dst = out + (a - c0);
            const std::int64_t count = b - a;
            // A pixel is read as a 4-byte word unless that runs past the image's last byte.
            const std::int64_t room = imageBytes - Off - 4;
            for (std::int64_t k = 0; k < count; ++k) {
                const BYTE* p = line + col[k];
                std::uint32_t px;
                if (col[k] <= room) {
                    std::memcpy(&px, p, 4);
                    px &= 0x00FFFFFFu;
                } else {
                    px = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                         (std::uint32_t(p[2]) << 16);
                }
                dst[k] = px;
            }
        }
        prevOff = Off;
        prevOut = out;
    }
}

template <int BytesPerPixel>
void DrawRows(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
              LONG TopRow, LONG SrcW, LONG SrcH) {
    if (!Image.poi || !Image.pmi) return;
    // Widths the image library has no row buffer for are not drawn, by any path.
    if (DestW < 1 || DestW > kWidestDrawing) return;

    const LONG W = DibWidth(Image), H = DibHeight(Image);
    const RowPlan plan = PlanColumns(DestW, W, SrcX, SrcW, BytesPerPixel);
    if (lumivane::Surface* target = DirectSurface(DC); target && BytesPerPixel == 3) {
        // Rows are independent: a large drawing is shared between threads, in bands of rows
        // handed to whichever is free.
        constexpr std::int64_t kRowsPerChunk = 64;
        lumivane::ForChunks(DestH, kRowsPerChunk,
                            std::int64_t(DestW) * DestH >= lumivane::SplitThresholds::kDrawRows,
                            [&](std::int64_t begin, std::int64_t end) {
                                Draw24RowsDirect(*target, X, Y, DestW, DestH, Image, plan, TopRow,
                                                 SrcH, LONG(begin), LONG(end));
                            });
        return;
    }

    // The row buffer; an 8-bit one carries the image's colour table.
    dib R =
        BytesPerPixel == 3 ? newdib(DestW, 1, 24, nullptr, 0) : newdib(DestW, 1, 8, Image.pmi, 256);
    if (!R.poi) return;

    const auto* src = static_cast<const BYTE*>(Image.poi);
    auto* row = static_cast<BYTE*>(R.poi);
    const std::int64_t MaxOff = std::int64_t(H - 1) * Image.bytew;
    std::int64_t Prev = -1;
    for (LONG r = 0; r < DestH; ++r) {
        const std::int64_t Off = SourceRowOffset(Image, H, TopRow, SrcH, DestH, r);
        if (Off < 0 || Off > MaxOff) {
            std::memset(row, 0, std::size_t(R.bytew));
        } else if (Off != Prev) {
            const BYTE* line = src + Off;
            for (LONG j = plan.First; j <= plan.Last; ++j) {
                std::memcpy(row + std::ptrdiff_t(j) * BytesPerPixel, line + plan.Col[j],
                            BytesPerPixel);
            }
            Prev = Off;
        }
        SetDIBitsToDevice(DC, X, RowY(Y, r), DWORD(DestW), 1, 0, 0, 0, 1, R.poi, R.pmi,
                          DIB_RGB_COLORS);
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
