// DrawDibToDevice: clipping, the choice of path, halftoning and the direct stretch with its two
// fallbacks for devices that refuse DIB transfers.
#include <cstdint>
#include <cstring>

#include "image/Zerlin.h"

namespace {

// The arithmetic of the clipping works in 32 bits and wraps, as the products it is defined by.
LONG Mul32(LONG a, LONG b) {
    return LONG(std::uint32_t(a) * std::uint32_t(b));
}
LONG Add32(LONG a, LONG b) {
    return LONG(std::uint32_t(a) + std::uint32_t(b));
}
LONG Sub32(LONG a, LONG b) {
    return LONG(std::uint32_t(a) - std::uint32_t(b));
}

// num / den rounded to the nearest integer, halves to the even one. den must not be 0.
LONG RoundQuotient(LONG num, LONG den) {
    std::int64_t n = num, d = den;
    if (d < 0) n = -n, d = -d;
    std::int64_t q = n / d;
    if (n % d != 0 && n < 0) --q;  // floor
    const std::int64_t twice = 2 * (n - q * d);
    if (twice > d || (twice == d && (q & 1) != 0)) ++q;
    return LONG(std::uint32_t(std::uint64_t(q)));
}

// The 1-, 4-, 8-, 16-, 24- or 32-bit scaled copy of the source rectangle that the first fallback
// sends one to one. Corners map to corners; a single destination row or column takes the first
// source row or column.
dib ScaledCopy(const dib& Image, const DrawRect& r) {
    const LONG bits = DibBitCount(Image);
    const LONG colors = DibColorCount(Image);
    dib P = newdib(r.DestW, r.DestH, bits, Image.pmi, colors <= 256 ? colors : 0);
    if (!P.poi) return P;
    const LONG H = DibHeight(Image);
    const auto* src = static_cast<const BYTE*>(Image.poi);
    auto* dst = static_cast<BYTE*>(P.poi);
    const int bytesPerPixel = bits / 8;
    for (LONG j = 0; j < r.DestH; ++j) {
        const LONG sy =
            r.DestH == 1 ? r.SrcY : LONG(std::int64_t(r.SrcH - 1) * j / (r.DestH - 1)) + r.SrcY;
        const BYTE* srcRow = src + std::ptrdiff_t(sy) * Image.bytew;
        BYTE* dstRow = dst + std::ptrdiff_t(j) * P.bytew;
        for (LONG i = 0; i < r.DestW; ++i) {
            const LONG sx =
                r.DestW == 1 ? r.SrcX : LONG(std::int64_t(r.SrcW - 1) * i / (r.DestW - 1)) + r.SrcX;
            if (bits == 1) {
                // The library counts rows from the top; turn the stored rows into its rows.
                setpixel(P, i, r.DestH - 1 - j, getpixel(Image, sx, H - 1 - sy));
            } else if (bits == 4) {
                const BYTE b = srcRow[sx / 2];
                const BYTE nibble = (sx % 2 == 0) ? BYTE(b >> 4) : BYTE(b & 0x0F);
                dstRow[i / 2] |= (i % 2 == 0) ? BYTE(nibble << 4) : nibble;
            } else {
                std::memcpy(dstRow + std::ptrdiff_t(i) * bytesPerPixel,
                            srcRow + std::ptrdiff_t(sx) * bytesPerPixel,
                            std::size_t(bytesPerPixel));
            }
        }
    }
    return P;
}

// Second fallback: through a device-dependent bitmap and StretchBlt.
void StretchThroughBitmap(HDC DC, const DrawRect& r, const dib& Image, DWORD Rop) {
    const LONG W = DibWidth(Image), H = DibHeight(Image);
    HBITMAP B = CreateCompatibleBitmap(DC, W, H);
    if (!B) {
        MessageBox(nullptr, "Could not create bitmap.", nullptr, MB_OK);
        return;
    }
    HDC M = CreateCompatibleDC(DC);
    if (SetDIBits(M, B, 0, UINT(H), Image.poi, Image.pmi, DIB_RGB_COLORS) == 0) {
        MessageBox(nullptr, "The device does not support the Funtkion setdibits!", nullptr, MB_OK);
    } else {
        HGDIOBJ previous = SelectObject(M, B);
        // The bitmap's rows run from the top: the source rectangle starts TopRow rows down.
        const LONG top = H - r.SrcY - r.SrcH;
        if (!StretchBlt(DC, r.X, r.Y, r.DestW, r.DestH, M, r.SrcX, top, r.SrcW, r.SrcH, Rop)) {
            MessageBox(nullptr, "The device does not support the function StretchBlt!", nullptr,
                       MB_OK);
        }
        SelectObject(M, previous);
    }
    DeleteDC(M);
    DeleteObject(B);
}

void DirectStretch(HDC DC, const DrawRect& r, const dib& Image, DWORD Rop) {
    const bool dibToDevice = (GetDeviceCaps(DC, RASTERCAPS) & RC_DIBTODEV) != 0;
    if (StretchDIBits(DC, r.X, r.Y, r.DestW, r.DestH, r.SrcX, r.SrcY, r.SrcW, r.SrcH, Image.poi,
                      Image.pmi, DIB_RGB_COLORS, Rop) != GDI_ERROR) {
        return;
    }
    if (dibToDevice) {
        dib P = ScaledCopy(Image, r);
        if (P.poi) {
            const int sent = SetDIBitsToDevice(DC, r.X, r.Y, DWORD(r.DestW), DWORD(r.DestH), 0, 0,
                                               0, UINT(r.DestH), P.poi, P.pmi, DIB_RGB_COLORS);
            deldib(P);
            if (sent != 0) return;
        }
    }
    StretchThroughBitmap(DC, r, Image, Rop);
}

void HalftoneStretch(HDC DC, const DrawRect& r, const dib& Image, DWORD Rop) {
    const LONG W = DibWidth(Image), H = DibHeight(Image);
    dib T{};
    if (r.SrcW > r.DestW || r.SrcH > r.DestH) {
        // Halftone at the new scale, then take the rectangle from it one to one.
        T = DIBHalftoneDIBXY(Image, RoundQuotient(Mul32(W, r.DestW), r.SrcW),
                             RoundQuotient(Mul32(H, r.DestH), r.SrcH));
        if (T.poi && T.pmi) {
            StretchDIBits(DC, r.X, r.Y, r.DestW, r.DestH,
                          RoundQuotient(Mul32(DibWidth(T), r.SrcX), W),
                          RoundQuotient(Mul32(DibHeight(T), r.SrcY), H), r.DestW, r.DestH, T.poi,
                          T.pmi, DIB_RGB_COLORS, Rop);
        }
    } else {
        T = DIBHalftoneDIB(Image);
        if (T.poi && T.pmi) {
            StretchDIBits(DC, r.X, r.Y, r.DestW, r.DestH, r.SrcX, r.SrcY, r.SrcW, r.SrcH, T.poi,
                          T.pmi, DIB_RGB_COLORS, Rop);
        }
    }
    if (T.poi) deldib(T);
}

}  // namespace

