// The rotated masked blend: the motif, turned, scaled and centred (plus a shift), mixed into the
// off-screen bitmap through the feather mask.
#pragma once

#include "platform/gdi/surface.h"
#include "platform/imagelib/dib.h"

namespace lumivane {

// Blends `di` into `bit`, turned by `winkel` degrees (counter-clockwise on screen), scaled by
// `zoom` percent, centred and shifted by (offx, offy) bitmap pixels. Each bitmap pixel of the
// enclosing box takes the nearest motif pixel (inverse mapping); the red byte m of the mask pixel
// in the same motif column and STORED row weighs the bitmap pixel, 255 - m the motif. Blended
// pixels get a fourth byte of 0. Only pixels of `bit` change, and only inside it.
// Draws nothing when the motif or mask has no pixels or is not 24 bits, their sizes differ, the
// zoom is 0 or below, or the angle is not finite. Uses both cores on large pictures; the result
// is the same as DibRotxxxReference's, bit for bit.
void DibRotxxx(const dib& di, const dib& mask, Surface& bit, long double winkel, int offx, int offy,
               int zoom);

// The same blend computed literally, pixel by pixel through getpixel: the yardstick for the
// fast one.
void DibRotxxxReference(const dib& di, const dib& mask, Surface& bit, long double winkel, int offx,
                        int offy, int zoom);

}  // namespace lumivane
