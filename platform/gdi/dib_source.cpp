// DIB header checks, colour tables and the per-depth row converters.
#include "platform/gdi/dib_source.h"

#include <climits>
#include <cstring>

#include "platform/gdi/gdi.h"

namespace lumivane::gdi {

namespace {

constexpr std::uint32_t Pixel(BYTE r, BYTE g, BYTE b) {
    return std::uint32_t(b) | (std::uint32_t(g) << 8) | (std::uint32_t(r) << 16);
}

// 5-bit channel to 8 bits by repeating its top bits, so 31 becomes 255.
constexpr BYTE Widen5(unsigned v) {
    return BYTE((v << 3) | (v >> 2));
}

void Convert24(const BYTE* p, int n, std::uint32_t* out) {
    // All but the last pixel are read as one 32-bit word and masked; the last one must not read
    // past the row, which may end without padding.
    int i = 0;
    for (; i + 1 < n; ++i, p += 3) {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        out[i] = w & 0x00FFFFFFu;
    }
    if (i < n) out[i] = Pixel(p[2], p[1], p[0]);
}

}  // namespace

bool DescribeDib(const BITMAPINFO* info, const void* bits, UINT usage, DibSource& out) {
    if (!info || !bits || usage != DIB_RGB_COLORS) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 124) return false;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT_MIN) return false;
    if (h.biCompression != BI_RGB) return false;
    const int bitCount = h.biBitCount;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32) {
        return false;
    }
    const std::int64_t stride = (std::int64_t(h.biWidth) * bitCount + 31) / 32 * 4;

    out = DibSource{};
    out.bits = static_cast<const BYTE*>(bits);
    out.width = h.biWidth;
    out.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    out.topDown = h.biHeight < 0;
    out.bitCount = bitCount;
    out.stride = std::ptrdiff_t(stride);
    if (bitCount <= 8) {
        const DWORD maxColors = DWORD(1) << bitCount;
        const DWORD count = (h.biClrUsed == 0 || h.biClrUsed > maxColors) ? maxColors : h.biClrUsed;
        const auto* table =
            reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + h.biSize);
        for (DWORD i = 0; i < count; ++i) {
            out.colors[i] = Pixel(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
        }
    }
    return true;
}

void ConvertRow(const DibSource& dib, const BYTE* row, int x0, int n, std::uint32_t* out) {
    switch (dib.bitCount) {
        case 1:
            for (int i = 0; i < n; ++i) {
                const int x = x0 + i;
                out[i] = dib.colors[(row[x >> 3] >> (7 - (x & 7))) & 1];
            }
            break;
        case 4:
            for (int i = 0; i < n; ++i) {
                const int x = x0 + i;
                const BYTE b = row[x >> 1];
                out[i] = dib.colors[(x & 1) ? (b & 0x0F) : (b >> 4)];
            }
            break;
        case 8:
            for (int i = 0; i < n; ++i) out[i] = dib.colors[row[x0 + i]];
            break;
        case 16:
            for (int i = 0; i < n; ++i) {
                const BYTE* p = row + 2 * std::ptrdiff_t(x0 + i);
                const unsigned w = unsigned(p[0]) | (unsigned(p[1]) << 8);
                out[i] = Pixel(Widen5((w >> 10) & 31), Widen5((w >> 5) & 31), Widen5(w & 31));
            }
            break;
        case 24:
            Convert24(row + 3 * std::ptrdiff_t(x0), n, out);
            break;
        case 32:
            for (int i = 0; i < n; ++i) {
                const BYTE* p = row + 4 * std::ptrdiff_t(x0 + i);
                out[i] = Pixel(p[2], p[1], p[0]);
            }
            break;
        default:
            break;
    }
}

bool IsSupportedRop(DWORD rop) {
    switch (rop) {
        case SRCCOPY:
        case SRCPAINT:
        case SRCAND:
        case SRCINVERT:
        case NOTSRCCOPY:
        case DSTINVERT:
        case BLACKNESS:
        case WHITENESS:
            return true;
        default:
            return false;
    }
}

void ApplyRop(DWORD rop, const std::uint32_t* src, std::uint32_t* dst, int n) {
    constexpr std::uint32_t kColour = 0x00FFFFFFu;  // the fourth byte of a result is 0
    switch (rop) {
        case SRCCOPY:
            std::memcpy(dst, src, std::size_t(n) * 4);
            break;
        case SRCPAINT:
            for (int i = 0; i < n; ++i) dst[i] = (dst[i] | src[i]) & kColour;
            break;
        case SRCAND:
            for (int i = 0; i < n; ++i) dst[i] = dst[i] & src[i] & kColour;
            break;
        case SRCINVERT:
            for (int i = 0; i < n; ++i) dst[i] = (dst[i] ^ src[i]) & kColour;
            break;
        case NOTSRCCOPY:
            for (int i = 0; i < n; ++i) dst[i] = ~src[i] & kColour;
            break;
        case DSTINVERT:
            for (int i = 0; i < n; ++i) dst[i] = ~dst[i] & kColour;
            break;
        case BLACKNESS:
            for (int i = 0; i < n; ++i) dst[i] = 0;
            break;
        case WHITENESS:
            for (int i = 0; i < n; ++i) dst[i] = kColour;
            break;
        default:
            break;
    }
}

}  // namespace lumivane::gdi
