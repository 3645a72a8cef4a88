// How many colour-table entries a copy of an image takes over from it.
#pragma once

#include "image/Zerlin.h"

namespace lumivane {

// DibColorCount when it is a palette size (2, 16, 256), else 0: deeper images have no table.
inline int CopiedColorCount(const dib& image) {
    const LONG colors = DibColorCount(image);
    return colors > 0 && colors <= 256 ? int(colors) : 0;
}

}  // namespace lumivane
