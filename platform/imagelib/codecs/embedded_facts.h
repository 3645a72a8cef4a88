// Finding a photo's facts (EXIF orientation, ICC profile) in the containers that carry them.
// Every function reads only inside the bytes it is given and copes with any content: what it
// cannot make sense of counts as absent.
#pragma once

#include "platform/imagelib/codecs/decoder.h"

namespace lumivane {

// The orientation (1-8) in IFD0 of a TIFF-structured block (a TIFF file, or EXIF data after
// its "Exif\0\0" prefix); 1 when there is none or it is out of range.
int ExifOrientation(Bytes tiff);

PhotoFacts JpegFacts(Bytes file);  // APP1 "Exif", APP2 "ICC_PROFILE" (in as many parts as it has)
PhotoFacts PngFacts(Bytes file);   // eXIf, iCCP
PhotoFacts WebpFacts(Bytes file);  // RIFF chunks EXIF and ICCP
PhotoFacts TiffFacts(Bytes file);  // IFD0's orientation and ICC profile tags

// The most profile bytes accepted: real profiles, even large CMYK ones, stay well below.
constexpr std::size_t kMaxProfileBytes = std::size_t(16) << 20;

}  // namespace lumivane
