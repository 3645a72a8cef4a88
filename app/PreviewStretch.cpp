#include "app/PreviewStretch.h"

#include <cstring>
#include <vector>

namespace lumivane {

namespace {

int SourceIndex(int target, int sourceSize, int targetSize) {
    return int((2 * std::int64_t(target) + 1) * sourceSize / (2 * std::int64_t(targetSize)));
}

}  // namespace

QImage StretchForPreview(const Surface& bit, int targetWidth, int targetHeight, const QRect& area) {
    const QRect clipped = area.intersected(QRect(0, 0, targetWidth, targetHeight));
    if (bit.Empty() || clipped.isEmpty()) return {};
    QImage out(clipped.size(), QImage::Format_RGB32);
    if (out.isNull()) return {};

    std::vector<int> columns(std::size_t(clipped.width()));
    for (int i = 0; i < clipped.width(); ++i)
        columns[std::size_t(i)] = SourceIndex(clipped.left() + i, bit.Width(), targetWidth);

    int previousRow = -1;
    for (int y = 0; y < clipped.height(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
        const int row = SourceIndex(clipped.top() + y, bit.Height(), targetHeight);
        if (row == previousRow) {  // a repeated row: copy the one just made
            std::memcpy(line, out.constScanLine(y - 1), std::size_t(clipped.width()) * 4);
            continue;
        }
        previousRow = row;
        const BYTE* source = bit.ScanLine(row);
        for (int i = 0; i < clipped.width(); ++i) {
            std::uint32_t pixel;
            std::memcpy(&pixel, source + std::ptrdiff_t(columns[std::size_t(i)]) * 4, 4);
            line[i] = pixel | 0xFF000000u;  // blue, green, red in memory order; opaque
        }
    }
    return out;
}

}  // namespace lumivane
