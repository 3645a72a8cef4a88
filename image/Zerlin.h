// The program's image unit: the image record, its small routines, and the pixel work on it
// (conversion, resampling, drawing onto a device, the quarter turn).
#pragma once

#include "platform/imagelib/imagelib.h"

// Frees the image through the library and clears poi; every other field stays.
void FreeDib(dib& image);

LONG DibWidth(const dib& image);
LONG DibHeight(const dib& image);
LONG DibBitCount(const dib& image);

// 1 doubled n times in 32-bit arithmetic (wrapping); n <= 0 gives 1.
LONG PowerOfTwo(LONG n);
// PowerOfTwo(DibBitCount): 2, 16, 256, 65536, 16777216; 0 for 32 bits per pixel.
LONG DibColorCount(const dib& image);

// Colour depth of the screen, measured through a 1 x 1 bitmap compatible with the desktop.
LONG ScreenBitsPerPixel();

// The pixel work on whole images.
#include "image/convert_dib.h"
#include "image/quarter_turn.h"
#include "image/resample_dib.h"
// DrawDibToDevice and the row routines.
#include "image/draw.h"
