// Stretching the composed picture into the preview, whole pixels dropped or repeated.
#pragma once

#include <QImage>
#include <QRect>

#include "platform/gdi/surface.h"

namespace lumivane {

// The part `area` of `bit` stretched to targetWidth x targetHeight, as an opaque image of
// area's size. The picture's fourth byte is ignored (the blend leaves 0 there, which a 32-bit
// target would otherwise take for full transparency). Destination pixel x takes source column
// (2x + 1) * width / (2 * targetWidth), the column under the pixel's centre; rows likewise.
QImage StretchForPreview(const Surface& bit, int targetWidth, int targetHeight, const QRect& area);

}  // namespace lumivane
