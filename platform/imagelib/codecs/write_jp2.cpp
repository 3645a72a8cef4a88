// JPEG 2000 (.jp2) through OpenJPEG: lossless (reversible 5/3 wavelet with the reversible colour
// transform). The picture goes in tile by tile, so the codec never holds a copy of all of it.
#include <algorithm>
#include <memory>
#include <vector>

#include <openjpeg.h>

#include "platform/imagelib/codecs/openjpeg_handles.h"
#include "platform/imagelib/codecs/writers.h"

namespace lumivane {

namespace {

constexpr int kTileSide = 1024;
constexpr int kMaxResolutions = 6;

void Quiet(const char*, void*) {}

OPJ_SIZE_T StreamWrite(void* buffer, OPJ_SIZE_T size, void* user) {
    auto* out = static_cast<OutputFile*>(user);
    out->Write(buffer, size);
    return out->Failed() ? OPJ_SIZE_T(-1) : size;
}

OPJ_OFF_T StreamSkip(OPJ_OFF_T size, void* user) {
    auto* out = static_cast<OutputFile*>(user);
    out->Seek(out->Position() + std::uint64_t(size));
    return out->Failed() ? -1 : size;
}

OPJ_BOOL StreamSeek(OPJ_OFF_T position, void* user) {
    auto* out = static_cast<OutputFile*>(user);
    out->Seek(std::uint64_t(position));
    return out->Failed() ? OPJ_FALSE : OPJ_TRUE;
}

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Puts the capture resolution (a 'res ' box holding 'resc') at the end of the JP2 header box,
// moving what follows it along. OpenJPEG has no setting for it. Grid points per metre are
// N / D x 10^E: dpi x 50 / 127 x 100 is dpi / 0.0254 exactly, and dpi x 50 fits 16 bits.
bool AddCaptureResolution(OutputFile& out, int dpi) {
    std::uint64_t at = 0;
    const std::uint64_t size = out.Size();
    std::uint8_t head[8];
    while (at + 8 <= size) {
        if (out.ReadAt(at, head, 8) != 8) return false;
        const std::uint32_t length = Be32(head);
        if (length < 8 || at + length > size) return false;  // no size-0 or long boxes here
        if (std::equal(head + 4, head + 8, "jp2h")) break;
        at += length;
    }
    if (at + 8 > size) return false;
    const std::uint64_t headerEnd = at + Be32(head);
    constexpr std::uint32_t kResLength = 8 + 8 + 10;
    // Move the rest of the file along, from its end backwards.
    std::vector<std::uint8_t> chunk(1 << 20);
    for (std::uint64_t end = size; end > headerEnd && !out.Failed();) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(chunk.size(), end - headerEnd));
        end -= n;
        if (out.ReadAt(end, chunk.data(), n) != n) return false;
        out.Seek(end + kResLength);
        out.Write(chunk.data(), n);
    }
    out.Seek(headerEnd);
    out.U32be(kResLength);
    out.Write("res ", 4);
    out.U32be(8 + 10);
    out.Write("resc", 4);
    const auto n = std::uint16_t(dpi * 50);
    for (int i = 0; i < 2; ++i) {  // vertical, then horizontal
        out.U16be(n);
        out.U16be(127);
    }
    out.Byte(2);
    out.Byte(2);
    out.Seek(at);
    out.U32be(Be32(head) + kResLength);
    out.Seek(out.Size());
    return !out.Failed();
}

// Enough resolution levels for a good wavelet, but no more than the tile size allows.
int Resolutions(int tileWidth, int tileHeight) {
    int levels = 1;
    while (levels < kMaxResolutions && (1 << levels) <= std::min(tileWidth, tileHeight)) ++levels;
    return levels;
}

}  // namespace

