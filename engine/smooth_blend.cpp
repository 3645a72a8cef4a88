// The smooth blend walks the same box as the plain one, two pixels wider on each side for the
// motif's antialiased border. Its source positions need no exact rounding: they only weigh
// neighbouring pixels, so double precision and fixed point serve.
#include "engine/smooth_blend.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/blend_plan.h"
#include "platform/parallel.h"
#include "platform/simd.h"

namespace lumivane {

namespace {

using i64 = std::int64_t;

// The largest motif (256 MB joined with its mask) whose shrunk averages read a joined copy.
constexpr i64 kMaxQuadPixels = i64(1) << 26;

// Footprint samples per axis: a motif shrunk to 1 % still takes at most this many.
constexpr int kMaxSamplesPerAxis = 200;

// The share of a bitmap pixel on the inner side of a straight motif edge whose distance from the
// pixel centre is d bitmap pixels (negative: the centre lies outside). The pixel, seen across the
// edge, spreads over a + b (the cosine and sine of the edge's slant, a >= b): the exact area is a
// ramp with quadratic ends.
double EdgeCoverage(double d, double a, double b) {
    const double t = d + 0.5 * (a + b);
    if (t <= 0) return 0;
    if (t >= a + b) return 1;
    if (b < 1e-9) return t / a;
    if (t < b) return t * t / (2 * a * b);
    if (t <= a) return (t - 0.5 * b) / a;
    const double rest = a + b - t;
    return 1 - rest * rest / (2 * a * b);
}

// Sample positions are taken in 1/128 of a motif pixel; the two weights of an axis sum to 128,
// so the weighed pixels of a row still fit signed 16-bit lanes (255 x 128 < 2^15).
constexpr std::uint32_t kSteps = 128;
constexpr std::uint32_t kOne = kSteps * kSteps;  // the weights of a bilinear sample sum to this

#if LUMIVANE_HAVE_SSE2
// The weights across a row for each fraction fx: 128 - fx for the left pixel's four lanes, fx for
// the right one's; looked up rather than broadcast for every sample.
struct AcrossWeights {
    alignas(16) std::int16_t w[kSteps][8];
};
constexpr AcrossWeights MakeAcrossWeights() {
    AcrossWeights a{};
    for (std::uint32_t fx = 0; fx < kSteps; ++fx)
        for (int i = 0; i < 8; ++i) a.w[fx][i] = std::int16_t(i < 4 ? kSteps - fx : fx);
    return a;
}
constexpr AcrossWeights kAcross = MakeAcrossWeights();

// The weights down a column for each fraction fy: 128 - fy for the top row, fy for the bottom
// one, as pairs in four 32-bit lanes.
struct DownWeights {
    alignas(16) std::uint32_t w[kSteps][4];
};
constexpr DownWeights MakeDownWeights() {
    DownWeights d{};
    for (std::uint32_t fy = 0; fy < kSteps; ++fy)
        for (int i = 0; i < 4; ++i) d.w[fy][i] = (kSteps - fy) | fy << 16;
    return d;
}
constexpr DownWeights kDown = MakeDownWeights();
#endif

// Blue, green, red and mask weight of a bilinear sample, each times kOne.
struct Sample {
    std::uint32_t c[4];
};

class SmoothBlender {
  public:
    SmoothBlender(const BlendPlan& p, const dib& di, const dib& mask, Surface& bit)
        : p_(p),
          motifTop_(static_cast<const BYTE*>(di.poi) + i64(p.height - 1) * di.bytew),
          motifStride_(di.bytew),
          mask_(static_cast<const BYTE*>(mask.poi) + 2),  // the red byte
          maskStride_(mask.bytew),
          bit_(bit),
          c_(double(p.c)),
          s_(double(p.s)),
          f_(double(p.f)),
          spreadA_(std::max(std::abs(c_), std::abs(s_))),
          spreadB_(std::min(std::abs(c_), std::abs(s_))),
          reach_(0.5 * (spreadA_ + spreadB_)),
          inner_(reach_ * f_ - 0.5) {
        const int n = f_ <= 1 ? 1 : std::min(kMaxSamplesPerAxis, int(std::ceil(2 * f_)));
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                const double oi = (i + 0.5) / n - 0.5, oj = (j + 0.5) / n - 0.5;
                const Offset o{(c_ * oi - s_ * oj) * f_, (s_ * oi + c_ * oj) * f_};
                offsets_.push_back(o);
                const FixedOffset fo{std::llround(o.u * kFixed), std::llround(o.v * kFixed)};
                fixedOffsets_.push_back(fo);
                reachX_[0] = std::min(reachX_[0], fo.x), reachX_[1] = std::max(reachX_[1], fo.x);
                reachY_[0] = std::min(reachY_[0], fo.y), reachY_[1] = std::max(reachY_[1], fo.y);
            }
        }
        SetPrefetch();
    }

