// ResampleDib: nearest-pixel and bilinear copies on a grid of 10-bit fixed-point steps.
#include "image/resample_dib.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/Zerlin.h"
#include "image/copied_colors.h"
#include "platform/imagelib/stored_rows.h"

namespace {

using lumivane::StoredRow;

constexpr int kFractionBits = 10;
constexpr std::uint32_t kFractionMask = (1u << kFractionBits) - 1;
// From this side on, side shl 10 no longer fits a signed 32-bit integer.
constexpr LONG kMaxGridSide = LONG(1) << (31 - kFractionBits);

// The sampling grid of one axis: position i of the new image lies at (i * step) in source
// pixels with 10 fraction bits. The product stays below side shl 10, so it never overflows.
struct Axis {
    std::int32_t step;
    std::uint32_t At(int i) const { return std::uint32_t(i) * std::uint32_t(step); }
    int Pixel(int i) const { return int(At(i) >> kFractionBits); }
    unsigned Fraction(int i) const { return At(i) & kFractionMask; }
};

Axis MakeAxis(LONG sourceSide, int newSide) {
    return {std::int32_t((sourceSide << kFractionBits) / newSide)};
}

std::vector<int> SourcePixels(const Axis& axis, int count, int scale) {
    std::vector<int> pixels(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) pixels[std::size_t(i)] = axis.Pixel(i) * scale;
    return pixels;
}

// Nearest pixel for depths of whole bytes; rows in storage order.
template <int Bytes>
void NearestBytes(const dib& src, const dib& dst, const Axis& ax, const Axis& ay) {
    const int width = DibWidth(dst);
    const int height = DibHeight(dst);
    const std::vector<int> offsets = SourcePixels(ax, width, Bytes);
    const std::size_t rowBytes = std::size_t(width) * Bytes;
    for (int y = 0; y < height; ++y) {
        BYTE* out = StoredRow(dst, y);
        // An enlargement samples the same source row again: copy the finished row.
        if (y > 0 && ay.Pixel(y) == ay.Pixel(y - 1)) {
            std::memcpy(out, StoredRow(dst, y - 1), rowBytes);
            continue;
        }
        const BYTE* in = StoredRow(src, ay.Pixel(y));
        for (int x = 0; x < width; ++x) std::memcpy(out + Bytes * x, in + offsets[x], Bytes);
    }
}

void Nearest4(const dib& src, const dib& dst, const Axis& ax, const Axis& ay) {
    const int width = DibWidth(dst);
    const int height = DibHeight(dst);
    const std::vector<int> columns = SourcePixels(ax, width, 1);
    for (int y = 0; y < height; ++y) {
        const BYTE* in = StoredRow(src, ay.Pixel(y));
        BYTE* out = StoredRow(dst, y);
        for (int x = 0; x < width; ++x)
            lumivane::OrNibble(out, x, lumivane::Nibble(in, columns[x]));
    }
}

// 1-bit images are sampled in picture rows, counted from the top as getpixel/setpixel count
// them, so their grid is anchored at the top row rather than at the first stored row.
void Nearest1(const dib& src, const dib& dst, const Axis& ax, const Axis& ay) {
    const int width = DibWidth(dst);
    const int height = DibHeight(dst);
    const int srcHeight = DibHeight(src);
    const std::vector<int> columns = SourcePixels(ax, width, 1);
    for (int y = 0; y < height; ++y) {
        const BYTE* in = StoredRow(src, srcHeight - 1 - ay.Pixel(y));
        BYTE* out = StoredRow(dst, height - 1 - y);
        for (int x = 0; x < width; ++x) lumivane::OrBit(out, x, lumivane::Bit(in, columns[x]));
    }
}

// The blend at the same size: every fraction is 0, so each byte v only passes twice through
// the weight 1023 and a table of 256 values gives the identical result.
void SameSizeBlend24(const dib& src, const dib& dst) {
    std::array<BYTE, 256> table;
    for (unsigned v = 0; v < 256; ++v) table[v] = BYTE((((v * 1023) >> 10) * 1023) >> 10);
    const int rowBytes = 3 * DibWidth(dst);
    for (int y = 0; y < DibHeight(dst); ++y) {
        const BYTE* in = StoredRow(src, y);
        BYTE* out = StoredRow(dst, y);
        for (int i = 0; i < rowBytes; ++i) out[i] = table[in[i]];
    }
}

// Bilinear blend of the four neighbours with weights (1023 - f) and f, each stage truncated.
// Only used when nothing shrinks, so sample positions never pass the last row or column.
void Bilinear24(const dib& src, const dib& dst, const Axis& ax, const Axis& ay) {
    const int width = DibWidth(dst);
    const int height = DibHeight(dst);
    const int srcWidth = DibWidth(src);
    const int srcHeight = DibHeight(src);

    struct Tap {
        int left, right;  // byte offsets of the two neighbouring source pixels
        unsigned weightLeft, weightRight;
    };
    std::vector<Tap> taps(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const int sx0 = ax.Pixel(x);
        const int sx1 = sx0 + 1 > srcWidth - 1 ? srcWidth - 1 : sx0 + 1;
        const unsigned fx = ax.Fraction(x);
        taps[std::size_t(x)] = {3 * sx0, 3 * sx1, 1023 - fx, fx};
    }

    for (int y = 0; y < height; ++y) {
        const int sy0 = ay.Pixel(y);
        const int sy1 = sy0 + 1 > srcHeight - 1 ? srcHeight - 1 : sy0 + 1;
        const unsigned fy = ay.Fraction(y);
        const unsigned weightTop = 1023 - fy;
        const BYTE* top = StoredRow(src, sy0);
        const BYTE* bottom = StoredRow(src, sy1);
        BYTE* out = StoredRow(dst, y);
        for (int x = 0; x < width; ++x) {
            const Tap& t = taps[std::size_t(x)];
            for (int c = 0; c < 3; ++c) {
                const unsigned upper =
                    (top[t.left + c] * t.weightLeft + top[t.right + c] * t.weightRight) >> 10;
                const unsigned lower =
                    (bottom[t.left + c] * t.weightLeft + bottom[t.right + c] * t.weightRight) >> 10;
                out[3 * x + c] = BYTE((upper * weightTop + lower * fy) >> 10);
            }
        }
    }
}

}  // namespace

