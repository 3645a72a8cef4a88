#include "platform/imagelib/codecs/quantize.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lumivane {

namespace {

constexpr int kWeight[3] = {3, 4, 2};  // red, green, blue
constexpr int kBins = 32;              // per channel

struct Moments {
    double count = 0;
    double sum[3] = {0, 0, 0};
    double squares = 0;  // weighted sum of squared channel values

    void Add(const Moments& m) {
        count += m.count;
        for (int c = 0; c < 3; ++c) sum[c] += m.sum[c];
        squares += m.squares;
    }
    void Subtract(const Moments& m) {
        count -= m.count;
        for (int c = 0; c < 3; ++c) sum[c] -= m.sum[c];
        squares -= m.squares;
    }
    // Weighted squared error of the pixels around their mean.
    double Error() const {
        if (count <= 0) return 0;
        double e = squares;
        for (int c = 0; c < 3; ++c) e -= kWeight[c] * sum[c] * sum[c] / count;
        return std::max(e, 0.0);
    }
};

using Histogram = std::vector<Moments>;  // kBins^3, index r * 1024 + g * 32 + b

int BinIndex(const int bin[3]) {
    return (bin[0] * kBins + bin[1]) * kBins + bin[2];
}

struct Box {
    int lo[3], hi[3];  // bins lo..hi-1 per channel
    Moments total;
    double error = 0;
    int splitAxis = -1;  // -1: cannot be split
    int splitAt = 0;     // first bin of the upper half
};

// Totals of a box and the cut that lowers its error most.
void Measure(const Histogram& histogram, Box& box) {
    Moments slices[3][kBins];
    box.total = Moments{};
    int bin[3];
    for (bin[0] = box.lo[0]; bin[0] < box.hi[0]; ++bin[0])
        for (bin[1] = box.lo[1]; bin[1] < box.hi[1]; ++bin[1])
            for (bin[2] = box.lo[2]; bin[2] < box.hi[2]; ++bin[2]) {
                const Moments& m = histogram[std::size_t(BinIndex(bin))];
                if (m.count == 0) continue;
                for (int a = 0; a < 3; ++a) slices[a][bin[a]].Add(m);
                box.total.Add(m);
            }
    box.error = box.total.Error();
    box.splitAxis = -1;
    double best = box.error;
    for (int a = 0; a < 3; ++a) {
        Moments lower;
        for (int cut = box.lo[a] + 1; cut < box.hi[a]; ++cut) {
            lower.Add(slices[a][cut - 1]);
            if (lower.count == 0) continue;
            Moments upper = box.total;
            upper.Subtract(lower);
            if (upper.count <= 0) break;
            const double e = lower.Error() + upper.Error();
            if (e < best) {
                best = e;
                box.splitAxis = a;
                box.splitAt = cut;
            }
        }
    }
}

}  // namespace

std::vector<std::uint32_t> MedianCutPalette(const Bgrx32View& picture, int maxColors) {
    Histogram histogram(std::size_t(kBins) * kBins * kBins);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < picture.width; ++x, p += 4) {
            const int rgb[3] = {p[2], p[1], p[0]};
            const int bin[3] = {rgb[0] >> 3, rgb[1] >> 3, rgb[2] >> 3};
            Moments& m = histogram[std::size_t(BinIndex(bin))];
            m.count += 1;
            for (int c = 0; c < 3; ++c) {
                m.sum[c] += rgb[c];
                m.squares += kWeight[c] * rgb[c] * rgb[c];
            }
        }
    }

    std::vector<Box> boxes;
    boxes.reserve(std::size_t(maxColors));
    boxes.push_back(Box{{0, 0, 0}, {kBins, kBins, kBins}, {}, 0, -1, 0});
    Measure(histogram, boxes[0]);
    while (int(boxes.size()) < maxColors) {
        // Split the box that holds the most error.
        Box* worst = nullptr;
        for (Box& b : boxes)
            if (b.splitAxis >= 0 && (!worst || b.error > worst->error)) worst = &b;
        if (!worst) break;
        Box upper = *worst;
        worst->hi[worst->splitAxis] = worst->splitAt;
        upper.lo[upper.splitAxis] = upper.splitAt;
        Measure(histogram, *worst);
        Measure(histogram, upper);
        boxes.push_back(upper);
    }

    std::vector<std::uint32_t> palette;
    for (const Box& b : boxes) {
        if (b.total.count == 0) continue;
        std::uint32_t rgb = 0;
        for (int c = 0; c < 3; ++c)
            rgb = rgb << 8 | std::uint32_t(std::lround(b.total.sum[c] / b.total.count));
        palette.push_back(rgb);
    }
    if (palette.empty()) palette.push_back(0);
    return palette;
}

