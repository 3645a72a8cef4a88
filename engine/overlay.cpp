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

// One channel of F over U, F given as flattened over white (F a + 255 (255 - a), rounded):
// (flat 255 + (U - 255)(255 - a)) / 255, rounded, held to 0..255 (a colour profile may have
// moved the flattened colour off white's line).
inline BYTE UnderFlattened(unsigned flat, unsigned under, unsigned a) {
    if (a == 0) return BYTE(std::clamp(int(flat) + int(under) - 255, 0, 255));
    const int n = int(flat) * 255 + (int(under) - 255) * int(255 - a);
    if (n <= 0) return 0;
    const unsigned x = unsigned(n) + 127;  // at most 65152: x div 255 by shifts
    return BYTE(std::min(255u, (x + 1 + (x >> 8)) >> 8));
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

    // Columns of the box a row may show the motif in; outside them the fill lies beneath.
    const int boxLeft = m.shown ? std::clamp(box.x, left, right) : right;
    const int boxRight = m.shown ? std::clamp(box.x + box.width, boxLeft, right) : right;
    auto coverRow = [&](int y) {
        return direct ? StoredRow(coverage, ch - 1 - (y - frameY)) : scaled.ScanLine(y);
    };
    const int step = direct ? 1 : 4, coverX = direct ? frameX : 0;
    auto underFill = [&](int y, int from, int to) {
        const BYTE* cover = coverRow(y);
        BYTE* out = bit.ScanLine(y);
        for (int x = from; x < to; ++x) {
            const unsigned a = cover[std::ptrdiff_t(x - coverX) * step];
            if (a == 255) continue;
            BYTE* p = out + 4 * std::ptrdiff_t(x);
            for (int c = 0; c < 3; ++c) p[c] = UnderFlattened(p[c], fill[c], a);
        }
    };
    // Columns [from, to) of a row of the box: the motif's column and row follow x linearly.
    auto underMotif = [&](int y, int from, int to) {
        const BYTE* cover = coverRow(y);
        BYTE* out = bit.ScanLine(y);
        const double u0 = from + 0.5 - m.cx, v = y + 0.5 - m.cy;
        const double a0 = (u0 * m.cosA - v * m.sinA) / m.scale + m.width / 2.0;
        const double b0 = (u0 * m.sinA + v * m.cosA) / m.scale + m.height / 2.0;
        const double da = m.cosA / m.scale, db = m.sinA / m.scale;
        const BYTE* weights =
            feathered ? StoredRow(featherMask, box.height - 1 - (y - box.y)) : nullptr;
        // Held in locals: the writes to `out` could otherwise alias the records' fields.
        const BYTE* const motifTop = StoredRow(di, m.height - 1);
        const std::ptrdiff_t motifStride = di.bytew;
        const double width = m.width, height = m.height;
        constexpr int kAhead = 24;  // pixels: the motif is read out of order, fetch it early
        for (int x = from; x < to; ++x) {
            const unsigned a = cover[std::ptrdiff_t(x - coverX) * step];
            if (a == 255) continue;
            BYTE* p = out + 4 * std::ptrdiff_t(x);
            const double mx = a0 + (x - from) * da, my = b0 + (x - from) * db;
            const double ax = mx + kAhead * da, ay = my + kAhead * db;
            if (ax >= 0 && ax < width && ay >= 0 && ay < height)
                __builtin_prefetch(motifTop - std::ptrdiff_t(ay) * motifStride +
                                   3 * std::ptrdiff_t(ax));
            const BYTE* under = fill;
            BYTE mixed[3];
            if (mx >= 0 && mx < width && my >= 0 && my < height) {
                under = motifTop - std::ptrdiff_t(my) * motifStride + 3 * std::ptrdiff_t(mx);
                if (weights) {
                    const unsigned w = weights[3 * std::ptrdiff_t(x - box.x) + 2];
                    for (int c = 0; c < 3; ++c)
                        mixed[c] = BYTE((under[c] * (255 - w) + fill[c] * w) / 255);
                    under = mixed;
                }
            }
            for (int c = 0; c < 3; ++c) p[c] = UnderFlattened(p[c], under[c], a);
        }
    };
    // A turned motif is read along slanted lines: so that the motif rows a band of result rows
    // touches stay in the cache, the band's box part is walked in column strips.
    constexpr int kBandRows = 16, kStripColumns = 256;
    auto rows = [&](std::int64_t first, std::int64_t last) {
        for (int band = int(first); band < int(last); band += kBandRows) {
            const int bandEnd = std::min(int(last), band + kBandRows);
            for (int y = band; y < bandEnd; ++y) {
                if (y < box.y || y >= box.y + box.height || boxLeft == boxRight) {
                    underFill(y, left, right);
                } else {
                    underFill(y, left, boxLeft);
                    underFill(y, boxRight, right);
                }
            }
            for (int from = boxLeft; from < boxRight; from += kStripColumns) {
                const int to = std::min(boxRight, from + kStripColumns);
                for (int y = std::max(band, box.y); y < std::min(bandEnd, box.y + box.height); ++y)
                    underMotif(y, from, to);
            }
        }
    };
    const std::int64_t pixels = std::int64_t(right - left) * std::max(0, bottom - top);
    ForChunks(bottom - top, kBandRows, pixels >= SplitThresholds::kBlend,
              [&](std::int64_t first, std::int64_t last) { rows(first + top, last + top); });
    return true;
}

}  // namespace lumivane
