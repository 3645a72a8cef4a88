// The image library: creates, loads, reads, writes, halftones and frees image records.
// Every operation takes the record by value and never changes the caller's copy.
#pragma once

#include <cstdint>

#include "platform/imagelib/dib.h"

// Largest image any loader accepts: 65535 pixels a side and 512 megapixels (2^29) in all.
constexpr int kMaxImageSide = 65535;
constexpr std::int64_t kMaxImagePixels = std::int64_t(512) << 20;

// Loads an image file at its natural depth (1, 4, 8, 16 or 24 bits per pixel).
// The format is recognised from the content. No image (poi == nullptr) when it cannot be read.
dib OpenDib(const char* filename, int flags, HWND window);

// A new zeroed image of 1, 4, 8, 16, 24 or 32 bits per pixel. With colors > 0 the colour table
// is the first `colors` entries behind palsrc. On failure poi is nullptr and poih 0.
dib newdib(int width, int height, int bits, const BITMAPINFO* palsrc, int colors);

// Releases the image's memory; the caller's record is unchanged.
void deldib(dib image);

// Pixel (x, y), row y counted from the top of the picture. 24 and 32 bits: red in bits 0-7,
// green 8-15, blue 16-23. 16 bits: the stored 5-5-5 word. Palette images: the index.
// Outside the image: 0.
DWORD getpixel(dib image, int x, int y);
// Writes pixel (x, y) with a value as getpixel returns it. Outside the image: nothing.
void setpixel(dib image, int x, int y, DWORD value);

// An 8-bit palette copy of a 24-bit image for a screen of 8 bits per pixel or fewer.
dib DIBHalftoneDIB(dib image);
// As DIBHalftoneDIB, resampled to the new size.
dib DIBHalftoneDIBXY(dib image, int width, int height);

// The open dialog's filter: every readable format, "all images" first, in Qt's filter syntax.
const char* GetDIBOpenFilter();
