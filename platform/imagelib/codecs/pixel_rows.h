// Row helpers the bitplane and true-colour readers share.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumivane {

// Packs one row of palette indices, one byte each, into a 1-, 4- or 8-bit DIB row (leftmost
// pixel in the highest bits). Indices are masked to the depth.
inline void PackIndexRow(const std::uint8_t* indices, int width, int bits, std::uint8_t* row) {
    if (bits == 8) {
        std::memcpy(row, indices, std::size_t(width));
        return;
    }
    const unsigned mask = (1u << bits) - 1;
    const int perByte = 8 / bits;
    for (int x = 0; x < width; x += perByte) {
        unsigned byte = 0;
        for (int k = 0; k < perByte; ++k) {
            const unsigned v = x + k < width ? indices[x + k] & mask : 0;
            byte |= v << (8 - bits * (k + 1));
        }
        row[x / perByte] = std::uint8_t(byte);
    }
}

namespace detail {
// Byte b spread over eight bytes: byte k holds bit (7 - k) of b, so the leftmost pixel comes first.
struct SpreadTable {
    std::uint64_t entry[256];
    constexpr SpreadTable() : entry() {
        for (unsigned b = 0; b < 256; ++b)
            for (unsigned k = 0; k < 8; ++k)
                if (b & (0x80u >> k)) entry[b] |= std::uint64_t(1) << (8 * k);
    }
};
inline constexpr SpreadTable kSpread{};
}  // namespace detail

// Gathers up to eight interleaved bitplanes into one byte per pixel: bit p of pixel x is bit x
// of plane p (leftmost pixel in the highest bit of a byte). Plane p starts at
// planes + p * planeStride. `out` needs room for width rounded up to a multiple of 8.
inline void PlanesToBytes(const std::uint8_t* planes, std::size_t planeStride, int planeCount,
                          int width, std::uint8_t* out) {
    static_assert(std::endian::native == std::endian::little);
    const int groups = (width + 7) / 8;
    for (int g = 0; g < groups; ++g) {
        std::uint64_t eight = 0;
        for (int p = 0; p < planeCount; ++p)
            eight |= detail::kSpread.entry[planes[std::size_t(p) * planeStride + g]] << p;
        std::memcpy(out + 8 * g, &eight, 8);
    }
}

// One colour channel of a pixel with coverage `alpha`, laid over white.
constexpr std::uint8_t OverWhite(unsigned channel, unsigned alpha) {
    return std::uint8_t((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace lumivane
