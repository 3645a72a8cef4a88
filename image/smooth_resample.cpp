// Separable resampling: each source row that a band of target rows needs is resampled across
// once into floating point, then the target rows combine those rows.
#include "image/smooth_resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/Zerlin.h"
#include "image/stored_rows.h"
#include "platform/gdi/dib_source.h"
#include "platform/parallel.h"

namespace lumivane {

namespace {

using i64 = std::int64_t;

// Target rows one thread takes at a time; each band resamples its own source rows.
constexpr i64 kBandRows = 32;
constexpr i64 kMinPixelsPerThread = i64(1) << 16;

// Reads source picture rows (top row 0) as surface pixels.
struct SourceRows {
    gdi::DibSource dib;
    const BYTE* Row(int y) const { return dib.Row(dib.topDown ? y : dib.height - 1 - y); }
};

bool DescribeSource(const dib& image, SourceRows& out) {
    if (!image.poi || !image.pmi) return false;
    return gdi::DescribeDib(image.pmi, image.poi, DIB_RGB_COLORS, out.dib);
}

std::uint8_t ToByte(float v) {
    return std::uint8_t(std::min(255.0f, std::max(0.0f, v + 0.5f)));
}

// Resamples the source to targetW x targetH and hands target rows [rowFrom, rowTo), columns
// [colFrom, colTo) to write(row, columns, bgr) as blue, green, red bytes.
template <class RowWriter>
void Resample(const SourceRows& src, int targetW, int targetH, int colFrom, int colTo, int rowFrom,
              int rowTo, const RowWriter& write) {
    const ResampleAxis ax = MakeResampleAxis(src.dib.width, targetW);
    const ResampleAxis ay = MakeResampleAxis(src.dib.height, targetH);
    const int columns = colTo - colFrom;
    const int srcFrom = ax.first[std::size_t(colFrom)];
    const int srcTo = ax.first[std::size_t(colTo - 1)] + ax.count[std::size_t(colTo - 1)];
    const int ring = ay.maxCount;

    auto band = [&](i64 begin, i64 end) {
        // Each thread keeps its buffers from band to band: fresh large blocks would cost a page
        // fault per page every time.
        thread_local std::vector<std::uint32_t> pixels;
        thread_local std::vector<float> across, sum;
        thread_local std::vector<int> held;
        thread_local std::vector<std::uint8_t> out;
        pixels.resize(std::size_t(srcTo - srcFrom));
        // Resampled source rows, kept in a ring: a target row needs consecutive source rows and
        // the first of them never moves back.
        across.resize(std::size_t(ring) * columns * 3);
        held.assign(std::size_t(ring), -1);
        sum.resize(std::size_t(columns) * 3);
        out.resize(std::size_t(columns) * 3);
        auto acrossRow = [&](int y) -> const float* {
            float* line = across.data() + std::size_t(y % ring) * columns * 3;
            if (held[std::size_t(y % ring)] == y) return line;
            held[std::size_t(y % ring)] = y;
            gdi::ConvertRow(src.dib, src.Row(y), srcFrom, srcTo - srcFrom, pixels.data());
            for (int i = 0; i < columns; ++i) {
                const std::size_t t = std::size_t(colFrom + i);
                const float* w = ax.weights.data() + ax.offset[t];
                const std::uint32_t* p = pixels.data() + (ax.first[t] - srcFrom);
                float b = 0, g = 0, r = 0;
                for (int j = 0; j < ax.count[t]; ++j) {
                    b += w[j] * float(p[j] & 0xFF);
                    g += w[j] * float((p[j] >> 8) & 0xFF);
                    r += w[j] * float((p[j] >> 16) & 0xFF);
                }
                line[3 * i] = b;
                line[3 * i + 1] = g;
                line[3 * i + 2] = r;
            }
            return line;
        };
        for (i64 row = begin; row < end; ++row) {
            const std::size_t t = std::size_t(row);
            std::fill(sum.begin(), sum.end(), 0.0f);
            for (int j = 0; j < ay.count[t]; ++j) {
                const float w = ay.weights[std::size_t(ay.offset[t] + j)];
                const float* line = acrossRow(ay.first[t] + j);
                for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += w * line[i];
            }
            for (std::size_t i = 0; i < sum.size(); ++i) out[i] = ToByte(sum[i]);
            write(int(row), columns, out.data());
        }
    };
    const i64 rows = rowTo - rowFrom;
    ForChunks(rows, kBandRows, rows * columns >= 2 * kMinPixelsPerThread,
              [&](i64 begin, i64 end) { band(rowFrom + begin, rowFrom + end); });
}

}  // namespace

ResampleAxis MakeResampleAxis(int sourceSize, int targetSize) {
    ResampleAxis a;
    const std::size_t n = std::size_t(std::max(targetSize, 0));
    a.first.resize(n);
    a.count.resize(n);
    a.offset.resize(n);
    if (sourceSize < 1) return a;
    const double scale = double(sourceSize) / targetSize;
    for (std::size_t i = 0; i < n; ++i) {
        a.offset[i] = int(a.weights.size());
        if (targetSize < sourceSize) {
            // The footprint [lo, hi) in source pixels, each pixel weighed by its share of it.
            const double lo = double(i) * sourceSize / targetSize;
            const double hi = double(i + 1) * sourceSize / targetSize;
            const int j0 = int(std::floor(lo));
            const int j1 = std::min(sourceSize, int(std::ceil(hi)));
            a.first[i] = j0;
            for (int j = j0; j < j1; ++j) {
                const double part = std::min(hi, j + 1.0) - std::max(lo, double(j));
                a.weights.push_back(float(part / scale));
            }
        } else {
            // Multiplied before dividing, so equal sizes give whole positions exactly.
            const double u = std::clamp((double(i) + 0.5) * sourceSize / targetSize - 0.5, 0.0,
                                        double(sourceSize - 1));
            const int j0 = int(std::floor(u));
            const double t = u - j0;
            a.first[i] = j0;
            a.weights.push_back(float(1 - t));
            if (t > 0) a.weights.push_back(float(t));
        }
        a.count[i] = int(a.weights.size()) - a.offset[i];
        a.maxCount = std::max(a.maxCount, a.count[i]);
    }
    return a;
}

bool SmoothStretchDib(const dib& image, Surface& bit, int x, int y, int destW, int destH) {
    SourceRows src;
    if (destW < 1 || destH < 1 || !DescribeSource(image, src)) return false;
    const int colFrom = int(std::max<i64>(0, -i64(x)));
    const int colTo = int(std::min<i64>(destW, i64(bit.Width()) - x));
    const int rowFrom = int(std::max<i64>(0, -i64(y)));
    const int rowTo = int(std::min<i64>(destH, i64(bit.Height()) - y));
    if (colFrom >= colTo || rowFrom >= rowTo) return true;
    Resample(src, destW, destH, colFrom, colTo, rowFrom, rowTo,
             [&](int row, int columns, const std::uint8_t* bgr) {
                 BYTE* target = bit.ScanLine(y + row) + 4 * (i64(x) + colFrom);
                 for (int i = 0; i < columns; ++i, bgr += 3, target += 4) {
                     target[0] = bgr[0];
                     target[1] = bgr[1];
                     target[2] = bgr[2];
                     target[3] = 0;
                 }
             });
    return true;
}

dib SmoothResampleDib(const dib& src, int newWidth, int newHeight) {
    SourceRows rows;
    if (newWidth < 1 || newHeight < 1 || !DescribeSource(src, rows)) return dib{};
    dib copy = newdib(newWidth, newHeight, 24, nullptr, 0);
    if (!copy.poi) return copy;
    Resample(rows, newWidth, newHeight, 0, newWidth, 0, newHeight,
             [&](int row, int columns, const std::uint8_t* bgr) {
                 std::copy(bgr, bgr + 3 * columns, StoredRow(copy, newHeight - 1 - row));
             });
    return copy;
}

}  // namespace lumivane
