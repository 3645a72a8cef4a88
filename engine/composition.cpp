#include "engine/composition.h"

#include <algorithm>
#include <limits>

#include "engine/blend.h"
#include "engine/rounding.h"
#include "engine/smooth_blend.h"
#include "image/Zerlin.h"
#include "image/smooth_resample.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();

bool FitsInt(std::int64_t v) {
    return v >= kIntMin && v <= kIntMax;
}

// value x size / 100, multiplied first, in extended precision.
std::int64_t Scaled(long double percent, int size) {
    return Trunc64(percent * static_cast<long double>(size) / 100.0L);
}

}  // namespace

bool CompositionLayout::Renderable() const {
    if (outW < 1 || outH < 1) return false;
    if (outW > kIntMax || outH > kIntMax) return false;
    if (outW > Surface::kMaxPixels / outH) return false;
    // The background is placed with int coordinates; a scale that cannot be expressed so is
    // refused rather than wrapped.
    return FitsInt(bgW) && FitsInt(bgH) && FitsInt((outW - bgW) / 2) && FitsInt((outH - bgH) / 2);
}

CompositionLayout ComputeLayout(const CompositionParams& params, int backgroundWidth,
                                int backgroundHeight, int motifWidth, int motifHeight) {
    CompositionLayout l;
    if (params.backgroundCheck) {
        l.bgW = Scaled(params.zoomEd, backgroundWidth);
        l.bgH = Scaled(params.zoomEd, backgroundHeight);
    }
    l.mW = Scaled(params.zoom2Ed, motifWidth);
    l.mH = Scaled(params.zoom2Ed, motifHeight);
    if (params.backgroundCheck) {
        l.outW = std::max(l.bgW, l.mW);
        l.outH = std::max(l.bgH, l.mH);
    } else {
        l.outW = l.mW;
        l.outH = l.mH;
    }
    l.outW += Round64(params.additionalEd * 2);
    l.outH += Round64(params.additionalYED * 2);
    l.pvW = Round64(params.zoomOutEd * static_cast<long double>(l.outW) / 100.0L);
    l.pvH = Round64(params.zoomOutEd * static_cast<long double>(l.outH) / 100.0L);
    return l;
}

bool ComposePicture(const CompositionParams& params, const CompositionLayout& layout,
                    const dib& bkgnd, const dib& di, const dib& mask, Surface& bit) {
    if (!layout.Renderable()) return false;
    if (!bit.SetSize(static_cast<int>(layout.outW), static_cast<int>(layout.outH))) return false;
    bit.Fill(params.fillColor);

    if (params.backgroundCheck) {
        const int x = static_cast<int>((layout.outW - layout.bgW) / 2);
        const int y = static_cast<int>((layout.outH - layout.bgH) / 2);
        const int w = static_cast<int>(layout.bgW), h = static_cast<int>(layout.bgH);
        // What the smooth stretch cannot draw is drawn as ever.
        if (!params.smooth || !SmoothStretchDib(bkgnd, bit, x, y, w, h)) {
            HDC dc = CreateSurfaceDC(bit);
            if (dc) {
                DrawDibToDevice(dc, x, y, w, h, bkgnd, 0, 0, DibWidth(bkgnd), DibHeight(bkgnd),
                                false, SRCCOPY);
                DeleteDC(dc);
            }
        }
    }

    const long double winkel = RoundHalfEven(params.rotEd);
    const int zoom = FieldToInt(static_cast<double>(params.zoom2Ed));
    if (params.smooth)
        DibRotxxxSmooth(di, mask, bit, winkel, 0, 0, zoom);
    else
        DibRotxxx(di, mask, bit, winkel, 0, 0, zoom);
    return true;
}

}  // namespace lumivane
