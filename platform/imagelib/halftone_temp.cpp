// TEMPORARY stand-in for DIBHalftoneDIB / DIBHalftoneDIBXY until the image library's own
// halftoning is merged; delete this file then. It maps each pixel to the nearest colour of a
// 6 x 6 x 6 cube (no dithering) and resamples by nearest pixel.
#include <cstdint>

#include "platform/imagelib/imagelib.h"

namespace {

constexpr int kLevels = 6;

BYTE CubeIndex(BYTE v) {
    return BYTE((v * (kLevels - 1) + 127) / 255);
}

dib HalftoneResampled(const dib& image, int width, int height) {
    if (!image.poi || !image.pmi || image.pmi->bmiHeader.biBitCount != 24) return dib{};
    const int W = image.pmi->bmiHeader.biWidth, H = image.pmi->bmiHeader.biHeight;
    BYTE table[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
    auto* cube = reinterpret_cast<BITMAPINFO*>(table);
    for (int i = 0; i < kLevels * kLevels * kLevels; ++i) {
        cube->bmiColors[i] = RGBQUAD{BYTE(i % kLevels * 51), BYTE(i / kLevels % kLevels * 51),
                                     BYTE(i / (kLevels * kLevels) * 51), 0};
    }
    dib out = newdib(width, height, 8, cube, kLevels * kLevels * kLevels);
    if (!out.poi) return out;
    for (int y = 0; y < height; ++y) {
        const auto* srcRow = static_cast<const BYTE*>(image.poi) +
                             std::ptrdiff_t(std::int64_t(y) * H / height) * image.bytew;
        auto* dstRow = static_cast<BYTE*>(out.poi) + std::ptrdiff_t(y) * out.bytew;
        for (int x = 0; x < width; ++x) {
            const BYTE* p = srcRow + 3 * std::ptrdiff_t(std::int64_t(x) * W / width);
            dstRow[x] = BYTE(CubeIndex(p[0]) + kLevels * CubeIndex(p[1]) +
                             kLevels * kLevels * CubeIndex(p[2]));
        }
    }
    return out;
}

}  // namespace

dib DIBHalftoneDIB(dib image) {
    if (!image.pmi) return dib{};
    return HalftoneResampled(image, image.pmi->bmiHeader.biWidth, image.pmi->bmiHeader.biHeight);
}

dib DIBHalftoneDIBXY(dib image, int width, int height) {
    return HalftoneResampled(image, width, height);
}
