// The overlay order: the motif fills the frame's window and the frame is laid over it, its own
// coverage being the mask.
#pragma once

#include "engine/opening.h"
#include "platform/gdi/surface.h"
#include "platform/imagelib/dib.h"

namespace lumivane {

struct CompositionParams;

// What the overlay needs beside the background picture: the background's coverage (8-bit grey
// image of the background's size, 0 transparent) and its window, in the background's pixels.
struct OverlayFrame {
    const dib& coverage;
    OpeningBox opening;
};

// Lays the motif under the frame already drawn into `bit` (flattened onto white, at
// (frameX, frameY) and frameW x frameH): every pixel the frame does not fully cover becomes the
// frame over what lies beneath, the motif inside the window's box and the fill colour elsewhere.
// The motif is scaled to cover the box (times Zoom2Ed), centred on it, shifted by the margins,
// turned by RotED and cut at the box; `featherMask`, when it has pixels, is the box's feather
// mask (red byte: fill weight). Straight alpha in 8 bits per channel, rounded: over white,
// F a + 255 (255 - a) is what `bit` holds, so F a + U (255 - a) is that plus (U - 255)(255 - a).
// False when the frame's coverage cannot be scaled (no memory).
bool LayMotifUnderFrame(const CompositionParams& params, const OverlayFrame& frame, const dib& di,
                        const dib& featherMask, int frameX, int frameY, int frameW, int frameH,
                        Surface& bit);

// The window's box in the result for a frame drawn at frameW x frameH from (frameX, frameY).
OpeningBox ScaledOpening(const OverlayFrame& frame, int frameX, int frameY, int frameW, int frameH);

}  // namespace lumivane
