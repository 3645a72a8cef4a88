// Creating and freeing image records.
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/pixel_memory.h"

namespace {

constexpr std::size_t kColorTableEntries = 256;

bool IsSupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

dib newdib(int width, int height, int bits, const BITMAPINFO* palsrc, int colors) {
    dib d{};
    if (width < 1 || height < 1 || !IsSupportedDepth(bits)) return d;
    if (width > kMaxImageSide * 16 || height > kMaxImageSide * 16) return d;

    const std::int64_t stride = (std::int64_t(width) * bits + 31) / 32 * 4;
    const std::int64_t bytes = stride * height;
    if (stride > INT32_MAX || bytes > (std::int64_t(1) << 32)) return d;

    auto* info = static_cast<BITMAPINFO*>(
        std::calloc(1, sizeof(BITMAPINFOHEADER) + kColorTableEntries * sizeof(RGBQUAD)));
    void* pixels = lumivane::AllocateZeroedPixels(static_cast<std::size_t>(bytes));
    if (!info || !pixels) {
        std::free(info);
        std::free(pixels);
        return d;
    }

    BITMAPINFOHEADER& h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bits);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(bytes > UINT32_MAX ? 0 : bytes);
    h.biXPelsPerMeter = 3780;  // 96 dpi
    h.biYPelsPerMeter = 3780;

    d.pal.ver = 0x300;
    if (bits <= 8) {
        const int maxColors = 1 << bits;
        const int n = colors < 0 ? 0 : (colors > maxColors ? maxColors : colors);
        if (palsrc && n > 0) {
            std::memcpy(info->bmiColors, palsrc->bmiColors, std::size_t(n) * sizeof(RGBQUAD));
        }
        h.biClrUsed = static_cast<DWORD>(n);
        d.pal.num = static_cast<WORD>(n);
        for (int i = 0; i < n; ++i) {
            const RGBQUAD& q = info->bmiColors[i];
            d.pal.rgb0[i][0] = q.rgbRed;
            d.pal.rgb0[i][1] = q.rgbGreen;
            d.pal.rgb0[i][2] = q.rgbBlue;
            d.pal.rgb0[i][3] = 0;
        }
        d.ispal = 1;
    }

    d.pmi = info;
    d.poi = pixels;
    d.bytew = static_cast<LONG>(stride);
    d.poih = 1;
    d.pmih = 1;
    return d;
}

void deldib(dib image) {
    std::free(image.poi);
    std::free(image.pmi);
}
