// The encoders behind the writer table (one file each).
#pragma once

#include "platform/imagelib/codecs/encoder.h"
#include "platform/imagelib/codecs/output_file.h"

namespace lumivane {

EncodeResult WriteBmp(const Bgrx32View& picture, OutputFile& out);     // 24-bit
EncodeResult WriteRleBmp(const Bgrx32View& picture, OutputFile& out);  // RLE8, else 24-bit
EncodeResult WriteJpeg(const Bgrx32View& picture, OutputFile& out);    // quality 92, 4:4:4
EncodeResult WriteJpegAtQuality(const Bgrx32View& picture, OutputFile& out, int quality);
EncodeResult WritePng(const Bgrx32View& picture, OutputFile& out);
EncodeResult WriteTiff(const Bgrx32View& picture, OutputFile& out);
EncodeResult WriteWebp(const Bgrx32View& picture, OutputFile& out);  // lossy, quality 92
EncodeResult WriteWebpAtQuality(const Bgrx32View& picture, OutputFile& out, int quality);
EncodeResult WriteGif(const Bgrx32View& picture, OutputFile& out);   // 256 colours
EncodeResult WriteTga(const Bgrx32View& picture, OutputFile& out);   // 24-bit RLE
EncodeResult WritePcx(const Bgrx32View& picture, OutputFile& out);   // 24-bit, 3 planes
EncodeResult WriteIlbm(const Bgrx32View& picture, OutputFile& out);  // 24-bit deep ILBM
EncodeResult WriteJp2(const Bgrx32View& picture, OutputFile& out);   // lossless

}  // namespace lumivane
