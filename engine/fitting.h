// Automatic fitting: the background scale and margins that frame the motif, and the preview
// zoom and feather width preset when a motif is loaded. Pure arithmetic; the caller writes the
// results into its fields (which clamp and round them) in the order given.
#pragma once

#include <optional>

namespace lumivane {

// The three field writes of a background fit, to be made in this order:
// ZoomEd, then AdditionalYED, then AdditionalEd. Values are unrounded; the fields round them.
struct BackgroundFit {
    long double zoomEd;
    long double additionalYED;
    long double additionalEd;
    bool heightDecides;
};

// motifZoom: Zoom2Ed (percent); frame: RahmenEd (percent); motif and background sizes in pixels.
BackgroundFit FitBackground(long double motifZoom, long double frame, int motifWidth,
                            int motifHeight, int backgroundWidth, int backgroundHeight);

// The preview zoom for a newly loaded motif, so that a frame of `frame` percent around it fits a
// preview area of clientWidth x clientHeight. Empty when the frame is 0 percent (no sensible
// zoom exists; the field keeps its value).
std::optional<long double> PresetPreviewZoom(int clientWidth, int clientHeight, int motifWidth,
                                             int motifHeight, long double frame);

// The feather width preset for a newly loaded motif: a fiftieth of its width.
int PresetFeatherWidth(int motifWidth);

}  // namespace lumivane
