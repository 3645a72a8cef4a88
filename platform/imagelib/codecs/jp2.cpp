// JPEG 2000 reader through OpenJPEG, for .jp2 files and raw codestreams (.j2k / .j2c).
// Greyscale (with or without alpha) becomes an 8-bit grey palette image, everything else 24 bits;
// samples of any precision up to 16 bits are scaled to 8, subsampled components are widened by
// repeating samples, alpha is laid over white.
//
// The image size, component count and tile count are checked from the codestream's own SIZ
// marker before OpenJPEG sees the file, because OpenJPEG allocates per tile and per component
// while it reads the header. Truncated codestreams are refused (strict mode), as by the other
// readers.
#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/openjpeg_handles.h"
#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/codecs/pixel_rows.h"
#include "platform/imagelib/library_messages.h"

namespace lumivane {
namespace {

constexpr std::uint8_t kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                            0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr std::uint8_t kCodestreamStart[4] = {0xFF, 0x4F, 0xFF, 0x51};  // SOC, then SIZ
constexpr std::uint32_t kCodestreamBox = 0x6A703263;                    // 'jp2c'
constexpr int kMaxComponents = 4;
// JPEG 2000 codes an empty code-block in a bit or so, so a few hundred bytes can honestly
// describe a plain picture of any size, which OpenJPEG would decode at 4 bytes per sample and
// great cost. Above the size every reader accepts from any file, a picture must come with at
// least a byte for every 1024 pixels: real photographs, even at 1000:1, have far more.
constexpr std::int64_t kMaxPixelsPerByte = 1024;
constexpr std::uint32_t kMaxPrecision = 16;
// Every tile has at least one tile-part: an SOT marker segment (12 bytes) and SOD (2 bytes).
constexpr std::size_t kMinBytesPerTile = 14;

bool StartsWith(Bytes file, const std::uint8_t* magic, std::size_t n) {
    return file.size() >= n && std::memcmp(file.data(), magic, n) == 0;
}

bool IsBoxFormat(Bytes file) {
    return StartsWith(file, kJp2Signature, sizeof kJp2Signature);
}

bool Matches(Bytes file) {
    return IsBoxFormat(file) || StartsWith(file, kCodestreamStart, sizeof kCodestreamStart);
}

// The contiguous codestream: the whole file, or the contents of the top-level 'jp2c' box.
Bytes FindCodestream(Bytes file) {
    if (!IsBoxFormat(file)) return file;
    ByteReader r(file);
    while (r.remaining() >= 8) {
        const std::uint64_t start = r.pos();
        std::uint64_t length = r.u32be();
        const std::uint32_t type = r.u32be();
        if (length == 1)
            length = (std::uint64_t(r.u32be()) << 32) | r.u32be();
        else if (length == 0)
            length = file.size() - start;  // runs to the end of the file
        const std::uint64_t header = r.pos() - start;
        if (r.failed() || length < header || length > file.size() - start) return {};
        if (type == kCodestreamBox) return file.subspan(r.pos(), length - header);
        r.seek(std::size_t(start + length));
    }
    return {};
}

enum class SizeCheck { Acceptable, TooLarge, Damaged };

// The SIZ marker's promises, checked against our limits and against what the codestream's size
// can hold. Reading them ourselves keeps OpenJPEG from allocating for an absurd header.
SizeCheck SizeHeaderAcceptable(Bytes codestream) {
    ByteReader r(codestream, 4);  // after SOC and the SIZ marker
    r.skip(4);                    // Lsiz, Rsiz
    const std::uint64_t xEnd = r.u32be(), yEnd = r.u32be(), x0 = r.u32be(), y0 = r.u32be();
    const std::uint64_t tileW = r.u32be(), tileH = r.u32be(), tileX0 = r.u32be(),
                        tileY0 = r.u32be();
    const int components = r.u16be();
    if (r.failed() || !StartsWith(codestream, kCodestreamStart, sizeof kCodestreamStart) ||
        xEnd <= x0 || yEnd <= y0)
        return SizeCheck::Damaged;
    if (!ImageSizeAllowed(std::int64_t(xEnd - x0), std::int64_t(yEnd - y0)))
        return SizeCheck::TooLarge;
    if (components < 1 || components > kMaxComponents) return SizeCheck::Damaged;
    if (!FileCanHold(std::int64_t(xEnd - x0), std::int64_t(yEnd - y0), codestream.size(),
                     kMaxPixelsPerByte))
        return SizeCheck::TooLarge;
    if (tileW == 0 || tileH == 0 || tileX0 > x0 || tileY0 > y0 || tileX0 + tileW <= x0 ||
        tileY0 + tileH <= y0)
        return SizeCheck::Damaged;
    const std::uint64_t tiles =
        (xEnd - tileX0 + tileW - 1) / tileW * ((yEnd - tileY0 + tileH - 1) / tileH);
    if (tiles > codestream.size() / kMinBytesPerTile) return SizeCheck::Damaged;
    for (int c = 0; c < components; ++c) {
        const std::uint32_t precision = (r.u8() & 0x7Fu) + 1;
        const int dx = r.u8(), dy = r.u8();
        if (precision > kMaxPrecision || dx == 0 || dy == 0) return SizeCheck::Damaged;
    }
    return r.failed() ? SizeCheck::Damaged : SizeCheck::Acceptable;
}

// OpenJPEG reads the file from memory through these callbacks.
struct MemoryStream {
    Bytes data;
    std::size_t pos = 0;
};

OPJ_SIZE_T StreamRead(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* s = static_cast<MemoryStream*>(user);
    if (s->pos >= s->data.size()) return OPJ_SIZE_T(-1);
    n = std::min<OPJ_SIZE_T>(n, s->data.size() - s->pos);
    std::memcpy(buffer, s->data.data() + s->pos, n);
    s->pos += n;
    return n;
}

OPJ_OFF_T StreamSkip(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<MemoryStream*>(user);
    if (n < 0 || std::uint64_t(n) > s->data.size() - s->pos) {
        s->pos = s->data.size();
        return -1;
    }
    s->pos += std::size_t(n);
    return n;
}

OPJ_BOOL StreamSeek(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<MemoryStream*>(user);
    if (n < 0 || std::uint64_t(n) > s->data.size()) return OPJ_FALSE;
    s->pos = std::size_t(n);
    return OPJ_TRUE;
}

void OnOpenJpegMessage(const char* text, void*) {
    LibraryMessage("OpenJPEG", text);
}

OpjImagePtr DecodeWithOpenJpeg(Bytes file) {
    OpjCodecPtr codec(opj_create_decompress(IsBoxFormat(file) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!codec) return nullptr;
    opj_set_info_handler(codec.get(), OnOpenJpegMessage, nullptr);
    opj_set_warning_handler(codec.get(), OnOpenJpegMessage, nullptr);
    opj_set_error_handler(codec.get(), OnOpenJpegMessage, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters) ||
        !opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE))
        return nullptr;

