// Where a caption's lines go on the framed picture, and how large they are drawn. Sizes are
// shares of the picture's shorter side and positions follow the motif's box, so a caption sits
// alike on a small preview and a large print, on portrait and landscape photos.
#pragma once

#include <optional>
#include <vector>

#include "engine/composition.h"
#include "engine/opening.h"

namespace lumivane {

enum class CaptionPlace { Below, Above, BottomLeft, BottomRight, TopLeft, TopRight };
enum class CaptionAlign { Left, Centre, Right };

constexpr long double kDefaultCaptionSize = 2.5L;  // percent of the shorter side
constexpr double kCaptionLineSpacing = 1.25;       // line pitch, in text sizes

struct PixelBox {
    double x = 0, y = 0, width = 0, height = 0;
};

struct CaptionLayoutInput {
    int pictureWidth = 0, pictureHeight = 0;
    PixelBox motif;  // the motif's bounding box on the picture
    CaptionPlace place = CaptionPlace::Below;
    CaptionAlign align = CaptionAlign::Centre;
    long double sizePercent = kDefaultCaptionSize;
    // Each line's logical width and height when drawn at NominalCaptionSize.
    std::vector<PixelBox> lines;
};

struct CaptionLayout {
    std::vector<double> sizes;    // each line's text size: the nominal one unless it had to shrink
    std::vector<PixelBox> lines;  // each line's logical box, in picture pixels
    bool overMotif = false;       // the lines reach into the motif's box
};

// The text size before any shrinking to fit: sizePercent of the picture's shorter side.
double NominalCaptionSize(int pictureWidth, int pictureHeight, long double sizePercent);

CaptionLayout LayOutCaption(const CaptionLayoutInput& input);

// The box the (turned) motif covers on the composed picture. `opening`: the frame's window,
// scaled onto the picture, when the frame lies over the motif.
PixelBox MotifBox(const CompositionParams& params, const CompositionLayout& layout,
                  const std::optional<OpeningBox>& opening = std::nullopt);

}  // namespace lumivane
