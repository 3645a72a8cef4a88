// getpixel / setpixel: one pixel in picture coordinates (row 0 is the top row).
#include "platform/imagelib/imagelib.h"

namespace {

// Start of the stored row that shows picture row y, or nullptr outside the image.
BYTE* PictureRow(const dib& image, int x, int y) {
    if (!image.poi || !image.pmi) return nullptr;
    const BITMAPINFOHEADER& h = image.pmi->bmiHeader;
    if (x < 0 || y < 0 || x >= h.biWidth || y >= h.biHeight) return nullptr;
    return static_cast<BYTE*>(image.poi) + std::ptrdiff_t(h.biHeight - 1 - y) * image.bytew;
}

}  // namespace

DWORD getpixel(dib image, int x, int y) {
    const BYTE* row = PictureRow(image, x, y);
    if (!row) return 0;
    switch (image.pmi->bmiHeader.biBitCount) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4:
            return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        case 8:
            return row[x];
        case 16:
            return DWORD(row[2 * x]) | (DWORD(row[2 * x + 1]) << 8);
        case 24: {
            const BYTE* p = row + 3 * x;
            return RGB(p[2], p[1], p[0]);
        }
        case 32: {
            const BYTE* p = row + 4 * x;
            return RGB(p[2], p[1], p[0]);
        }
        default:
            return 0;
    }
}

void setpixel(dib image, int x, int y, DWORD value) {
    BYTE* row = PictureRow(image, x, y);
    if (!row) return;
    switch (image.pmi->bmiHeader.biBitCount) {
        case 1: {
            const BYTE bit = BYTE(0x80 >> (x & 7));
            if (value & 1)
                row[x >> 3] |= bit;
            else
                row[x >> 3] &= BYTE(~bit);
            break;
        }
        case 4: {
            BYTE& b = row[x >> 1];
            b = (x & 1) ? BYTE((b & 0xF0) | (value & 0x0F))
                        : BYTE((b & 0x0F) | ((value & 0x0F) << 4));
            break;
        }
        case 8:
            row[x] = BYTE(value);
            break;
        case 16:
            row[2 * x] = BYTE(value);
            row[2 * x + 1] = BYTE(value >> 8);
            break;
        case 24: {
            BYTE* p = row + 3 * x;
            p[0] = GetBValue(value);
            p[1] = GetGValue(value);
            p[2] = GetRValue(value);
            break;
        }
        case 32: {
            BYTE* p = row + 4 * x;
            p[0] = GetBValue(value);
            p[1] = GetGValue(value);
            p[2] = GetRValue(value);
            break;
        }
        default:
            break;
    }
}
