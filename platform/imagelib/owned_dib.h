// A move-only owner of an image record: frees the pixels it holds when it goes, so no early
// return can leak them. Copies of the record handed out by get() share the pixels, as usual.
#pragma once

#include <utility>

#include "platform/imagelib/imagelib.h"

class OwnedDib {
  public:
    OwnedDib() = default;
    explicit OwnedDib(dib image) : image_(image) {}
    ~OwnedDib() { reset(); }
    OwnedDib(OwnedDib&& other) noexcept : image_(std::exchange(other.image_, dib{})) {}
    OwnedDib& operator=(OwnedDib&& other) noexcept {
        if (this != &other) {
            reset();
            image_ = std::exchange(other.image_, dib{});
        }
        return *this;
    }
    OwnedDib(const OwnedDib&) = delete;
    OwnedDib& operator=(const OwnedDib&) = delete;

    explicit operator bool() const { return image_.poi != nullptr; }
    const dib& get() const { return image_; }
    // Hands the record to the caller, who owns it from now on.
    dib release() { return std::exchange(image_, dib{}); }
    // Frees the held image and takes `image` (which may be empty) instead.
    void reset(dib image = dib{}) {
        if (image_.poi || image_.pmi) deldib(image_);
        image_ = image;
    }

  private:
    dib image_{};
};
