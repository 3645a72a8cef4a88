// The reader table. Order matters only where signatures could overlap: readers with a long
// fixed signature come first, PCX (one marker byte) after them, TGA (recognised by a plausible
// header alone) last.
#include <array>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/codecs/heif.h"
#include "platform/imagelib/codecs/own_formats.h"

namespace lumivane {

extern const Decoder kBmpDecoder;
extern const Decoder kJpegDecoder;
extern const Decoder kPngDecoder;
extern const Decoder kGifDecoder;
extern const Decoder kTiffDecoder;
extern const Decoder kWebpDecoder;

std::span<const Decoder> Decoders() {
    static const std::array table{
        kBmpDecoder,  kJpegDecoder, kPngDecoder, kGifDecoder, kTiffDecoder, kWebpDecoder,
        kHeifDecoder, kJp2Decoder,  kIffDecoder, kPcxDecoder, kTgaDecoder,
    };
    return table;
}

}  // namespace lumivane
