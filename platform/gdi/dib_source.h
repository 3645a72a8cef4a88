// Reading a DIB the way the transfer calls need it: validated once, then converted to surface
// pixels (0x00RRGGBB words: blue, green, red, 0 in memory) a row span at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/wintypes.h"

namespace lumivane::gdi {

struct DibSource {
    const BYTE* bits = nullptr;
    int width = 0;
    int height = 0;        // number of stored rows
    bool topDown = false;  // the origin row 0 is the top row instead of the bottom one
    int bitCount = 0;
    std::ptrdiff_t stride = 0;
    std::array<std::uint32_t, 256> colors{};  // colour table as surface pixels; missing = black

    // Stored row s; rows are counted from the origin (the bottom of a bottom-up DIB).
    const BYTE* Row(int s) const { return bits + std::ptrdiff_t(s) * stride; }
};

// Checks the header (uncompressed, 1, 4, 8, 16, 24 or 32 bits, DIB_RGB_COLORS) and reads the
// colour table. False when the DIB cannot be drawn.
bool DescribeDib(const BITMAPINFO* info, const void* bits, UINT usage, DibSource& out);

// Converts pixels x0 .. x0 + n - 1 of a stored row to surface pixels.
void ConvertRow(const DibSource& dib, const BYTE* row, int x0, int n, std::uint32_t* out);

// Combines n source pixels with the destination by a raster operation (false: not supported).
bool IsSupportedRop(DWORD rop);
void ApplyRop(DWORD rop, const std::uint32_t* src, std::uint32_t* dst, int n);

}  // namespace lumivane::gdi
