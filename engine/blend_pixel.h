// Mixing one motif colour into one bitmap pixel.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/wintypes.h"

namespace lumivane {

// bgr: the motif pixel's blue, green, red; target: the bitmap pixel (blue, green, red, fourth).
// m weighs the bitmap pixel and 255 - m the motif; the sums are divided rounding down and the
// fourth byte becomes 0.
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

}  // namespace lumivane
