// The pixel transfer calls: SetDIBitsToDevice, StretchDIBits, SetDIBits and StretchBlt.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/dib_source.h"

using lumivane::Surface;
using lumivane::gdi::ApplyRop;
using lumivane::gdi::ConvertRow;
using lumivane::gdi::DescribeDib;
using lumivane::gdi::DibSource;
using lumivane::gdi::Fails;
using lumivane::gdi::IsSupportedRop;
using lumivane::gdi::Log;
using lumivane::gdi::Target;

namespace {

std::uint32_t* SurfaceRow(Surface& s, std::int64_t y) {
    return reinterpret_cast<std::uint32_t*>(s.ScanLine(int(y)));
}

// A stretch from a source rectangle onto a destination rectangle, nearest pixel, with the
// mirroring that opposite signs ask for. Rectangles are normalised to positive sizes.
struct Stretch {
    std::int64_t x, y, destW, destH;
    std::int64_t srcX, srcY, srcW, srcH;
    bool flipX = false;
    bool flipY = false;

    Stretch(int x_, int y_, int dw, int dh, int sx, int sy, int sw, int sh)
        : x(x_), y(y_), destW(dw), destH(dh), srcX(sx), srcY(sy), srcW(sw), srcH(sh) {
        flipX = (destW < 0) != (srcW < 0);
        flipY = (destH < 0) != (srcH < 0);
        if (destW < 0) x += destW, destW = -destW;
        if (destH < 0) y += destH, destH = -destH;
        if (srcW < 0) srcX += srcW, srcW = -srcW;
        if (srcH < 0) srcY += srcH, srcH = -srcH;
    }

    // The source column (row) under the centre of destination column i (row k), counted from
    // the rectangle's left (top) edge.
    std::int64_t SourceColumn(std::int64_t i) const {
        const std::int64_t j = (2 * i + 1) * srcW / (2 * destW);
        return flipX ? srcW - 1 - j : j;
    }
    std::int64_t SourceRow(std::int64_t k) const {
        const std::int64_t j = (2 * k + 1) * srcH / (2 * destH);
        return flipY ? srcH - 1 - j : j;
    }
};

// Draws a stretch into `target`. rowOf(j) gives row j of the source rectangle (from its top) as
// pixels whose element c is source column columnBase + c, or nullptr when that row lies outside
// the source; it is told the columns it must provide first through Prepare(first, count).
template <class RowSource>
void DrawStretch(Surface& target, const Stretch& s, std::int64_t sourceWidth, DWORD rop,
                 RowSource& source) {
    const std::int64_t c0 = std::max<std::int64_t>(s.x, 0);
    const std::int64_t c1 = std::min<std::int64_t>(s.x + s.destW, target.Width());
    const std::int64_t r0 = std::max<std::int64_t>(s.y, 0);
    const std::int64_t r1 = std::min<std::int64_t>(s.y + s.destH, target.Height());
    if (c0 >= c1 || r0 >= r1) return;

    // Destination columns whose source column lies inside the source: a contiguous run, since
    // the mapping is monotonic.
    std::vector<std::int64_t> column;
    std::int64_t first = -1, last = -1, lo = INT64_MAX, hi = -1;
    column.reserve(std::size_t(c1 - c0));
    for (std::int64_t c = c0; c < c1; ++c) {
        const std::int64_t sc = s.srcX + s.SourceColumn(c - s.x);
        column.push_back(sc);
        if (sc < 0 || sc >= sourceWidth) continue;
        if (first < 0) first = c;
        last = c;
        lo = std::min(lo, sc);
        hi = std::max(hi, sc);
    }
    if (first < 0) return;
    source.Prepare(lo, hi - lo + 1);

    std::vector<std::uint32_t> row(std::size_t(last - first + 1));
    for (std::int64_t r = r0; r < r1; ++r) {
        const std::uint32_t* src = source.Row(s.SourceRow(r - s.y));
        if (!src) continue;
        for (std::int64_t c = first; c <= last; ++c) {
            row[std::size_t(c - first)] = src[column[std::size_t(c - c0)] - lo];
        }
        ApplyRop(rop, row.data(), SurfaceRow(target, r) + first, int(row.size()));
    }
}

// Rows of a DIB, converted a span at a time; a repeated row is converted once.
class DibRows {
  public:
    DibRows(const DibSource& dib, const Stretch& s) : dib_(dib), s_(s) {}

    void Prepare(std::int64_t first, std::int64_t count) {
        first_ = int(first);
        buffer_.resize(std::size_t(count));
    }

    const std::uint32_t* Row(std::int64_t j) {
        const std::int64_t stored = dib_.topDown ? s_.srcY + j : s_.srcY + s_.srcH - 1 - j;
        if (stored < 0 || stored >= dib_.height) return nullptr;
        if (stored != converted_) {
            ConvertRow(dib_, dib_.Row(int(stored)), first_, int(buffer_.size()), buffer_.data());
            converted_ = stored;
        }
        return buffer_.data();
    }

  private:
    const DibSource& dib_;
    const Stretch& s_;
    int first_ = 0;
    std::int64_t converted_ = -1;
    std::vector<std::uint32_t> buffer_;
};

// Rows of a surface, top-down.
class SurfaceRows {
  public:
    SurfaceRows(Surface& surface, const Stretch& s) : surface_(surface), s_(s) {}

