// Drawing an image record onto a device context, scaled, with its source rectangle clipped to
// the image first.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/imagelib/dib.h"

// The rectangles of one drawing. Source coordinates follow the DIB convention: SrcX counts
// columns from the left, SrcY rows from the bottom edge of the image up to the bottom edge of
// the source rectangle.
struct DrawRect {
    LONG X, Y, DestW, DestH;
    LONG SrcX, SrcY, SrcW, SrcH;
};

// Clips the source rectangle to a W x H image, right, bottom, top and left edge in that order,
// shrinking the destination in proportion (32-bit products, quotients rounded half to even).
// False when nothing of the image is left to draw onto a non-empty destination.
bool ClipToImage(DrawRect& r, LONG W, LONG H);

// Draws the source rectangle of Image scaled onto the destination rectangle of DC. Picks the
// way by the image's depth, the kind of device and the screen depth: halftoned (24 bits, screen
// of 8 bits or fewer, Halftone), row by row (24 and 8 bits, not a printer), or stretched
// directly with two fallbacks for devices that refuse it. Leaves DC's stretch mode at
// COLORONCOLOR.
void DrawDibToDevice(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
                     LONG SrcY, LONG SrcW, LONG SrcH, bool Halftone, DWORD Rop);

// Whether drawing the whole of Image at DestW x DestH onto DC (not halftoned) writes every pixel
// of the destination rectangle that lies on the device, so that what was there before no longer
// shows anywhere in it: true for the direct 24-bit drawing onto a surface, which writes black
// where the scaled image has no pixel.
bool DrawCoversDestination(HDC DC, LONG DestW, LONG DestH, const dib& Image);

// Nearest-pixel scaling of a 24-bit (8-bit) image one destination row at a time, each row sent
// with one SetDIBitsToDevice. TopRow is the number of picture rows above the source rectangle.
void DrawDib24Rows(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
                   LONG TopRow, LONG SrcW, LONG SrcH);
void DrawDib8Rows(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
                  LONG TopRow, LONG SrcW, LONG SrcH);
