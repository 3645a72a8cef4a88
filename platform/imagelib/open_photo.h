// Opening a photo: the picture as OpenDib gives it, and the metadata that identifies it.
#pragma once

#include "platform/imagelib/dib.h"
#include "platform/imagelib/photo_metadata.h"

namespace lumivane {

// As OpenDib; when the picture could be read and `metadata` is given, it receives the file's
// EXIF, XMP and IPTC (empty where the file has none or they are damaged).
dib OpenPhoto(const char* filename, PhotoMetadata* metadata);

}  // namespace lumivane
