// Row helpers the bitplane and true-colour readers share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace lumivane {

// Packs one row of palette indices, one per element, into a 1-, 4- or 8-bit DIB row
// (leftmost pixel in the highest bits). Indices are masked to the depth.
template <typename Index>
inline void PackIndexRow(const Index* indices, int width, int bits, std::uint8_t* row) {
    static_assert(std::is_unsigned_v<Index>);
    const unsigned mask = (1u << bits) - 1;
    const int perByte = 8 / bits;
    for (int x = 0; x < width; x += perByte) {
        unsigned byte = 0;
        for (int k = 0; k < perByte; ++k) {
            const unsigned v = x + k < width ? unsigned(indices[x + k]) & mask : 0;
            byte |= v << (8 - bits * (k + 1));
        }
        row[x / perByte] = std::uint8_t(byte);
    }
}

// Gathers interleaved bitplanes into one value per pixel: bit p of pixel x is bit x of plane p
// (leftmost pixel in the highest bit of a byte). Plane p starts at planes + p * planeStride.
inline void PlanesToIndices(const std::uint8_t* planes, std::size_t planeStride, int planeCount,
                            int width, std::uint32_t* out) {
    for (int x = 0; x < width; ++x) out[x] = 0;
    for (int p = 0; p < planeCount; ++p) {
        const std::uint8_t* plane = planes + std::size_t(p) * planeStride;
        const std::uint32_t bit = std::uint32_t(1) << p;
        for (int x = 0; x < width; x += 8) {
            const unsigned b = plane[x >> 3];
            if (b == 0) continue;
            const int n = width - x < 8 ? width - x : 8;
            for (int k = 0; k < n; ++k)
                if (b & (0x80u >> k)) out[x + k] |= bit;
        }
    }
}

// One colour channel of a pixel with coverage `alpha`, laid over white.
constexpr std::uint8_t OverWhite(unsigned channel, unsigned alpha) {
    return std::uint8_t((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace lumivane
