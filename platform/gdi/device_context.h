// The objects behind the device layer's handles. Only the device layer's own files see these.
#pragma once

#include <initializer_list>

#include "platform/gdi/gdi.h"

struct PaletteObject {};

struct GdiObject {
    lumivane::Surface surface;
    int bitsPixel = 32;
    DeviceContext* selectedInto = nullptr;
    bool stock = false;  // shared by every memory DC; never freed, never owned by one DC
    unsigned failing = 0;
    GdiCallLog* log = nullptr;
};

struct DeviceContext {
    lumivane::Surface* surface = nullptr;  // where a non-memory DC draws; nullptr: no pixels
    bool memory = false;
    HBITMAP selected = nullptr;  // memory DCs: the bitmap drawn into
    bool window = false;         // made by GetDC, released by ReleaseDC

    int technology = DT_RASDISPLAY;
    int rasterCaps = kRasterDeviceCaps;
    int bitsPixel = 32;
    unsigned failing = 0;
    GdiCallLog* log = nullptr;

    int stretchMode = BLACKONWHITE;
    HPALETTE palette = nullptr;
};

namespace lumivane::gdi {

// The surface dc draws into; nullptr when it has none.
Surface* Target(HDC dc);

bool Fails(HDC dc, GdiFailure call);

// Records a call on a logging device.
void Log(HDC dc, const char* function, std::initializer_list<std::int64_t> args);
void Log(GdiCallLog* log, GdiCall call);

}  // namespace lumivane::gdi
