// SetDIBitsToDevice, StretchDIBits, SetDIBits and StretchBlt on surfaces.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

// A DIB built byte by byte, independent of the image library.
struct TestDib {
    std::vector<BYTE> info = std::vector<BYTE>(sizeof(BITMAPINFOHEADER) + 256 * 4);
    std::vector<BYTE> bits;
    int stride;

    TestDib(int width, int height, int bitCount, int colors = 0) {
        auto& h = Info()->bmiHeader;
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = WORD(bitCount);
        h.biClrUsed = DWORD(colors);
        stride = (width * bitCount + 31) / 32 * 4;
        bits.assign(std::size_t(stride) * std::size_t(height < 0 ? -height : height), 0);
    }
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(info.data()); }
    void SetColor(int i, BYTE r, BYTE g, BYTE b) { Info()->bmiColors[i] = RGBQUAD{b, g, r, 0}; }
    BYTE* Row(int stored) { return bits.data() + stored * stride; }
};

struct Canvas {
    lumivane::Surface surface;
    HDC dc;
    Canvas(int w, int h, COLORREF fill = RGB(0xAA, 0xAA, 0xAA)) {
        surface.SetSize(w, h);
        surface.Fill(fill);
        dc = CreateSurfaceDC(surface);
    }
    ~Canvas() { DeleteDC(dc); }
    std::uint32_t At(int x, int y) {
        return reinterpret_cast<std::uint32_t*>(surface.ScanLine(y))[x];
    }
};

constexpr std::uint32_t kGrey = 0xAAAAAA;
constexpr std::uint32_t Px(BYTE r, BYTE g, BYTE b) {
    return b | (g << 8) | (r << 16);
}

