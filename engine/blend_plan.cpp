#include "engine/blend_plan.h"

#include <algorithm>
#include <cmath>

namespace lumivane {

namespace {

constexpr long double kPi = 3.1415926535897932385L;

bool Is24BitImage(const dib& image) {
    if (!image.poi || !image.pmi) return false;
    const BITMAPINFOHEADER& h = image.pmi->bmiHeader;
    return h.biBitCount == 24 && h.biWidth > 0 && h.biHeight > 0 &&
           image.bytew >= std::int64_t(h.biWidth) * 3;
}

}  // namespace

std::optional<BlendPlan> PlanBlend(const dib& motif, const dib& mask, const Surface& bit,
                                   long double winkel, int offx, int offy, int zoom) {
    if (!Is24BitImage(motif) || !Is24BitImage(mask)) return std::nullopt;
    BlendPlan p;
    p.width = motif.pmi->bmiHeader.biWidth;
    p.height = motif.pmi->bmiHeader.biHeight;
    // The mask is indexed with motif coordinates.
    if (mask.pmi->bmiHeader.biWidth != p.width || mask.pmi->bmiHeader.biHeight != p.height)
        return std::nullopt;
    // Zoom 0 has no inverse scale; below 0 the box is empty anyway.
    if (zoom <= 0 || !std::isfinite(winkel) || bit.Empty()) return std::nullopt;

    const long double a = winkel * kPi / 180.0L;
    p.s = std::sin(a);
    p.c = std::cos(a);

    // The box around the turned, unscaled motif: its corners relative to the centre.
    const std::int64_t hw = p.width / 2;
    const std::int64_t hh = p.height / 2;
    std::int64_t maxX = 0, minX = 0, maxY = 0, minY = 0;
    for (std::int64_t x : {-hw, p.width - hw}) {
        for (std::int64_t y : {-hh, p.height - hh}) {
            const auto cx = std::int64_t(RoundHalfEven(p.c * x - p.s * y));
            const auto cy = std::int64_t(RoundHalfEven(p.s * x + p.c * y));
            maxX = std::max(maxX, cx);
            minX = std::min(minX, cx);
            maxY = std::max(maxY, cy);
            minY = std::min(minY, cy);
        }
    }
    const std::int64_t w0 = maxX - minX;
    const std::int64_t h0 = maxY - minY;

    p.boxW = std::int64_t(RoundHalfEven((long double)zoom * w0 / 100.0L));
    p.boxH = std::int64_t(RoundHalfEven((long double)zoom * h0 / 100.0L));
    if (p.boxW <= 0 || p.boxH <= 0) return std::nullopt;
    p.f = 100.0L / zoom;

    // C++ division truncates toward zero, as the placement wants (-3 / 2 = -1).
    p.left = offx + (bit.Width() - p.boxW) / 2;
    p.top = offy + (bit.Height() - p.boxH) / 2;
    p.bcx = p.boxW / 2;
    p.bcy = p.boxH / 2;
    p.mcx = p.width / 2;
    p.mcy = p.height / 2;
    return p;
}

}  // namespace lumivane
