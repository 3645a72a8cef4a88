#include "loading/caption.h"

#include <algorithm>
#include <cmath>

#include "engine/overlay.h"
#include "image/Zerlin.h"
#include "platform/text/text_raster.h"

namespace lumivane {

namespace {

struct Word {
    const char* text;
    int value;
};
constexpr Word kPlaces[] = {{"unten", int(CaptionPlace::Below)},
                            {"oben", int(CaptionPlace::Above)},
                            {"unten-links", int(CaptionPlace::BottomLeft)},
                            {"unten-rechts", int(CaptionPlace::BottomRight)},
                            {"oben-links", int(CaptionPlace::TopLeft)},
                            {"oben-rechts", int(CaptionPlace::TopRight)}};
constexpr Word kAligns[] = {{"links", int(CaptionAlign::Left)},
                            {"mitte", int(CaptionAlign::Centre)},
                            {"rechts", int(CaptionAlign::Right)}};
constexpr Word kWeights[] = {{"dünn", 100},   {"extraleicht", 200}, {"leicht", 300},
                             {"normal", 400}, {"mittel", 500},      {"halbfett", 600},
                             {"fett", 700},   {"extrafett", 800},   {"schwarz", 900}};

template <std::size_t N>
std::optional<int> Named(const Word (&words)[N], const std::string& word) {
    for (const Word& w : words) {
        if (word == w.text) return w.value;
    }
    return std::nullopt;
}
template <std::size_t N>
const char* WordOf(const Word (&words)[N], int value) {
    for (const Word& w : words) {
        if (w.value == value) return w.text;
    }
    return words[0].text;
}

// sRGB byte to linear light.
const std::array<double, 256>& LinearTable() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int v = 0; v < 256; ++v) {
            const double c = v / 255.0;
            t[std::size_t(v)] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return table;
}

// Black or white, whichever contrasts more with the mean of the picture under `box`. A large
// box is sampled on a grid of at most 256 x 256 points: the mean hardly changes, the time does.
COLORREF ContrastingColour(const Surface& picture, const PixelBox& box) {
    const int x0 = std::clamp(int(std::floor(box.x)), 0, picture.Width());
    const int x1 = std::clamp(int(std::ceil(box.x + box.width)), x0, picture.Width());
    const int y0 = std::clamp(int(std::floor(box.y)), 0, picture.Height());
    const int y1 = std::clamp(int(std::ceil(box.y + box.height)), y0, picture.Height());
    const int stepX = std::max(1, (x1 - x0) / 256), stepY = std::max(1, (y1 - y0) / 256);
    const std::array<double, 256>& linear = LinearTable();
    double sum = 0;
    std::int64_t n = 0;
    for (int y = y0; y < y1; y += stepY) {
        const BYTE* row = picture.ScanLine(y);
        for (int x = x0; x < x1; x += stepX, ++n) {
            const BYTE* p = row + std::ptrdiff_t(x) * 4;
            sum += 0.0722 * linear[p[0]] + 0.7152 * linear[p[1]] + 0.2126 * linear[p[2]];
        }
    }
    const double luminance = n ? sum / double(n) : 1;
    // Contrast ratios (L + 0.05) / 0.05 against black and 1.05 / (L + 0.05) against white.
    return (luminance + 0.05) * (luminance + 0.05) > 0.05 * 1.05 ? RGB(0, 0, 0)
                                                                 : RGB(255, 255, 255);
}

// colour x coverage over the picture's pixels.
void Compose(Surface& picture, const TextMask& mask, int left, int top, COLORREF colour) {
    const int bgr[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
    for (int my = 0; my < mask.height; ++my) {
        const int y = top + my;
        if (y < 0 || y >= picture.Height()) continue;
        const int mx0 = std::max(0, -left), mx1 = std::min(mask.width, picture.Width() - left);
        const std::uint8_t* a = mask.coverage.data() + std::ptrdiff_t(my) * mask.width;
        BYTE* p = picture.ScanLine(y) + std::ptrdiff_t(left + mx0) * 4;
        for (int mx = mx0; mx < mx1; ++mx, p += 4) {
            const int w = a[mx];
            if (!w) continue;
            for (int c = 0; c < 3; ++c) p[c] = BYTE((p[c] * (255 - w) + bgr[c] * w + 127) / 255);
        }
    }
}

}  // namespace

std::optional<CaptionPlace> CaptionPlaceNamed(const std::string& word) {
    const auto v = Named(kPlaces, word);
    if (!v) return std::nullopt;
    return CaptionPlace(*v);
}
const char* CaptionPlaceWord(CaptionPlace place) {
    return WordOf(kPlaces, int(place));
}
std::optional<CaptionAlign> CaptionAlignNamed(const std::string& word) {
    const auto v = Named(kAligns, word);
    if (!v) return std::nullopt;
    return CaptionAlign(*v);
}
const char* CaptionAlignWord(CaptionAlign align) {
    return WordOf(kAligns, int(align));
}

std::optional<int> CaptionWeightNamed(const std::string& word) {
    if (auto named = Named(kWeights, word)) return named;
    if (word.size() != 3 || word.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int n = std::stoi(word);
    if (n < 100 || n > 900) return std::nullopt;
    return n;
}

std::optional<std::pair<std::string, int>> ParseCaptionFont(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    std::string family = text.substr(0, colon);
    int weight = 400;
    if (colon != std::string::npos) {
        const auto w = CaptionWeightNamed(text.substr(colon + 1));
        if (!w) return std::nullopt;
        weight = *w;
    }
    if (family.find_first_of("\n\r\t") != std::string::npos) return std::nullopt;
    return std::make_pair(std::move(family), weight);
}

std::string CaptionFontText(const CaptionLine& line) {
    if (line.weight == 400) return line.family;
    return line.family + ":" + std::to_string(line.weight);
}

namespace {

// The notices for the fonts of the lines that say something.
std::vector<std::string> FontNotices(const Caption& caption,
                                     const std::array<std::string, kCaptionLines>& texts) {
    std::vector<std::string> notices;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string notice = texts[i].empty() ? "" : CheckTextFamily(caption.lines[i].family);
        if (!notice.empty() && std::find(notices.begin(), notices.end(), notice) == notices.end())
            notices.push_back(notice);
    }
    return notices;
}

}  // namespace

std::vector<std::string> CaptionFontNotices(const Caption& caption) {
    std::array<std::string, kCaptionLines> patterns;
    for (std::size_t i = 0; i < patterns.size(); ++i) patterns[i] = caption.lines[i].pattern;
    return FontNotices(caption, patterns);
}

CaptionResult DrawCaptionText(Surface& picture, const PixelBox& motif, const Caption& caption,
                              const std::array<std::string, kCaptionLines>& texts) {
    CaptionResult result;
    CaptionLayoutInput in;
    in.pictureWidth = picture.Width();
    in.pictureHeight = picture.Height();
    in.motif = motif;
    in.place = caption.place;
    in.align = caption.align;
    in.sizePercent = std::clamp(caption.size, kMinCaptionSize, kMaxCaptionSize);
    const double nominal = NominalCaptionSize(in.pictureWidth, in.pictureHeight, in.sizePercent);
    if (nominal <= 0) return result;

    std::vector<TextStyle> styles;
    std::vector<const std::string*> shown;
    for (int i = 0; i < kCaptionLines; ++i) {
        if (texts[std::size_t(i)].empty()) continue;
        const CaptionLine& line = caption.lines[std::size_t(i)];
        styles.push_back({line.family, line.weight, nominal});
        shown.push_back(&texts[std::size_t(i)]);
        const TextExtent e = MeasureText(*shown.back(), styles.back());
        in.lines.push_back({0, 0, e.width, e.height});
    }
    if (shown.empty()) return result;
    result.notices = FontNotices(caption, texts);

    const CaptionLayout layout = LayOutCaption(in);
    result.overMotif = layout.overMotif;
    PixelBox under = layout.lines[0];
    for (const PixelBox& b : layout.lines) {
        const double right = std::max(under.x + under.width, b.x + b.width);
        const double bottom = std::max(under.y + under.height, b.y + b.height);
        under.x = std::min(under.x, b.x);
        under.y = std::min(under.y, b.y);
        under.width = right - under.x;
        under.height = bottom - under.y;
    }
    const COLORREF colour = caption.colour ? *caption.colour : ContrastingColour(picture, under);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        styles[i].pixelSize = layout.sizes[i];
        const TextMask mask = RasterText(*shown[i], styles[i]);
        const int left = int(std::lround(layout.lines[i].x)) - mask.originX;
        const int top = int(std::lround(layout.lines[i].y)) - mask.originY;
        Compose(picture, mask, left, top, colour);
    }
    return result;
}