    // Prefetch distance: the motif and mask bytes two bitmap rows further down.
    void SetPrefetch() {
        const i64 px = i64(std::lround(-s_ * f_ * 2)), py = i64(std::lround(c_ * f_ * 2));
        motifAhead_ = -py * motifStride_ + 3 * px;
        maskAhead_ = py * maskStride_ + 3 * px;
        quadAhead_ = py * p_.width + px;
    }

    // The motif with its mask weight as the fourth byte of each pixel, picture row 0 first:
    // the shrunk motif's averages then read a sample's four pixels as two words each.
    void UseQuads(const std::uint32_t* quads) { quads_ = quads; }

    // Rows walked together in column strips, as the plain blend walks them: a turned motif is
    // read along slanted lines, and so the motif and mask rows a band touches stay in the cache.
    static constexpr int kBandRows = 16;

    // Box rows [r0, r1) from -2 on, all inside the bitmap; columns [k0, k1).
    void Rows(i64 r0, i64 r1, i64 k0, i64 k1) const {
        constexpr i64 kStripColumns = 256;
        Run runs[kBandRows];
        for (i64 band = r0; band < r1; band += kBandRows) {
            const int n = int(std::min<i64>(kBandRows, r1 - band));
            i64 first = k1, last = k0 - 1;
            for (int i = 0; i < n; ++i) {
                runs[i] = MakeRun(band + i, k0, k1);
                if (runs[i].from > runs[i].to) continue;
                first = std::min(first, runs[i].from);
                last = std::max(last, runs[i].to);
            }
            for (i64 from = first; from <= last; from += kStripColumns) {
                const i64 to = std::min(last, from + kStripColumns - 1);
                for (int i = 0; i < n; ++i) Span(runs[i], from, to);
            }
        }
    }

  private:
    struct Offset {
        double u, v;
    };
    // The same in 2^-24 motif pixels.
    struct FixedOffset {
        i64 x, y;
    };
    static constexpr double kFixed = 16777216.0;

    // One bitmap row's share of the box: the columns [from, to] whose pixel can touch the motif,
    // among them the fully covered ones [wholeFrom, wholeTo], and the source position of box
    // column k: (ua k + uc, va k + vc), as DibRotxxx forms it before rounding.
    struct Run {
        i64 from = 0, to = -1;
        i64 wholeFrom = 0, wholeTo = -1;
        double uc = 0, vc = 0;
        BYTE* row = nullptr;  // the bitmap row it is drawn into
    };

