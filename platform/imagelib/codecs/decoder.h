// The table of file readers behind OpenDib. Each reader recognises its format from the first
// bytes of the file and decodes the whole file, held in memory, into an image record at the
// image's natural depth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/imagelib/dib.h"

namespace lumivane {

using Bytes = std::span<const std::uint8_t>;

struct Decoder {
    const char* name;      // shown in the open dialog's filter, e.g. "Windows-Bitmap"
    const char* patterns;  // file name patterns for the filter, e.g. "*.bmp *.dib *.rle"
    // True when the content looks like this format (decides which reader gets the file).
    bool (*matches)(Bytes file);
    // The image, or a record with poi == nullptr when the file is not a sound image of this
    // format. Never reads outside `file`, never allocates more than the declared image needs.
    dib (*decode)(Bytes file);
};

// Every reader, in the order they are tried.
std::span<const Decoder> Decoders();

// The image held in `file`, decoded by the first reader that recognises it (what OpenDib does
// once the file is in memory); poi == nullptr when no reader takes it or the reader refuses it.
dib DecodeImage(Bytes file);

}  // namespace lumivane
