// Turning an image by a quarter turn counter-clockwise, for the background's landscape/portrait
// switch.
#pragma once

#include "platform/imagelib/dib.h"

// The image turned a quarter counter-clockwise as seen on screen: width and height exchanged,
// same depth and palette; picture pixel (x, y) lands at (y, W - 1 - x), so the top edge becomes
// the left edge. No image (poi nullptr) when the source is empty or the copy cannot be made.
dib TurnDibQuarter(const dib& image);

// Replaces `bkgnd` by its turned copy. The old image is freed only once the copy is complete;
// when it cannot be made, `bkgnd` stays as it was and the result is false.
bool TurnBackgroundQuarter(dib& bkgnd);
