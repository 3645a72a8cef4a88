#include "loading/save_picture.h"

#include "platform/imagelib/codecs/encoder.h"

namespace lumivane {

SaveResult SavePicture(const Surface& picture, const std::string& path,
                       const SaveOptions& options) {
    const Bgrx32View view{picture.Width(), picture.Height(), picture.Stride(), picture.Bits()};
    return SaveImage(path, view, options);
}

std::string WritableExtensionList() {
    std::string list;
    for (const std::string& ext : WritableExtensions()) {
        if (!list.empty()) list += ", ";
        list += ext;
    }
    return list;
}

}  // namespace lumivane
