// Mixing one motif colour into one bitmap pixel: m weighs the bitmap pixel and 255 - m the
// motif, each sum divided by 255 rounding down; the fourth byte becomes 0.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/wintypes.h"

namespace lumivane {

// bgr: the motif pixel's blue, green, red; target: the bitmap pixel (blue, green, red, fourth).
// Read and written as one 32-bit word: byte stores could alias anything and would make the
// compiler reload every loop invariant.
inline void BlendPixel(const BYTE* bgr, BYTE m, BYTE* target) {
    std::uint32_t d;
    std::memcpy(&d, target, 4);
    const std::uint32_t keep = m;
    const std::uint32_t take = 255u - m;
    const std::uint32_t b = (bgr[0] * take + (d & 0xFF) * keep) / 255u;
    const std::uint32_t g = (bgr[1] * take + ((d >> 8) & 0xFF) * keep) / 255u;
    const std::uint32_t r = (bgr[2] * take + ((d >> 16) & 0xFF) * keep) / 255u;
    d = b | (g << 8) | (r << 16);
    std::memcpy(target, &d, 4);
}

// The same mix with the three channels side by side in 16-bit lanes of one 64-bit word: two
// multiplications instead of six. A lane's sum is at most 255 * 255, and for x up to 65534,
// x div 255 = (x + 1 + x div 256) div 256, which never carries out of its lane.
inline void BlendPixelPacked(const BYTE* bgr, BYTE m, BYTE* target) {
    constexpr std::uint64_t kLow8 = 0x000000FF00FF00FFull;
    constexpr std::uint64_t kOnes = 0x0000000100010001ull;
    std::uint32_t d;
    std::memcpy(&d, target, 4);
    const std::uint64_t src = bgr[0] | (std::uint64_t(bgr[1]) << 16) | (std::uint64_t(bgr[2]) << 32);
    const std::uint64_t dst =
        (d & 0xFF) | (std::uint64_t(d & 0xFF00) << 8) | (std::uint64_t(d & 0xFF0000) << 16);
    const std::uint64_t x = src * (255u - m) + dst * m;
    const std::uint64_t q = ((x + kOnes + ((x >> 8) & kLow8)) >> 8) & kLow8;
    d = std::uint32_t((q & 0xFF) | ((q >> 8) & 0xFF00) | ((q >> 16) & 0xFF0000));
    std::memcpy(target, &d, 4);
}

}  // namespace lumivane
