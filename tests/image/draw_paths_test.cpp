// Which way DrawDibToDevice draws, seen through a device that logs its calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "draw_fixtures.h"

namespace {

using drawtest::Canvas;

struct LoggedDraw {
    Canvas canvas{40, 40};
    GdiCallLog log;
    HDC dc;
    explicit LoggedDraw(TestDeviceOptions options = {}) {
        options.log = &log;
        dc = CreateTestDC(canvas.surface, options);
    }
    ~LoggedDraw() { DeleteDC(dc); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const GdiCall& c : log.calls) names.push_back(c.function);
        return names;
    }
};

// Sets the desktop depth for one test.
struct ScreenDepth {
    int previous;
    explicit ScreenDepth(int bits) : previous(SetDesktopBitsPerPixel(bits)) {}
    ~ScreenDepth() { SetDesktopBitsPerPixel(previous); }
};

TEST(DrawPaths, A24BitImageOnADisplayGoesRowByRow) {
    dib image = drawtest::Picture24(10, 8);
    for (int depth : {32, 8}) {
        ScreenDepth screen(depth);
        LoggedDraw d;
        DrawDibToDevice(d.dc, 2, 3, 20, 16, image, 0, 0, 10, 8, false, SRCCOPY);
        const auto names = d.Names();
        ASSERT_GE(names.size(), 2u);
        EXPECT_EQ(names[0], "GetDeviceCaps");
        EXPECT_EQ(d.log.calls[0].args[0], TECHNOLOGY);
        EXPECT_EQ(names[1], "SetStretchBltMode");
        EXPECT_EQ(d.log.calls[1].args[0], COLORONCOLOR);
        EXPECT_EQ(d.log.Count("SetDIBitsToDevice"), 16) << "one call per destination row";
        EXPECT_EQ(d.log.Count("StretchDIBits"), 0);
        EXPECT_EQ(d.log.Count("SelectPalette"), 0) << "not a palette image";
        const GdiCall& second = d.log.calls[3];
        EXPECT_EQ(second.args, (std::vector<std::int64_t>{2, 4, 20, 1, 0, 0, 0, 1}));
    }
    FreeDib(image);
}

TEST(DrawPaths, APrinterGetsTheDirectStretch) {
    dib image = drawtest::Picture24(10, 8);
    LoggedDraw d({.technology = DT_RASPRINTER});
    DrawDibToDevice(d.dc, 0, 0, 5, 4, image, 0, 0, 10, 8, false, SRCCOPY);
    EXPECT_EQ(d.log.Count("StretchDIBits"), 1);
    EXPECT_EQ(d.log.Count("SetDIBitsToDevice"), 0);
    EXPECT_EQ(d.canvas.At(1, 1), drawtest::Expected(image, 3, 3)) << "pixel under the centre";
    FreeDib(image);
}

TEST(DrawPaths, An8BitImageGoesRowByRowWhateverHalftoneSays) {
    ScreenDepth screen(8);
    dib image = drawtest::PicturePalette(6, 5, 8);
    for (bool halftone : {false, true}) {
        LoggedDraw d;
        DrawDibToDevice(d.dc, 0, 0, 6, 5, image, 0, 0, 6, 5, halftone, SRCCOPY);
        EXPECT_EQ(d.log.Count("SetDIBitsToDevice"), 5);
        EXPECT_EQ(d.log.Count("StretchDIBits"), 0);
        EXPECT_EQ(d.canvas.At(4, 2), drawtest::Expected(image, 4, 2));
        // The palette step comes last and leaves the device's palette as it was.
        EXPECT_EQ(d.Names().back(), "SelectPalette");
        EXPECT_EQ(d.log.calls.back().args[0], FALSE);
    }
    FreeDib(image);
}

