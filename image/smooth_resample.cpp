// Separable resampling: each source row that a band of target rows needs is resampled across
// once into floating point, then the target rows combine those rows.
#include "image/smooth_resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "image/Zerlin.h"
#include "platform/imagelib/stored_rows.h"
#include "platform/gdi/dib_source.h"
#include "platform/parallel.h"
#include "platform/simd.h"

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

// Four floats per pixel (blue, green, red, unused), so each pixel's arithmetic is one vector.
constexpr int kLanes = 4;

// Surface pixels (0x00RRGGBB) as four floats each: blue, green, red, 0.
void ToFloats(const std::uint32_t* pixels, std::size_t n, float* out) {
#if LUMIVANE_HAVE_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t i = 0; i < n; ++i) {
        const __m128i bytes = _mm_cvtsi32_si128(int(pixels[i]));
        const __m128i lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
        _mm_storeu_ps(out + kLanes * i, _mm_cvtepi32_ps(lanes));
    }
#else
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < kLanes; ++c) out[kLanes * i + c] = float((pixels[i] >> (8 * c)) & 0xFF);
#endif
}

// Four floats back to a surface pixel, rounded. Sums of convex weights lie in [0, 255] up to
// rounding, so only the top needs a bound.
std::uint32_t ToPixel(const float* v) {
#if LUMIVANE_HAVE_SSE2
    const __m128i whole = _mm_cvttps_epi32(_mm_add_ps(_mm_loadu_ps(v), _mm_set1_ps(0.5f)));
    const __m128i words = _mm_packs_epi32(whole, whole);
    return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words))) & 0x00FFFFFFu;
#else
    std::uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) pixel |= std::min(std::uint32_t(v[c] + 0.5f), 255u) << (8 * c);
    return pixel;
#endif
}

// The weights of target columns [colFrom, colTo) with the same number of taps each, zeros
// filling up the shorter ones, so the loop over them has a fixed length. `start` is relative to
// srcFrom and never reaches past srcTo.
struct FixedTaps {
    int count = 0;
    std::vector<int> start;
    std::vector<float> weights;
};

FixedTaps MakeFixedTaps(const ResampleAxis& ax, int colFrom, int colTo, int srcFrom, int srcTo) {
    FixedTaps f;
    for (int t = colFrom; t < colTo; ++t) f.count = std::max(f.count, ax.count[std::size_t(t)]);
    f.start.resize(std::size_t(colTo - colFrom));
    f.weights.assign(f.start.size() * std::size_t(f.count), 0.0f);
    for (int t = colFrom; t < colTo; ++t) {
        const std::size_t i = std::size_t(t - colFrom);
        const int first = ax.first[std::size_t(t)];
        const int start = std::min(first, srcTo - f.count);
        f.start[i] = start - srcFrom;
        for (int j = 0; j < ax.count[std::size_t(t)]; ++j)
            f.weights[i * std::size_t(f.count) + std::size_t(first - start + j)] =
                ax.weights[std::size_t(ax.offset[std::size_t(t)] + j)];
    }
    return f;
}

// One source row (four floats a pixel) resampled across: kCount taps a column, 0 for any number.
template <int kCount>
void Across(const FixedTaps& taps, const float* source, int columns, float* line) {
    const int count = kCount ? kCount : taps.count;
    for (int i = 0; i < columns; ++i) {
        const float* w = taps.weights.data() + std::size_t(i) * std::size_t(count);
        const float* p = source + std::size_t(taps.start[std::size_t(i)]) * kLanes;
        float v[kLanes] = {};
        for (int j = 0; j < count; ++j)
            for (int c = 0; c < kLanes; ++c) v[c] += w[j] * p[kLanes * j + c];
        for (int c = 0; c < kLanes; ++c) line[std::size_t(i) * kLanes + c] = v[c];
    }
}

// A target row from kCount resampled source rows: weighed, summed and rounded in one pass.
template <int kCount>
void Down(const float* const* lines, const float* w, int columns, std::uint32_t* out) {
    for (int i = 0; i < columns; ++i) {
        const std::size_t at = std::size_t(i) * kLanes;
        float v[kLanes];
        for (int c = 0; c < kLanes; ++c) v[c] = w[0] * lines[0][at + c];
        for (int j = 1; j < kCount; ++j)
            for (int c = 0; c < kLanes; ++c) v[c] += w[j] * lines[j][at + c];
        out[i] = ToPixel(v);
    }
}

