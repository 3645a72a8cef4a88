// Writing the composed picture: the window's save command and the batch renderer both go
// through here, so both write the same bytes and fail the same safe way.
#pragma once

#include <string>

#include "platform/gdi/surface.h"
#include "platform/imagelib/save_image.h"

namespace lumivane {

// Writes the full-size picture (blue, green, red; the fourth byte is not written) in the format
// the path's extension names. An existing file is replaced only by a complete new one. The
// options choose the quality of lossy formats and the photo metadata the file carries.
SaveResult SavePicture(const Surface& picture, const std::string& path,
                       const SaveOptions& options = {});

// "jpg, jif, jpeg, png, ..." for help texts and messages.
std::string WritableExtensionList();

}  // namespace lumivane
