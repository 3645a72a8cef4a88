// The framed picture, composed at full size from the parameters: fill, the scaled background
// centred, the turned and feathered motif centred over it.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/overlay.h"
#include "platform/gdi/surface.h"
#include "platform/imagelib/dib.h"

namespace lumivane {

// The values the render reads from the window's controls (whole numbers, read as typed).
struct CompositionParams {
    long double zoomEd = 100;        // background scale, percent
    long double zoom2Ed = 100;       // motif scale, percent
    long double rotEd = 5;           // motif rotation, degrees
    long double additionalEd = 0;    // extra pixels left and right
    long double additionalYED = 0;   // extra pixels top and bottom
    long double zoomOutEd = 100;     // preview zoom, percent
    bool backgroundCheck = true;     // draw the background and let its size count
    COLORREF fillColor = 0xFFFFFF;   // colour of everything the background does not cover
    bool smooth = false;             // high quality: interpolated turning and scaling
    // Only a print format sets these: the motif's shift from the centre, and the window inside
    // the paper's borders at which the motif is cut.
    int motifShiftX = 0, motifShiftY = 0;
    struct Window {
        int x, y, width, height;
    };
    std::optional<Window> motifWindow;

    // Frame over the motif: the result has the background's size, the margins shift the motif
    // in the window, and the feather (0: none) softens the motif's cut at the window's box.
    // With a print format the frame is stretched to the paper's pixels instead.
    bool overlay = false;
    int paperWidth = 0, paperHeight = 0;
    long double overlayFeather = 0;
    bool roundMask = false;
    long double maskRadius = 0;
};

// Sizes of one render, in pixels.
struct CompositionLayout {
    std::int64_t bgW = 0, bgH = 0;    // scaled background (0 when it is not drawn)
    std::int64_t mW = 0, mH = 0;      // scaled motif, unturned
    std::int64_t outW = 0, outH = 0;  // the result
    std::int64_t pvW = 0, pvH = 0;    // the preview

    // A result that can be composed: positive, and small enough to allocate.
    bool Renderable() const;
};

CompositionLayout ComputeLayout(const CompositionParams& params, int backgroundWidth,
                                int backgroundHeight, int motifWidth, int motifHeight);

// Composes the picture into `bit` at layout.outW x layout.outH. Returns false, leaving `bit`
// as it was, when the layout is not renderable or the bitmap cannot be allocated. With
// params.overlay and a frame (and the background shown), the motif goes under the frame.
bool ComposePicture(const CompositionParams& params, const CompositionLayout& layout,
                    const dib& bkgnd, const dib& di, const dib& mask, Surface& bit,
                    const OverlayFrame* frame = nullptr);

}  // namespace lumivane
