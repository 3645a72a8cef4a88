// The feather mask: for every motif pixel the weight of the background, 0 (motif only) to 255
// (background only), held in the red byte of a 24-bit image of the motif's size.
#pragma once

#include "platform/imagelib/dib.h"

namespace lumivane {

// Clears the mask's pixel memory (row padding included) and writes the weights of the
// rectangular or the round mask. maskWidth is the feather band's width and radiusAdjust the
// round mask's radius change, both whole numbers held as floating point; they are rounded half
// to even. A width of 0 or less has no band: the rectangular mask is 0 everywhere, the round one
// a hard-edged circle. A buffer without pixels or of another depth than 24 bits is left alone.
void BuildFeatherMask(dib& mask, double maskWidth, bool round, double radiusAdjust);

}  // namespace lumivane
