// Device contexts, bitmaps, capabilities, the desktop and the message-box hook.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

TEST(DeviceCaps, DisplaysPrintersAndTestDevicesAnswerAsConfigured) {
    lumivane::Surface s;
    s.SetSize(7, 5);
    HDC display = CreateSurfaceDC(s);
    EXPECT_EQ(GetDeviceCaps(display, TECHNOLOGY), DT_RASDISPLAY);
    EXPECT_NE(GetDeviceCaps(display, RASTERCAPS) & RC_DIBTODEV, 0);
    EXPECT_EQ(GetDeviceCaps(display, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(display, HORZRES), 7);
    EXPECT_EQ(GetDeviceCaps(display, VERTRES), 5);

    HDC printer = CreateTestDC(s, {.technology = DT_RASPRINTER});
    EXPECT_EQ(GetDeviceCaps(printer, TECHNOLOGY), DT_RASPRINTER);
    HDC refusing = CreateTestDC(s, {.rasterCaps = kRasterDeviceCaps & ~RC_DIBTODEV});
    EXPECT_EQ(GetDeviceCaps(refusing, RASTERCAPS) & RC_DIBTODEV, 0);

    // A memory DC takes over the capabilities of the DC it is compatible with.
    HDC memory = CreateCompatibleDC(printer);
    EXPECT_EQ(GetDeviceCaps(memory, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(nullptr, TECHNOLOGY), 0);

    for (HDC dc : {display, printer, refusing, memory}) EXPECT_TRUE(DeleteDC(dc));
}

TEST(DeviceState, StretchModeAndPaletteReturnWhatWasSelectedBefore) {
    lumivane::Surface s;
    HDC dc = CreateSurfaceDC(s);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc, HALFTONE), COLORONCOLOR);
    EXPECT_EQ(SetStretchBltMode(dc, 99), 0) << "an unknown mode fails";

    HPALETTE stock = GetCurrentPalette(dc);
    ASSERT_NE(stock, nullptr);
    PaletteObject* other = reinterpret_cast<PaletteObject*>(&s);  // any distinct handle
    EXPECT_EQ(SelectPalette(dc, other, FALSE), stock);
    EXPECT_EQ(SelectPalette(dc, nullptr, FALSE), nullptr) << "no palette fails, keeps the old";
    EXPECT_EQ(GetCurrentPalette(dc), other);
    DeleteDC(dc);
}

TEST(Bitmaps, SelectionFollowsTheWindowsRules) {
    lumivane::Surface s;
    HDC screen = CreateSurfaceDC(s);
    HBITMAP b = CreateCompatibleBitmap(screen, 3, 2);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SelectObject(screen, b), nullptr) << "only memory DCs hold bitmaps";

    HDC m1 = CreateCompatibleDC(screen);
    HDC m2 = CreateCompatibleDC(screen);
    HGDIOBJ stock = SelectObject(m1, b);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(m2, b), nullptr) << "a bitmap lives in one DC at a time";
    EXPECT_FALSE(DeleteObject(b)) << "a selected bitmap is not deleted";
    EXPECT_EQ(SelectObject(m1, stock), b);
    EXPECT_TRUE(DeleteObject(stock)) << "deleting a stock object is harmless";
    EXPECT_NE(SelectObject(m2, b), nullptr);
    EXPECT_TRUE(DeleteDC(m2)) << "deleting the DC releases the bitmap";
    EXPECT_TRUE(DeleteObject(b));
    DeleteDC(m1);
    DeleteDC(screen);
}

TEST(Bitmaps, GetObjectDescribesSizeAndDeviceDepth) {
    lumivane::Surface s;
    HDC dc = CreateTestDC(s, {.bitsPixel = 8});
    HBITMAP b = CreateCompatibleBitmap(dc, 5, 3);
    BITMAP bm{};
    EXPECT_EQ(GetObject(b, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 5);
    EXPECT_EQ(bm.bmHeight, 3);
    EXPECT_EQ(bm.bmBitsPixel, 8);
    EXPECT_EQ(bm.bmWidthBytes, 6) << "rows of device bitmaps are padded to 2 bytes";
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(GetObject(b, 0, nullptr), int(sizeof(BITMAP)));
    EXPECT_EQ(GetObject(nullptr, sizeof bm, &bm), 0);
    DeleteObject(b);

    HBITMAP empty = CreateCompatibleBitmap(dc, 0, 4);
    ASSERT_NE(empty, nullptr);
    GetObject(empty, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 1) << "a zero size gives a 1 x 1 monochrome bitmap";
    EXPECT_EQ(bm.bmBitsPixel, 1);
    DeleteObject(empty);
    EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 4), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(dc, 1 << 16, 1 << 16), nullptr) << "too large";
    DeleteDC(dc);
}

