// A photo's EXIF, XMP and IPTC taken apart once into plain values: for every key Exiv2 knows,
// the value as Exiv2 prints it for people and as stored, so that captions can be filled from
// them without touching Exiv2 again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/imagelib/photo_metadata.h"

namespace lumivane {

struct PhotoField {
    std::string key;      // "Exif.Photo.FNumber", "Xmp.dc.title", "Iptc.Application2.City"
    std::string printed;  // readable, as Exiv2 prints it: "F2.8", a lens name from its tables
    // As stored: the numbers separated by spaces, the text itself; for XMP language
    // alternatives the default language's text, for XMP arrays the items joined by ", ".
    std::string raw;
    // Each number of a rational (or integer) EXIF value as numerator and denominator.
    std::vector<std::pair<std::int64_t, std::int64_t>> numbers;
};

// Every datum of the blocks, EXIF first, then XMP, then IPTC, each key once (the values of a
// repeated IPTC data set joined by ", "). Damaged blocks are left out. Never throws.
std::vector<PhotoField> ReadPhotoFields(const PhotoMetadata& metadata);

// Whether `key` names a datum Exiv2 knows, e.g. "Exif.Photo.WhiteBalance", "Xmp.dc.subject" or
// "Iptc.Application2.City" (whether or not a photo has it).
bool IsPhotoFieldKey(std::string_view key);

}  // namespace lumivane
