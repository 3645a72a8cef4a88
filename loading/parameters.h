// The composition parameters as the window's fields hold them: nine whole numbers with ranges,
// two check boxes and the fill colour. The batch renderer keeps them in a plain record with the
// same storing rule as the fields, so both end up with the same values.
#pragma once

#include <array>
#include <cstddef>

#include <optional>

#include "engine/composition.h"
#include "engine/print_format.h"
#include "platform/wintypes.h"

namespace lumivane {

enum class Field {
    ZoomEd,         // background scale, percent
    Zoom2Ed,        // motif scale, percent
    RotED,          // motif rotation, degrees, counter-clockwise
    Maskwidth,      // feather width, pixels
    MaskRadiusEd,   // round mask radius adjustment, pixels
    AdditionalEd,   // extra width on each side, pixels
    AdditionalYED,  // extra height on each side, pixels
    RahmenEd,       // frame size relative to the motif, percent
    ZoomOutEd,      // preview zoom, percent
};
constexpr std::size_t kFieldCount = 9;

struct FieldSpec {
    Field field;
    const char* name;
    const char* label;  // the caption beside the field
    long double minValue;
    long double maxValue;
    long double increment;
    long double initial;
};

const FieldSpec& SpecOf(Field field);
const std::array<FieldSpec, kFieldCount>& AllFieldSpecs();

// What a field shows after being given x: limited to its range, then rounded to a whole number
// with halves to the even neighbour.
long double StoreFieldValue(const FieldSpec& info, long double x);

// A plain set of parameter values, starting as the window's fields start.
struct Parameters {
    std::array<long double, kFieldCount> values;
    bool backgroundCheck = true;
    bool roundMask = false;
    COLORREF fillColor = RGB(255, 255, 255);
    bool smooth = false;  // high quality: interpolated turning and scaling, off at every start
    // The print format ("Druckformat"), off at every start. While it is on it decides the
    // scales and margins; the fields above only show what it decided.
    std::optional<PrintFormat> print;
    // The frame laid over the motif, off at every start.
    bool overlay = false;

    Parameters();
    long double operator[](Field f) const { return values[std::size_t(f)]; }
    // Stores x by the field's rule; returns true when the stored value changed.
    bool Set(Field f, long double x);
};

// What a render reads from the settings. The window and the window-less session both go
// through here, so they hand the engine the same values. Whether the frame goes over the motif
// depends on the background too: see RenderValues.
CompositionParams CompositionValues(const Parameters& p);

// What a render composes for the installed images: the settings, or the print format's fit.
CompositionParams CompositionValues(const Parameters& p, int backgroundWidth, int backgroundHeight,
                                    int motifWidth, int motifHeight);

}  // namespace lumivane
