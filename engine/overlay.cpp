#include "engine/overlay.h"

#include <algorithm>
#include <cmath>

#include "engine/composition.h"
#include "engine/rounding.h"
#include "image/Zerlin.h"
#include "platform/gdi/gdi.h"
#include "platform/imagelib/stored_rows.h"
#include "platform/parallel.h"

namespace lumivane {

namespace {

constexpr long double kPi = 3.1415926535897932385L;

int ScaledEdge(int edge, int frameSize, int coverageSize) {
    return static_cast<int>(Trunc64(static_cast<long double>(edge) * frameSize / coverageSize));
}

// One channel of F over U, F given as flattened over white (F a + 255 (255 - a), rounded).
BYTE UnderFlattened(BYTE flat, unsigned under, unsigned a) {
    const int n = int(flat) * 255 + (int(under) - 255) * int(255 - a);
    return n <= 0 ? 0 : BYTE(std::min(255, (n + 127) / 255));
}

// Where the motif lies: each result pixel's centre mapped back into the turned, scaled motif.
struct MotifPlacement {
    double cx, cy;  // the motif's centre in the result
    double cosA, sinA, scale;
    int width, height;
    bool shown;
};

MotifPlacement PlaceMotif(const CompositionParams& params, const dib& di, OpeningBox box) {
    MotifPlacement m{};
    m.width = DibWidth(di);
    m.height = DibHeight(di);
    const long double zoom = params.zoom2Ed / 100.0L;
    const long double cover = std::max(static_cast<long double>(box.width) / m.width,
                                       static_cast<long double>(box.height) / m.height);
    const long double angle = RoundHalfEven(params.rotEd) * kPi / 180.0L;
    m.scale = static_cast<double>(cover * zoom);
    m.cx = box.x + box.width / 2.0 + static_cast<double>(RoundHalfEven(params.additionalEd));
    m.cy = box.y + box.height / 2.0 + static_cast<double>(RoundHalfEven(params.additionalYED));
    m.cosA = static_cast<double>(cosl(angle));
    m.sinA = static_cast<double>(sinl(angle));
    m.shown = di.poi && DibBitCount(di) == 24 && m.width > 0 && m.height > 0 && m.scale > 0 &&
              std::isfinite(m.scale) && std::isfinite(m.cosA) && box.width > 0 && box.height > 0;
    return m;
}

}  // namespace

OpeningBox ScaledOpening(const OverlayFrame& frame, int frameX, int frameY, int frameW,
                         int frameH) {
    const int cw = DibWidth(frame.coverage), ch = DibHeight(frame.coverage);
    const OpeningBox& o = frame.opening;
    const int left = ScaledEdge(o.x, frameW, cw), top = ScaledEdge(o.y, frameH, ch);
    return {frameX + left, frameY + top, ScaledEdge(o.x + o.width, frameW, cw) - left,
            ScaledEdge(o.y + o.height, frameH, ch) - top};
}

bool LayMotifUnderFrame(const CompositionParams& params, const OverlayFrame& frame, const dib& di,
                        const dib& featherMask, int frameX, int frameY, int frameW, int frameH,
                        Surface& bit) {
    const dib& coverage = frame.coverage;
    const int cw = DibWidth(coverage), ch = DibHeight(coverage);
    // Unscaled, the coverage is read as it is; scaled, it is drawn as the frame was, so that
    // both pick the same source pixel for every result pixel.
    Surface scaled;
    const bool direct = frameW == cw && frameH == ch;
    if (!direct) {
        if (!scaled.SetSize(bit.Width(), bit.Height())) return false;
        scaled.Fill(RGB(255, 255, 255));
        HDC dc = CreateSurfaceDC(scaled);
        if (!dc) return false;
        DrawDibToDevice(dc, frameX, frameY, frameW, frameH, coverage, 0, 0, cw, ch, false, SRCCOPY);
        DeleteDC(dc);
    }

    const OpeningBox box = ScaledOpening(frame, frameX, frameY, frameW, frameH);
    const MotifPlacement m = PlaceMotif(params, di, box);
    const bool feathered = featherMask.poi && DibWidth(featherMask) == box.width &&
                           DibHeight(featherMask) == box.height;
    const BYTE fill[3] = {GetBValue(params.fillColor), GetGValue(params.fillColor),
                          GetRValue(params.fillColor)};
    const int left = std::max(0, frameX), right = std::min(bit.Width(), frameX + frameW);
    const int top = std::max(0, frameY), bottom = std::min(bit.Height(), frameY + frameH);

    auto rows = [&](std::int64_t first, std::int64_t last) {
        for (int y = int(first); y < int(last); ++y) {
            BYTE* out = bit.ScanLine(y);
            const BYTE* cover =
                direct ? StoredRow(coverage, ch - 1 - (y - frameY)) : scaled.ScanLine(y);
            const int step = direct ? 1 : 4, coverX = direct ? frameX : 0;
            const bool inBoxRow = y >= box.y && y < box.y + box.height;
            const double v = y + 0.5 - m.cy;
            for (int x = left; x < right; ++x) {
                const unsigned a = cover[std::ptrdiff_t(x - coverX) * step];
                if (a == 255) continue;
                BYTE* p = out + 4 * std::ptrdiff_t(x);
                const BYTE* under = fill;
                BYTE mixed[3];
                if (m.shown && inBoxRow && x >= box.x && x < box.x + box.width) {
                    const double u = x + 0.5 - m.cx;
                    const double mx =
                        std::floor((u * m.cosA - v * m.sinA) / m.scale + m.width / 2.0);
                    const double my =
                        std::floor((u * m.sinA + v * m.cosA) / m.scale + m.height / 2.0);
                    if (mx >= 0 && mx < m.width && my >= 0 && my < m.height) {
                        under = StoredRow(di, m.height - 1 - int(my)) + 3 * std::ptrdiff_t(mx);
                        if (feathered) {
                            const unsigned w = StoredRow(
                                featherMask,
                                box.height - 1 - (y - box.y))[3 * std::ptrdiff_t(x - box.x) + 2];
                            for (int c = 0; c < 3; ++c)
                                mixed[c] = BYTE((under[c] * (255 - w) + fill[c] * w) / 255);
                            under = mixed;
                        }
                    }
                }
                for (int c = 0; c < 3; ++c) p[c] = UnderFlattened(p[c], under[c], a);
            }
        }
    };
    const std::int64_t pixels = std::int64_t(right - left) * std::max(0, bottom - top);
    ForChunks(bottom - top, 64, pixels >= SplitThresholds::kBlend,
              [&](std::int64_t first, std::int64_t last) { rows(first + top, last + top); });
    return true;
}

}  // namespace lumivane
