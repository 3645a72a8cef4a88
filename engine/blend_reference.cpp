// The blend written out pixel by pixel, exactly as the arithmetic is defined.
#include <algorithm>

#include "engine/blend.h"
#include "engine/blend_pixel.h"
#include "engine/blend_plan.h"
#include "platform/imagelib/imagelib.h"

namespace lumivane {

void DibRotxxxReference(const dib& di, const dib& mask, Surface& bit, long double winkel, int offx,
                        int offy, int zoom) {
    const auto plan = PlanBlend(di, mask, bit, winkel, offx, offy, zoom);
    if (!plan) return;
    const BlendPlan& p = *plan;
    // Box pixels outside the bitmap are skipped anyway; not visiting them keeps a huge box cheap.
    const std::int64_t r0 = std::max<std::int64_t>(0, -p.top);
    const std::int64_t r1 = std::min<std::int64_t>(p.boxH, bit.Height() - p.top);
    const std::int64_t k0 = std::max<std::int64_t>(0, -p.left);
    const std::int64_t k1 = std::min<std::int64_t>(p.boxW, bit.Width() - p.left);
    const auto* maskBits = static_cast<const BYTE*>(mask.poi);

    for (std::int64_t r = r0; r < r1; ++r) {
        for (std::int64_t k = k0; k < k1; ++k) {
            const std::int64_t dx = k - p.bcx;
            const std::int64_t dy = r - p.bcy;
            const std::int64_t sx = p.SourceX(dx, dy);
            const std::int64_t sy = p.SourceY(dx, dy);
            if (sx < 0 || sx >= p.width || sy < 0 || sy >= p.height) continue;
            BYTE* target = bit.ScanLine(int(p.top + r)) + 4 * (p.left + k);
            const DWORD colour = getpixel(di, int(sx), int(sy));
            const BYTE bgr[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
            // Stored row sy, not picture row sy: the mask is applied mirrored top to bottom.
            const BYTE m = maskBits[sy * mask.bytew + 3 * sx + 2];
            BlendPixel(bgr, m, target);
        }
    }
}

}  // namespace lumivane