TEST(DrawPaths, HalftoneOnAPaletteScreenDrawsTheHalftonedImage) {
    ScreenDepth screen(8);
    dib image = drawtest::Picture24(100, 80);
    {
        // Enlarging: the whole halftoned image, source rectangle unchanged.
        LoggedDraw d;
        DrawDibToDevice(d.dc, 1, 2, 30, 30, image, 10, 20, 15, 10, true, SRCCOPY);
        ASSERT_EQ(d.log.Count("StretchDIBits"), 1);
        EXPECT_EQ(d.log.Count("SetDIBitsToDevice"), 0);
        EXPECT_EQ(d.log.calls[2].args,
                  (std::vector<std::int64_t>{1, 2, 30, 30, 10, 20, 15, 10, 0, SRCCOPY}));
        EXPECT_EQ(d.Names().back(), "SelectPalette");
    }
    {
        // Shrinking: halftoned at 50 x 40, the rectangle taken one to one at that scale.
        LoggedDraw d;
        DrawDibToDevice(d.dc, 0, 0, 25, 20, image, 10, 20, 50, 40, true, SRCCOPY);
        ASSERT_EQ(d.log.Count("StretchDIBits"), 1);
        EXPECT_EQ(d.log.calls[2].args,
                  (std::vector<std::int64_t>{0, 0, 25, 20, 5, 10, 25, 20, 0, SRCCOPY}));
    }
    FreeDib(image);
}

TEST(DrawRows, ARepeatedSourceRowIsCopiedOnceAndSentTwice) {
    dib image = drawtest::Picture24(3, 4);
    LoggedDraw d;
    // After the first transfer, change the picture's rows: only rows copied afterwards show it.
    d.log.onCall = [&](const GdiCall& c) {
        if (c.function == "SetDIBitsToDevice" && d.log.Count("SetDIBitsToDevice") == 1) {
            for (int y = 0; y < 4; ++y) setpixel(image, 0, y, RGB(0xEE, 0xEE, 0xEE));
        }
    };
    DrawDibToDevice(d.dc, 0, 0, 3, 8, image, 0, 0, 3, 4, false, SRCCOPY);
    std::vector<const GdiCall*> rows;
    for (const GdiCall& c : d.log.calls)
        if (c.function == "SetDIBitsToDevice") rows.push_back(&c);
    ASSERT_EQ(rows.size(), 8u);
    for (std::size_t r = 0; r < 8; ++r) {
        EXPECT_EQ(rows[r]->bits, rows[0]->bits) << "one reused row buffer";
        EXPECT_EQ(rows[r]->args[1], std::int64_t(r));
    }
    EXPECT_EQ(rows[0]->data, rows[1]->data) << "row 1 was not copied again after the change";
    EXPECT_EQ(rows[1]->data[0], 0) << "blue of picture (0, 0) before the change";
    EXPECT_EQ(rows[2]->data[0], 0xEE) << "the next source row was copied after the change";
    EXPECT_EQ(rows[2]->data, rows[3]->data);
    FreeDib(image);
}

// The three direct-stretch fallbacks, on devices that refuse parts of the way.
struct Messages {
    std::vector<std::string> texts;
    MessageBoxHook previous;
    Messages() {
        previous =
            SetMessageBoxHook([this](HWND owner, const char* text, const char* caption, UINT type) {
                EXPECT_EQ(owner, nullptr);
                EXPECT_EQ(caption, nullptr);
                EXPECT_EQ(type, MB_OK);
                texts.push_back(text);
                return IDOK;
            });
    }
    ~Messages() { SetMessageBoxHook(previous); }
};

TEST(DirectStretch, FirstFallbackSendsAScaledCopyOneToOne) {
    Messages messages;
    dib image = drawtest::PicturePalette(9, 7, 4);
    LoggedDraw d({.failing = kFailStretchDIBits});
    DrawDibToDevice(d.dc, 2, 1, 5, 4, image, 1, 2, 8, 5, false, SRCCOPY);
    ASSERT_EQ(d.log.Count("SetDIBitsToDevice"), 1);
    for (const GdiCall& c : d.log.calls) {
        if (c.function == "SetDIBitsToDevice") {
            EXPECT_EQ(c.args, (std::vector<std::int64_t>{2, 1, 5, 4, 0, 0, 0, 4}));
        }
    }
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(d.log.Count("StretchBlt"), 0);
    // Corners map to corners. Stored row j of the copy shows stored row 3 j div 3 + 2 of the
    // image, column i shows column 7 i div 4 + 1.
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 5; ++i) {
            const int sx = 7 * i / 4 + 1, sy = 4 * j / 3 + 2;
            EXPECT_EQ(d.canvas.At(2 + i, 1 + 3 - j), drawtest::Expected(image, sx, 6 - sy))
                << i << "," << j;
        }
    FreeDib(image);
}

