// ConvertDib: palette and 16-bit images to 24 bits per pixel, one direct pass over the rows.
#include "image/convert_dib.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "image/Zerlin.h"
#include "platform/imagelib/stored_rows.h"

namespace {

using lumivane::StoredRow;

// A colour as a 24-bit pixel stored little-endian in the low three bytes: blue, green, red.
using Bgr = std::uint32_t;

Bgr PaletteBgr(const LPAL& pal, int i) {
    return Bgr(pal.rgb0[i][2]) | Bgr(pal.rgb0[i][1]) << 8 | Bgr(pal.rgb0[i][0]) << 16;
}

// Writes every pixel with `colorOf(row, x)`. Each pixel but the last of a row is stored as four
// bytes, the fourth overwritten by the next pixel; the last stores three so that nothing
// lands beyond the row.
template <typename ColorOf>
void ConvertRows(const dib& src, const dib& dst, ColorOf colorOf) {
    const int width = DibWidth(src);
    const int height = DibHeight(src);
    for (int y = 0; y < height; ++y) {
        const BYTE* in = StoredRow(src, y);
        BYTE* out = StoredRow(dst, y);
        int x = 0;
        for (; x < width - 1; ++x) {
            const Bgr c = colorOf(in, x);
            std::memcpy(out + 3 * x, &c, 4);
        }
        const Bgr c = colorOf(in, x);
        std::memcpy(out + 3 * x, &c, 3);
    }
}

// A 5-5-5 word only shifted up, the low bits left clear: 31 becomes 248.
Bgr Widen555(unsigned w) {
    return Bgr((w & 31) << 3) | Bgr(((w >> 5) & 31) << 3) << 8 | Bgr(((w >> 10) & 31) << 3) << 16;
}

}  // namespace

void ConvertDib(dib& image, int bits) {
    if (bits != 24 || !image.poi || !image.pmi) return;
    const int depth = DibBitCount(image);
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16) return;

    dib converted = newdib(DibWidth(image), DibHeight(image), 24, nullptr, 0);
    // newdib reports failure through poih.
    if (converted.poih == 0 || !converted.poi) return;

    std::array<Bgr, 256> colors;
    for (int i = 0; i < 256; ++i) colors[i] = PaletteBgr(image.pal, i);

    const Bgr* table = colors.data();
    switch (depth) {
        case 1:
            // A set bit is colour 1, a clear one colour 0. Reading the bits in storage order
            // gives what getpixel/setpixel would, as both images share the row order.
            ConvertRows(image, converted,
                        [table](const BYTE* row, int x) { return table[lumivane::Bit(row, x)]; });
            break;
        case 4:
            ConvertRows(image, converted, [table](const BYTE* row, int x) {
                return table[lumivane::Nibble(row, x)];
            });
            break;
        case 8:
            ConvertRows(image, converted,
                        [table](const BYTE* row, int x) { return table[row[x]]; });
            break;
        case 16:
            ConvertRows(image, converted, [](const BYTE* row, int x) {
                return Widen555(unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8);
            });
            break;
    }

    FreeDib(image);
    image = converted;
}
