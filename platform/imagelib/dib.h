// The image record the image library exchanges by value with the program.
//
// Copies share one pixel memory; exactly one copy owns it and frees it (FreeDib / deldib).
// Pixels are DIB rows, stored bottom-up, each row padded to a multiple of 4 bytes.
#pragma once

#include <cstddef>

#include "platform/wintypes.h"

// A LOGPALETTE with room for 256 entries. Entry i: red, green, blue, flags.
struct LPAL {
    WORD ver;
    WORD num;
    BYTE rgb0[256][4];
};
static_assert(sizeof(LPAL) == 1028);

struct dib {
    BITMAPINFO* pmi;  // header + colour table (256 entries of room)
    DWORD poih;       // non-zero while the library holds pixels for this image
    DWORD pmih;
    void* poi;    // first stored row (the bottom row of the picture); nullptr = no image
    LONG bytew;   // bytes per stored row
    BYTE ispal;   // 1 for palette images
    LPAL pal;     // same colours as the colour table behind pmi
    HPALETTE NOTUSEDINFIXEDMEMlp;
    LONG zoom;
    LONG scx;
    LONG scy;
    LONG mx1;
    LONG my1;
    LONG mx2;
    LONG my2;
};

// The parts of the layout that do not depend on the pointer size.
static_assert(offsetof(dib, pmih) == offsetof(dib, poih) + 4);
static_assert(offsetof(dib, ispal) == offsetof(dib, bytew) + 4);
static_assert(offsetof(dib, pal) == offsetof(dib, ispal) + 2, "one byte of padding after ispal");
static_assert(offsetof(dib, scx) == offsetof(dib, zoom) + 4);
static_assert(offsetof(dib, my2) == offsetof(dib, zoom) + 24);
static_assert(sizeof(void*) != 4 || sizeof(dib) == 1084, "the 32-bit record is 1084 bytes");
