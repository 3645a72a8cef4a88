// OpenJPEG's codec, stream and image objects, freed when they go out of scope.
#pragma once

#include <openjpeg.h>

#include <memory>

namespace lumivane {

struct OpjCodecDeleter {
    void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct OpjStreamDeleter {
    void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct OpjImageDeleter {
    void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};

using OpjCodecPtr = std::unique_ptr<opj_codec_t, OpjCodecDeleter>;
using OpjStreamPtr = std::unique_ptr<opj_stream_t, OpjStreamDeleter>;
using OpjImagePtr = std::unique_ptr<opj_image_t, OpjImageDeleter>;

}  // namespace lumivane