    Run MakeRun(i64 r, i64 k0, i64 k1) const {
        Run run;
        const double dy = double(r - p_.bcy);
        const double ua = c_ * f_, va = s_ * f_;
        run.uc = (c_ * double(-p_.bcx) - s_ * dy) * f_ + p_.mcx;
        run.vc = (s_ * double(-p_.bcx) + c_ * dy) * f_ + p_.mcy;
        // Every edge nearer than `reach_`.
        const double pad = reach_ * f_ + 0.5;
        double lo = double(k0), hi = double(k1 - 1);
        Narrow(lo, hi, ua, run.uc, -pad, p_.width - 1 + pad);
        Narrow(lo, hi, va, run.vc, -pad, p_.height - 1 + pad);
        if (lo > hi) return run;
        run.from = std::max<i64>(k0, i64(std::floor(lo)) - 1);
        run.to = std::min<i64>(k1 - 1, i64(std::ceil(hi)) + 1);
        run.row = bit_.ScanLine(int(p_.top + r));
        // Fully covered; whether all samples lie inside is checked with the fixed-point steps.
        double a = double(run.from), b = double(run.to);
        const double low = std::max(inner_, 0.0);
        Narrow(a, b, ua, run.uc, low, std::min(p_.width - 1 - inner_, p_.width - 1.0));
        Narrow(a, b, va, run.vc, low, std::min(p_.height - 1 - inner_, p_.height - 1.0));
        if (a <= b) {
            run.wholeFrom = i64(std::ceil(a));
            run.wholeTo = i64(std::floor(b));
        }
        if (run.wholeFrom > run.wholeTo) run.wholeFrom = run.to + 1, run.wholeTo = run.to;
        return run;
    }

    // Columns [a, b] of a run.
    void Span(const Run& run, i64 a, i64 b) const {
        a = std::max(a, run.from);
        b = std::min(b, run.to);
        const double ua = c_ * f_, va = s_ * f_;
        auto edgePixel = [&](i64 k) {
            const double u = ua * double(k) + run.uc, v = va * double(k) + run.vc;
            const double cover = Coverage(u, v);
            if (cover <= 0) return;
            float blue, green, red, m;
            Average(u, v, blue, green, red, m);
            MixPart(blue, green, red, m, float(cover), run.row + 4 * (p_.left + k));
        };
        i64 wholeFrom = std::max(a, run.wholeFrom), wholeTo = std::min(b, run.wholeTo);
        for (i64 k = a; k <= b && k < run.wholeFrom; ++k) edgePixel(k);
        if (wholeFrom <= wholeTo) {
            // Positions in 2^-24 motif pixels, stepped: the error after a whole row stays far
            // below a sample step. The fast path wants all four pixels of every sample in the
            // motif and read as whole words, so its samples start below picture row 0 (stored
            // last, where a word could reach past the memory) and stop above the last row and
            // column; the pixels beyond take the edge path.
            const i64 dx = std::llround(ua * kFixed), dy = std::llround(va * kFixed);
            const i64 maxX = i64(p_.width - 1) << 24, maxY = i64(p_.height - 1) << 24;
            auto position = [&](i64 k, i64& x, i64& y) {
                x = std::llround((ua * double(wholeFrom) + run.uc) * kFixed) + (k - wholeFrom) * dx;
                y = std::llround((va * double(wholeFrom) + run.vc) * kFixed) + (k - wholeFrom) * dy;
                return x + reachX_[0] >= 0 && x + reachX_[1] < maxX &&
                       y + reachY_[0] >= (i64(1) << 24) && y + reachY_[1] < maxY;
            };
            // Positions are taken from wholeFrom on: both ends must fit with the same start.
            i64 x, y;
            while (wholeFrom <= wholeTo) {
                if (!position(wholeFrom, x, y)) {
                    edgePixel(wholeFrom++);
                } else if (!position(wholeTo, x, y)) {
                    edgePixel(wholeTo--);
                } else {
                    break;
                }
            }
            // position() is linear in k: with both ends inside, every k between is.
            position(wholeFrom, x, y);
            BYTE* target = run.row + 4 * (p_.left + wholeFrom);
            if (wholeFrom <= wholeTo) {
                if (fixedOffsets_.size() == 1)
                    BlendWholeRow(x, y, dx, dy, wholeTo - wholeFrom + 1, target);
                else
                    AverageWholeRow(x, y, dx, dy, wholeTo - wholeFrom + 1, target);
            }
        }
        for (i64 k = std::max(a, run.wholeTo + 1); k <= b; ++k) edgePixel(k);
    }

    // Narrows [lo, hi] to the k with low < a k + c < high.
    static void Narrow(double& lo, double& hi, double a, double c, double low, double high) {
        if (a == 0) {
            if (c <= low || c >= high) hi = lo - 1;
            return;
        }
        double k1 = (low - c) / a, k2 = (high - c) / a;
        if (k1 > k2) std::swap(k1, k2);
        lo = std::max(lo, k1);
        hi = std::min(hi, k2);
    }

