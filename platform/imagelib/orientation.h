// Turning a picture upright by its EXIF orientation.
#pragma once

#include "platform/imagelib/dib.h"

namespace lumivane {

// A new image showing `image` as its EXIF orientation (2-8) says it is to be seen: mirrored,
// turned by a half or a quarter, or both. Same depth and colour table; 5 to 8 exchange width
// and height. No image (poi nullptr) when there is no memory for it or the orientation is not
// one of 2-8.
dib OrientedDib(const dib& image, int orientation);

}  // namespace lumivane
