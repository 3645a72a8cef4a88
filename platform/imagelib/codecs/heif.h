// HEIF, HEIC and AVIF through libheif: the primary image as 24 bits, turned as the file's
// transform properties say, transparency flattened onto white; its ICC profile, and its EXIF and
// XMP blocks when asked for.
#pragma once

#include "platform/imagelib/codecs/decoder.h"

namespace lumivane {

extern const Decoder kHeifDecoder;

}  // namespace lumivane
