// Device contexts, bitmaps, capabilities and the desktop.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/gdi/device_context.h"

struct WindowObject {};

namespace {

WindowObject desktopWindow;
PaletteObject defaultPalette;
std::atomic<int> desktopBitsPixel{32};

// Every fresh memory DC holds this 1 x 1 monochrome bitmap, as on Windows.
GdiObject& StockBitmap() {
    static GdiObject* stock = [] {
        auto* o = new GdiObject;
        o->surface.SetSize(1, 1);
        o->bitsPixel = 1;
        o->stock = true;
        return o;
    }();
    return *stock;
}

HDC NewDC(lumivane::Surface* surface) {
    auto* dc = new DeviceContext;
    dc->surface = surface;
    dc->palette = &defaultPalette;
    return dc;
}

void CopyCapabilities(const DeviceContext& from, DeviceContext& to) {
    to.technology = from.technology;
    to.rasterCaps = from.rasterCaps;
    to.bitsPixel = from.bitsPixel;
    to.failing = from.failing;
    to.log = from.log;
}

HDC NewDesktopDC() {
    HDC dc = NewDC(nullptr);
    dc->bitsPixel = desktopBitsPixel.load();
    if (dc->bitsPixel <= 8) dc->rasterCaps |= RC_PALETTE;
    return dc;
}

}  // namespace

namespace lumivane::gdi {

Surface* Target(HDC dc) {
    if (!dc) return nullptr;
    if (dc->memory) return dc->selected ? &dc->selected->surface : nullptr;
    return dc->surface;
}

bool Fails(HDC dc, GdiFailure call) {
    return dc && (dc->failing & call) != 0;
}

void Log(GdiCallLog* log, GdiCall call) {
    if (!log) return;
    log->calls.push_back(std::move(call));
    if (log->onCall) log->onCall(log->calls.back());
}

void Log(HDC dc, const char* function, std::initializer_list<std::int64_t> args) {
    if (dc && dc->log) Log(dc->log, GdiCall{function, args, nullptr, {}});
}

}  // namespace lumivane::gdi

using lumivane::gdi::Log;

int GdiCallLog::Count(const std::string& function) const {
    return int(std::count_if(calls.begin(), calls.end(),
                             [&](const GdiCall& c) { return c.function == function; }));
}

HDC CreateSurfaceDC(lumivane::Surface& target) {
    return NewDC(&target);
}

HDC CreateTestDC(lumivane::Surface& target, const TestDeviceOptions& options) {
    HDC dc = NewDC(&target);
    dc->technology = options.technology;
    dc->rasterCaps = options.rasterCaps;
    dc->bitsPixel = options.bitsPixel;
    dc->failing = options.failing;
    dc->log = options.log;
    return dc;
}

int SetDesktopBitsPerPixel(int bits) {
    return desktopBitsPixel.exchange(bits);
}

HDC CreateCompatibleDC(HDC dc) {
    HDC mem = NewDC(nullptr);
    if (dc) {
        CopyCapabilities(*dc, *mem);
    } else {
        HDC screen = NewDesktopDC();
        CopyCapabilities(*screen, *mem);
        delete screen;
    }
    mem->memory = true;
    mem->selected = &StockBitmap();
    Log(dc, "CreateCompatibleDC", {});
    return mem;
}

BOOL DeleteDC(HDC dc) {
    if (!dc || dc->window) return FALSE;  // window DCs go back through ReleaseDC
    Log(dc, "DeleteDC", {});
    if (dc->selected && !dc->selected->stock) dc->selected->selectedInto = nullptr;
    delete dc;
    return TRUE;
}

HWND GetDesktopWindow() {
    return &desktopWindow;
}

HDC GetDC(HWND) {
    HDC dc = NewDesktopDC();
    dc->window = true;
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    if (!dc || !dc->window) return 0;
    delete dc;
    return 1;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!dc) return 0;
    Log(dc, "GetDeviceCaps", {index});
    const lumivane::Surface* target = lumivane::gdi::Target(dc);
    switch (index) {
        case TECHNOLOGY:
            return dc->technology;
        case RASTERCAPS:
            return dc->rasterCaps;
        case BITSPIXEL:
            return dc->bitsPixel;
        case PLANES:
            return 1;
        case HORZRES:
            return target ? target->Width() : 0;
        case VERTRES:
            return target ? target->Height() : 0;
        case NUMCOLORS:
            return dc->bitsPixel <= 8 ? 20 : -1;  // the static colours of a palette display
        case SIZEPALETTE:
            return dc->bitsPixel <= 8 ? 1 << dc->bitsPixel : 0;
        default:
            return 0;
    }
}

int SetStretchBltMode(HDC dc, int mode) {
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
    Log(dc, "SetStretchBltMode", {mode});
    const int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
    if (!dc || !palette) return nullptr;
    Log(dc, "SelectPalette", {forceBackground});
    HPALETTE previous = dc->palette;
    dc->palette = palette;
    return previous;
}

lumivane::Surface* DirectSurface(HDC dc) {
    if (!dc || dc->log || dc->failing != 0) return nullptr;
    return lumivane::gdi::Target(dc);
}

HPALETTE GetCurrentPalette(HDC dc) {
    return dc ? dc->palette : nullptr;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!dc) return nullptr;
    Log(dc, "CreateCompatibleBitmap", {width, height});
    if (width < 0 || height < 0 || lumivane::gdi::Fails(dc, kFailCreateCompatibleBitmap)) {
        return nullptr;
    }
    auto* bitmap = new GdiObject;
    bitmap->bitsPixel = dc->bitsPixel;
    if (width == 0 || height == 0) {
        width = height = 1;
        bitmap->bitsPixel = 1;
    }
    if (!bitmap->surface.SetSize(width, height)) {
        delete bitmap;
        return nullptr;
    }
    bitmap->failing = dc->failing;
    bitmap->log = dc->log;
    return bitmap;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return nullptr;
    Log(dc, "SelectObject", {});
    if (!dc->memory) return nullptr;
    if (object == dc->selected) return object;
    if (!object->stock && object->selectedInto) return nullptr;  // one DC at a time
    HGDIOBJ previous = dc->selected;
    if (!previous->stock) previous->selectedInto = nullptr;
    if (!object->stock) object->selectedInto = dc;
    dc->selected = object;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    Log(object->log, GdiCall{"DeleteObject", {}, nullptr, {}});
    if (object->stock) return TRUE;
    if (object->selectedInto) return FALSE;
    delete object;
    return TRUE;
}

int GetObject(HGDIOBJ object, int size, void* out) {
    if (!object) return 0;
    if (!out) return int(sizeof(BITMAP));
    if (size <= 0) return 0;
    const lumivane::Surface& s = object->surface;
    BITMAP bm{};
    bm.bmWidth = s.Width();
    bm.bmHeight = s.Height();
    bm.bmWidthBytes = LONG((std::int64_t(s.Width()) * object->bitsPixel + 15) / 16 * 2);
    bm.bmPlanes = 1;
    bm.bmBitsPixel = WORD(object->bitsPixel);
    const int n = std::min(size, int(sizeof bm));
    std::memcpy(out, &bm, std::size_t(n));
    return n;
}