dib ResampleDib(const dib& src, int newWidth, int newHeight, bool smooth) {
    if (!src.poi || !src.pmi || newWidth < 1 || newHeight < 1) return dib{};
    const LONG width = DibWidth(src);
    const LONG height = DibHeight(src);
    if (width < 1 || height < 1 || width >= kMaxGridSide || height >= kMaxGridSide) return dib{};

    const Axis ax = MakeAxis(width, newWidth);
    const Axis ay = MakeAxis(height, newHeight);

    const int bits = DibBitCount(src);
    dib copy = newdib(newWidth, newHeight, bits, src.pmi, lumivane::CopiedColorCount(src));
    if (!copy.poi) return copy;

    switch (bits) {
        case 1:
            Nearest1(src, copy, ax, ay);
            break;
        case 4:
            Nearest4(src, copy, ax, ay);
            break;
        case 8:
            NearestBytes<1>(src, copy, ax, ay);
            break;
        case 16:
            // Not blended, but copied rather than left blank: the motif loader shows the copy.
            NearestBytes<2>(src, copy, ax, ay);
            break;
        case 24:
            if (smooth && newWidth >= width && newHeight >= height) {
                if (ax.step == 1 << kFractionBits && ay.step == 1 << kFractionBits)
                    SameSizeBlend24(src, copy);
                else
                    Bilinear24(src, copy, ax, ay);
            } else {
                NearestBytes<3>(src, copy, ax, ay);
            }
            break;
        case 32:
            NearestBytes<4>(src, copy, ax, ay);
            break;
    }
    return copy;
}
