// A caption drawn onto the framed picture: up to three lines of text, each filled from a pattern
// with the motif's facts, placed in the border by the motif. Drawn after the composition, so a
// design without a caption renders as it always has.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/caption_layout.h"
#include "loading/caption_fields.h"
#include "loading/loader.h"
#include "platform/gdi/surface.h"

namespace lumivane {

constexpr int kCaptionLines = 3;

struct CaptionLine {
    std::string pattern;  // empty: no line
    std::string family;   // empty: the default sans-serif
    int weight = 400;     // 100 to 900
    bool operator==(const CaptionLine&) const = default;
};

struct Caption {
    std::array<CaptionLine, kCaptionLines> lines;
    CaptionPlace place = CaptionPlace::Below;
    CaptionAlign align = CaptionAlign::Centre;
    long double size = kDefaultCaptionSize;  // percent of the picture's shorter side
    std::optional<COLORREF> colour;          // unset: black or white, whichever stands out
    bool operator==(const Caption&) const = default;
};

constexpr long double kMinCaptionSize = 0.1L, kMaxCaptionSize = 50;

// The words lumivane-render and templates use: unten, oben, unten-links, ...; links, mitte,
// rechts.
std::optional<CaptionPlace> CaptionPlaceNamed(const std::string& word);
const char* CaptionPlaceWord(CaptionPlace place);
std::optional<CaptionAlign> CaptionAlignNamed(const std::string& word);
const char* CaptionAlignWord(CaptionAlign align);

// A weight written as a number 100 to 900 or a word (dünn, leicht, normal, mittel, halbfett,
// fett, extrafett, schwarz ...).
std::optional<int> CaptionWeightNamed(const std::string& word);
// A font written "FAMILIE[:GEWICHT]": the family and the weight (400 when not given).
std::optional<std::pair<std::string, int>> ParseCaptionFont(const std::string& text);
std::string CaptionFontText(const CaptionLine& line);

struct CaptionResult {
    std::vector<std::string> notices;  // German: a font that is not installed
    bool overMotif = false;            // some text had to be drawn over the motif
};

// A German notice for each font the lines ask for that is not installed (the default
// sans-serif is drawn instead).
std::vector<std::string> CaptionFontNotices(const Caption& caption);

// Draws the lines (already filled; empty ones are left out) onto `picture`, whose motif covers
// `motif`. Nothing is touched when every line is empty.
CaptionResult DrawCaptionText(Surface& picture, const PixelBox& motif, const Caption& caption,
                              const std::array<std::string, kCaptionLines>& texts);

// The motif's box on the picture the working state composes with `params`.
PixelBox WorkingMotifBox(const CompositionParams& params, const CompositionLayout& layout,
                         const WorkingImages& images);

// "" when every line's pattern is good; otherwise a German message naming the line and the fault.
std::string CheckCaption(const Caption& caption);

// Each line's text for the motif with these facts.
std::array<std::string, kCaptionLines> CaptionTexts(const Caption& caption,
                                                    const CaptionFacts& facts);

// Draws the caption for the motif with these facts onto the picture the working state composed
// with `params`: the one drawing path of the window and lumivane-render.
CaptionResult DrawCaption(Surface& picture, const CompositionParams& params,
                          const CompositionLayout& layout, const WorkingImages& images,
                          const Caption& caption, const CaptionFacts& facts);

}  // namespace lumivane
