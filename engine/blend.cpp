// The fast blend. Per bitmap row it finds, with the exact formula, the run of columns whose
// source pixel lies inside the motif, then walks that run computing source coordinates in double
// precision; wherever the double result could round differently from the extended-precision
// formula it falls back to the exact formula, so the output equals DibRotxxxReference's.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/blend.h"
#include "engine/blend_pixel.h"
#include "engine/blend_plan.h"
#include "platform/parallel.h"
#include "platform/simd.h"

namespace lumivane {

namespace {

using i64 = std::int64_t;

#if LUMIVANE_HAVE_SSE2
// Adding and subtracting 1.5 * 2^52 rounds a double below 2^51 in magnitude to a whole number,
// halves to even, without a library call.
constexpr double kRoundingShift = 6755399441055744.0;
#endif

// First k in [lo, hi + 1) for which pred holds; pred must be false up to some k and true from it.
template <class Pred>
i64 FirstTrue(i64 lo, i64 hi, Pred pred) {
    i64 a = lo, b = hi + 1;
    while (a < b) {
        const i64 mid = a + (b - a) / 2;
        if (pred(mid))
            b = mid;
        else
            a = mid + 1;
    }
    return a;
}

// Narrows [lo, hi] to the k where minV <= g(k) <= maxV. g is monotone in k (each step of the
// source formula is a monotone rounding of a linear function), so that set is one run.
template <class G>
void NarrowToRange(i64& lo, i64& hi, G g, i64 minV, i64 maxV) {
    if (lo > hi) return;
    const i64 l = lo, h = hi;
    if (g(l) <= g(h)) {
        lo = FirstTrue(l, h, [&](i64 k) { return g(k) >= minV; });
        hi = FirstTrue(l, h, [&](i64 k) { return g(k) > maxV; }) - 1;
    } else {
        lo = FirstTrue(l, h, [&](i64 k) { return g(k) <= maxV; });
        hi = FirstTrue(l, h, [&](i64 k) { return g(k) < minV; }) - 1;
    }
}

// One bitmap row's share of the box: the run of box columns [lo, hi] whose source pixel lies
// inside the motif, and the row's constants of the double-precision source formula.
struct RowRun {
    i64 lo = 0, hi = -1;
    i64 dy = 0;
    double cx = 0, cy = 0;  // the dy terms of the source formulas plus the motif centre
    double limit = 0;       // distance from a half below which the double rounding is trusted
    BYTE* row = nullptr;    // the bitmap row it is drawn into
};

class RowBlender {
  public:
    // Rows walked together in column strips; also the share of work the threads take at a time.
    static constexpr int kBandRows = 16;

    RowBlender(const BlendPlan& p, const dib& di, const dib& mask, Surface& bit)
        : p_(p),
          motifTop_(static_cast<const BYTE*>(di.poi) + i64(p.height - 1) * di.bytew),
          motifStride_(di.bytew),
          mask_(static_cast<const BYTE*>(mask.poi)),
          maskStride_(mask.bytew),
          bit_(bit),
          k0_(std::max<i64>(0, -p.left)),
          k1_(std::min<i64>(p.boxW, bit.Width() - p.left) - 1),
          ax_(double(p.c * p.f)),
          ay_(double(p.s * p.f)) {
        const i64 ahead = 2;
        const i64 px = i64(std::lround(double(-p.s * p.f * ahead)));
        const i64 py = i64(std::lround(double(p.c * p.f * ahead)));
        motifAhead_ = -py * motifStride_ + 3 * px;
        maskAhead_ = py * maskStride_ + 3 * px;
    }