DitherMapper::DitherMapper(const std::vector<std::uint32_t>& palette, int width)
    : cache_(std::size_t(1) << 18, 0xFFFF), width_(width) {
    for (std::uint32_t rgb : palette) {
        red_.push_back(int(rgb >> 16 & 0xFF));
        green_.push_back(int(rgb >> 8 & 0xFF));
        blue_.push_back(int(rgb & 0xFF));
    }
    for (auto& e : errors_) e.assign(std::size_t(width + 2) * 3, 0);
}

int DitherMapper::Nearest(int r, int g, int b) {
    const std::size_t key =
        std::size_t(r >> 2) << 12 | std::size_t(g >> 2) << 6 | std::size_t(b >> 2);
    if (cache_[key] != 0xFFFF) return cache_[key];
    // The cell's centre decides, so the answer does not depend on which colour came first.
    const int cr = (r & ~3) + 2, cg = (g & ~3) + 2, cb = (b & ~3) + 2;
    int best = 0, bestDistance = INT32_MAX;
    for (std::size_t i = 0; i < red_.size(); ++i) {
        const int dr = cr - red_[i], dg = cg - green_[i], db = cb - blue_[i];
        const int d = kWeight[0] * dr * dr + kWeight[1] * dg * dg + kWeight[2] * db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    cache_[key] = std::uint16_t(best);
    return best;
}

void DitherMapper::MapRow(const std::uint8_t* bgrx, std::uint8_t* indices) {
    std::vector<int>& current = errors_[0];
    std::vector<int>& next = errors_[1];
    std::fill(next.begin(), next.end(), 0);
    const int step = leftToRight_ ? 1 : -1;
    int x = leftToRight_ ? 0 : width_ - 1;
    for (int n = 0; n < width_; ++n, x += step) {
        const std::uint8_t* p = bgrx + 4 * x;
        const int source[3] = {p[2], p[1], p[0]};
        int value[3];
        int* here = &current[std::size_t(x + 1) * 3];
        for (int c = 0; c < 3; ++c)
            value[c] = std::clamp(source[c] + (here[c] + (here[c] >= 0 ? 8 : -8)) / 16, 0, 255);
        const int i = Nearest(value[0], value[1], value[2]);
        indices[x] = std::uint8_t(i);
        const int error[3] = {value[0] - red_[std::size_t(i)], value[1] - green_[std::size_t(i)],
                              value[2] - blue_[std::size_t(i)]};
        int* ahead = &current[std::size_t(x + 1 + step) * 3];
        int* belowBehind = &next[std::size_t(x + 1 - step) * 3];
        int* below = &next[std::size_t(x + 1) * 3];
        int* belowAhead = &next[std::size_t(x + 1 + step) * 3];
        for (int c = 0; c < 3; ++c) {
            ahead[c] += error[c] * 7;
            belowBehind[c] += error[c] * 3;
            below[c] += error[c] * 5;
            belowAhead[c] += error[c];
        }
    }
    std::swap(errors_[0], errors_[1]);
    leftToRight_ = !leftToRight_;
}

}  // namespace lumivane
