#include "engine/feather_mask.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/rounding.h"

namespace lumivane {

namespace {

using i64 = std::int64_t;

// The band weight at a position `inside` pixels past the band's inner edge (1..mw): falls by
// 255/mw per pixel inwards, rounded down. 64-bit, so a typed huge width cannot overflow.
int BandWeight(i64 inside, i64 mw) { return int(inside * 255 / mw); }

// Writes one picture row's weights into the red bytes of its stored row.
void PutRow(const dib& mask, int y, int height, const int* weights, int width) {
    BYTE* row = static_cast<BYTE*>(mask.poi) + std::ptrdiff_t(height - 1 - y) * mask.bytew;
    for (int x = 0; x < width; ++x) row[3 * x + 2] = BYTE(weights[x]);
}

void BuildRectangular(const dib& mask, int width, int height, i64 mw) {
    // Left and right bands: the right band's value replaces the left's where they overlap.
    std::vector<int> columns(width, 0);
    for (int x = 0; x < width; ++x) {
        if (x < mw) columns[x] = BandWeight(mw - x, mw);
        if (x > width - 1 - mw) columns[x] = BandWeight(x - (width - 1 - mw), mw);
    }
    std::vector<int> weights(width);
    for (int y = 0; y < height; ++y) {
        // Top and bottom bands only ever raise the weight.
        int rowWeight = 0;
        if (y < mw) rowWeight = BandWeight(mw - y, mw);
        if (y > height - 1 - mw) rowWeight = std::max(rowWeight, BandWeight(y - (height - 1 - mw), mw));
        for (int x = 0; x < width; ++x) weights[x] = std::max(columns[x], rowWeight);
        PutRow(mask, y, height, weights.data(), width);
    }
}

// Round(sqrt(n)) for a sum of two squares. sqrt(n) is never exactly half-way (that would need
// n = k*k + k + 1/4), and for n below 2^49 it lies further from every half than the double
// square root's error, so the double result rounds exactly as the exact root does.
i64 RoundedDistance(i64 n) { return i64(std::nearbyint(std::sqrt(double(n)))); }

void BuildRound(const dib& mask, int width, int height, i64 mw, i64 radiusAdjust) {
    const i64 cx = width / 2;
    const i64 cy = height / 2;
    const i64 r = std::min(cx, cy) + radiusAdjust;
    const i64 inner = r - mw;
    std::vector<int> weights(width);
    for (int y = 0; y < height; ++y) {
        const i64 dy2 = (cy - y) * (cy - y);
        for (int x = 0; x < width; ++x) {
            // 64-bit squares: the sum passes 2^31 only for sides beyond 65535, where 32 bits
            // would wrap.
            const i64 d = RoundedDistance((cx - x) * (cx - x) + dy2);
            int v = 0;
            if (d > r)
                v = 255;
            else if (mw > 0 && d > inner)
                v = BandWeight(d - inner, mw);
            weights[x] = v;
        }
        PutRow(mask, y, height, weights.data(), width);
    }
}

}  // namespace

void BuildFeatherMask(dib& mask, double maskWidth, bool round, double radiusAdjust) {
    if (!mask.poi || !mask.pmi || mask.pmi->bmiHeader.biBitCount != 24) return;
    const int width = mask.pmi->bmiHeader.biWidth;
    const int height = mask.pmi->bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || mask.bytew < i64(width) * 3) return;

    std::memset(mask.poi, 0, std::size_t(height) * std::size_t(mask.bytew));
    const i64 mw = FieldToInt(maskWidth);
    if (round)
        BuildRound(mask, width, height, mw, FieldToInt(radiusAdjust));
    else
        BuildRectangular(mask, width, height, mw);
}

}  // namespace lumivane