    // Box rows [r0, r1), all inside the bitmap. A turned motif is read along slanted lines; so
    // that the motif and mask rows a band touches stay in the cache, a band of rows is walked in
    // column strips.
    void Rows(i64 r0, i64 r1) const {
        constexpr i64 kStripColumns = 256;
        RowRun runs[kBandRows];
        for (i64 band = r0; band < r1; band += kBandRows) {
            const int n = int(std::min<i64>(kBandRows, r1 - band));
            i64 first = k1_ + 1, last = k0_ - 1;
            for (int i = 0; i < n; ++i) {
                runs[i] = MakeRun(band + i);
                if (runs[i].lo > runs[i].hi) continue;
                first = std::min(first, runs[i].lo);
                last = std::max(last, runs[i].hi);
            }
            for (i64 from = first; from <= last; from += kStripColumns) {
                const i64 to = std::min(last, from + kStripColumns - 1);
                for (int i = 0; i < n; ++i)
                    BlendSpan(runs[i], std::max(from, runs[i].lo), std::min(to, runs[i].hi));
            }
        }
    }

  private:
    RowRun MakeRun(i64 r) const {
        RowRun run;
        run.dy = r - p_.bcy;
        const i64 dy = run.dy;
        run.lo = k0_;
        run.hi = k1_;
        NarrowToRange(
            run.lo, run.hi, [&](i64 k) { return p_.SourceX(k - p_.bcx, dy); }, 0, p_.width - 1);
        NarrowToRange(
            run.lo, run.hi, [&](i64 k) { return p_.SourceY(k - p_.bcx, dy); }, 0, p_.height - 1);
        if (run.lo > run.hi) return run;

        // Every term of both formulas, the motif centre included, is at most `bound` in
        // magnitude. The extended-precision result lies within 4 * bound * 2^-64 of the exact
        // value, the double one within bound * 2^-50; so when the double value is further than
        // `slack` from a half, both round to the same whole number.
        const long double bound =
            (std::max(std::abs(run.lo - p_.bcx), std::abs(run.hi - p_.bcx)) + std::abs(dy)) * p_.f +
            std::max(p_.mcx, p_.mcy);
        const double slack = double((bound + 1) * 0x1p-48L);
        run.limit = slack < 0.125 ? 0.5 - slack : 0.0;  // 0: always the exact formula
        run.cx = double(-(p_.s * dy) * p_.f + p_.mcx);
        run.cy = double((p_.c * dy) * p_.f + p_.mcy);
        run.row = bit_.ScanLine(int(p_.top + r));
        return run;
    }

#if LUMIVANE_HAVE_SSE2
    // Box columns [from, to] of one run, two pixels per step: the source columns of both in one
    // register, their rows in another, one test that both are trustworthy and inside the motif.
    void BlendSpan(const RowRun& run, i64 from, i64 to) const {
        // Locals throughout: the compiler then keeps them in registers across the pixel stores.
        const __m128d ax = _mm_set1_pd(ax_), ay = _mm_set1_pd(ay_);
        const __m128d cx = _mm_set1_pd(run.cx), cy = _mm_set1_pd(run.cy);
        const __m128d limit = _mm_set1_pd(run.limit), shift = _mm_set1_pd(kRoundingShift);
        const __m128d two = _mm_set1_pd(2.0), signBit = _mm_set1_pd(-0.0);
        // Unsigned x < width as a signed compare of both sides with the top bit flipped.
        const __m128i flip = _mm_set1_epi32(INT32_MIN);
        const __m128i size =
            _mm_xor_si128(_mm_set_epi32(p_.height, p_.height, p_.width, p_.width), flip);
        const BYTE* const motifTop = motifTop_;
        const BYTE* const mask = mask_ + 2;  // the red byte
        // Strides are below 2^31; the multiplies take the low 32 bits of each 64-bit lane.
        const __m128i three = _mm_set1_epi32(3);
        const __m128i motifStride = _mm_set1_epi32(int(motifStride_));
        const __m128i maskStride = _mm_set1_epi32(int(maskStride_));
        const i64 motifAhead = motifAhead_, maskAhead = maskAhead_;
        // Up to here a 4-byte read from motifTop stays inside the motif's memory: picture row 0
        // is stored last.
        const i64 motifWordLimit = motifStride_ - 4;
        BYTE* target = run.row + 4 * (p_.left + from);
        __m128d dx = _mm_set_pd(double(from + 1 - p_.bcx), double(from - p_.bcx));
        i64 k = from;
        // Pixels k and k + 1, or (pair false) only k: the last pixel of an odd span; its
        // neighbour's lanes are computed but neither tested nor used.
        auto step = [&](auto pair) {
            const __m128d vx = _mm_add_pd(_mm_mul_pd(ax, dx), cx);
            const __m128d vy = _mm_add_pd(_mm_mul_pd(ay, dx), cy);
            // v + shift holds round(v) as a whole number in its low 32 bits.
            const __m128d wx = _mm_add_pd(vx, shift), wy = _mm_add_pd(vy, shift);
            const __m128d offX = _mm_andnot_pd(signBit, _mm_sub_pd(vx, _mm_sub_pd(wx, shift)));
            const __m128d offY = _mm_andnot_pd(signBit, _mm_sub_pd(vy, _mm_sub_pd(wy, shift)));
            const __m128d trusted =
                _mm_and_pd(_mm_cmplt_pd(offX, limit), _mm_cmplt_pd(offY, limit));
            // Lanes: x0, x1, y0, y1.
            const __m128i xy = _mm_castps_si128(
                _mm_shuffle_ps(_mm_castpd_ps(wx), _mm_castpd_ps(wy), _MM_SHUFFLE(2, 0, 2, 0)));
            const __m128i inside = _mm_cmplt_epi32(_mm_xor_si128(xy, flip), size);
            // Inside the run the coordinates always lie in the motif; the test costs little
            // and keeps any slip from reading out of bounds.
            const int needed = pair ? 0x3F : 0x15;  // x0, x1, y0, y1, then both trusted
            if (((_mm_movemask_pd(trusted) << 4 | _mm_movemask_ps(_mm_castsi128_ps(inside))) &
                 needed) != needed) [[unlikely]] {
                BlendExact(run, k, target);
                if (pair) BlendExact(run, k + 1, target + 4);
                return;
            }
            // Byte offsets of both pixels, 64-bit, from the whole numbers in the low halves.
            const __m128i column = _mm_mul_epu32(_mm_castpd_si128(wx), three);
            const __m128i row = _mm_castpd_si128(wy);
            const __m128i motifAt = _mm_sub_epi64(column, _mm_mul_epu32(row, motifStride));
            // Stored row y, not picture row y: the mask is applied mirrored top to bottom.
            const __m128i maskAt = _mm_add_epi64(column, _mm_mul_epu32(row, maskStride));
            const i64 motif0 = _mm_cvtsi128_si64(motifAt);
            const i64 motif1 = _mm_cvtsi128_si64(_mm_unpackhi_epi64(motifAt, motifAt));
            const i64 mask0 = _mm_cvtsi128_si64(maskAt);
            const i64 mask1 = _mm_cvtsi128_si64(_mm_unpackhi_epi64(maskAt, maskAt));
            // The rows below come next in this strip; fetch their motif and mask bytes early.
            __builtin_prefetch(motifTop + motif0 + motifAhead);
            __builtin_prefetch(mask + mask0 + maskAhead);
            if constexpr (!decltype(pair)::value) {
                BlendPixelPacked(motifTop + motif0, mask[mask0], target);
                return;
            }
            std::uint64_t colours;
            if (std::max(motif0, motif1) <= motifWordLimit) [[likely]] {
                // A 4-byte read per pixel, the byte after it dropped.
                std::uint32_t left, right;
                std::memcpy(&left, motifTop + motif0, 4);
                std::memcpy(&right, motifTop + motif1, 4);
                colours = (left | std::uint64_t(right) << 32) & 0x00FFFFFF00FFFFFFu;
            } else {
                colours = MotifPixel(motifTop + motif0) | MotifPixel(motifTop + motif1) << 32;
            }
            BlendPixelPair(colours, mask[mask0], mask[mask1], target);
        };
        for (; k < to; k += 2, dx = _mm_add_pd(dx, two), target += 8) step(std::true_type{});
        if (k == to) step(std::false_type{});
    }
#else
    // Box columns [from, to] of one run, one pixel at a time, with the same tests as the SSE2
    // form. nearbyint rounds halves to even like the shift trick, and stays right where double
    // arithmetic runs in wider registers; the product and the sum are separate statements so that
    // no compiler fuses them.
    void BlendSpan(const RowRun& run, i64 from, i64 to) const {
        const double width = p_.width, height = p_.height;
        BYTE* target = run.row + 4 * (p_.left + from);
        for (i64 k = from; k <= to; ++k, target += 4) {
            const double dx = double(k - p_.bcx);
            const double px = ax_ * dx, py = ay_ * dx;
            const double vx = px + run.cx, vy = py + run.cy;
            const double rx = std::nearbyint(vx), ry = std::nearbyint(vy);
            if (!(std::abs(vx - rx) < run.limit && std::abs(vy - ry) < run.limit && rx >= 0 &&
                  rx < width && ry >= 0 && ry < height)) [[unlikely]] {
                BlendExact(run, k, target);
                continue;
            }
            const i64 x = i64(rx), y = i64(ry);
            BlendPixelPacked(motifTop_ - y * motifStride_ + 3 * x,
                             mask_[y * maskStride_ + 3 * x + 2], target);
        }
    }
#endif

