// The small routines over the image record.
#include <cstdint>

#include "image/Zerlin.h"

void FreeDib(dib& image) {
    deldib(image);
    image.poi = nullptr;
}

LONG DibWidth(const dib& image) { return image.pmi->bmiHeader.biWidth; }

LONG DibHeight(const dib& image) { return image.pmi->bmiHeader.biHeight; }

LONG DibBitCount(const dib& image) { return image.pmi->bmiHeader.biBitCount; }

LONG PowerOfTwo(LONG n) {
    if (n <= 0) return 1;
    if (n >= 32) return 0;  // the doubling has wrapped past bit 31
    return static_cast<LONG>(std::uint32_t(1) << n);
}

LONG DibColorCount(const dib& image) { return PowerOfTwo(DibBitCount(image)); }
