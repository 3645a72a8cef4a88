// libFuzzer entry for one reader of the table (LUMIVANE_FUZZ_DECODER names it) or, without it,
// for the whole content-based dispatch that OpenDib performs on a file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/codecs/own_formats.h"
#include "platform/imagelib/imagelib.h"

#ifdef LUMIVANE_FUZZ_DECODER
namespace lumivane {
extern const Decoder LUMIVANE_FUZZ_DECODER;
}
#endif

namespace {

// A decoded image must be one the rest of the program can rely on; anything else is a finding.
void CheckImage(const dib& image) {
    const BITMAPINFOHEADER& h = image.pmi->bmiHeader;
    const std::int64_t width = h.biWidth, height = h.biHeight;
    const bool sane = width >= 1 && height >= 1 && width <= kMaxImageSide &&
                      height <= kMaxImageSide && width * height <= kMaxImagePixels &&
                      (h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 ||
                       h.biBitCount == 16 || h.biBitCount == 24 || h.biBitCount == 32);
    if (!sane) std::abort();
    // Reading the corners touches the first and last stored rows.
    volatile DWORD sink = getpixel(image, 0, 0) ^ getpixel(image, int(width - 1), int(height - 1));
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const lumivane::Bytes file(data, size);
#ifdef LUMIVANE_FUZZ_DECODER
    // The reader is called whatever matches() says: it must refuse foreign bytes on its own.
    (void)lumivane::LUMIVANE_FUZZ_DECODER.matches(file);
    const lumivane::ReadResult result = lumivane::LUMIVANE_FUZZ_DECODER.decode(file, {});
#else
    const lumivane::ReadResult result = lumivane::ReadImage(file);
#endif
    if (result.image) CheckImage(result.image.get());
    // A reader that gives no image must say why.
    if (!result.image && result.failure == lumivane::ReadFailure::None) std::abort();
    return 0;
}