TEST(Desktop, ReportsTheDepthATestSets) {
    HWND desktop = GetDesktopWindow();
    HDC dc = GetDC(desktop);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_FALSE(DeleteDC(dc)) << "window DCs go back through ReleaseDC";
    EXPECT_EQ(ReleaseDC(desktop, dc), 1);

    const int previous = SetDesktopBitsPerPixel(8);
    dc = GetDC(desktop);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
    EXPECT_NE(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
    HBITMAP b = CreateCompatibleBitmap(dc, 1, 1);
    BITMAP bm{};
    GetObject(b, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 8);
    DeleteObject(b);
    ReleaseDC(desktop, dc);
    EXPECT_EQ(SetDesktopBitsPerPixel(previous), 8);
}

TEST(CallLog, RecordsCallsOfTheDeviceAndItsCompatibleObjects) {
    lumivane::Surface s;
    GdiCallLog log;
    HDC dc = CreateTestDC(s, {.log = &log});
    GetDeviceCaps(dc, TECHNOLOGY);
    HDC m = CreateCompatibleDC(dc);
    SetStretchBltMode(m, COLORONCOLOR);
    HBITMAP b = CreateCompatibleBitmap(dc, 2, 2);
    DeleteObject(b);
    DeleteDC(m);
    std::vector<std::string> names;
    for (const GdiCall& c : log.calls) names.push_back(c.function);
    EXPECT_EQ(names,
              (std::vector<std::string>{"GetDeviceCaps", "CreateCompatibleDC", "SetStretchBltMode",
                                        "CreateCompatibleBitmap", "DeleteObject", "DeleteDC"}));
    EXPECT_EQ(log.calls[0].args, (std::vector<std::int64_t>{TECHNOLOGY}));
    EXPECT_EQ(log.Count("DeleteDC"), 1);
    EXPECT_EQ(DirectSurface(dc), nullptr) << "a logging device must see every call";
    DeleteDC(dc);
}

TEST(MessageBoxHook, RoutesMessagesAndRestoresTheDefault) {
    struct Shown {
        std::string text;
        bool hasCaption;
        UINT type;
    };
    std::vector<Shown> shown;
    MessageBoxHook previous =
        SetMessageBoxHook([&](HWND, const char* text, const char* caption, UINT type) {
            shown.push_back({text, caption != nullptr, type});
            return IDOK;
        });
    EXPECT_EQ(MessageBox(nullptr, "Hallo", nullptr, MB_OK), IDOK);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Hallo");
    EXPECT_FALSE(shown[0].hasCaption);
    EXPECT_EQ(shown[0].type, MB_OK);

    SetMessageBoxHook(previous);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox(nullptr, "Ohne Fenster", nullptr, MB_OK), IDOK);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Ohne Fenster"), std::string::npos);
    EXPECT_EQ(shown.size(), 1u);
}

TEST(SurfaceFillRect, FillsTheClippedRectangleOnly) {
    lumivane::Surface s;
    s.SetSize(4, 3);
    s.Fill(RGB(1, 2, 3));
    s.FillRect(-5, 1, 2, 99, RGB(0x10, 0x20, 0x30));
    auto px = [&](int x, int y) { return reinterpret_cast<std::uint32_t*>(s.ScanLine(y))[x]; };
    EXPECT_EQ(px(0, 0), 0x010203u);
    EXPECT_EQ(px(1, 1), 0x102030u);
    EXPECT_EQ(px(1, 2), 0x102030u);
    EXPECT_EQ(px(2, 1), 0x010203u);
    s.FillRect(3, 0, 1, 3, RGB(9, 9, 9));  // empty
    EXPECT_EQ(px(3, 0), 0x010203u);
}

// A surface large enough to be filled from two threads, with a height that is no multiple of the
// share each takes: every pixel, the last row included, gets the colour and a fourth byte of 0.
TEST(SurfaceFillRect, LargeFillReachesEveryPixel) {
    lumivane::Surface s;
    ASSERT_TRUE(s.SetSize(1201, 1003));
    std::memset(s.Bits(), 0xFF, std::size_t(s.Width()) * s.Height() * 4);
    s.Fill(RGB(7, 8, 9));
    const auto* p = reinterpret_cast<const std::uint32_t*>(s.Bits());
    const std::size_t n = std::size_t(s.Width()) * s.Height();
    EXPECT_EQ(std::count(p, p + n, 0x070809u), std::ptrdiff_t(n));
}

}  // namespace