TEST(SetDIBitsToDevice, ReadsEveryDepthThroughItsColourTable) {
    // Row of 9 pixels whose value at column x is index x (palette depths) or a known colour.
    const std::uint32_t table[4] = {Px(0, 0, 0), Px(255, 0, 0), Px(0, 128, 0), Px(1, 2, 3)};
    for (int bits : {1, 4, 8}) {
        TestDib d(9, 1, bits, bits == 1 ? 2 : 4);
        for (int i = 0; i < (bits == 1 ? 2 : 4); ++i) {
            d.SetColor(i, BYTE(table[i] >> 16), BYTE(table[i] >> 8), BYTE(table[i]));
        }
        std::vector<int> index(9);
        for (int x = 0; x < 9; ++x) {
            index[x] = bits == 1 ? (x % 3 == 0) : x % 4;
            if (bits == 1) d.Row(0)[x / 8] |= BYTE(index[x] << (7 - x % 8));
            if (bits == 4) d.Row(0)[x / 2] |= BYTE(index[x] << (x % 2 == 0 ? 4 : 0));
            if (bits == 8) d.Row(0)[x] = BYTE(index[x]);
        }
        Canvas c(9, 1);
        EXPECT_EQ(SetDIBitsToDevice(c.dc, 0, 0, 9, 1, 0, 0, 0, 1, d.bits.data(), d.Info(),
                                    DIB_RGB_COLORS),
                  1);
        for (int x = 0; x < 9; ++x) EXPECT_EQ(c.At(x, 0), table[index[x]]) << bits << " " << x;
    }

    TestDib d16(3, 1, 16);
    const WORD words[3] = {0x7FFF, 0x0421, 0x7C00};  // white, (1,1,1), pure red
    std::memcpy(d16.Row(0), words, sizeof words);
    TestDib d24(2, 1, 24);
    const BYTE b24[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(d24.Row(0), b24, 6);
    TestDib d32(2, 1, 32);
    const BYTE b32[8] = {1, 2, 3, 99, 4, 5, 6, 99};
    std::memcpy(d32.Row(0), b32, 8);
    Canvas c(3, 3);
    SetDIBitsToDevice(c.dc, 0, 0, 3, 1, 0, 0, 0, 1, d16.bits.data(), d16.Info(), DIB_RGB_COLORS);
    SetDIBitsToDevice(c.dc, 0, 1, 2, 1, 0, 0, 0, 1, d24.bits.data(), d24.Info(), DIB_RGB_COLORS);
    SetDIBitsToDevice(c.dc, 0, 2, 2, 1, 0, 0, 0, 1, d32.bits.data(), d32.Info(), DIB_RGB_COLORS);
    EXPECT_EQ(c.At(0, 0), 0xFFFFFFu) << "5-bit 31 widens to 255";
    EXPECT_EQ(c.At(1, 0), Px(8, 8, 8));
    EXPECT_EQ(c.At(2, 0), Px(255, 0, 0));
    EXPECT_EQ(c.At(0, 1), Px(3, 2, 1));
    EXPECT_EQ(c.At(1, 1), Px(6, 5, 4));
    EXPECT_EQ(c.At(1, 2), Px(6, 5, 4)) << "the fourth byte of the result is 0";
}

TEST(SetDIBitsToDevice, CountsSourceRowsFromTheBottomAndDrawsOnlyTheGivenBand) {
    TestDib d(1, 3, 8, 3);
    for (int i = 0; i < 3; ++i) {
        d.SetColor(i, BYTE(10 * (i + 1)), 0, 0);
        d.Row(i)[0] = BYTE(i);  // stored row i, row 0 at the bottom of the picture
    }
    Canvas c(1, 3);
    SetDIBitsToDevice(c.dc, 0, 0, 1, 2, 0, 1, 0, 3, d.bits.data(), d.Info(), DIB_RGB_COLORS);
    EXPECT_EQ(c.At(0, 0), Px(30, 0, 0)) << "top of the rectangle = stored row 2";
    EXPECT_EQ(c.At(0, 1), Px(20, 0, 0));
    EXPECT_EQ(c.At(0, 2), kGrey);

    // Only scan line 1 is in memory: the rows of the rectangle around it stay untouched.
    Canvas band(1, 3);
    EXPECT_EQ(
        SetDIBitsToDevice(band.dc, 0, 0, 1, 3, 0, 0, 1, 1, d.Row(1), d.Info(), DIB_RGB_COLORS), 1);
    EXPECT_EQ(band.At(0, 0), kGrey);
    EXPECT_EQ(band.At(0, 1), Px(20, 0, 0));
    EXPECT_EQ(band.At(0, 2), kGrey);
}

TEST(SetDIBitsToDevice, ClipsToTheSurfaceAndTheImage) {
    TestDib d(3, 3, 24);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) d.Row(y)[3 * x] = BYTE(10 * y + x);  // blue = 10 y + x
    Canvas c(3, 3);
    // Column -1 and row -1 fall off the surface; source column 3 is not in the image.
    EXPECT_EQ(
        SetDIBitsToDevice(c.dc, -1, -1, 4, 3, 0, 0, 0, 3, d.bits.data(), d.Info(), DIB_RGB_COLORS),
        3);
    const std::uint32_t expected[3][3] = {{11, 12, kGrey}, {1, 2, kGrey}, {kGrey, kGrey, kGrey}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(c.At(x, y), expected[y][x]) << x << "," << y;

    EXPECT_EQ(SetDIBitsToDevice(c.dc, 0, 0, DWORD(-2), 1, 0, 0, 0, 1, d.bits.data(), d.Info(),
                                DIB_RGB_COLORS),
              0)
        << "no mirroring here: a negative size fails";
}

TEST(SetDIBitsToDevice, RefusesWhatItCannotRead) {
    TestDib good(2, 2, 24);
    TestDib rle(2, 2, 8);
    rle.Info()->bmiHeader.biCompression = BI_RLE8;
    TestDib odd(2, 2, 7);
    TestDib noWidth(0, 2, 24);
    Canvas c(2, 2);
    auto send = [&](TestDib& d, UINT usage, const void* bits) {
        return SetDIBitsToDevice(c.dc, 0, 0, 2, 2, 0, 0, 0, 2, bits, d.Info(), usage);
    };
    EXPECT_EQ(send(good, DIB_PAL_COLORS, good.bits.data()), 0);
    EXPECT_EQ(send(good, DIB_RGB_COLORS, nullptr), 0);
    EXPECT_EQ(send(rle, DIB_RGB_COLORS, rle.bits.data()), 0);
    EXPECT_EQ(send(odd, DIB_RGB_COLORS, odd.bits.data()), 0);
    EXPECT_EQ(send(noWidth, DIB_RGB_COLORS, good.bits.data()), 0);
    EXPECT_EQ(SetDIBitsToDevice(nullptr, 0, 0, 2, 2, 0, 0, 0, 2, good.bits.data(), good.Info(),
                                DIB_RGB_COLORS),
              0);
    HDC failing = CreateTestDC(c.surface, {.failing = kFailSetDIBitsToDevice});
    EXPECT_EQ(SetDIBitsToDevice(failing, 0, 0, 2, 2, 0, 0, 0, 2, good.bits.data(), good.Info(),
                                DIB_RGB_COLORS),
              0);
    DeleteDC(failing);
    EXPECT_EQ(c.At(0, 0), kGrey);
    EXPECT_EQ(c.At(1, 1), kGrey);
}

// One row of distinct colours: pixel x has red = x + 1.
TestDib Ramp(int width, int height = 1) {
    TestDib d(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            d.Row(y)[3 * x + 2] = BYTE(x + 1);
            d.Row(y)[3 * x + 1] = BYTE(y + 1);
        }
    return d;
}

TEST(StretchDIBits, TakesThePixelUnderEachDestinationPixelsCentre) {
    for (auto [srcW, destW] : {std::pair{3, 7}, {7, 3}, {5, 5}, {4, 9}}) {
        TestDib d = Ramp(srcW);
        Canvas c(destW, 1);
        EXPECT_EQ(StretchDIBits(c.dc, 0, 0, destW, 1, 0, 0, srcW, 1, d.bits.data(), d.Info(),
                                DIB_RGB_COLORS, SRCCOPY),
                  1);
        for (int i = 0; i < destW; ++i) {
            const double centre = (i + 0.5) * srcW / destW;
            EXPECT_EQ(c.At(i, 0), Px(BYTE(int(centre) + 1), 1, 0)) << srcW << "->" << destW;
        }
    }
}

TEST(StretchDIBits, MirrorsWhenSourceAndDestinationSignsDiffer) {
    TestDib d = Ramp(3, 2);  // green = stored row + 1, so the bottom row has green 1
    Canvas c(3, 2);
    // x = 3, width -3: the rectangle is columns 0..2, drawn right to left.
    StretchDIBits(c.dc, 3, 0, -3, 2, 0, 0, 3, 2, d.bits.data(), d.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), Px(3, 2, 0));
    EXPECT_EQ(c.At(2, 0), Px(1, 2, 0));
    EXPECT_EQ(c.At(0, 1), Px(3, 1, 0));

    Canvas flipped(3, 2);
    StretchDIBits(flipped.dc, 0, 2, 3, -2, 0, 0, 3, 2, d.bits.data(), d.Info(), DIB_RGB_COLORS,
                  SRCCOPY);
    EXPECT_EQ(flipped.At(0, 0), Px(1, 1, 0)) << "upside down: the bottom row on top";
    EXPECT_EQ(flipped.At(0, 1), Px(1, 2, 0));

    Canvas both(3, 2);
    StretchDIBits(both.dc, 3, 0, -3, 2, 3, 0, -3, 2, d.bits.data(), d.Info(), DIB_RGB_COLORS,
                  SRCCOPY);
    EXPECT_EQ(both.At(0, 0), Px(1, 2, 0)) << "both negative: no mirror";
}

