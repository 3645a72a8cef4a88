// Readers for PCX, IFF/LBM, TGA and JPEG 2000, written for the reader table.
#pragma once

#include "platform/imagelib/codecs/decoder.h"

namespace lumivane {

extern const Decoder kPcxDecoder;  // ZSoft PCX: 1, 2, 4, 8 and 24 bits, RLE or plain
extern const Decoder kIffDecoder;  // IFF ILBM / PBM: bitplanes, EHB, HAM6/8, deep 24/32 bits
extern const Decoder kTgaDecoder;  // Truevision TGA: colour-mapped, grey, 15/16/24/32 bits
extern const Decoder kJp2Decoder;  // JPEG 2000: .jp2 boxes and raw codestreams, via OpenJPEG

}  // namespace lumivane