bool ClipToImage(DrawRect& r, LONG W, LONG H) {
    // Sizes only shrink from step to step, so an empty rectangle stays empty: stop at once
    // rather than divide by a size of 0.
    if (r.SrcW <= 0 || r.SrcH <= 0) return false;
    if (std::int64_t(W) < std::int64_t(r.SrcX) + r.SrcW) {  // right edge
        const LONG n = Sub32(W, r.SrcX);
        if (n <= 0) return false;
        r.DestW = RoundQuotient(Mul32(r.DestW, n), r.SrcW);
        r.SrcW = n;
    }
    if (r.SrcY < 0) {  // bottom edge
        if (r.SrcH + r.SrcY <= 0) return false;
        r.DestH = RoundQuotient(Mul32(r.SrcH + r.SrcY, r.DestH), r.SrcH);
        r.SrcH = r.SrcH + r.SrcY;
        r.SrcY = 0;
    }
    if (std::int64_t(H) < std::int64_t(r.SrcY) + r.SrcH) {  // top edge
        const LONG n = Sub32(H, r.SrcY);
        if (n <= 0) return false;
        const LONG t = RoundQuotient(Mul32(r.DestH, n), r.SrcH);
        r.Y = Add32(r.Y, Sub32(r.DestH, t));
        r.DestH = t;
        r.SrcH = n;
    }
    if (r.SrcX < 0) {  // left edge
        if (r.SrcX + r.SrcW <= 0) return false;
        const LONG t = RoundQuotient(Mul32(r.SrcX + r.SrcW, r.DestW), r.SrcW);
        r.X = Add32(r.X, Sub32(r.DestW, t));
        r.DestW = t;
        r.SrcW = r.SrcW + r.SrcX;
        r.SrcX = 0;
    }
    return r.DestW > 0 && r.DestH > 0;
}

bool DrawCoversDestination(HDC DC, LONG DestW, LONG DestH, const dib& Image) {
    // The 24-bit row path (see DrawDibToDevice) with nothing clipped away: the full source
    // rectangle of a non-empty image needs no clipping.
    return Image.poi && Image.pmi && DibBitCount(Image) == 24 && DibWidth(Image) > 0 &&
           DibHeight(Image) > 0 && DestW > 0 && DestH > 0 && DestW <= kMaxImageSide * 16 &&
           GetDeviceCaps(DC, TECHNOLOGY) != DT_RASPRINTER && DirectSurface(DC) != nullptr;
}

void DrawDibToDevice(HDC DC, LONG X, LONG Y, LONG DestW, LONG DestH, const dib& Image, LONG SrcX,
                     LONG SrcY, LONG SrcW, LONG SrcH, bool Halftone, DWORD Rop) {
    const bool printer = GetDeviceCaps(DC, TECHNOLOGY) == DT_RASPRINTER;
    SetStretchBltMode(DC, COLORONCOLOR);
    if (!Image.poi || !Image.pmi) return;
    // Drawing leaves the device's palette as it found it.
    HPALETTE saved = GetCurrentPalette(DC);

    const LONG W = DibWidth(Image), H = DibHeight(Image);
    DrawRect r{X, Y, DestW, DestH, SrcX, SrcY, SrcW, SrcH};
    if (ClipToImage(r, W, H)) {
        const LONG bits = DibBitCount(Image);
        const LONG topRow = H - r.SrcY - r.SrcH;
        if (bits == 24 && ScreenBitsPerPixel() <= 8 && Halftone) {
            HalftoneStretch(DC, r, Image, Rop);
            SelectPalette(DC, saved, FALSE);
        } else if (bits == 24 && !printer) {
            DrawDib24Rows(DC, r.X, r.Y, r.DestW, r.DestH, Image, r.SrcX, topRow, r.SrcW, r.SrcH);
        } else if (bits == 8 && !printer) {
            DrawDib8Rows(DC, r.X, r.Y, r.DestW, r.DestH, Image, r.SrcX, topRow, r.SrcW, r.SrcH);
        } else {
            DirectStretch(DC, r, Image, Rop);
        }
    }
    if (Image.ispal == 1) SelectPalette(DC, saved, FALSE);
}
