// The device layer: the Windows GDI and USER calls the image unit draws with, over 32-bit
// top-down surfaces (lumivane::Surface: blue, green, red, fourth byte).
//
// What callers may rely on, as on Windows:
// - A device context (HDC) draws into one surface: CreateSurfaceDC gives one over a surface the
//   caller owns; a memory DC (CreateCompatibleDC) draws into the bitmap selected into it.
// - DIBs are read through their colour table (DIB_RGB_COLORS) at 1, 4, 8, 16 (5-5-5), 24 and 32
//   bits per pixel, uncompressed, bottom-up (origin = lower-left corner) or top-down (origin =
//   upper-left corner). Whatever falls outside the target surface is clipped.
// - Stretching is nearest pixel in every stretch mode: destination pixel i takes source pixel
//   (2i + 1) * SrcW div (2 * DestW), the one under its centre.
// - StretchDIBits and StretchBlt mirror when the signs of source and destination width (or
//   height) differ, as Windows does. SetDIBitsToDevice has no mirroring: a negative size there
//   fails.
// - Failures return what Windows returns: 0, NULL, FALSE or GDI_ERROR.
// - Bitmaps always hold 32 bits per pixel; the depth they report (GetObject's bmBitsPixel) is
//   their device's BITSPIXEL, so a measuring caller sees the screen depth.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/surface.h"
#include "platform/wintypes.h"

// GetDeviceCaps indices and answers.
constexpr int TECHNOLOGY = 2;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int SIZEPALETTE = 104;

constexpr int DT_RASDISPLAY = 1;
constexpr int DT_RASPRINTER = 2;

constexpr int RC_BITBLT = 0x0001;
constexpr int RC_BITMAP64 = 0x0008;
constexpr int RC_GDI20_OUTPUT = 0x0010;
constexpr int RC_DI_BITMAP = 0x0080;
constexpr int RC_PALETTE = 0x0100;
constexpr int RC_DIBTODEV = 0x0200;
constexpr int RC_BIGFONT = 0x0400;
constexpr int RC_STRETCHBLT = 0x0800;
constexpr int RC_FLOODFILL = 0x1000;
constexpr int RC_STRETCHDIB = 0x2000;
// What a raster display or printer answers to RASTERCAPS (plus RC_PALETTE at 8 bits or fewer).
constexpr int kRasterDeviceCaps = RC_BITBLT | RC_BITMAP64 | RC_GDI20_OUTPUT | RC_DI_BITMAP |
                                  RC_DIBTODEV | RC_BIGFONT | RC_STRETCHBLT | RC_FLOODFILL |
                                  RC_STRETCHDIB;

// Stretch modes. Every mode stretches by nearest pixel here.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

constexpr int GDI_ERROR = -1;

// Raster operations understood by StretchDIBits and StretchBlt; any other one fails.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// The description GetObject gives of a bitmap.
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;  // bytes per row of the device bitmap, a multiple of 2
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;  // always nullptr: device bitmaps expose no pixels
};

// --- Device contexts ---

// A display device context drawing into `target`, which must outlive it. The surface may be
// resized while the context lives: every call draws into its current size. Released with
// DeleteDC. This is how the composition draws into its off-screen bitmap.
HDC CreateSurfaceDC(lumivane::Surface& target);

// A memory device context with the same capabilities as `dc` (the screen when nullptr), holding
// a 1 x 1 monochrome bitmap until another one is selected. Released with DeleteDC.
HDC CreateCompatibleDC(HDC dc);
// Releases a context made by CreateSurfaceDC, CreateCompatibleDC or CreateTestDC. A bitmap
// selected into it is released from it but stays alive.
BOOL DeleteDC(HDC dc);

HWND GetDesktopWindow();
// A display context for the window (the desktop for nullptr), released with ReleaseDC.
// It has no pixels of its own: drawing on it clips everything away.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

int GetDeviceCaps(HDC dc, int index);
// Returns the previous mode, 0 when dc or mode is invalid.
int SetStretchBltMode(HDC dc, int mode);
// Returns the previous palette, nullptr when dc or palette is nullptr. Palettes are kept, not
// realised: every device here shows true colour.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
// The palette currently selected into dc (a stock default one until another is selected).
HPALETTE GetCurrentPalette(HDC dc);

