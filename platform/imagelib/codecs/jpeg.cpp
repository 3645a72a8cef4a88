// JPEG / JFIF / JIF through libjpeg(-turbo): colour and CMYK become 24 bits, greyscale an 8-bit
// grey palette image.
#include <csetjmp>
#include <cstdio>
#include <optional>
#include <vector>

#include <jpeglib.h>

#include <jerror.h>  // after jpeglib.h, which it builds on

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/embedded_facts.h"
#include "platform/imagelib/colour_profile.h"
#include "platform/imagelib/library_messages.h"

namespace lumivane {
namespace {

// A progressive file with thousands of tiny scans takes minutes to decode; real encoders write
// a few dozen at most.
constexpr int kMaxScans = 1000;

// libjpeg's default error handler calls exit(); ours jumps back to the decoder instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool truncated;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    // Level -1 is a warning about corrupt data. Most are harmless, but running out of data
    // means the lower part of the picture would be made up: such a file counts as unreadable.
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && err->base.msg_code == JWRN_JPEG_EOF) err->truncated = true;
    if (level <= 0 && LibraryMessagesWanted()) {
        char text[JMSG_LENGTH_MAX];
        err->base.format_message(cinfo, text);
        LibraryMessage("libjpeg", text);
    }
}

void OnProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) ERREXIT(cinfo, JERR_NOT_COMPILED);
}

// Huffman coding spends at least one bit on every 8x8 block of every component, so a file too
// small for that cannot hold the picture it declares. Arithmetic coding can code a plain area in
// less; such files get the bound every reader applies.
constexpr std::int64_t kArithmeticPixelsPerByte = 1024;

bool DataCanFill(const jpeg_decompress_struct& cinfo, std::size_t fileSize) {
    if (cinfo.arith_code)
        return FileCanHold(cinfo.image_width, cinfo.image_height, fileSize,
                           kArithmeticPixelsPerByte);
    std::uint64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c)
        blocks +=
            std::uint64_t(cinfo.comp_info[c].width_in_blocks) * cinfo.comp_info[c].height_in_blocks;
    return blocks <= std::uint64_t(fileSize) * 8;
}

bool MatchesJpeg(Bytes file) {
    return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

// Adobe writes CMYK inverted (0 = full ink); other writers store ink amounts directly.
void CmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        bgr[0] = std::uint8_t((y * k + 127) / 255);
        bgr[1] = std::uint8_t((m * k + 127) / 255);
        bgr[2] = std::uint8_t((c * k + 127) / 255);
    }
}

// What the decoder touches after setjmp lives in the caller's frame, so a longjmp leaves it
// in a defined state.
struct JpegJob {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    dib image{};
    std::vector<JSAMPLE> cmykRow;
    PhotoFacts facts;
    ProfileUse profile = ProfileUse::NotNeeded;
    std::optional<CmykToSrgb> press;  // a CMYK picture's profile, when it has a usable one
    ReadFailure failure = ReadFailure::Damaged;  // why, when Decode gives up
};

bool Decode(Bytes file, const ReadOptions& options, JpegJob& job) {
    jpeg_decompress_struct& cinfo = job.cinfo;
    cinfo.err = jpeg_std_error(&job.err.base);
    job.err.base.error_exit = OnError;
    job.err.base.emit_message = OnMessage;
    if (setjmp(job.err.jump)) return false;

    jpeg_create_decompress(&cinfo);
    job.progress.progress_monitor = OnProgress;
    cinfo.progress = &job.progress;
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (!ImageSizeAllowed(cinfo.image_width, cinfo.image_height) ||
        !DataCanFill(cinfo, file.size())) {
        job.failure = ReadFailure::TooLarge;
        return false;
    }

    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : (cmyk ? JCS_CMYK : JCS_EXT_BGR);
    jpeg_start_decompress(&cinfo);

    const int width = int(cinfo.output_width), height = int(cinfo.output_height);
    // CMYK numbers mean nothing on screen without the profile of the press they were made for;
    // with one, it decides the colours instead of the plain inversion.
    std::optional<CmykToSrgb>& press = job.press;
    if (cmyk) {
        job.cmykRow.resize(std::size_t(width) * 4);
        if (options.applyProfile && !job.facts.iccProfile.empty()) {
            press.emplace(Bytes(job.facts.iccProfile), bool(cinfo.saw_Adobe_marker));
            job.profile = press->usable() ? ProfileUse::Converted : ProfileUse::Unusable;
            if (!press->usable()) press.reset();
        }
    }
    job.image = grey ? NewGreyDib(width, height) : newdib(width, height, 24, nullptr, 0);
    if (!job.image.poi) {
        job.failure = ReadFailure::OutOfMemory;
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* row = PictureRowPtr(job.image, int(cinfo.output_scanline));
        JSAMPROW target = cmyk ? job.cmykRow.data() : row;
        jpeg_read_scanlines(&cinfo, &target, 1);
        if (press)
            press->Convert(job.cmykRow.data(), row, width);
        else if (cmyk)
            CmykRowToBgr(job.cmykRow.data(), row, cinfo.output_width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

ReadResult DecodeJpeg(Bytes file, const ReadOptions& options) {
    JpegJob job;
    job.facts = JpegFacts(file);
    const bool ok = Decode(file, options, job);
    jpeg_destroy_decompress(&job.cinfo);
    OwnedDib image(job.image);
    if (!ok || job.err.truncated) return Refused(job.failure);
    ReadResult result = Decoded(image.release());
    result.facts = std::move(job.facts);
    result.profile = job.profile;
    return result;
}

}  // namespace

extern const Decoder kJpegDecoder{"JPEG-Bild", "*.jpg *.jpeg *.jpe *.jif *.jfif", MatchesJpeg,
                                  DecodeJpeg};

}  // namespace lumivane