    double Coverage(double u, double v) const {
        // Distances to the motif's four edges, in bitmap pixels.
        const double left = (u + 0.5) / f_, right = (p_.width - 0.5 - u) / f_;
        const double top = (v + 0.5) / f_, bottom = (p_.height - 0.5 - v) / f_;
        return EdgeCoverage(left, spreadA_, spreadB_) * EdgeCoverage(right, spreadA_, spreadB_) *
               EdgeCoverage(top, spreadA_, spreadB_) * EdgeCoverage(bottom, spreadA_, spreadB_);
    }

    // The motif pixel at `bgr` and the mask weight `weight` as blue, green, red, weight. Picture
    // row 0 is stored last, so its pixels are read bytewise: a word could reach past the end.
    static std::uint32_t Word(const BYTE* bgr, BYTE weight, bool lastRow) {
        std::uint32_t w;
        if (!lastRow) {
            std::memcpy(&w, bgr, 4);  // the byte after the pixel is dropped below
        } else {
            w = bgr[0] | std::uint32_t(bgr[1]) << 8 | std::uint32_t(bgr[2]) << 16;
        }
        return (w & 0x00FFFFFFu) | std::uint32_t(weight) << 24;
    }

    // The bilinear sample at (x, y) in 1/128 motif pixels, inside the motif: weighed across
    // each row, then down. Whole numbers throughout, so a sample on a pixel centre is that pixel
    // exactly, and both ways of computing it give the same numbers.
    Sample BilinearAt(i64 x, i64 y) const {
        const i64 x0 = i64(std::uint64_t(x) / kSteps), y0 = i64(std::uint64_t(y) / kSteps);
        const std::uint32_t fx = std::uint32_t(x) % kSteps, fy = std::uint32_t(y) % kSteps;
        const i64 right = 3 * (x0 < p_.width - 1), down = y0 < p_.height - 1;
        // Motif picture row y is stored row height - 1 - y; the mask is read by stored row y,
        // mirrored as DibRotxxx reads it.
        const BYTE* m0 = motifTop_ - y0 * motifStride_ + 3 * x0;
        const BYTE* m1 = m0 - down * motifStride_;
        const BYTE* k0 = mask_ + y0 * maskStride_ + 3 * x0;
        const BYTE* k1 = k0 + down * maskStride_;
        const bool last = y0 == 0;
        // The rows below come next in this strip; fetch their motif and mask bytes early.
        __builtin_prefetch(m0 + motifAhead_);
        __builtin_prefetch(k0 + maskAhead_);
        const std::uint32_t tl = Word(m0, k0[0], last), tr = Word(m0 + right, k0[right], last);
        const std::uint32_t bl = Word(m1, k1[0], last && !down);
        const std::uint32_t br = Word(m1 + right, k1[right], last && !down);
        return Weigh(tl, tr, bl, br, fx, fy);
    }

#if LUMIVANE_HAVE_SSE2
    // Two four-byte pixels in 16-bit lanes: the left one's blue, green, red, weight, then the
    // right one's.
    static __m128i Lanes(std::uint32_t left, std::uint32_t right) {
        return _mm_unpacklo_epi8(
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(left)), _mm_cvtsi32_si128(int(right))),
            _mm_setzero_si128());
    }

    // A top and a bottom pair of pixels in lanes weighed across by fx, then down by fy, in
    // 1/128: blue, green, red and weight as 32-bit sums.
    static __m128i WeighLanes(__m128i top, __m128i bottom, std::uint32_t fx, std::uint32_t fy) {
        const __m128i across = _mm_load_si128(reinterpret_cast<const __m128i*>(kAcross.w[fx]));
        top = _mm_mullo_epi16(top, across);
        bottom = _mm_mullo_epi16(bottom, across);
        top = _mm_add_epi16(top, _mm_unpackhi_epi64(top, top));
        bottom = _mm_add_epi16(bottom, _mm_unpackhi_epi64(bottom, bottom));
        const __m128i weighDown = _mm_load_si128(reinterpret_cast<const __m128i*>(kDown.w[fy]));
        return _mm_madd_epi16(_mm_unpacklo_epi16(top, bottom), weighDown);
    }
