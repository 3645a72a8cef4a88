// The print format: a fitting rule beside the percentage fit. From a paper size, a resolution and
// borders in millimetres it works out the same composition values the window's fields hold (the
// background's and the motif's scale, the margins), so the composition itself is unchanged.
// Lengths are whole micrometres: every preset, every whole millimetre and every inch (25400 um)
// is exact, and so are the pixel sizes worked out from them.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/composition.h"

namespace lumivane {

enum class PaperOrientation { AsPhoto, Portrait, Landscape };
// How the size was given; only for showing it again.
enum class PaperUnit { Mm, Cm, In };

struct PrintFormat {
    std::int64_t widthUm = 100000;  // paper as named (10 x 15 cm: 10 cm wide)
    std::int64_t heightUm = 150000;
    int dpi = 300;
    std::int64_t borderTopUm = 0;
    std::int64_t borderSidesUm = 0;
    std::int64_t borderBottomUm = 0;
    bool fill = false;  // false: the motif fits the window ("einpassen"); true: fills it ("füllen")
    PaperOrientation orientation = PaperOrientation::AsPhoto;
    PaperUnit unit = PaperUnit::Cm;

    bool operator==(const PrintFormat&) const = default;
};

constexpr int kMinPrintDpi = 72;
constexpr int kMaxPrintDpi = 1200;
// Longer sides are refused: the result would not fit the off-screen picture anyway.
constexpr std::int64_t kMaxPaperUm = 10'000'000;  // 10 m

// The papers offered by name, in the size they are named by (portrait).
struct PaperPreset {
    const char* name;  // as shown and as the warning names it: "10 × 15 cm", "A4", "4 × 6 in"
    std::int64_t widthUm, heightUm;
    PaperUnit unit;
};
const std::vector<PaperPreset>& PaperPresets();
// A preset of this size (either way round) and unit, or nothing.
const PaperPreset* FindPreset(std::int64_t widthUm, std::int64_t heightUm, PaperUnit unit);

// round(length / 25.4 mm x dpi), halves up, in whole numbers.
std::int64_t PrintPixels(std::int64_t micrometres, int dpi);

// The paper in pixels, turned for the motif, and the window inside the borders.
struct PaperLayout {
    std::int64_t width = 0, height = 0;
    std::int64_t top = 0, sides = 0, bottom = 0;
    std::int64_t windowWidth() const { return width - 2 * sides; }
    std::int64_t windowHeight() const { return height - top - bottom; }
};

// `angle`: the motif's turn in degrees as the render applies it.
PaperLayout LayOutPaper(const PrintFormat& format, long double angle, int motifWidth,
                        int motifHeight);

// The composition values for the paper: `base` keeps its turn, colour and switches; the
// scales, margins, motif shift and window are worked out. The result is exactly the paper's
// size whenever the paper has a usable window.
CompositionParams FitPrint(const PrintFormat& format, const CompositionParams& base,
                           int backgroundWidth, int backgroundHeight, int motifWidth,
                           int motifHeight);

// The motif's own resolution on the paper at the scale the fit chose.
long double EffectiveDpi(const PrintFormat& format, long double motifZoom);

// Below this the photo is called too small for the paper.
constexpr long double kLowPrintDpi = 150;

}  // namespace lumivane
