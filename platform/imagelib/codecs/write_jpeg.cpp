// JPEG through libjpeg-turbo: quality 92 unless asked otherwise, no chroma subsampling. The
// compressor reads the picture's blue-green-red-x rows directly, so no copy is made. Standard
// Huffman tables: optimised ones would make libjpeg keep every coefficient of the picture (1.5
// times its size in memory) and take almost three times as long, for files some 15 % smaller.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr int kMaxSide = JPEG_MAX_DIMENSION;
constexpr std::size_t kChunk = 64 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void Silent(j_common_ptr) {}

// Hands the compressed bytes to the OutputFile in chunks.
struct Destination {
    jpeg_destination_mgr pub;
    OutputFile* out;
    std::vector<JOCTET> buffer;
};

void InitDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->pub.next_output_byte = d->buffer.data();
    d->pub.free_in_buffer = d->buffer.size();
}

boolean EmptyBuffer(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->out->Write(d->buffer.data(), d->buffer.size());
    InitDestination(info);
    return TRUE;
}

void TermDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->out->Write(d->buffer.data(), d->buffer.size() - d->pub.free_in_buffer);
}

// Kept free of objects with destructors: the error path leaves through longjmp.
bool Compress(const Bgrx32View& picture, Destination& dest, ErrorManager& errors, int quality) {
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = OnError;
    errors.pub.output_message = Silent;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.dest = &dest.pub;
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (picture.dpi > 0) {  // the JFIF header's density, in dots per inch
        info.density_unit = 1;
        info.X_density = UINT16(picture.dpi);
        info.Y_density = UINT16(picture.dpi);
    }
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height && !dest.out->Failed()) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.Row(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    if (dest.out->Failed()) {  // no point compressing the rest
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

EncodeResult WriteJpeg(const Bgrx32View& picture, OutputFile& out) {
    return WriteJpegAtQuality(picture, out, kDefaultQuality);
}

EncodeResult WriteJpegAtQuality(const Bgrx32View& picture, OutputFile& out, int quality) {
    if (picture.width > kMaxSide || picture.height > kMaxSide) return EncodeResult::kTooLarge;
    Destination dest{};
    dest.out = &out;
    dest.buffer.resize(kChunk);
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyBuffer;
    dest.pub.term_destination = TermDestination;
    ErrorManager errors;
    return Compress(picture, dest, errors, quality) ? EncodeResult::kOk : EncodeResult::kFailed;
}

}  // namespace lumivane
