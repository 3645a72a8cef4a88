#include "platform/imagelib/codecs/exact_palette.h"

namespace lumivane {

int ExactPalette::Slot(std::uint32_t rgb) const {
    std::uint32_t h = (rgb * 0x9E3779B1u) >> 22;  // 10 bits
    while (keys_[h] != kEmpty && keys_[h] != rgb) h = (h + 1) & (kSlots - 1);
    return int(h);
}

bool ExactPalette::Insert(std::uint32_t rgb) {
    const int slot = Slot(rgb);
    if (keys_[slot] == rgb) return true;
    if (size_ == 256) return false;
    keys_[slot] = rgb;
    indices_[slot] = std::uint8_t(size_);
    colors_[size_++] = rgb;
    return true;
}

bool ExactPalette::Build(const Bgrx32View& picture) {
    keys_.fill(kEmpty);
    size_ = 0;
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* p = picture.Row(y);
        std::uint32_t last = kEmpty;
        for (int x = 0; x < picture.width; ++x, p += 4) {
            const std::uint32_t rgb = Key(p);
            if (rgb == last) continue;  // runs of one colour are the common case
            if (!Insert(rgb)) return false;
            last = rgb;
        }
    }
    return true;
}

std::uint8_t ExactPalette::IndexOf(std::uint32_t rgb) const {
    return indices_[Slot(rgb)];
}

}  // namespace lumivane
