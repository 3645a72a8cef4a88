// The colours of a picture that has at most 256 of them, with a fast colour-to-index lookup.
// Lets the palette formats store such pictures exactly.
#pragma once

#include <array>
#include <cstdint>

#include "platform/imagelib/codecs/encoder.h"

namespace lumivane {

class ExactPalette {
  public:
    // Collects the picture's colours; false as soon as a 257th colour turns up.
    bool Build(const Bgrx32View& picture);

    int Size() const { return size_; }
    // Colour i as 0xRRGGBB.
    std::uint32_t Color(int i) const { return colors_[i]; }
    // Index of a colour the picture holds; 0xRRGGBB as read from a pixel by Key().
    std::uint8_t IndexOf(std::uint32_t rgb) const;

    static std::uint32_t Key(const std::uint8_t* bgrx) {
        return std::uint32_t(bgrx[2]) << 16 | std::uint32_t(bgrx[1]) << 8 | bgrx[0];
    }

  private:
    static constexpr int kSlots = 1024;  // power of two, well above 256 so probes stay short
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    int Slot(std::uint32_t rgb) const;
    bool Insert(std::uint32_t rgb);

    std::array<std::uint32_t, kSlots> keys_;
    std::array<std::uint8_t, kSlots> indices_{};
    std::array<std::uint32_t, 256> colors_{};
    int size_ = 0;
};

}  // namespace lumivane
