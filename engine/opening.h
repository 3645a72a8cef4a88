// Finding a frame's window: the part of a frame with transparency that the photo shows through.
#pragma once

#include <optional>

#include "platform/imagelib/dib.h"

namespace lumivane {

// A rectangle of pixels: left column, top row, width and height.
struct OpeningBox {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const OpeningBox&) const = default;
};

// The bounding box of the largest transparent region (coverage below one half) that does not
// touch the picture's edge; regions touching the edge are the surroundings of a shaped frame,
// not a window. Soft edges count by where they cross one half, and opaque specks inside a
// region do not split it. `coverage` is an 8-bit image, 0 transparent to 255 opaque. Nothing
// when there is no such region, or the image is not 8 bits.
std::optional<OpeningBox> FindOpening(const dib& coverage);

}  // namespace lumivane
