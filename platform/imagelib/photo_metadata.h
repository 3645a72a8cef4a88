// What identifies a photo beyond its pixels: its EXIF, XMP and IPTC blocks. They are read with
// the picture and written into the framed result, so that the date taken, the camera, the author,
// the copyright, the place and the keywords stay with the photo.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumivane {

struct PhotoMetadata {
    std::vector<std::uint8_t> exif;  // a TIFF structure ("II*\0" or "MM\0*" first)
    std::string xmp;                 // the XMP packet
    std::vector<std::uint8_t> iptc;  // IPTC IIM data sets

    bool Empty() const { return exif.empty() && xmp.empty() && iptc.empty(); }
};

// The blocks of a JPEG, PNG, TIFF or WebP file held in memory. A damaged block is left out;
// a file without any (or of another format) gives empty metadata. Never throws.
PhotoMetadata ReadPhotoMetadata(std::span<const std::uint8_t> file);

// The blocks as a HEIF file keeps them: EXIF from its TIFF header on, and the XMP packet.
// Damaged blocks are left out. Never throws.
PhotoMetadata PhotoMetadataFromBlocks(std::span<const std::uint8_t> exif, std::string_view xmp);

// Writes the metadata into the finished picture file open as `fd` (`size` bytes, a JPEG, PNG,
// TIFF or WebP file): orientation 1, no EXIF thumbnail, the picture's own pixel dimensions, and
// tagged as sRGB (colour space 1 and an sRGB ICC profile), and a print resolution `dpi` (when
// above 0) as its X/YResolution. When the metadata cannot be put into the file, the file stays
// as it is. Returns 0, or the errno of a failed read or write (the file's content is then
// undefined). Empty metadata without a resolution leaves the file alone.
int WritePhotoMetadata(int fd, std::uint64_t size, const PhotoMetadata& metadata, int width,
                       int height, int dpi = 0);

// Sets Exiv2 up for use from several threads (once; every caller of Exiv2 calls it first).
void PrepareExiv2();

// The sRGB ICC profile the results are tagged with.
const std::vector<std::uint8_t>& SrgbProfile();

}  // namespace lumivane