#endif

    // Four pixels (blue, green, red, weight each) weighed across each row by fx, then down by
    // fy, in 1/128.
    static Sample Weigh(std::uint32_t tl, std::uint32_t tr, std::uint32_t bl, std::uint32_t br,
                        std::uint32_t fx, std::uint32_t fy) {
        Sample s;
#if LUMIVANE_HAVE_SSE2
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s.c),
                         WeighLanes(Lanes(tl, tr), Lanes(bl, br), fx, fy));
#else
        for (int i = 0; i < 4; ++i) {
            const int shift = 8 * i;
            const std::uint32_t t =
                ((tl >> shift) & 0xFF) * (kSteps - fx) + ((tr >> shift) & 0xFF) * fx;
            const std::uint32_t b =
                ((bl >> shift) & 0xFF) * (kSteps - fx) + ((br >> shift) & 0xFF) * fx;
            s.c[i] = t * (kSteps - fy) + b * fy;
        }
#endif
        return s;
    }

    // BilinearInside and MixWhole for `count` pixels from (x, y) on in steps of (dx, dy), all
    // in 2^-24 motif pixels. With SSE2 the common unmasked pixel is weighed without its mask
    // weights, packed and stored as one word.
    void BlendWholeRow(i64 x, i64 y, i64 dx, i64 dy, i64 count, BYTE* target) const {
        // Locals: the stores through `target` could otherwise alias every member.
        const BYTE* const motifTop = motifTop_;
        const BYTE* const mask = mask_;
        const i64 motifStride = motifStride_, maskStride = maskStride_;
        const i64 motifAhead = motifAhead_, maskAhead = maskAhead_;
        for (; count > 0; --count, x += dx, y += dy, target += 4) {
#if LUMIVANE_HAVE_SSE2
            const i64 x0 = x >> 24, y0 = y >> 24;
            const std::uint32_t fx = std::uint32_t(x >> 17) & 127;
            const std::uint32_t fy = std::uint32_t(y >> 17) & 127;
            const BYTE* m0 = motifTop - y0 * motifStride + 3 * x0;
            const BYTE* k0 = mask + y0 * maskStride + 3 * x0;
            __builtin_prefetch(m0 + motifAhead);
            __builtin_prefetch(k0 + maskAhead);
            std::uint32_t k0w, k1w;  // the first and the fourth byte: the two mask weights
            std::memcpy(&k0w, k0, 4);
            std::memcpy(&k1w, k0 + maskStride, 4);
            std::uint32_t tl, tr, bl, br;  // each with the next pixel's first byte on top
            std::memcpy(&tl, m0, 4);
            std::memcpy(&tr, m0 + 3, 4);
            std::memcpy(&bl, m0 - motifStride, 4);
            std::memcpy(&br, m0 - motifStride + 3, 4);
            __m128i top = Lanes(tl, tr), bottom = Lanes(bl, br);
            if (((k0w | k1w) & 0xFF0000FFu) == 0) {
                // Mask weight 0: the sampled colour itself; the weight lanes hold the next
                // pixels' bytes and are dropped.
                Store(WeighLanes(top, bottom, fx, fy), target);
                continue;
            }
            top = _mm_insert_epi16(_mm_insert_epi16(top, int(k0w & 0xFF), 3), int(k0w >> 24), 7);
            bottom =
                _mm_insert_epi16(_mm_insert_epi16(bottom, int(k1w & 0xFF), 3), int(k1w >> 24), 7);
            const __m128i sample = WeighLanes(top, bottom, fx, fy);
            if (_mm_cvtsi128_si32(_mm_shuffle_epi32(sample, 0xFF)) == 0) {
                Store(sample, target);
                continue;
            }
            Sample s;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.c), sample);
            MixWhole(s, target);
#else
            (void)motifTop, (void)mask, (void)motifStride, (void)maskStride;
            (void)motifAhead, (void)maskAhead;
            MixWhole(BilinearInside(x >> 17, y >> 17), target);
