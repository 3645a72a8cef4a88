// Geometry of the turned, scaled motif in the off-screen bitmap, shared by the fast blend and
// its literal reference.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/rounding.h"
#include "platform/gdi/surface.h"
#include "platform/imagelib/dib.h"

namespace lumivane {

struct BlendPlan {
    int width = 0;  // motif size
    int height = 0;
    long double s = 0;  // sine and cosine of the angle
    long double c = 0;
    long double f = 0;  // inverse scale 100 / zoom
    // The box that encloses the turned, scaled motif, and the bitmap position of its top-left
    // pixel. 64-bit: a typed zoom can make the box far larger than any bitmap.
    std::int64_t boxW = 0;
    std::int64_t boxH = 0;
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t bcx = 0;  // box centre
    std::int64_t bcy = 0;
    int mcx = 0;  // motif centre
    int mcy = 0;

    // Motif column and row (picture coordinates) that box offset (dx, dy) from the box centre
    // shows: each product formed in this order, in extended precision, rounded half to even.
    std::int64_t SourceX(std::int64_t dx, std::int64_t dy) const {
        return std::int64_t(RoundHalfEven((c * dx - s * dy) * f)) + mcx;
    }
    std::int64_t SourceY(std::int64_t dx, std::int64_t dy) const {
        return std::int64_t(RoundHalfEven((s * dx + c * dy) * f)) + mcy;
    }
};

// The plan for blending `motif` through `mask` into `bit`, turned by `winkel` degrees
// (counter-clockwise on screen), scaled by `zoom` percent and shifted by (offx, offy).
// Nothing to draw (no plan) when the motif or the mask has no pixels, either is not 24 bits
// per pixel, their sizes differ, the zoom is 0 or below, the angle is not finite, or the box or
// the bitmap is empty.
std::optional<BlendPlan> PlanBlend(const dib& motif, const dib& mask, const Surface& bit,
                                   long double winkel, int offx, int offy, int zoom);

}  // namespace lumivane
