// ConvertDib: palette and 16-bit images to 24 bits per pixel, one direct pass over the rows.
#include "image/convert_dib.h"

#include <array>

#include "image/Zerlin.h"
#include "image/stored_rows.h"

namespace {

using lumivane::StoredRow;

// A colour as the three stored bytes of a 24-bit pixel.
struct Bgr {
    BYTE b, g, r;
};

Bgr PaletteBgr(const LPAL& pal, int i) {
    return {pal.rgb0[i][2], pal.rgb0[i][1], pal.rgb0[i][0]};
}

inline void Put(BYTE* p, Bgr c) {
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

// Every pixel of a palette image through the colour table `colors`; `index(row, x)` reads it.
template <typename IndexOf>
void ConvertIndexed(const dib& src, const dib& dst, const Bgr* colors, IndexOf index) {
    const int width = DibWidth(src);
    const int height = DibHeight(src);
    for (int y = 0; y < height; ++y) {
        const BYTE* in = StoredRow(src, y);
        BYTE* out = StoredRow(dst, y);
        for (int x = 0; x < width; ++x) Put(out + 3 * x, colors[index(in, x)]);
    }
}

void Convert16(const dib& src, const dib& dst) {
    const int width = DibWidth(src);
    const int height = DibHeight(src);
    for (int y = 0; y < height; ++y) {
        const BYTE* in = StoredRow(src, y);
        BYTE* out = StoredRow(dst, y);
        for (int x = 0; x < width; ++x) {
            const unsigned w = unsigned(in[2 * x]) | (unsigned(in[2 * x + 1]) << 8);
            // Only shifted up, the low bits stay clear: 31 becomes 248.
            Put(out + 3 * x,
                {BYTE((w & 31) << 3), BYTE(((w >> 5) & 31) << 3), BYTE(((w >> 10) & 31) << 3)});
        }
    }
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

    switch (depth) {
        case 1:
            // A set bit is colour 1, a clear one colour 0. Reading the bits in storage order
            // gives what getpixel/setpixel would, as both images share the row order.
            ConvertIndexed(image, converted, colors.data(), lumivane::Bit);
            break;
        case 4:
            ConvertIndexed(image, converted, colors.data(), lumivane::Nibble);
            break;
        case 8:
            ConvertIndexed(image, converted, colors.data(),
                           [](const BYTE* row, int x) { return row[x]; });
            break;
        case 16:
            Convert16(image, converted);
            break;
    }

    FreeDib(image);
    image = converted;
}