#endif
        }
    }

#if LUMIVANE_HAVE_SSE2
    // A sample's colour (times kOne) as a pixel, its fourth byte 0.
    static void Store(__m128i sample, BYTE* target) {
        __m128i q = _mm_srli_epi32(sample, 14);
        q = _mm_packs_epi32(q, q);
        const std::uint32_t out = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(q, q)));
        const std::uint32_t pixel = out & 0x00FFFFFFu;
        std::memcpy(target, &pixel, 4);
    }
#endif

    // The footprint averages of `count` fully covered pixels from (x, y) on in steps of
    // (dx, dy), all in 2^-24 motif pixels: the same samples and sums as Average. With SSE2
    // they read the joined motif and mask pixels where there was memory for them.
    void AverageWholeRow(i64 x, i64 y, i64 dx, i64 dy, i64 count, BYTE* target) const {
#if LUMIVANE_HAVE_SSE2
        if (quads_) return AverageWholeRowQuads(x, y, dx, dy, count, target);
#endif
        const FixedOffset* const first = fixedOffsets_.data();
        const FixedOffset* const end = first + fixedOffsets_.size();
        const BYTE* const motifTop = motifTop_;
        const BYTE* const mask = mask_;
        const i64 motifStride = motifStride_, maskStride = maskStride_;
        const float scale = 1.0f / (256.0f * float(fixedOffsets_.size()));
        // The footprint's lowest motif row, relative to the centre's.
        const i64 bottom = (reachY_[1] >> 24) + 1;
        const i64 motifAhead = motifAhead_, maskAhead = maskAhead_;
        for (; count > 0; --count, x += dx, y += dy, target += 4) {
            std::uint32_t sum[4];
            {
                // The rows further down in this strip read these motif and mask bytes next.
                const i64 x0 = x >> 24, y0 = y >> 24;
                const BYTE* m = motifTop - y0 * motifStride + 3 * x0 + motifAhead;
                const BYTE* k = mask + y0 * maskStride + 3 * x0 + maskAhead;
                __builtin_prefetch(m);
                __builtin_prefetch(k);
                __builtin_prefetch(m - bottom * motifStride);
                __builtin_prefetch(k + bottom * maskStride);
            }
            sum[0] = sum[1] = sum[2] = sum[3] = 0;
            for (const FixedOffset* o = first; o != end; ++o) {
                const Sample s = BilinearInside((x + o->x) >> 17, (y + o->y) >> 17);
                for (int i = 0; i < 4; ++i) sum[i] += s.c[i] / (kOne / 256);
            }
            MixPart(float(sum[0]) * scale, float(sum[1]) * scale, float(sum[2]) * scale,
                    float(sum[3]) * scale, 1.0f, target);
        }
    }

#if LUMIVANE_HAVE_SSE2
    // AverageWholeRow from the motif and mask pixels in one: the same sums.
    void AverageWholeRowQuads(i64 x, i64 y, i64 dx, i64 dy, i64 count, BYTE* target) const {
        const FixedOffset* const first = fixedOffsets_.data();
        const FixedOffset* const end = first + fixedOffsets_.size();
        const std::uint32_t* const quads = quads_;
        const i64 stride = p_.width, ahead = quadAhead_;
        const float scale = 1.0f / (256.0f * float(fixedOffsets_.size()));
        const i64 bottom = ((reachY_[1] >> 24) + 1) * stride;
        const __m128i zero = _mm_setzero_si128();
        for (; count > 0; --count, x += dx, y += dy, target += 4) {
            const std::uint32_t* centre = quads + (y >> 24) * stride + (x >> 24) + ahead;
            __builtin_prefetch(centre);
            __builtin_prefetch(centre + bottom);
            __m128i total = _mm_setzero_si128();
            for (const FixedOffset* o = first; o != end; ++o) {
                const i64 sx = x + o->x, sy = y + o->y;
                const std::uint32_t* q = quads + (sy >> 24) * stride + (sx >> 24);
                const __m128i top =
                    _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)), zero);
                const __m128i down = _mm_unpacklo_epi8(
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + stride)), zero);
                const __m128i s = WeighLanes(top, down, std::uint32_t(sx >> 17) & 127,
                                             std::uint32_t(sy >> 17) & 127);
                total = _mm_add_epi32(total, _mm_srli_epi32(s, 6));  // kOne / 256
            }
            std::uint32_t sum[4];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sum), total);
            MixPart(float(sum[0]) * scale, float(sum[1]) * scale, float(sum[2]) * scale,
                    float(sum[3]) * scale, 1.0f, target);
        }
    }
