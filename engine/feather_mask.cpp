#include "engine/feather_mask.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/rounding.h"
#include "platform/parallel.h"

namespace lumivane {

namespace {

using i64 = std::int64_t;

// The band weight at a position `inside` pixels past the band's inner edge (1..mw): falls by
// 255/mw per pixel inwards, rounded down. 64-bit, so a typed huge width cannot overflow.
int BandWeight(i64 inside, i64 mw) {
    return int(inside * 255 / mw);
}

// Writes one picture row's weights, weight(x) for each column, into the red bytes of its stored
// row, and zero into every other byte of it: each byte of the mask is written once, with no
// clearing pass before.
template <class Weight>
void PutRow(const dib& mask, int y, int height, int width, Weight weight) {
    BYTE* row = static_cast<BYTE*>(mask.poi) + std::ptrdiff_t(height - 1 - y) * mask.bytew;
    for (int x = 0; x < width; ++x) {
        row[3 * x] = 0;
        row[3 * x + 1] = 0;
        row[3 * x + 2] = BYTE(weight(x));
    }
    std::memset(row + 3 * std::ptrdiff_t(width), 0, std::size_t(mask.bytew - 3 * i64(width)));
}

// Calls row(y) for every row; the rows of a large mask are shared between two threads.
template <class Row>
void ForEachRow(int width, int height, Row row) {
    constexpr i64 kRowsPerChunk = 32;
    ForChunks(height, kRowsPerChunk, i64(width) * height >= SplitThresholds::kFeatherMask,
              [&](i64 begin, i64 end) {
                  for (i64 y = begin; y < end; ++y) row(int(y));
              });
}

void BuildRectangular(const dib& mask, int width, int height, i64 mw) {
    // Left and right bands: the right band's value replaces the left's where they overlap.
    std::vector<int> columns(width, 0);
    for (int x = 0; x < width; ++x) {
        if (x < mw) columns[x] = BandWeight(mw - x, mw);
        if (x > width - 1 - mw) columns[x] = BandWeight(x - (width - 1 - mw), mw);
    }
    ForEachRow(width, height, [&](int y) {
        // Top and bottom bands only ever raise the weight.
        int rowWeight = 0;
        if (y < mw) rowWeight = BandWeight(mw - y, mw);
        if (y > height - 1 - mw)
            rowWeight = std::max(rowWeight, BandWeight(y - (height - 1 - mw), mw));
        PutRow(mask, y, height, width, [&](int x) { return std::max(columns[x], rowWeight); });
    });
}

// Round(sqrt(n)) for a sum of two squares. sqrt(n) is never exactly half-way (that would need
// n = k*k + k + 1/4) and, for n below 2^49, lies further from every half than the error of the
// double square root; so adding one half to the double root and dropping the fraction rounds
// exactly as the exact root does.
i64 RoundedDistance(i64 n) {
    return i64(std::sqrt(double(n)) + 0.5);
}

// The largest sum of squares n whose rounded root is at most t: Round(sqrt(n)) <= t exactly when
// sqrt(n) < t + 1/2, that is n <= t*t + t. -1 when t < 0 (no n qualifies).
i64 LargestSumRoundingTo(i64 t) {
    if (t < 0) return -1;
    if (t > (i64(1) << 31)) return INT64_MAX;  // beyond any sum the image sizes allow
    return t * t + t;
}

void BuildRound(const dib& mask, int width, int height, i64 mw, i64 radiusAdjust) {
    const i64 cx = width / 2;
    const i64 cy = height / 2;
    const i64 r = std::min(cx, cy) + radiusAdjust;
    const i64 inner = r - mw;
    // Only pixels in the ring need their distance; the others are told by comparing squares.
    const i64 lastVisible = LargestSumRoundingTo(r);
    const i64 lastOpaque = mw > 0 ? LargestSumRoundingTo(inner) : lastVisible;
    ForEachRow(width, height, [&](int y) {
        const i64 dy2 = (cy - y) * (cy - y);
        PutRow(mask, y, height, width, [&](int x) {
            // 64-bit squares: the sum passes 2^31 only for sides beyond 65535, where 32 bits
            // would wrap.
            const i64 n = (cx - x) * (cx - x) + dy2;
            if (n > lastVisible) return 255;
            if (n > lastOpaque) return BandWeight(RoundedDistance(n) - inner, mw);
            return 0;
        });
    });
}

}  // namespace

void BuildFeatherMask(dib& mask, double maskWidth, bool round, double radiusAdjust) {
    if (!mask.poi || !mask.pmi || mask.pmi->bmiHeader.biBitCount != 24) return;
    const int width = mask.pmi->bmiHeader.biWidth;
    const int height = mask.pmi->bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || mask.bytew < i64(width) * 3) return;

    const i64 mw = FieldToInt(maskWidth);
    if (round)
        BuildRound(mask, width, height, mw, FieldToInt(radiusAdjust));
    else
        BuildRectangular(mask, width, height, mw);
}

}  // namespace lumivane
