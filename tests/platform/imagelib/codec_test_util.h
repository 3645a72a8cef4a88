// Helpers for the reader tests: looking at decoded images and refusing broken files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/imagelib.h"
#include "tests/support/file_builder.h"

namespace lumivane::test {

// Frees the decoded image at the end of a test.
class DecodedImage {
  public:
    explicit DecodedImage(dib image) : image_(image) {}
    ~DecodedImage() {
        if (image_.poi) deldib(image_);
    }
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;

    bool ok() const { return image_.poi != nullptr; }
    const dib& get() const { return image_; }
    int width() const { return image_.pmi->bmiHeader.biWidth; }
    int height() const { return image_.pmi->bmiHeader.biHeight; }
    int bits() const { return image_.pmi->bmiHeader.biBitCount; }
    DWORD raw(int x, int y) const { return getpixel(image_, x, y); }
    // The pixel's colour as RGB(), looked up in the palette for palette images.
    COLORREF color(int x, int y) const {
        const DWORD v = getpixel(image_, x, y);
        if (image_.ispal != 1) return v;
        const RGBQUAD q = image_.pmi->bmiColors[v];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    COLORREF paletteColor(int i) const {
        const RGBQUAD q = image_.pmi->bmiColors[i];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }

  private:
    dib image_;
};

inline dib Decode(const Decoder& decoder, const std::vector<std::uint8_t>& file) {
    return decoder.decode(Bytes(file.data(), file.size()), ReadOptions{}).image.release();
}

inline bool Matches(const Decoder& decoder, const std::vector<std::uint8_t>& file) {
    return decoder.matches(Bytes(file.data(), file.size()));
}

// Every proper prefix of the file must be refused, without reading past its end. The prefix is
// copied into a buffer of exactly its size so that a sanitizer sees any over-read.
inline void ExpectEveryTruncationRefused(const Decoder& decoder,
                                         const std::vector<std::uint8_t>& file) {
    for (std::size_t n = 0; n < file.size(); ++n) {
        const std::vector<std::uint8_t> prefix(file.begin(), file.begin() + n);
        DecodedImage image(Decode(decoder, prefix));
        EXPECT_FALSE(image.ok()) << "prefix of " << n << " of " << file.size() << " bytes";
    }
}

// Garbage of every kind must be turned away cleanly.
inline void ExpectGarbageRefused(const Decoder& decoder) {
    std::vector<std::uint8_t> noise(4096);
    std::uint32_t seed = 12345;
    for (auto& b : noise) {
        seed = seed * 1664525u + 1013904223u;
        b = std::uint8_t(seed >> 24);
    }
    for (const auto& file : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(4096, 0),
                             std::vector<std::uint8_t>(4096, 0xFF), noise}) {
        EXPECT_FALSE(Matches(decoder, file)) << "size " << file.size();
        DecodedImage image(Decode(decoder, file));
        EXPECT_FALSE(image.ok());
    }
}

}  // namespace lumivane::test