#endif

    // The bilinear sample at (u, v), held inside the outermost pixel centres.
    Sample Bilinear(double u, double v) const {
        const double x = std::clamp(u, 0.0, double(p_.width - 1));
        const double y = std::clamp(v, 0.0, double(p_.height - 1));
        return BilinearAt(i64(x * kSteps), i64(y * kSteps));
    }

    // The same sample where its four pixels lie in the motif below picture row 0: (x, y) in
    // 1/128 motif pixels with 0 <= x < width - 1 and 1 <= y < height - 1.
    Sample BilinearInside(i64 x, i64 y) const {
        const i64 x0 = x >> 7, y0 = y >> 7;
        const std::uint32_t fx = std::uint32_t(x) & 127, fy = std::uint32_t(y) & 127;
        const BYTE* m0 = motifTop_ - y0 * motifStride_ + 3 * x0;
        const BYTE* k0 = mask_ + y0 * maskStride_ + 3 * x0;
        __builtin_prefetch(m0 + motifAhead_);
        __builtin_prefetch(k0 + maskAhead_);
        const std::uint32_t tl = Word(m0, k0[0], false), tr = Word(m0 + 3, k0[3], false);
        const std::uint32_t bl = Word(m0 - motifStride_, k0[maskStride_], false);
        const std::uint32_t br = Word(m0 - motifStride_ + 3, k0[maskStride_ + 3], false);
        return Weigh(tl, tr, bl, br, fx, fy);
    }

    // The mean of the footprint's samples, as values 0 to 255.
    void Average(double u, double v, float& b, float& g, float& r, float& m) const {
        // Sums of value times 256; 200 x 200 samples stay below 2^32.
        std::uint32_t sum[4] = {0, 0, 0, 0};
        for (const Offset& o : offsets_) {
            const Sample s = Bilinear(u + o.u, v + o.v);
            for (int i = 0; i < 4; ++i) sum[i] += s.c[i] / (kOne / 256);
        }
        const float scale = 1.0f / (256.0f * float(offsets_.size()));
        b = float(sum[0]) * scale;
        g = float(sum[1]) * scale;
        r = float(sum[2]) * scale;
        m = float(sum[3]) * scale;
    }

    // The plain blend's mix for a fully covered pixel: (motif (255 - m) + bitmap m) div 255 with
    // motif and m as sampled (times kOne). Whole samples give exactly DibRotxxx's numbers.
    static void MixWhole(const Sample& s, BYTE* target) {
        const std::uint64_t m = s.c[3];
        if (m == 0) {
            target[0] = BYTE(s.c[0] / kOne);
            target[1] = BYTE(s.c[1] / kOne);
            target[2] = BYTE(s.c[2] / kOne);
        } else if (m < 255 * kOne) {
            // Whole numbers below 2^53: the quotient taken in two steps (kOne * kOne is 2^28)
            // is the exact floor, as the double quotient was.
            const std::uint64_t take = 255 * kOne - m;
            auto channel = [&](std::uint64_t motif, BYTE bitmap) {
                const std::uint64_t sum = motif * take + std::uint64_t(bitmap) * kOne * m;
                return BYTE((sum >> 28) / 255);
            };
            target[0] = channel(s.c[0], target[0]);
            target[1] = channel(s.c[1], target[1]);
            target[2] = channel(s.c[2], target[2]);
        }
        target[3] = 0;
    }

    // The mix for a partly covered or averaged pixel: the motif weighs cover * (255 - m).
    static void MixPart(float b, float g, float r, float m, float cover, BYTE* target) {
        const float w = cover * (255.0f - std::min(255.0f, m));
        const float keep = 255.0f - w;
        // No term is negative, so the conversion's truncation is the floor.
        auto channel = [&](float motif, BYTE bitmap) {
            return BYTE(std::min((motif * w + float(bitmap) * keep) / 255.0f, 255.0f));
        };
        target[0] = channel(b, target[0]);
        target[1] = channel(g, target[1]);
        target[2] = channel(r, target[2]);
        target[3] = 0;
    }

    const BlendPlan& p_;
    const BYTE* motifTop_;  // stored row of picture row 0
    i64 motifStride_;
    const BYTE* mask_;
    i64 maskStride_;
    Surface& bit_;
    double c_, s_, f_;
    double spreadA_, spreadB_;  // a pixel's spread across a motif edge
    double reach_;              // beyond this distance from every edge a pixel is fully covered
    double inner_;              // the same distance as a source position from the first centre
    std::vector<Offset> offsets_;
    std::vector<FixedOffset> fixedOffsets_;
    i64 reachX_[2] = {0, 0}, reachY_[2] = {0, 0};  // the offsets' least and greatest
    i64 motifAhead_ = 0, maskAhead_ = 0, quadAhead_ = 0;
    const std::uint32_t* quads_ = nullptr;
};

}  // namespace

