// Images, surfaces and expected pixels for the drawing tests.
#pragma once

#include <cstdint>
#include <random>

#include "image/Zerlin.h"

namespace drawtest {

// A 24-bit image whose picture pixel (x, y) has red x, green y and blue x ^ y (mod 256), set
// through the library's own top-down coordinates.
inline dib Picture24(int w, int h) {
    dib d = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setpixel(d, x, y, RGB(BYTE(x), BYTE(y), BYTE(x ^ y)));
    return d;
}

// An image of the given palette depth with a grey ramp table and index (x + 3 y) mod colours.
inline dib PicturePalette(int w, int h, int bits) {
    const int colors = 1 << bits;
    alignas(BITMAPINFO) BYTE storage[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
    auto* table = reinterpret_cast<BITMAPINFO*>(storage);
    for (int i = 0; i < colors; ++i) {
        const BYTE v = BYTE(i * 255 / (colors - 1));
        table->bmiColors[i] = RGBQUAD{v, BYTE(255 - v), BYTE(i), 0};
    }
    dib d = newdib(w, h, bits, table, colors);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setpixel(d, x, y, DWORD((x + 3 * y) % colors));
    return d;
}

// The colour of picture pixel (x, y) as a surface pixel, read through the library.
inline std::uint32_t Expected(const dib& image, int x, int y) {
    DWORD v = getpixel(image, x, y);
    if (DibBitCount(image) <= 8) {
        const RGBQUAD q = image.pmi->bmiColors[v];
        return q.rgbBlue | (q.rgbGreen << 8) | (q.rgbRed << 16);
    }
    return GetBValue(v) | (GetGValue(v) << 8) | (GetRValue(v) << 16);
}

struct Canvas {
    lumivane::Surface surface;
    Canvas(int w, int h, COLORREF fill = RGB(0x55, 0x66, 0x77)) {
        surface.SetSize(w, h);
        surface.Fill(fill);
    }
    std::uint32_t At(int x, int y) const {
        return reinterpret_cast<const std::uint32_t*>(surface.ScanLine(y))[x];
    }
};

}  // namespace drawtest
