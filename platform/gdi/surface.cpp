#include "platform/gdi/surface.h"

#include <algorithm>

#include "platform/imagelib/pixel_memory.h"
#include "platform/parallel.h"

namespace lumivane {

bool Surface::SetSize(int width, int height) {
    if (width < 0 || height < 0) return false;
    if (std::int64_t(width) * height > kMaxPixels) return false;
    if (width == width_ && height == height_) return true;
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    BYTE* fresh = nullptr;
    if (bytes > 0) {
        fresh = static_cast<BYTE*>(AllocateZeroedPixels(bytes));
        if (!fresh) return false;
    }
    pixels_.reset(fresh);
    width_ = width;
    height_ = height;
    return true;
}

namespace {

std::uint32_t SurfacePixel(COLORREF color) {
    return std::uint32_t(GetBValue(color)) | (std::uint32_t(GetGValue(color)) << 8) |
           (std::uint32_t(GetRValue(color)) << 16);
}

}  // namespace

void Surface::Fill(COLORREF color) {
    FillRect(0, 0, width_, height_, color);
}

void Surface::FillRect(int left, int top, int right, int bottom, COLORREF color) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom) return;
    const std::uint32_t px = SurfacePixel(color);
    // A large area is filled from both cores: one core alone does not saturate the memory.
    constexpr std::int64_t kRowsPerChunk = 16;
    ForChunks(bottom - top, kRowsPerChunk,
              std::int64_t(right - left) * (bottom - top) >= SplitThresholds::kFill,
              [&](std::int64_t begin, std::int64_t end) {
                  for (std::int64_t y = top + begin; y < top + end; ++y) {
                      auto* row = reinterpret_cast<std::uint32_t*>(ScanLine(int(y)));
                      std::fill(row + left, row + right, px);
                  }
              });
}

}  // namespace lumivane
