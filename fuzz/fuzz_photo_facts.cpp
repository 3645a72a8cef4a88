// libFuzzer entry for what a photo file says besides its pixels: the EXIF and ICC parsers of
// every container, the colour conversion of whatever profile they find (or of the input itself
// taken as a profile), and the orientation that the input's first byte names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/imagelib/codecs/decode_util.h"
#include "platform/imagelib/codecs/embedded_facts.h"
#include "platform/imagelib/colour_profile.h"
#include "platform/imagelib/imagelib.h"
#include "platform/imagelib/orientation.h"

namespace {

using lumivane::Bytes;

void CheckFacts(const PhotoFacts& facts) {
    if (facts.orientation < 1 || facts.orientation > 8) std::abort();
    if (facts.iccProfile.size() > lumivane::kMaxProfileBytes) std::abort();
}

// Small pictures of each kind a profile may meet, converted and freed.
void ConvertSamples(Bytes profile) {
    for (const dib& image : {newdib(5, 3, 24, nullptr, 0), lumivane::NewGreyDib(6, 2),
                             newdib(9, 2, 1, nullptr, 0), newdib(3, 3, 16, nullptr, 0)}) {
        if (!image.poi) continue;
        for (int i = 0; i < image.pmi->bmiHeader.biHeight * image.bytew; ++i)
            static_cast<std::uint8_t*>(image.poi)[i] = std::uint8_t(i * 37);
        (void)lumivane::ConvertToSrgb(image, profile);
        deldib(image);
    }
    const lumivane::CmykToSrgb press(profile, profile.size() & 1);
    if (press.usable()) {
        const std::uint8_t cmyk[8] = {0, 64, 128, 255, 255, 0, 30, 200};
        std::uint8_t bgr[6];
        press.Convert(cmyk, bgr, 2);
    }
}

void CheckOrientation(int orientation) {
    const dib image = newdib(7, 3, 4, nullptr, 0);
    if (!image.poi) return;
    const dib upright = lumivane::OrientedDib(image, orientation);
    if (upright.poi) {
        const bool sideways = orientation >= 5;
        if (upright.pmi->bmiHeader.biWidth != (sideways ? 3 : 7)) std::abort();
        deldib(upright);
    }
    deldib(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes input(data, size);
    (void)lumivane::ExifOrientation(input);
    std::vector<std::uint8_t> found;
    for (auto facts :
         {lumivane::JpegFacts, lumivane::PngFacts, lumivane::WebpFacts, lumivane::TiffFacts}) {
        PhotoFacts f = facts(input);
        CheckFacts(f);
        if (found.empty()) found = std::move(f.iccProfile);
    }
    ConvertSamples(found.empty() ? input : Bytes(found.data(), found.size()));
    if (size > 0) CheckOrientation(data[0] % 8 + 1);
    return 0;
}