    void Prepare(std::int64_t first, std::int64_t) { first_ = first; }

    const std::uint32_t* Row(std::int64_t j) {
        const std::int64_t y = s_.srcY + j;
        if (y < 0 || y >= surface_.Height()) return nullptr;
        return SurfaceRow(surface_, y) + first_;
    }

  private:
    Surface& surface_;
    const Stretch& s_;
    std::int64_t first_ = 0;
};

}  // namespace

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
    if (!dc) return 0;
    DibSource dib;
    const bool valid = DescribeDib(info, bits, usage, dib);
    if (dc->log) {
        GdiCall call{
            "SetDIBitsToDevice", {x, y, width, height, srcX, srcY, startScan, lines}, bits, {}};
        if (valid) {
            const auto* b = static_cast<const BYTE*>(bits);
            call.data.assign(b, b + std::ptrdiff_t(lines) * dib.stride);
        }
        Log(dc->log, std::move(call));
    }
    if (Fails(dc, kFailSetDIBitsToDevice) || !valid) return 0;
    if (width > INT_MAX || height > INT_MAX || lines == 0) return 0;

    Surface* target = Target(dc);
    if (!target) return int(lines);
    // Destination columns [i0, i1) of the rectangle that land on the surface and in the DIB.
    const std::int64_t i0 = std::max<std::int64_t>({0, -std::int64_t(x), -std::int64_t(srcX)});
    const std::int64_t i1 = std::min<std::int64_t>(
        {std::int64_t(width), target->Width() - std::int64_t(x), dib.width - std::int64_t(srcX)});
    if (i0 >= i1) return int(lines);
    const auto* band = static_cast<const BYTE*>(bits);
    for (std::int64_t k = 0; k < std::int64_t(height); ++k) {
        const std::int64_t dy = std::int64_t(y) + k;
        if (dy < 0 || dy >= target->Height()) continue;
        const std::int64_t stored = dib.topDown ? srcY + k : srcY + std::int64_t(height) - 1 - k;
        if (stored < 0 || stored >= dib.height) continue;
        if (stored < std::int64_t(startScan) || stored >= std::int64_t(startScan) + lines) continue;
        const BYTE* row = band + (stored - startScan) * dib.stride;
        ConvertRow(dib, row, int(srcX + i0), int(i1 - i0), SurfaceRow(*target, dy) + x + i0);
    }
    return int(lines);
}

int StretchDIBits(HDC dc, int x, int y, int destW, int destH, int srcX, int srcY, int srcW,
                  int srcH, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    if (!dc) return GDI_ERROR;
    Log(dc, "StretchDIBits", {x, y, destW, destH, srcX, srcY, srcW, srcH, usage, rop});
    DibSource dib;
    if (Fails(dc, kFailStretchDIBits) || !IsSupportedRop(rop) ||
        !DescribeDib(info, bits, usage, dib)) {
        return GDI_ERROR;
    }
    if (destW == 0 || destH == 0 || srcW == 0 || srcH == 0) return 0;
    const Stretch s(x, y, destW, destH, srcX, srcY, srcW, srcH);
    if (Surface* target = Target(dc)) {
        DibRows rows(dib, s);
        DrawStretch(*target, s, dib.width, rop, rows);
    }
    return int(s.srcH);
}

int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
    Log(dc, "SetDIBits", {startScan, lines, usage});
    DibSource dib;
    if (!bitmap || bitmap->selectedInto || Fails(dc, kFailSetDIBits) ||
        !DescribeDib(info, bits, usage, dib)) {
        return 0;
    }
    Surface& target = bitmap->surface;
    const int columns = std::min(dib.width, target.Width());
    const auto* band = static_cast<const BYTE*>(bits);
    int copied = 0;
    for (std::int64_t i = 0; i < std::int64_t(lines); ++i) {
        const std::int64_t stored = std::int64_t(startScan) + i;
        if (stored >= dib.height) break;
        const std::int64_t y = dib.topDown ? stored : dib.height - 1 - stored;
        if (y < target.Height()) {
            ConvertRow(dib, band + i * dib.stride, 0, columns, SurfaceRow(target, y));
        }
        ++copied;
    }
    return copied;
}

BOOL StretchBlt(HDC dc, int x, int y, int destW, int destH, HDC source, int srcX, int srcY,
                int srcW, int srcH, DWORD rop) {
    if (!dc || !source) return FALSE;
    Log(dc, "StretchBlt", {x, y, destW, destH, srcX, srcY, srcW, srcH, rop});
    Surface* from = Target(source);
    if (Fails(dc, kFailStretchBlt) || !IsSupportedRop(rop) || !from) return FALSE;
    if (destW == 0 || destH == 0 || srcW == 0 || srcH == 0) return TRUE;
    Surface* target = Target(dc);
    if (!target) return TRUE;

    Surface copy;
    if (from == target) {
        // Reading and writing the same pixels: stretch from a snapshot.
        if (!copy.SetSize(from->Width(), from->Height())) return FALSE;
        if (!from->Empty()) {
            std::memcpy(copy.Bits(), from->Bits(), std::size_t(from->Stride()) * from->Height());
        }
        from = &copy;
    }
    const Stretch s(x, y, destW, destH, srcX, srcY, srcW, srcH);
    SurfaceRows rows(*from, s);
    DrawStretch(*target, s, from->Width(), rop, rows);
    return TRUE;
}
