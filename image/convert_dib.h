// Conversion of palette and 16-bit images to 24 bits per pixel.
#pragma once

#include "platform/imagelib/dib.h"

// Replaces an image of 1, 4, 8 or 16 bits per pixel by a 24-bit copy of the same size, taking
// palette colours from `pal` and widening 5-bit channels by a shift of 3 (largest value 248).
// On success the old pixels are freed and `image` holds the new image. A 24-bit image, an image
// of any other depth, an empty record, or a failed creation leave `image` exactly as it was.
// `bits` is the wanted depth; only 24 converts.
void ConvertDib(dib& image, int bits);
