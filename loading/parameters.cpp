#include "loading/parameters.h"

#include "engine/rounding.h"

namespace lumivane {

namespace {

const std::array<FieldSpec, kFieldCount> kSpecs = {{
    {Field::ZoomEd, "ZoomEd", "Hintergrund in %:", 1, 1000, 10, 100},
    {Field::Zoom2Ed, "Zoom2Ed", "Motiv in %:", 1, 1000, 10, 100},
    {Field::RotED, "RotED", "Rotieren in °:", -1000, 1000, 1, 5},
    {Field::Maskwidth, "Maskwidth", "Maskenbreite:", 0, 1000, 5, 20},
    {Field::MaskRadiusEd, "MaskRadiusEd", "Maskenradius:", -1000, 1000, 5, 0},
    {Field::AdditionalEd, "AdditionalEd", "Breite:", -1000, 1000, 5, 0},
    {Field::AdditionalYED, "AdditionalYED", "Höhe:", -1000, 1000, 5, 0},
    {Field::RahmenEd, "RahmenEd", "Rahmen in %", -1000, 1000, 5, 130},
    {Field::ZoomOutEd, "ZoomOutEd", "Zoom in %:", 1, 100, 5, 100},
}};

}  // namespace

const FieldSpec& SpecOf(Field field) { return kSpecs[std::size_t(field)]; }

const std::array<FieldSpec, kFieldCount>& AllFieldSpecs() { return kSpecs; }

long double StoreFieldValue(const FieldSpec& info, long double x) {
    if (x < info.minValue) x = info.minValue;
    if (x > info.maxValue) x = info.maxValue;
    const long double r = RoundHalfEven(x);
    return r == 0 ? 0.0L : r;  // a field never shows "-0"
}

Parameters::Parameters() {
    for (const FieldSpec& s : kSpecs) values[std::size_t(s.field)] = s.initial;
}

bool Parameters::Set(Field f, long double x) {
    const long double stored = StoreFieldValue(SpecOf(f), x);
    if (stored == values[std::size_t(f)]) return false;
    values[std::size_t(f)] = stored;
    return true;
}

CompositionParams CompositionValues(const Parameters& p) {
    CompositionParams c;
    c.zoomEd = p[Field::ZoomEd];
    c.zoom2Ed = p[Field::Zoom2Ed];
    c.rotEd = p[Field::RotED];
    c.additionalEd = p[Field::AdditionalEd];
    c.additionalYED = p[Field::AdditionalYED];
    c.zoomOutEd = p[Field::ZoomOutEd];
    c.backgroundCheck = p.backgroundCheck;
    c.fillColor = p.fillColor;
    c.smooth = p.smooth;
    c.overlayFeather = p[Field::Maskwidth];
    c.roundMask = p.roundMask;
    c.maskRadius = p[Field::MaskRadiusEd];
    return c;
}

CompositionParams CompositionValues(const Parameters& p, int backgroundWidth, int backgroundHeight,
                                    int motifWidth, int motifHeight) {
    const CompositionParams c = CompositionValues(p);
    if (!p.print) return c;
    return FitPrint(*p.print, c, p.backgroundCheck ? backgroundWidth : 0,
                    p.backgroundCheck ? backgroundHeight : 0, motifWidth, motifHeight);
}

}  // namespace lumivane
