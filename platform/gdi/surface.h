// A 32-bit top-down pixel surface: the memory behind the off-screen bitmap and every bitmap
// of the device layer. Pixel X of row Y is 4 bytes at ScanLine(Y) + 4 X: blue, green, red and a
// fourth byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/wintypes.h"

namespace lumivane {

class Surface {
  public:
    // Largest surface we try to allocate: 2^30 pixels (4 GiB).
    static constexpr std::int64_t kMaxPixels = std::int64_t(1) << 30;

    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Gives the surface a new size. Same size: the pixels stay. New size: the pixels are zero.
    // Returns false, and keeps the old size and pixels, when the size is negative, larger than
    // kMaxPixels, or cannot be allocated. A width or height of 0 gives an empty surface.
    bool SetSize(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::ptrdiff_t Stride() const { return std::ptrdiff_t(width_) * 4; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    BYTE* Bits() { return pixels_.get(); }
    const BYTE* Bits() const { return pixels_.get(); }
    BYTE* ScanLine(int y) { return pixels_.get() + y * Stride(); }
    const BYTE* ScanLine(int y) const { return pixels_.get() + y * Stride(); }

    // Sets every pixel to the colour (blue, green, red, 0), as a filled rectangle does.
    void Fill(COLORREF color);
    // Fills the pixels left <= x < right, top <= y < bottom, clipped to the surface.
    void FillRect(int left, int top, int right, int bottom, COLORREF color);

  private:
    struct FreeDeleter {
        void operator()(BYTE* p) const { std::free(p); }
    };

    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<BYTE[], FreeDeleter> pixels_;
};

}  // namespace lumivane
