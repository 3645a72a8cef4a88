// The picture sizes a HEIF or AVIF file declares, read from its boxes and its coded streams
// before libheif sees it. libheif checks only the spatial extents ('ispe'); its grid and overlay
// canvases and the frames its HEVC and AV1 decoders make are sized by other fields, which a
// hostile file can set far larger.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/imagelib/read_image.h"

namespace lumivane {

struct HeifDeclaredSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    // A coded frame, which the codec pads to whole coding blocks beyond the picture it holds.
    bool coded = false;
};

// Every size found: each item's spatial extents, each grid's and overlay's canvas, and each
// frame size of an HEVC sequence parameter set or an AV1 sequence header, in an item's
// properties or in its data. Nothing when the item structure cannot be read.
std::optional<std::vector<HeifDeclaredSize>> HeifDeclaredSizes(Bytes file);

}  // namespace lumivane