    MemoryStream memory{file};
    const OPJ_SIZE_T chunk = std::clamp<OPJ_SIZE_T>(file.size(), 4096, 1 << 20);
    OpjStreamPtr stream(opj_stream_create(chunk, OPJ_TRUE));
    if (!stream) return nullptr;
    opj_stream_set_user_data(stream.get(), &memory, nullptr);
    opj_stream_set_user_data_length(stream.get(), file.size());
    opj_stream_set_read_function(stream.get(), StreamRead);
    opj_stream_set_skip_function(stream.get(), StreamSkip);
    opj_stream_set_seek_function(stream.get(), StreamSeek);

    opj_image_t* raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw)) {
        opj_image_destroy(raw);
        return nullptr;
    }
    OpjImagePtr image(raw);
    // The JP2 header boxes may describe the image differently from the codestream.
    const std::int64_t width = std::int64_t(image->x1) - image->x0;
    const std::int64_t height = std::int64_t(image->y1) - image->y0;
    if (!ImageSizeAllowed(width, height) ||
        !FileCanHold(width, height, file.size(), kMaxPixelsPerByte) || image->numcomps < 1 ||
        image->numcomps > kMaxComponents)
        return nullptr;
    if (!opj_decode(codec.get(), stream.get(), image.get()) ||
        !opj_end_decompress(codec.get(), stream.get()))
        return nullptr;
    return image;
}

// One component, mapped onto the pixel grid and scaled to 8 bits.
class Channel {
  public:
    Channel(const opj_image_t& image, const opj_image_comp_t& comp, int width)
        : comp_(comp), imageY0_(image.y0), columns_(std::size_t(width)) {
        for (int x = 0; x < width; ++x)
            columns_[x] = Clamp((image.x0 + std::uint32_t(x)) / comp.dx, comp.x0, comp.w);
        const std::uint32_t maxValue = (1u << comp.prec) - 1;
        offset_ = comp.sgnd ? std::int32_t(1) << (comp.prec - 1) : 0;
        scale_.resize(std::size_t(maxValue) + 1);
        for (std::uint32_t v = 0; v <= maxValue; ++v)
            scale_[v] = std::uint8_t((std::uint64_t(v) * 255 + maxValue / 2) / maxValue);
    }

    // Points the channel at the samples that cover pixel row y.
    void SelectRow(int y) {
        row_ = comp_.data +
               std::size_t(Clamp((imageY0_ + std::uint32_t(y)) / comp_.dy, comp_.y0, comp_.h)) *
                   comp_.w;
    }

    std::uint8_t operator[](int x) const {
        const std::int64_t v = std::int64_t(row_[columns_[x]]) + offset_;
        return scale_[std::size_t(std::clamp<std::int64_t>(v, 0, std::int64_t(scale_.size()) - 1))];
    }

