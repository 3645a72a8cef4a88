#include "engine/fitting.h"

#include <cstdint>

#include "engine/rounding.h"

namespace lumivane {

BackgroundFit FitBackground(long double motifZoom, long double frame, int motifWidth,
                            int motifHeight, int backgroundWidth, int backgroundHeight) {
    const long double z2 = motifZoom;
    const long double f = frame / 100.0L;
    const long double tw = z2 * f * motifWidth;
    const long double th = z2 * f * motifHeight;
    const std::int64_t zx = Round64(tw / backgroundWidth);
    const std::int64_t zy = Round64(th / backgroundHeight);

    // Background size x scale is a whole number of percent-pixels. In extended precision it is
    // exact up to 2^64, so a motif zoom typed far beyond the field's range cannot wrap it.
    BackgroundFit fit{};
    if (zy >= zx) {
        fit.heightDecides = true;
        fit.zoomEd = static_cast<long double>(zy);
        fit.additionalYED = 0;
        fit.additionalEd =
            (z2 * f / 100.0L * motifWidth -
             static_cast<long double>(backgroundWidth) * static_cast<long double>(zy) / 100.0L) / 2.0L;
    } else {
        fit.heightDecides = false;
        fit.zoomEd = static_cast<long double>(zx);
        fit.additionalYED =
            (z2 * f / 100.0L * motifHeight -
             static_cast<long double>(backgroundHeight) * static_cast<long double>(zx) / 100.0L) / 2.0L;
        fit.additionalEd = 0;
    }
    return fit;
}

std::optional<long double> PresetPreviewZoom(int clientWidth, int clientHeight, int motifWidth,
                                             int motifHeight, long double frame) {
    const long double f = frame / 100.0L;
    if (f == 0 || motifWidth <= 0 || motifHeight <= 0) return std::nullopt;
    const long double a =
        RoundHalfEven((static_cast<long double>(std::int64_t(clientWidth) * 100) / motifWidth) / f);
    const long double b = RoundHalfEven(
        (static_cast<long double>(std::int64_t(clientHeight) * 100) / motifHeight) / f);
    return b > a ? a : b;
}

int PresetFeatherWidth(int motifWidth) { return motifWidth / 50; }

}  // namespace lumivane
