// Reading an image file into one owning result: the upright sRGB picture, or why there is none,
// together with the photo's facts.
#pragma once

#include <cstdint>
#include <span>

#include "platform/imagelib/owned_dib.h"
#include "platform/imagelib/photo_facts.h"

namespace lumivane {

using Bytes = std::span<const std::uint8_t>;

// Why a file gave no image.
enum class ReadFailure {
    None,
    NotReadable,    // not found, not a regular file, or not readable
    UnknownFormat,  // no reader recognises the content
    Damaged,        // damaged or truncated
    TooLarge,       // beyond the size limits
    OutOfMemory,
};

// What happened to an embedded colour profile.
enum class ProfileUse {
    NotNeeded,  // none, an sRGB one, or conversion switched off
    Converted,  // the pixels were converted to sRGB
    Unusable,   // broken or unsupported: the pixels are used as stored
};

struct ReadOptions {
    bool applyOrientation = true;  // turn the picture upright by its EXIF orientation
    bool applyProfile = true;      // convert from an embedded ICC profile to sRGB
    // Keep the photo's EXIF, XMP and IPTC in the facts (a motif's go into the saved result).
    bool readMetadata = false;
    // Keep the coverage of a picture with transparency beside the flattened image (frames with
    // a transparent window). The image itself is flattened onto white either way.
    bool keepAlpha = false;
};

struct ReadResult {
    OwnedDib image;  // empty when failure != None
    ReadFailure failure = ReadFailure::None;
    PhotoFacts facts;
    ProfileUse profile = ProfileUse::NotNeeded;
    // With keepAlpha, and only when some pixel is not fully opaque: the coverage as an 8-bit
    // grey image of the picture's size, 0 transparent to 255 opaque, turned upright with it.
    OwnedDib alpha;
};

// The image held in `file`, decoded by the first reader that recognises it, turned upright and
// converted to sRGB as the options say.
ReadResult ReadImage(Bytes file, const ReadOptions& options = {});

// As ReadImage, for the file at `filename`.
ReadResult ReadImageFile(const char* filename, const ReadOptions& options = {});

}  // namespace lumivane