    // One pixel through the exact formula, where the double one is not trusted.
    void BlendExact(const RowRun& run, i64 k, BYTE* target) const {
        const i64 sx = p_.SourceX(k - p_.bcx, run.dy);
        const i64 sy = p_.SourceY(k - p_.bcx, run.dy);
        if (sx < 0 || sx >= p_.width || sy < 0 || sy >= p_.height) return;
        BlendPixelPacked(motifTop_ - sy * motifStride_ + 3 * sx,
                         mask_[sy * maskStride_ + 3 * sx + 2], target);
    }

    // A motif pixel as a bitmap pixel with fourth byte 0.
    static std::uint64_t MotifPixel(const BYTE* bgr) {
        std::uint16_t blueGreen;
        std::memcpy(&blueGreen, bgr, 2);
        return blueGreen | std::uint64_t(bgr[2]) << 16;
    }

    const BlendPlan& p_;
    const BYTE* motifTop_;  // stored row of picture row 0
    i64 motifStride_;
    const BYTE* mask_;
    i64 maskStride_;
    Surface& bit_;
    i64 k0_, k1_;  // box columns inside the bitmap
    double ax_, ay_;
    i64 motifAhead_ = 0, maskAhead_ = 0;
};

}  // namespace

void DibRotxxx(const dib& di, const dib& mask, Surface& bit, long double winkel, int offx, int offy,
               int zoom) {
    const auto plan = PlanBlend(di, mask, bit, winkel, offx, offy, zoom);
    if (!plan) return;
    const BlendPlan& p = *plan;
    const i64 r0 = std::max<i64>(0, -p.top);
    const i64 r1 = std::min<i64>(p.boxH, bit.Height() - p.top);
    const i64 columns = std::min<i64>(p.boxW, bit.Width() - p.left) - std::max<i64>(0, -p.left);
    if (r0 >= r1 || columns <= 0) return;

    const RowBlender blender(p, di, mask, bit);
    ForChunks(r1 - r0, RowBlender::kBandRows, (r1 - r0) * columns >= SplitThresholds::kBlend,
              [&](i64 begin, i64 end) { blender.Rows(r0 + begin, r0 + end); });
}

}  // namespace lumivane