// The surface dc draws into, when a transfer to dc may as well be written straight into that
// memory: nothing logs or refuses calls on it. nullptr otherwise (and for contexts without
// pixels). Lets hot loops skip per-row calls while drawing exactly the same pixels.
lumivane::Surface* DirectSurface(HDC dc);

// --- Bitmaps ---

// A bitmap of the device's depth; nullptr when it cannot be made. A width or height of 0 gives
// a 1 x 1 monochrome bitmap, as on Windows.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Selects a bitmap into a memory DC; returns the previous one, nullptr on failure (not a memory
// DC, or the bitmap is selected into another DC).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// FALSE, and the bitmap stays, while it is selected into a DC. Stock objects are never freed.
BOOL DeleteObject(HGDIOBJ object);
// Copies up to `size` bytes of the object's description (BITMAP) to `out`; returns the number
// of bytes written, or the description's size when out is nullptr; 0 on failure.
int GetObject(HGDIOBJ object, int size, void* out);

// --- Transfers ---

// Sets `lines` scan lines of a DIB, starting at scan line `startScan`, into the bitmap (which must
// not be selected into a DC). Returns the number of lines set, 0 on failure.
int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);
// Copies a width x height rectangle of the DIB, whose lower-left corner is (srcX, srcY) of a
// bottom-up DIB, one to one to (x, y). `bits` holds scan lines startScan .. startScan + lines - 1;
// rows of the rectangle outside them are not drawn. Returns `lines` (0 on failure).
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage);
// Stretches a rectangle of a DIB onto the destination rectangle. Returns the source height
// (0 when there is nothing to draw), GDI_ERROR on failure.
int StretchDIBits(HDC dc, int x, int y, int destW, int destH, int srcX, int srcY, int srcW,
                  int srcH, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// Stretches a rectangle of the source DC's surface (rows from the top) onto the destination
// rectangle. Source pixels outside the source surface are not drawn.
BOOL StretchBlt(HDC dc, int x, int y, int destW, int destH, HDC source, int srcX, int srcY,
                int srcW, int srcH, DWORD rop);

// --- Message boxes ---

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr int IDOK = 1;

// Shows a modal message; texts are UTF-8, a nullptr caption means the system's default title.
// Returns the button pressed (IDOK, ...).
using MessageBoxHook =
    std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;
// Routes MessageBox through `hook` (the program shows a real box; tests record). An empty hook
// restores the default, which prints the message to stderr and answers IDOK. Returns the
// previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);

// --- Test devices ---

// One logged call: its name, its integer arguments in order, and for SetDIBitsToDevice the
// bits pointer and a copy of the scan lines it was given.
struct GdiCall {
    std::string function;
    std::vector<std::int64_t> args;
    const void* bits = nullptr;
    std::vector<BYTE> data;
};

struct GdiCallLog {
    std::vector<GdiCall> calls;
    // Runs after each call is recorded, e.g. to change the source between two transfers.
    std::function<void(const GdiCall&)> onCall;

    int Count(const std::string& function) const;
};

// Calls a test device refuses (they return their failure value).
enum GdiFailure : unsigned {
    kFailStretchDIBits = 1u << 0,
    kFailSetDIBitsToDevice = 1u << 1,
    kFailSetDIBits = 1u << 2,
    kFailStretchBlt = 1u << 3,
    kFailCreateCompatibleBitmap = 1u << 4,
};

struct TestDeviceOptions {
    int technology = DT_RASDISPLAY;  // DT_RASPRINTER for a printer-like device
    int rasterCaps = kRasterDeviceCaps;
    int bitsPixel = 32;
    unsigned failing = 0;  // GdiFailure flags
    GdiCallLog* log = nullptr;
};

// A device context drawing into `target` with the given capabilities, failures and call log.
// Memory DCs and bitmaps made compatible with it inherit all of them. Released with DeleteDC.
HDC CreateTestDC(lumivane::Surface& target, const TestDeviceOptions& options);

// The depth the desktop reports (BITSPIXEL, and the depth of bitmaps compatible with it);
// 32 unless changed. Returns the previous depth.
int SetDesktopBitsPerPixel(int bits);