PixelBox WorkingMotifBox(const CompositionParams& params, const CompositionLayout& layout,
                         const WorkingImages& images) {
    if (!params.overlay || !images.opening || !images.bkgndAlpha.poi)
        return MotifBox(params, layout);
    const OverlayFrame frame{images.bkgndAlpha, *images.opening};
    const OpeningBox box =
        ScaledOpening(frame, int((layout.outW - layout.bgW) / 2),
                      int((layout.outH - layout.bgH) / 2), int(layout.bgW), int(layout.bgH));
    return MotifBox(params, layout, box);
}

std::string CheckCaption(const Caption& caption) {
    for (int i = 0; i < kCaptionLines; ++i) {
        const std::string why = CheckCaptionPattern(caption.lines[std::size_t(i)].pattern);
        if (!why.empty()) return "Zeile " + std::to_string(i + 1) + " der Beschriftung: " + why;
    }
    return "";
}

std::array<std::string, kCaptionLines> CaptionTexts(const Caption& caption,
                                                    const CaptionFacts& facts) {
    std::array<std::string, kCaptionLines> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = FillCaptionPattern(caption.lines[i].pattern, facts);
    return texts;
}

CaptionResult DrawCaption(Surface& picture, const CompositionParams& params,
                          const CompositionLayout& layout, const WorkingImages& images,
                          const Caption& caption, const CaptionFacts& facts) {
    return DrawCaptionText(picture, WorkingMotifBox(params, layout, images), caption,
                           CaptionTexts(caption, facts));
}

}  // namespace lumivane
