// Mixing one motif colour into one bitmap pixel: m weighs the bitmap pixel and 255 - m the
// motif, each sum divided by 255 rounding down; the fourth byte becomes 0.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/simd.h"
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

// The mix of two pixels held as words (blue in the low byte), fourth byte 0.
inline std::uint32_t MixWords(std::uint32_t motif, std::uint32_t bitmap, std::uint32_t m) {
    const std::uint32_t take = 255u - m;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t c =
            (((motif >> shift) & 0xFF) * take + ((bitmap >> shift) & 0xFF) * m) / 255u;
        out |= c << shift;
    }
    return out;
}

// The same mix for the blend's inner loop, the three channels at once: each 32-bit lane gets
// motif * (255 - m) + bitmap * m from one multiply-add, and for x up to 65534,
// x div 255 = (x + 1 + x div 256) div 256.
inline void BlendPixelPacked(const BYTE* bgr, BYTE m, BYTE* target) {
    std::uint16_t blueGreen;
    std::memcpy(&blueGreen, bgr, 2);
    const std::uint32_t src = blueGreen | (std::uint32_t(bgr[2]) << 16);
    if (m == 0) {
        // Inside the feather band's inner edge, the common case: the motif pixel itself.
        std::memcpy(target, &src, 4);
        return;
    }
    std::uint32_t dst;
    std::memcpy(&dst, target, 4);
    if (m == 255) {
        // Beyond the band's outer edge: the bitmap pixel stays, its fourth byte cleared.
        dst &= 0x00FFFFFFu;
        std::memcpy(target, &dst, 4);
        return;
    }
#if LUMIVANE_HAVE_SSE2
    const __m128i zero = _mm_setzero_si128();
    // 16-bit lanes: motif blue, bitmap blue, motif green, bitmap green, ...
    const __m128i pairs = _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(src)), _mm_cvtsi32_si128(int(dst))), zero);
    const __m128i weights = _mm_set1_epi32(int(255u - m) | (int(m) << 16));
    const __m128i x = _mm_madd_epi16(pairs, weights);
    const __m128i ones = _mm_set1_epi32(1);
    const __m128i q =
        _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(x, ones), _mm_srli_epi32(x, 8)), 8);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, zero), zero);
    const std::uint32_t out = std::uint32_t(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFFu;
#else
    const std::uint32_t out = MixWords(src, dst, m);
#endif
    std::memcpy(target, &out, 4);
}

// Two neighbouring bitmap pixels at once, each with its own motif colour and weight. `motif`
// holds the two motif colours as bitmap pixels (fourth bytes 0), the left one in the low half.
// The same arithmetic in 16-bit lanes: motif * 255 + m * (bitmap - motif) equals
// motif * (255 - m) + bitmap * m, which lies in [0, 65025], so the lanes' wrap-around in the
// intermediate steps never shows; and (x + 1 + x div 256) div 256 stays below 2^16 too.
inline void BlendPixelPair(std::uint64_t motif, BYTE m0, BYTE m1, BYTE* target) {
    if ((m0 | m1) == 0) {
        // Both inside the feather band's inner edge, the common case: the motif pixels.
        std::memcpy(target, &motif, 8);
        return;
    }
    std::uint64_t bitmap;
    std::memcpy(&bitmap, target, 8);
#if LUMIVANE_HAVE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i s = _mm_unpacklo_epi8(_mm_cvtsi64_si128(std::int64_t(motif)), zero);
    const __m128i d = _mm_unpacklo_epi8(_mm_cvtsi64_si128(std::int64_t(bitmap)), zero);
    // m0 in the four lanes of the left pixel, m1 in those of the right one.
    __m128i m = _mm_cvtsi32_si128(int(m0) | (int(m1) << 16));
    m = _mm_unpacklo_epi16(m, m);
    m = _mm_unpacklo_epi32(m, m);
    const __m128i x = _mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(s, 8), s),
                                    _mm_mullo_epi16(m, _mm_sub_epi16(d, s)));
    const __m128i q =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
    const std::uint64_t out =
        std::uint64_t(_mm_cvtsi128_si64(_mm_packus_epi16(q, zero))) & 0x00FFFFFF00FFFFFFu;
#else
    const std::uint64_t out =
        MixWords(std::uint32_t(motif), std::uint32_t(bitmap), m0) |
        std::uint64_t(MixWords(std::uint32_t(motif >> 32), std::uint32_t(bitmap >> 32), m1)) << 32;
#endif
    std::memcpy(target, &out, 8);
}

}  // namespace lumivane