TEST(StretchDIBits, DrawsTopDownDibsUpright) {
    TestDib d(1, -2, 8, 2);
    d.SetColor(0, 5, 0, 0);
    d.SetColor(1, 6, 0, 0);
    d.Row(0)[0] = 0;  // the top row of a top-down DIB
    d.Row(1)[0] = 1;
    Canvas c(1, 2);
    StretchDIBits(c.dc, 0, 0, 1, 2, 0, 0, 1, 2, d.bits.data(), d.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), Px(5, 0, 0));
    EXPECT_EQ(c.At(0, 1), Px(6, 0, 0));
}

TEST(StretchDIBits, ReportsFailureAsGdiErrorAndNothingToDoAsZero) {
    TestDib d = Ramp(2);
    Canvas c(2, 1);
    auto stretch = [&](HDC dc, int destW, DWORD rop, UINT usage) {
        return StretchDIBits(dc, 0, 0, destW, 1, 0, 0, 2, 1, d.bits.data(), d.Info(), usage, rop);
    };
    HDC failing = CreateTestDC(c.surface, {.failing = kFailStretchDIBits});
    EXPECT_EQ(stretch(failing, 2, SRCCOPY, DIB_RGB_COLORS), GDI_ERROR);
    EXPECT_EQ(stretch(nullptr, 2, SRCCOPY, DIB_RGB_COLORS), GDI_ERROR);
    EXPECT_EQ(stretch(c.dc, 2, 0x00F00021 /* PATCOPY */, DIB_RGB_COLORS), GDI_ERROR);
    EXPECT_EQ(stretch(c.dc, 2, SRCCOPY, DIB_PAL_COLORS), GDI_ERROR);
    EXPECT_EQ(stretch(c.dc, 0, SRCCOPY, DIB_RGB_COLORS), 0);
    EXPECT_EQ(c.At(0, 0), kGrey);
    DeleteDC(failing);

    EXPECT_EQ(stretch(c.dc, 2, SRCINVERT, DIB_RGB_COLORS), 1);
    EXPECT_EQ(c.At(1, 0), kGrey ^ Px(2, 1, 0)) << "raster operations combine with the target";
}