  private:
    // Sample position relative to the component's origin, kept inside its samples.
    static std::uint32_t Clamp(std::uint32_t position, std::uint32_t origin, std::uint32_t count) {
        return position < origin ? 0 : std::min(position - origin, count - 1);
    }

    const opj_image_comp_t& comp_;
    std::uint32_t imageY0_;
    std::vector<std::uint32_t> columns_;
    std::int32_t offset_ = 0;
    std::vector<std::uint8_t> scale_;
    const OPJ_INT32* row_ = nullptr;
};

bool ComponentsUsable(const opj_image_t& image) {
    for (std::uint32_t c = 0; c < image.numcomps; ++c) {
        const opj_image_comp_t& comp = image.comps[c];
        if (!comp.data || comp.w == 0 || comp.h == 0 || comp.dx == 0 || comp.dy == 0 ||
            comp.factor != 0 || comp.prec < 1 || comp.prec > kMaxPrecision)
            return false;
    }
    return true;
}

// YCbCr (sYCC) to RGB, full range, with the chroma centred on 128.
void YccToRgb(int y, int cb, int cr, std::uint8_t* bgr) {
    cb -= 128;
    cr -= 128;
    const auto clip = [](int v) { return std::uint8_t(std::clamp(v, 0, 255)); };
    bgr[2] = clip(y + ((91881 * cr + 32768) >> 16));
    bgr[1] = clip(y + ((32768 - 22554 * cb - 46802 * cr) >> 16));
    bgr[0] = clip(y + ((116130 * cb + 32768) >> 16));
}

dib ToImage(const opj_image_t& image) {
    // Files with an ICC profile report an unknown colour space; they are read by their
    // component count like unspecified ones. CMYK and e-YCC would come out in false colours.
    if (image.color_space == OPJ_CLRSPC_CMYK || image.color_space == OPJ_CLRSPC_EYCC ||
        !ComponentsUsable(image))
        return {};
    const int width = int(image.x1 - image.x0), height = int(image.y1 - image.y0);

    // Colour components first; alpha is the one marked so, else a second (grey) or fourth.
    std::vector<const opj_image_comp_t*> colour;
    const opj_image_comp_t* alphaComp = nullptr;
    for (std::uint32_t c = 0; c < image.numcomps; ++c) {
        if (image.comps[c].alpha && !alphaComp)
            alphaComp = &image.comps[c];
        else
            colour.push_back(&image.comps[c]);
    }
    const bool grey = colour.size() < 3;
    if (!alphaComp && (colour.size() == 2 || colour.size() == 4)) {
        alphaComp = colour.back();
        colour.pop_back();
    }
    colour.resize(grey ? 1 : 3);
    const bool ycc = image.color_space == OPJ_CLRSPC_SYCC;
    if (grey && ycc) return {};

    std::vector<Channel> channels;
    for (const opj_image_comp_t* comp : colour) channels.emplace_back(image, *comp, width);
    if (alphaComp) channels.emplace_back(image, *alphaComp, width);

    const dib out =
        Allocated(grey ? NewGreyDib(width, height) : newdib(width, height, 24, nullptr, 0));
    for (int y = 0; y < height; ++y) {
        for (Channel& ch : channels) ch.SelectRow(y);
        std::uint8_t* row = PictureRowPtr(out, y);
        if (grey) {
            for (int x = 0; x < width; ++x)
                row[x] = alphaComp ? OverWhite(channels[0][x], channels[1][x]) : channels[0][x];
            continue;
        }
        for (int x = 0; x < width; ++x, row += 3) {
            if (ycc) {
                YccToRgb(channels[0][x], channels[1][x], channels[2][x], row);
            } else {
                row[0] = channels[2][x];
                row[1] = channels[1][x];
                row[2] = channels[0][x];
            }
            if (alphaComp) {
                const unsigned a = channels[3][x];
                for (int k = 0; k < 3; ++k) row[k] = OverWhite(row[k], a);
            }
        }
    }
    return out;
}

ReadResult Decode(Bytes file, const ReadOptions&) {
    if (!Matches(file)) return Refused(ReadFailure::Damaged);
    switch (SizeHeaderAcceptable(FindCodestream(file))) {
        case SizeCheck::Acceptable:
            break;
        case SizeCheck::TooLarge:
            return Refused(ReadFailure::TooLarge);
        case SizeCheck::Damaged:
            return Refused(ReadFailure::Damaged);
    }
    const OpjImagePtr image = DecodeWithOpenJpeg(file);
    if (!image) return Refused(ReadFailure::Damaged);
    ReadResult result = Decoded(ToImage(*image));
    if (result.image && image->icc_profile_buf && image->icc_profile_len > 0)
        result.facts.iccProfile.assign(image->icc_profile_buf,
                                       image->icc_profile_buf + image->icc_profile_len);
    return result;
}

}  // namespace

const Decoder kJp2Decoder{"JPEG-2000-Bild", "*.jp2 *.j2k *.j2c *.jpc", Matches, Decode};

}  // namespace lumivane
