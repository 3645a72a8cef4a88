// The table of file readers behind OpenDib. Each reader recognises its format from the first
// bytes of the file and decodes the whole file, held in memory, into an image record at the
// image's natural depth.
#pragma once

#include <span>

#include "platform/imagelib/dib.h"
#include "platform/imagelib/read_image.h"

namespace lumivane {

struct Decoder {
    const char* name;      // shown in the open dialog's filter, e.g. "Windows-Bitmap"
    const char* patterns;  // file name patterns for the filter, e.g. "*.bmp *.dib *.rle"
    // True when the content looks like this format (decides which reader gets the file).
    bool (*matches)(Bytes file);
    // The image as stored (not yet turned upright or converted, except where the stored numbers
    // cannot be kept, as with CMYK) and the file's photo facts; or no image and the reason.
    // Never reads outside `file`, never allocates more than the declared image needs.
    ReadResult (*decode)(Bytes file, const ReadOptions& options);
};

// Every reader, in the order they are tried.
std::span<const Decoder> Decoders();

// The image held in `file` as ReadImage gives it, handed to the caller to own; poi == nullptr
// when no reader takes it or the reader refuses it.
dib DecodeImage(Bytes file);

}  // namespace lumivane
