// Copying an image at a new size on a 10-bit fixed-point grid.
#pragma once

#include "platform/imagelib/dib.h"

// A new image of newWidth x newHeight with the source's depth and palette. Every depth copies the
// nearest pixel; 24-bit images are blended bilinearly instead when `smooth` is set and neither
// side shrinks. No image (poi nullptr) when a size is below 1, the source is empty or too large
// for the fixed-point grid, or the library cannot create the copy; the source stays the caller's.
dib ResampleDib(const dib& src, int newWidth, int newHeight, bool smooth);