EncodeResult WriteJp2(const Bgrx32View& picture, OutputFile& out) {
    const int tileWidth = std::min(picture.width, kTileSide);
    const int tileHeight = std::min(picture.height, kTileSide);

    opj_cparameters_t params;
    opj_set_default_encoder_parameters(&params);
    params.tcp_numlayers = 1;
    params.tcp_rates[0] = 0;  // lossless
    params.cp_disto_alloc = 1;
    params.irreversible = 0;
    params.tcp_mct = 1;
    params.numresolution = Resolutions(tileWidth, tileHeight);
    params.tile_size_on = OPJ_TRUE;
    params.cp_tx0 = 0;
    params.cp_ty0 = 0;
    params.cp_tdx = tileWidth;
    params.cp_tdy = tileHeight;

    opj_image_cmptparm_t components[3] = {};
    for (opj_image_cmptparm_t& c : components) {
        c.dx = 1;
        c.dy = 1;
        c.w = OPJ_UINT32(picture.width);
        c.h = OPJ_UINT32(picture.height);
        c.prec = 8;
        c.sgnd = 0;
    }
    OpjImagePtr image(opj_image_tile_create(3, components, OPJ_CLRSPC_SRGB));
    if (!image) return EncodeResult::kFailed;
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = OPJ_UINT32(picture.width);
    image->y1 = OPJ_UINT32(picture.height);

    OpjCodecPtr codec(opj_create_compress(OPJ_CODEC_JP2));
    if (!codec) return EncodeResult::kFailed;
    opj_set_info_handler(codec.get(), Quiet, nullptr);
    opj_set_warning_handler(codec.get(), Quiet, nullptr);
    opj_set_error_handler(codec.get(), Quiet, nullptr);
    if (!opj_setup_encoder(codec.get(), &params, image.get())) return EncodeResult::kFailed;

    OpjStreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE));
    if (!stream) return EncodeResult::kFailed;
    opj_stream_set_user_data(stream.get(), &out, nullptr);
    opj_stream_set_write_function(stream.get(), StreamWrite);
    opj_stream_set_skip_function(stream.get(), StreamSkip);
    opj_stream_set_seek_function(stream.get(), StreamSeek);

    if (!opj_start_compress(codec.get(), image.get(), stream.get())) return EncodeResult::kFailed;
    const int tilesX = (picture.width + tileWidth - 1) / tileWidth;
    const int tilesY = (picture.height + tileHeight - 1) / tileHeight;
    std::vector<std::uint8_t> tile(std::size_t(tileWidth) * tileHeight * 3);
    for (int ty = 0; ty < tilesY; ++ty) {
        for (int tx = 0; tx < tilesX; ++tx) {
            const int x0 = tx * tileWidth, y0 = ty * tileHeight;
            const int w = std::min(tileWidth, picture.width - x0);
            const int h = std::min(tileHeight, picture.height - y0);
            const std::size_t plane = std::size_t(w) * h;
            std::uint8_t* red = tile.data();
            std::uint8_t* green = red + plane;
            std::uint8_t* blue = green + plane;
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* p = picture.Row(y0 + y) + 4 * x0;
                const std::size_t at = std::size_t(y) * w;
                for (int x = 0; x < w; ++x, p += 4) {
                    red[at + x] = p[2];
                    green[at + x] = p[1];
                    blue[at + x] = p[0];
                }
            }
            if (!opj_write_tile(codec.get(), OPJ_UINT32(ty * tilesX + tx), tile.data(),
                                OPJ_UINT32(plane * 3), stream.get()) ||
                out.Failed())
                return EncodeResult::kFailed;
        }
    }
    if (!opj_end_compress(codec.get(), stream.get())) return EncodeResult::kFailed;
    stream.reset();  // hands its last bytes to `out`
    if (picture.dpi > 0 && picture.dpi * 50 <= 65535 && !AddCaptureResolution(out, picture.dpi))
        return EncodeResult::kFailed;
    return EncodeResult::kOk;
}

}  // namespace lumivane
