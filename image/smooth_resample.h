// Resampling for the high-quality mode: each target pixel averages the source over its footprint
// when shrinking and interpolates bilinearly when enlarging, so fine patterns do not alias.
#pragma once

#include <vector>

#include "platform/gdi/surface.h"
#include "platform/imagelib/dib.h"

namespace lumivane {

// The weights of one axis: target position i takes count[i] source pixels from first[i] on, with
// the weights weights[offset[i] ...]. Source pixel j covers [j, j + 1) and target pixel i covers
// [i, i + 1) of the same span scaled to the target size. Shrinking: each source pixel is weighed
// by its overlap with the footprint. Enlarging or equal: the bilinear weights at the target
// centre's source position, held inside the outermost centres. The weights of a position sum
// to 1, and at equal sizes each position takes its own pixel alone.
struct ResampleAxis {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> offset;
    std::vector<float> weights;
    int maxCount = 0;
};
ResampleAxis MakeResampleAxis(int sourceSize, int targetSize);

// Draws `image` scaled to destW x destH with its top-left pixel at (x, y) into `bit`, clipped to
// it, as a plain stretch places it; pixels get a fourth byte of 0. False, drawing nothing, when the
// image cannot be read (no pixels, a depth or compression the device layer cannot draw) or a
// target size is below 1.
bool SmoothStretchDib(const dib& image, Surface& bit, int x, int y, int destW, int destH);

// A 24-bit copy of `src` (any drawable depth) at newWidth x newHeight with the weights above.
// No image (poi nullptr) when the source cannot be read, a size is below 1, or the library
// cannot create the copy; the source stays the caller's.
dib SmoothResampleDib(const dib& src, int newWidth, int newHeight);

}  // namespace lumivane
