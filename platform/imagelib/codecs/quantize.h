// Reduction of a true-colour picture to at most 256 colours, for the palette formats: a
// variance-minimising median cut over a 5-5-5 histogram, then Floyd-Steinberg error diffusion.
// Distances weigh green most and blue least, roughly as the eye does.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/imagelib/codecs/encoder.h"

namespace lumivane {

// Up to maxColors colours (0xRRGGBB) that represent the picture well.
std::vector<std::uint32_t> MedianCutPalette(const Bgrx32View& picture, int maxColors);

// Maps rows, top to bottom, to palette indices, spreading each pixel's error onto its
// neighbours (serpentine order, so the error does not drift to one side).
class DitherMapper {
  public:
    DitherMapper(const std::vector<std::uint32_t>& palette, int width);
    // Call once per row, in order from the top.
    void MapRow(const std::uint8_t* bgrx, std::uint8_t* indices);

  private:
    int Nearest(int r, int g, int b);

    std::vector<int> red_, green_, blue_;  // the palette by channel
    std::vector<std::uint16_t> cache_;     // nearest colour per 6-6-6 cell, 0xFFFF = not yet
    std::vector<int> errors_[2];           // 16 x error per channel, with one cell of margin
    int width_;
    bool leftToRight_ = true;
};

}  // namespace lumivane
