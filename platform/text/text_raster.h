// One line of text turned into pixels: shaped, with font fallback, and rasterised as a coverage
// mask. The font options are fixed (grey antialiasing, no hinting, unhinted metrics), so the
// result never depends on a display or desktop settings and scales smoothly with the size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumivane {

struct TextStyle {
    std::string family;  // empty: the default sans-serif
    int weight = 400;    // 100 (thin) to 900 (black)
    double pixelSize = 12;
};

// The line's logical box (advance width, ascent + descent), in pixels.
struct TextExtent {
    double width = 0;
    double height = 0;
};

// 8-bit coverage of the laid-out line. The logical box's top left corner lies at (originX,
// originY) in the mask; ink may reach outside that box.
struct TextMask {
    int width = 0, height = 0;
    int originX = 0, originY = 0;
    std::vector<std::uint8_t> coverage;  // width x height, row by row
};

// "" when `family` is installed (or a generic name such as sans-serif), otherwise a German
// notice that the default sans-serif is used instead. Thread-safe.
std::string CheckTextFamily(const std::string& family);

// The family actually used for `family`: itself or, when not installed, the default.
std::string UsableTextFamily(const std::string& family);

// Measures `text` (UTF-8; invalid bytes are drawn as replacement marks). Thread-safe.
TextExtent MeasureText(const std::string& text, const TextStyle& style);

// Rasterises `text`; an empty mask when there is nothing to draw or no memory. Thread-safe.
TextMask RasterText(const std::string& text, const TextStyle& style);

}  // namespace lumivane
