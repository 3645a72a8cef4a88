#include "app/DibImage.h"

#include "image/Zerlin.h"

namespace lumivane {

QImage DibToQImage(const dib& image) {
    if (image.poi == nullptr || image.pmi == nullptr) return {};
    const int width = DibWidth(image), height = DibHeight(image);
    QImage out(width, height, QImage::Format_RGB32);
    if (out.isNull()) return {};
    const LONG bits = DibBitCount(image);
    const bool palette = bits <= 8;
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const DWORD v = getpixel(image, x, y);
            if (palette) {
                const RGBQUAD& c = image.pmi->bmiColors[v & 0xFF];
                line[x] = qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
            } else if (bits == 16) {  // 5-5-5 word
                line[x] = qRgb(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
            } else {
                line[x] = qRgb(GetRValue(v), GetGValue(v), GetBValue(v));
            }
        }
    }
    return out;
}

}  // namespace lumivane
