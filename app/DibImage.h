// Showing an image record in a widget.
#pragma once

#include <QImage>

#include "platform/imagelib/dib.h"

namespace lumivane {

// An RGB copy of the image, any depth (palette indices looked up); a null QImage when the
// record holds no image.
QImage DibToQImage(const dib& image);

}  // namespace lumivane
