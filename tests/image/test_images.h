// Small images made in the tests, and pixel comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/Zerlin.h"

namespace lumivane::test {

// An image whose colour table holds `colors` distinct colours (entry i: blue i, green 255 - i,
// red 7 * i), pixels zero.
inline dib MakeImage(int width, int height, int bits, int colors = 256) {
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* table = reinterpret_cast<RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < 256; ++i) table[i] = {BYTE(i), BYTE(255 - i), BYTE(7 * i), 0};
    return newdib(width, height, bits, reinterpret_cast<const BITMAPINFO*>(info.data()),
                  bits <= 8 ? colors : 0);
}

// Fills every stored byte, row padding included, with noise.
inline void FillRandom(const dib& image, unsigned seed) {
    std::mt19937 rng(seed);
    auto* p = static_cast<BYTE*>(image.poi);
    for (LONG i = 0; i < image.bytew * DibHeight(image); ++i) p[i] = BYTE(rng());
}

inline dib RandomImage(int width, int height, int bits, unsigned seed) {
    dib d = MakeImage(width, height, bits);
    FillRandom(d, seed);
    return d;
}

// Same size, depth and pixel values as the library reads them.
inline ::testing::AssertionResult SamePixels(const dib& a, const dib& b) {
    if (DibWidth(a) != DibWidth(b) || DibHeight(a) != DibHeight(b) ||
        DibBitCount(a) != DibBitCount(b))
        return ::testing::AssertionFailure() << "size or depth differ";
    for (int y = 0; y < DibHeight(a); ++y)
        for (int x = 0; x < DibWidth(a); ++x)
            if (getpixel(a, x, y) != getpixel(b, x, y))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") " << getpixel(a, x, y) << " vs "
                       << getpixel(b, x, y);
    return ::testing::AssertionSuccess();
}

// Same stored bytes, row padding included.
inline ::testing::AssertionResult SameMemory(const dib& a, const dib& b) {
    if (a.bytew != b.bytew || DibHeight(a) != DibHeight(b))
        return ::testing::AssertionFailure() << "layout differs";
    if (std::memcmp(a.poi, b.poi, std::size_t(a.bytew) * DibHeight(a)) != 0)
        return ::testing::AssertionFailure() << "stored bytes differ";
    return ::testing::AssertionSuccess();
}

inline bool SamePalette(const dib& a, const dib& b, int colors) {
    return std::memcmp(a.pmi->bmiColors, b.pmi->bmiColors, colors * sizeof(RGBQUAD)) == 0 &&
           std::memcmp(a.pal.rgb0, b.pal.rgb0, colors * 4) == 0 && a.pal.num == b.pal.num;
}

// A record whose header claims a size the library refuses to create; its pixels are a few
// bytes only, so a routine that reads them before creating its copy trips the sanitizer.
struct OversizedRecord {
    std::vector<BYTE> info = std::vector<BYTE>(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    std::vector<BYTE> pixels = std::vector<BYTE>(16);
    dib record{};

    OversizedRecord(int width, int height, int bits) {
        auto& h = reinterpret_cast<BITMAPINFO*>(info.data())->bmiHeader;
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = width;
        h.biHeight = height;
        h.biBitCount = WORD(bits);
        record.pmi = reinterpret_cast<BITMAPINFO*>(info.data());
        record.poi = pixels.data();
        record.poih = 1;
        record.bytew = 4;
    }
};

}  // namespace lumivane::test
