// DIBHalftoneDIB(XY): 8-bit palette copies for screens of 256 colours or fewer.
//
// Direct-colour images are dithered (8 x 8 ordered dither) onto a 6 x 6 x 6 colour cube;
// palette images keep their own colours and are only widened to 8 bits. Resampling picks the
// nearest source pixel.
#include <array>
#include <cstdint>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"

namespace {

using lumivane::PaletteColor;

constexpr int kLevels = 6;  // per channel: 0, 51, 102, 153, 204, 255

constexpr std::array<std::array<std::uint8_t, 8>, 8> kBayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

// level(t, v) = floor(v * 5 / 255 + (2t + 1) / 128): the cube level for value v at threshold t.
struct DitherTable {
    std::array<std::array<std::uint8_t, 256>, 64> level;
    DitherTable() {
        for (int t = 0; t < 64; ++t)
            for (int v = 0; v < 256; ++v)
                level[t][v] =
                    std::uint8_t((v * (kLevels - 1) * 128 + (2 * t + 1) * 255) / (255 * 128));
    }
};

const DitherTable& Dither() {
    static const DitherTable table;
    return table;
}

dib NewCubeDib(int width, int height) {
    std::array<PaletteColor, kLevels * kLevels * kLevels> cube{};
    for (int r = 0; r < kLevels; ++r)
        for (int g = 0; g < kLevels; ++g)
            for (int b = 0; b < kLevels; ++b)
                cube[(r * kLevels + g) * kLevels + b] = {std::uint8_t(r * 51), std::uint8_t(g * 51),
                                                         std::uint8_t(b * 51)};
    return lumivane::NewPaletteDib(width, height, 8, cube.data(), int(cube.size()));
}

// Blue, green, red of pixel x in a stored row of a 16-, 24- or 32-bit image.
void ReadBgr(const std::uint8_t* row, int x, int bits, std::uint8_t bgr[3]) {
    if (bits == 16) {
        const unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
        const auto five = [](unsigned v) { return std::uint8_t((v & 31) * 255 / 31); };
        bgr[0] = five(w), bgr[1] = five(w >> 5), bgr[2] = five(w >> 10);
        return;
    }
    const std::uint8_t* p = row + std::ptrdiff_t(x) * (bits / 8);
    bgr[0] = p[0], bgr[1] = p[1], bgr[2] = p[2];
}

unsigned ReadIndex(const std::uint8_t* row, int x, int bits) {
    if (bits == 8) return row[x];
    if (bits == 4) return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

}  // namespace

dib DIBHalftoneDIBXY(dib image, int width, int height) {
    if (!image.poi || !image.pmi || !lumivane::ImageSizeAllowed(width, height)) return dib{};
    const BITMAPINFOHEADER& h = image.pmi->bmiHeader;
    const int srcW = h.biWidth, srcH = h.biHeight, bits = h.biBitCount;
    if (srcW < 1 || srcH < 1) return dib{};
    const bool palette = bits == 1 || bits == 4 || bits == 8;
    if (!palette && bits != 16 && bits != 24 && bits != 32) return dib{};

    // Nearest source column for each target column, sampled at pixel centres.
    std::vector<int> column(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        column[x] = int((2 * std::int64_t(x) + 1) * srcW / (2 * std::int64_t(width)));

    dib out = palette ? newdib(width, height, 8, image.pmi, 1 << bits) : NewCubeDib(width, height);
    if (!out.poi) return out;
    const DitherTable& dither = Dither();
    for (int y = 0; y < height; ++y) {
        // Stored rows are bottom-up in both images; centre sampling is symmetric, so mapping
        // stored rows directly keeps the picture upright.
        const int sy = int((2 * std::int64_t(y) + 1) * srcH / (2 * std::int64_t(height)));
        const auto* src =
            static_cast<const std::uint8_t*>(image.poi) + std::ptrdiff_t(sy) * image.bytew;
        auto* dst = static_cast<std::uint8_t*>(out.poi) + std::ptrdiff_t(y) * out.bytew;
        if (palette) {
            for (int x = 0; x < width; ++x) dst[x] = std::uint8_t(ReadIndex(src, column[x], bits));
            continue;
        }
        // The dither pattern is anchored at the picture's top row, as seen on screen.
        const auto& pattern = kBayer[(height - 1 - y) & 7];
        for (int x = 0; x < width; ++x) {
            std::uint8_t bgr[3];
            ReadBgr(src, column[x], bits, bgr);
            const auto& level = dither.level[pattern[x & 7]];
            dst[x] =
                std::uint8_t((level[bgr[2]] * kLevels + level[bgr[1]]) * kLevels + level[bgr[0]]);
        }
    }
    return out;
}

dib DIBHalftoneDIB(dib image) {
    if (!image.poi || !image.pmi) return dib{};
    return DIBHalftoneDIBXY(image, image.pmi->bmiHeader.biWidth, image.pmi->bmiHeader.biHeight);
}
