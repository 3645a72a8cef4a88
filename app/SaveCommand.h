// The save command: the full-size composed picture written to a file the user chooses.
#pragma once

#include <QString>

#include "platform/gdi/surface.h"
#include "platform/imagelib/photo_metadata.h"

class QWidget;

namespace lumivane {

class Interaction;

// A name without an extension gets the first one that the selected filter lists
// ("PNG-Bild (*.png)" gives ".png"); any other name is kept.
QString WithFilterExtension(const QString& path, const QString& filter);

// Asks for a file name (filter: the writable formats) and writes `bit` there safely. A failure
// is shown as a message; an existing file is left as it was. True when a file was written.
// The motif's metadata, if given, goes into formats that have a place for it, and so does a
// print resolution `dpi` above 0.
bool RunSaveCommand(Interaction& interaction, QWidget* owner, const Surface& bit,
                    const PhotoMetadata* metadata = nullptr, int dpi = 0);

}  // namespace lumivane