TEST(SetDIBitsAndStretchBlt, CarryADibThroughADeviceBitmap) {
    TestDib d = Ramp(3, 2);
    Canvas c(6, 2);
    HBITMAP b = CreateCompatibleBitmap(c.dc, 3, 2);
    HDC m = CreateCompatibleDC(c.dc);
    EXPECT_EQ(SetDIBits(m, b, 0, 2, d.bits.data(), d.Info(), DIB_RGB_COLORS), 2);
    HGDIOBJ old = SelectObject(m, b);
    EXPECT_EQ(SetDIBits(m, b, 0, 2, d.bits.data(), d.Info(), DIB_RGB_COLORS), 0)
        << "not while selected";
    // Bitmap rows run from the top: row 0 is the picture's top (stored row 1, green 2).
    EXPECT_TRUE(StretchBlt(c.dc, 0, 0, 6, 1, m, 0, 0, 3, 1, SRCCOPY));
    for (int x = 0; x < 6; ++x) EXPECT_EQ(c.At(x, 0), Px(BYTE(x / 2 + 1), 2, 0)) << x;
    // Source pixels beyond the bitmap are not drawn.
    EXPECT_TRUE(StretchBlt(c.dc, 0, 1, 2, 1, m, 2, 1, 2, 1, SRCCOPY));
    EXPECT_EQ(c.At(0, 1), Px(3, 1, 0));
    EXPECT_EQ(c.At(1, 1), kGrey);
    SelectObject(m, old);
    DeleteDC(m);
    DeleteObject(b);

    // Within one surface the source is read before it is overwritten.
    EXPECT_TRUE(StretchBlt(c.dc, 1, 0, 5, 1, c.dc, 0, 0, 5, 1, SRCCOPY));
    for (int x = 1; x < 6; ++x) EXPECT_EQ(c.At(x, 0), Px(BYTE((x - 1) / 2 + 1), 2, 0)) << x;

    HDC failing = CreateTestDC(c.surface, {.failing = kFailStretchBlt | kFailSetDIBits});
    HBITMAP b2 = CreateCompatibleBitmap(failing, 3, 2);
    EXPECT_EQ(SetDIBits(failing, b2, 0, 2, d.bits.data(), d.Info(), DIB_RGB_COLORS), 0);
    EXPECT_FALSE(StretchBlt(failing, 0, 0, 1, 1, c.dc, 0, 0, 1, 1, SRCCOPY));
    DeleteObject(b2);
    DeleteDC(failing);
}

}  // namespace
