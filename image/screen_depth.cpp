// The screen depth, read from a bitmap made compatible with the desktop.
#include "image/Zerlin.h"
#include "platform/gdi/gdi.h"

LONG ScreenBitsPerPixel() {
    HWND desktop = GetDesktopWindow();
    HDC dc = GetDC(desktop);
    HBITMAP probe = CreateCompatibleBitmap(dc, 1, 1);
    BITMAP bm{};
    GetObject(probe, sizeof(BITMAP), &bm);
    DeleteObject(probe);
    ReleaseDC(desktop, dc);
    return bm.bmBitsPixel;
}
