// A camera's maker note travels with the photo's EXIF. Exiv2 rebuilds a maker note from its
// decoded tags when it writes EXIF anew, which breaks some of them (an Olympus note comes back
// under another maker's header, binary sub-directories of other lengths are read as another
// model's); and several maker notes carry a preview of the unframed photo.
#pragma once

#include <exiv2/exif.hpp>

namespace lumivane {

// Prepares decoded EXIF for writing: a maker note whose offsets count from its own start is
// kept byte for byte (as Exif.Photo.MakerNote, its decoded tags taken out so Exiv2 cannot
// rebuild it), with the preview images inside it blanked; any other maker note is rebuilt by
// Exiv2 without its preview tags.
void PrepareMakerNote(Exiv2::ExifData& exif);

}  // namespace lumivane
