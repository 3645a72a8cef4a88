// The reader table. Order matters only where signatures could overlap: readers with a fixed
// signature come first, TGA (recognised by a plausible header alone) last.
#include <array>

#include "platform/imagelib/codecs/decoder.h"

namespace lumivane {

extern const Decoder kBmpDecoder;
extern const Decoder kJpegDecoder;
extern const Decoder kPngDecoder;
extern const Decoder kGifDecoder;
extern const Decoder kTiffDecoder;
extern const Decoder kWebpDecoder;
extern const Decoder kQtTgaDecoder;

std::span<const Decoder> Decoders() {
    static const std::array table{
        kBmpDecoder,  kJpegDecoder, kPngDecoder,   kGifDecoder,
        kTiffDecoder, kWebpDecoder, kQtTgaDecoder,
    };
    return table;
}

}  // namespace lumivane
