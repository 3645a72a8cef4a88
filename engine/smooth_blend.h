// The rotated masked blend of the high-quality mode: the same placement as DibRotxxx, but each
// bitmap pixel interpolates the motif and the mask instead of taking the nearest pixel.
#pragma once

#include "platform/gdi/surface.h"
#include "platform/imagelib/dib.h"

namespace lumivane {

// Same arguments, box, centres and inverse scale as DibRotxxx; the source position of a bitmap
// pixel is the one DibRotxxx rounds. Motif colour and mask weight are sampled bilinearly there;
// when the motif is shrunk (zoom below 100) they are averaged over the pixel's footprint in the
// motif, a square of 100 / zoom motif pixels, from an evenly spaced grid of bilinear samples at
// most half a motif pixel apart. A pixel that the motif covers only in part takes the motif by
// its covered share. The mix rounds down like DibRotxxx's, so at angle 0 and zoom 100 the result
// equals DibRotxxx's bit for bit. Draws nothing where DibRotxxx draws nothing.
void DibRotxxxSmooth(const dib& di, const dib& mask, Surface& bit, long double winkel, int offx,
                     int offy, int zoom);

}  // namespace lumivane