// Resamples the source to targetW x targetH and hands target rows [rowFrom, rowTo), columns
// [colFrom, colTo) to write(row, columns, pixels) as surface pixels (0x00RRGGBB).
template <class RowWriter>
void Resample(const SourceRows& src, int targetW, int targetH, int colFrom, int colTo, int rowFrom,
              int rowTo, const RowWriter& write) {
    const ResampleAxis ax = MakeResampleAxis(src.dib.width, targetW);
    const ResampleAxis ay = MakeResampleAxis(src.dib.height, targetH);
    const int columns = colTo - colFrom;
    const int srcFrom = ax.first[std::size_t(colFrom)];
    const int srcTo = ax.first[std::size_t(colTo - 1)] + ax.count[std::size_t(colTo - 1)];
    const std::size_t lineSize = std::size_t(columns) * kLanes;
    const FixedTaps taps = MakeFixedTaps(ax, colFrom, colTo, srcFrom, srcTo);
    const int ring = ay.maxCount;

    auto band = [&](i64 begin, i64 end) {
        // Each thread keeps its buffers from band to band: fresh large blocks would cost a page
        // fault per page every time.
        thread_local std::vector<std::uint32_t> pixels, out;
        thread_local std::vector<float> source, across, sum;
        thread_local std::vector<int> held;
        pixels.resize(std::size_t(srcTo - srcFrom));
        source.resize(pixels.size() * kLanes);
        // Resampled source rows, kept in a ring: a target row needs consecutive source rows and
        // the first of them never moves back.
        across.resize(std::size_t(ring) * lineSize);
        held.assign(std::size_t(ring), -1);
        sum.resize(lineSize);
        out.resize(std::size_t(columns));
        auto acrossRow = [&](int y) -> const float* {
            float* line = across.data() + std::size_t(y % ring) * lineSize;
            if (held[std::size_t(y % ring)] == y) return line;
            held[std::size_t(y % ring)] = y;
            gdi::ConvertRow(src.dib, src.Row(y), srcFrom, srcTo - srcFrom, pixels.data());
            ToFloats(pixels.data(), pixels.size(), source.data());
            switch (taps.count) {
                case 1:
                    Across<1>(taps, source.data(), columns, line);
                    break;
                case 2:
                    Across<2>(taps, source.data(), columns, line);
                    break;
                case 3:
                    Across<3>(taps, source.data(), columns, line);
                    break;
                case 4:
                    Across<4>(taps, source.data(), columns, line);
                    break;
                default:
                    Across<0>(taps, source.data(), columns, line);
                    break;
            }
            return line;
        };
        for (i64 row = begin; row < end; ++row) {
            const std::size_t t = std::size_t(row);
            const int count = ay.count[t];
            const float* w = ay.weights.data() + ay.offset[t];
            const float* lines[4];
            if (count <= 4) {
                for (int j = 0; j < count; ++j) lines[j] = acrossRow(ay.first[t] + j);
                switch (count) {
                    case 1:
                        Down<1>(lines, w, columns, out.data());
                        break;
                    case 2:
                        Down<2>(lines, w, columns, out.data());
                        break;
                    case 3:
                        Down<3>(lines, w, columns, out.data());
                        break;
                    default:
                        Down<4>(lines, w, columns, out.data());
                        break;
                }
            } else {
                const float* first = acrossRow(ay.first[t]);
                for (std::size_t i = 0; i < lineSize; ++i) sum[i] = w[0] * first[i];
                for (int j = 1; j < count; ++j) {
                    const float* line = acrossRow(ay.first[t] + j);
                    for (std::size_t i = 0; i < lineSize; ++i) sum[i] += w[j] * line[i];
                }
                for (int i = 0; i < columns; ++i)
                    out[std::size_t(i)] = ToPixel(sum.data() + std::size_t(i) * kLanes);
            }
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
             [&](int row, int columns, const std::uint32_t* pixels) {
                 std::memcpy(bit.ScanLine(y + row) + 4 * (i64(x) + colFrom), pixels,
                             std::size_t(columns) * 4);
             });
    return true;
}

dib SmoothResampleDib(const dib& src, int newWidth, int newHeight) {
    SourceRows rows;
    if (newWidth < 1 || newHeight < 1 || !DescribeSource(src, rows)) return dib{};
    dib copy = newdib(newWidth, newHeight, 24, nullptr, 0);
    if (!copy.poi) return copy;
    Resample(rows, newWidth, newHeight, 0, newWidth, 0, newHeight,
             [&](int row, int columns, const std::uint32_t* pixels) {
                 BYTE* target = StoredRow(copy, newHeight - 1 - row);
                 for (int i = 0; i < columns; ++i, target += 3) {
                     target[0] = BYTE(pixels[i]);
                     target[1] = BYTE(pixels[i] >> 8);
                     target[2] = BYTE(pixels[i] >> 16);
                 }
             });
    return copy;
}

}  // namespace lumivane
