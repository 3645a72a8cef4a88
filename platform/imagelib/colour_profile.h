// Converting pictures from their embedded ICC profile to sRGB with LittleCMS.
//
// Photos are converted with the perceptual intent and black-point compensation: a wide-gamut
// picture (ProPhoto, Adobe RGB, Display P3) is compressed into sRGB smoothly where the profile
// has perceptual tables, instead of clipping saturated colours to the gamut edge, and the
// source's black stays black. For matrix profiles LittleCMS falls back to the colorimetric
// transform, so ordinary colours keep their measured values.
#pragma once

#include <cstdint>
#include <span>

#include "platform/imagelib/dib.h"
#include "platform/imagelib/read_image.h"

namespace lumivane {

// Converts the image's pixels (24 bits), colour table (palette images) or grey levels (grey
// ramp images with a grey profile) in place from `profile` to sRGB. A profile equivalent to
// sRGB changes nothing (NotNeeded); a broken one, or one that does not fit the image (CMYK,
// Lab, a grey profile on a colour picture), leaves the image as it is (Unusable).
ProfileUse ConvertToSrgb(const dib& image, Bytes profile);

// Turns CMYK rows into sRGB through a CMYK profile.
class CmykToSrgb {
  public:
    // `inverted`: the file stores 0 for full ink (as Adobe writes CMYK JPEGs).
    CmykToSrgb(Bytes profile, bool inverted);
    ~CmykToSrgb();
    CmykToSrgb(const CmykToSrgb&) = delete;
    CmykToSrgb& operator=(const CmykToSrgb&) = delete;

    // False when the profile is broken or not a CMYK profile.
    bool usable() const { return transform_ != nullptr; }
    // `width` pixels of C, M, Y, K bytes to blue, green, red bytes.
    void Convert(const std::uint8_t* cmyk, std::uint8_t* bgr, int width) const;

  private:
    void* context_ = nullptr;
    void* transform_ = nullptr;
};

}  // namespace lumivane