TEST(DirectStretch, SecondFallbackGoesThroughADeviceBitmap) {
    Messages messages;
    dib image = drawtest::PicturePalette(9, 7, 4);
    for (unsigned failing :
         {unsigned(kFailStretchDIBits), kFailStretchDIBits | kFailSetDIBitsToDevice}) {
        // Without RC_DIBTODEV the first fallback is skipped; a refused transfer falls through.
        const int caps =
            failing & kFailSetDIBitsToDevice ? kRasterDeviceCaps : kRasterDeviceCaps & ~RC_DIBTODEV;
        LoggedDraw d({.rasterCaps = caps, .failing = failing});
        DrawDibToDevice(d.dc, 0, 0, 18, 14, image, 0, 0, 9, 7, false, SRCCOPY);
        EXPECT_EQ(d.log.Count("CreateCompatibleBitmap"), 1);
        EXPECT_EQ(d.log.Count("SetDIBits"), 1);
        EXPECT_EQ(d.log.Count("StretchBlt"), 1);
        EXPECT_EQ(d.log.Count("DeleteDC"), 1);
        EXPECT_EQ(d.log.Count("DeleteObject"), 1);
        EXPECT_EQ(d.canvas.At(5, 9), drawtest::Expected(image, 2, 4));
    }
    EXPECT_TRUE(messages.texts.empty());

    // The rectangle is taken from the right rows of the top-down device bitmap.
    LoggedDraw part(
        {.rasterCaps = kRasterDeviceCaps & ~RC_DIBTODEV, .failing = kFailStretchDIBits});
    DrawDibToDevice(part.dc, 0, 0, 3, 2, image, 4, 1, 3, 2, false, SRCCOPY);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(part.canvas.At(x, y), drawtest::Expected(image, 4 + x, 4 + y));
    FreeDib(image);
}

TEST(DirectStretch, RefusedStepsAreReportedWithTheirMessages) {
    const struct {
        unsigned failing;
        const char* message;
    } cases[] = {
        {kFailCreateCompatibleBitmap, "Could not create bitmap."},
        {kFailSetDIBits, "The device does not support the Funtkion setdibits!"},
        {kFailStretchBlt, "The device does not support the function StretchBlt!"},
    };
    dib image = drawtest::PicturePalette(4, 4, 1);
    for (const auto& c : cases) {
        Messages messages;
        LoggedDraw d({.rasterCaps = kRasterDeviceCaps & ~RC_DIBTODEV,
                      .failing = kFailStretchDIBits | c.failing});
        DrawDibToDevice(d.dc, 0, 0, 4, 4, image, 0, 0, 4, 4, false, SRCCOPY);
        EXPECT_EQ(messages.texts, std::vector<std::string>{c.message});
        EXPECT_EQ(d.canvas.At(0, 0), 0x556677u) << "nothing drawn";
        EXPECT_EQ(d.Names().back(), "SelectPalette") << "the palette step still ends the call";
        if (c.failing != kFailCreateCompatibleBitmap) {
            EXPECT_EQ(d.log.Count("DeleteDC"), 1);
            EXPECT_EQ(d.log.Count("DeleteObject"), 1);
        }
    }
    FreeDib(image);
}

TEST(DrawDibToDevice, DrawsNothingForAnEmptyImageOrAnEmptyRectangle) {
    dib image = drawtest::Picture24(4, 4);
    LoggedDraw d;
    DrawDibToDevice(d.dc, 0, 0, 4, 4, image, 10, 0, 4, 4, false, SRCCOPY);
    DrawDibToDevice(d.dc, 0, 0, 4, 4, image, 0, 0, 4, -4, false, SRCCOPY);
    DrawDibToDevice(d.dc, 0, 0, -4, 4, image, 0, 0, 4, 4, false, SRCCOPY);
    dib empty{};
    DrawDibToDevice(d.dc, 0, 0, 4, 4, empty, 0, 0, 4, 4, false, SRCCOPY);
    EXPECT_EQ(d.log.Count("SetDIBitsToDevice") + d.log.Count("StretchDIBits"), 0);
    EXPECT_EQ(d.log.Count("SetStretchBltMode"), 4) << "the stretch mode is set in every case";
    FreeDib(image);
}

}  // namespace
