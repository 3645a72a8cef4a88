// Mixing one motif colour into one bitmap pixel.
#pragma once

#include "platform/wintypes.h"

namespace lumivane {

// bgr: the motif pixel's blue, green, red; target: the bitmap pixel (blue, green, red, fourth).
// m weighs the bitmap pixel and 255 - m the motif; the sums are divided rounding down and the
// fourth byte becomes 0.
inline void BlendPixel(const BYTE* bgr, BYTE m, BYTE* target) {
    const unsigned keep = m;
    const unsigned take = 255u - m;
    target[0] = BYTE((bgr[0] * take + target[0] * keep) / 255u);
    target[1] = BYTE((bgr[1] * take + target[1] * keep) / 255u);
    target[2] = BYTE((bgr[2] * take + target[2] * keep) / 255u);
    target[3] = 0;
}

}  // namespace lumivane