void DibRotxxxSmooth(const dib& di, const dib& mask, Surface& bit, long double winkel, int offx,
                     int offy, int zoom) {
    const auto plan = PlanBlend(di, mask, bit, winkel, offx, offy, zoom);
    if (!plan) return;
    const BlendPlan& p = *plan;
    // The box is rounded around pixel centres; the border's partly covered pixels can lie up to
    // two pixels outside it.
    const i64 r0 = std::max<i64>(-2, -p.top);
    const i64 r1 = std::min<i64>(p.boxH + 2, bit.Height() - p.top);
    const i64 k0 = std::max<i64>(-2, -p.left);
    const i64 k1 = std::min<i64>(p.boxW + 2, bit.Width() - p.left);
    if (r0 >= r1 || k0 >= k1) return;

    SmoothBlender blender(p, di, mask, bit);
#if LUMIVANE_HAVE_SSE2
    // Shrunk, each pixel weighs a grid of samples; with the motif and mask pixels joined they
    // take two reads a sample instead of eight. Without the memory, or for a motif whose copy
    // would take more than 256 MB, they read both as the portable form does.
    std::unique_ptr<std::uint32_t[]> quads;
    if (p.f > 1 && i64(p.width) * p.height <= kMaxQuadPixels) {
        quads.reset(new (std::nothrow) std::uint32_t[std::size_t(p.width) * p.height]);
        if (quads) {
            const BYTE* motifTop = static_cast<const BYTE*>(di.poi) + i64(p.height - 1) * di.bytew;
            const BYTE* maskRed = static_cast<const BYTE*>(mask.poi) + 2;
            ForChunks(p.height, 64, i64(p.width) * p.height >= SplitThresholds::kSmoothBlend,
                      [&](i64 begin, i64 end) {
                          for (i64 y = begin; y < end; ++y) {
                              // Motif picture row y is stored row height - 1 - y; the mask is
                              // read by stored row y.
                              const BYTE* m = motifTop - y * di.bytew;
                              const BYTE* k = maskRed + y * mask.bytew;
                              std::uint32_t* out = quads.get() + y * p.width;
                              for (int x = 0; x < p.width; ++x, m += 3, k += 3)
                                  out[x] = m[0] | std::uint32_t(m[1]) << 8 |
                                           std::uint32_t(m[2]) << 16 | std::uint32_t(*k) << 24;
                          }
                      });
            blender.UseQuads(quads.get());
        }
    }
#endif
    ForChunks(r1 - r0, SmoothBlender::kBandRows,
              (r1 - r0) * (k1 - k0) >= SplitThresholds::kSmoothBlend,
              [&](i64 begin, i64 end) { blender.Rows(r0 + begin, r0 + end, k0, k1); });
}

}  // namespace lumivane
