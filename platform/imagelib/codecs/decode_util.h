// Small tools every reader shares: bounds-checked reading of the file bytes, the size limits,
// and making the image record at its natural depth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/imagelib.h"

namespace lumivane {

// Reads little- and big-endian values from the file. A read past the end sets failed() and
// yields 0, so a reader can parse a whole header and test once.
class ByteReader {
  public:
    explicit ByteReader(Bytes file, std::size_t offset = 0) : file_(file), pos_(offset) {
        if (pos_ > file_.size()) failed_ = true;
    }

    bool failed() const { return failed_; }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return failed_ ? 0 : file_.size() - pos_; }
    Bytes rest() const { return failed_ ? Bytes{} : file_.subspan(pos_); }

    void seek(std::size_t offset) {
        if (offset > file_.size())
            failed_ = true;
        else
            pos_ = offset;
    }
    void skip(std::size_t n) {
        if (n > remaining())
            failed_ = true;
        else
            pos_ += n;
    }
    // The next n bytes, or an empty span (and failed()) when fewer are left.
    Bytes take(std::size_t n) {
        if (n > remaining()) {
            failed_ = true;
            return {};
        }
        Bytes b = file_.subspan(pos_, n);
        pos_ += n;
        return b;
    }

    std::uint8_t u8() { return static_cast<std::uint8_t>(read(1, false)); }
    std::uint16_t u16le() { return static_cast<std::uint16_t>(read(2, false)); }
    std::uint32_t u32le() { return static_cast<std::uint32_t>(read(4, false)); }
    std::int32_t s32le() { return static_cast<std::int32_t>(read(4, false)); }
    std::uint16_t u16be() { return static_cast<std::uint16_t>(read(2, true)); }
    std::uint32_t u32be() { return static_cast<std::uint32_t>(read(4, true)); }

  private:
    std::uint64_t read(std::size_t n, bool bigEndian) {
        if (n > remaining()) {
            failed_ = true;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t b = file_[pos_ + i];
            v |= bigEndian ? b << (8 * (n - 1 - i)) : b << (8 * i);
        }
        pos_ += n;
        return v;
    }

    Bytes file_;
    std::size_t pos_;
    bool failed_ = false;
};

// A reader's answer without an image.
inline ReadResult Refused(ReadFailure why) {
    ReadResult result;
    result.failure = why;
    return result;
}

// A reader's answer from a decoded record: the image, or `why` when there is none.
inline ReadResult Decoded(dib image, ReadFailure why = ReadFailure::Damaged) {
    ReadResult result;
    result.image.reset(image);
    if (!image.poi) result.failure = why;
    return result;
}

// A freshly made record, or std::bad_alloc when there was no memory for it: readers call this
// only once the size is known to be allowed, so a failure here means memory ran out.
inline dib Allocated(dib image) {
    if (!image.poi) throw std::bad_alloc();
    return image;
}

// True when a width x height image is within the limits every reader enforces.
inline bool ImageSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

// Pictures up to this size are accepted from a file of any size: decoding them costs little,
// and some formats code a plain area in next to nothing.
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr std::int64_t kPixelsAnyFileMayDeclare = std::int64_t(16) << 20;
#else
// Fuzzing wants thousands of runs a second, not a plain 16-megapixel picture now and then.
constexpr std::int64_t kPixelsAnyFileMayDeclare = std::int64_t(1) << 20;
#endif

// True when a file of `fileSize` bytes can hold a width x height picture in a format that codes
// at most `pixelsPerByte` pixels in one byte. Keeps a tiny file that declares a huge picture
// (a decompression bomb) from making the reader allocate and decode it.
inline bool FileCanHold(std::int64_t width, std::int64_t height, std::size_t fileSize,
                        std::int64_t pixelsPerByte) {
    const std::int64_t pixels = width * height;
    return pixels <= kPixelsAnyFileMayDeclare ||
           (pixels + pixelsPerByte - 1) / pixelsPerByte <= std::int64_t(fileSize);
}

// One colour of a palette, as readers collect them.
struct PaletteColor {
    std::uint8_t red, green, blue;
};

// A new image of 1, 4 or 8 bits per pixel whose colour table (and logical palette) holds the
// given colours; entries beyond `count` are black. poi == nullptr on failure.
inline dib NewPaletteDib(int width, int height, int bits, const PaletteColor* colors, int count) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[256];
    } source{};
    const int n = count < 0 ? 0 : (count > 256 ? 256 : count);
    for (int i = 0; i < n; ++i)
        source.table[i] = RGBQUAD{colors[i].blue, colors[i].green, colors[i].red, 0};
    return newdib(width, height, bits, reinterpret_cast<const BITMAPINFO*>(&source), 1 << bits);
}

// A new 8-bit image with the grey ramp 0..255 as palette.
inline dib NewGreyDib(int width, int height) {
    PaletteColor grey[256];
    for (int i = 0; i < 256; ++i) grey[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
    return NewPaletteDib(width, height, 8, grey, 256);
}

// Start of the stored row that shows picture row y (rows are stored bottom-up).
inline std::uint8_t* PictureRowPtr(const dib& image, int y) {
    return static_cast<std::uint8_t*>(image.poi) +
           std::ptrdiff_t(image.pmi->bmiHeader.biHeight - 1 - y) * image.bytew;
}

}  // namespace lumivane
