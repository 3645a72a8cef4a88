// HEIF, HEIC and AVIF through libheif: the primary image as 24 bits, turned as the file's
// transform properties say, transparency flattened onto white, plus what the file says about
// the photo (its ICC profile and its EXIF and XMP blocks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/imagelib/codecs/decoder.h"

namespace lumivane {

extern const Decoder kHeifDecoder;

struct HeifPicture {
    dib image{};                     // poi == nullptr when the file cannot be read
    std::vector<std::uint8_t> icc;   // the colr box's ICC profile, if any
    std::vector<std::uint8_t> exif;  // the EXIF block from its TIFF header on, if any
    std::string xmp;                 // the XMP packet, if any
};

// The caller owns the image. Nothing is allocated for a picture beyond the size limits, and
// nothing that could throw happens after the image is made.
HeifPicture ReadHeif(Bytes file);

}  // namespace lumivane
