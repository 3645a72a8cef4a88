// Direct access to an image's stored rows (bottom-up, in storage order) for the pixel loops
// that must not pay a library call per pixel.
#pragma once

#include <cstddef>

#include "platform/imagelib/dib.h"

namespace lumivane {

inline BYTE* StoredRow(const dib& image, int y) {
    return static_cast<BYTE*>(image.poi) + std::ptrdiff_t(y) * image.bytew;
}

// The 4-bit pixel x of a row: even columns in the high nibble.
inline BYTE Nibble(const BYTE* row, int x) {
    const BYTE b = row[x >> 1];
    return (x & 1) ? BYTE(b & 0x0F) : BYTE(b >> 4);
}

// ORs a nibble into a zeroed row; newdib hands out cleared pixel memory.
inline void OrNibble(BYTE* row, int x, BYTE value) {
    row[x >> 1] |= (x & 1) ? BYTE(value & 0x0F) : BYTE(value << 4);
}

// The 1-bit pixel x of a row: the leftmost pixel is the most significant bit.
inline BYTE Bit(const BYTE* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

inline void OrBit(BYTE* row, int x, BYTE value) {
    row[x >> 3] |= BYTE((value & 1) << (7 - (x & 7)));
}

}  // namespace lumivane
