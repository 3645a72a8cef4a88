#include "platform/text/text_raster.h"

#include <pango/pangocairo.h>

#include <strings.h>
#include <algorithm>
#include <cmath>
#include <memory>

namespace lumivane {

namespace {

constexpr const char* kDefaultFamily = "sans-serif";
// Far longer than any caption line; longer text would only be drawn unreadably small.
constexpr std::size_t kMaxTextBytes = 4096;

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
void UnrefObject(void* p) {
    g_object_unref(p);
}
using ContextPtr = std::unique_ptr<PangoContext, Freer<void, UnrefObject>>;
using LayoutPtr = std::unique_ptr<PangoLayout, Freer<void, UnrefObject>>;
using FontPtr = std::unique_ptr<PangoFont, Freer<void, UnrefObject>>;
using DescriptionPtr =
    std::unique_ptr<PangoFontDescription, Freer<PangoFontDescription, pango_font_description_free>>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, Freer<cairo_surface_t, cairo_surface_destroy>>;
using CairoPtr = std::unique_ptr<cairo_t, Freer<cairo_t, cairo_destroy>>;

bool IsGeneric(const std::string& family) {
    for (const char* generic : {"sans-serif", "sans", "serif", "monospace", "system-ui"}) {
        if (strcasecmp(family.c_str(), generic) == 0) return true;
    }
    return false;
}

// A context with the fixed font options. The default font map is one per thread, so threads
// framing pictures at the same time share no Pango state and need no lock.
ContextPtr NewContext() {
    PangoFontMap* map = pango_cairo_font_map_get_default();
    ContextPtr context(pango_font_map_create_context(map));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context.get(), options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context.get(), FALSE);
    pango_context_set_base_dir(context.get(), PANGO_DIRECTION_LTR);
    return context;
}

DescriptionPtr Description(const std::string& family, int weight, double pixelSize) {
    DescriptionPtr d(pango_font_description_new());
    pango_font_description_set_family(d.get(), family.empty() ? kDefaultFamily : family.c_str());
    pango_font_description_set_weight(d.get(), PangoWeight(std::clamp(weight, 100, 1000)));
    pango_font_description_set_absolute_size(
        d.get(), std::clamp(pixelSize, 0.1, 100000.0) * double(PANGO_SCALE));
    return d;
}

// Text Pango accepts: valid UTF-8 (invalid bytes become replacement marks), bounded in length.
std::string ValidText(const std::string& text) {
    const std::size_t n = std::min(text.size(), kMaxTextBytes);
    gchar* valid = g_utf8_make_valid(text.data(), gssize(n));
    std::string s(valid);
    g_free(valid);
    if (s.size() > kMaxTextBytes) {  // replacement marks are longer than the bytes they replace
        std::size_t cut = kMaxTextBytes;
        while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
        s.resize(cut);
    }
    return s;
}

LayoutPtr Layout(PangoContext* context, const std::string& text, const TextStyle& style) {
    LayoutPtr layout(pango_layout_new(context));
    const DescriptionPtr d =
        Description(UsableTextFamily(style.family), style.weight, style.pixelSize);
    pango_layout_set_font_description(layout.get(), d.get());
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    const std::string valid = ValidText(text);
    pango_layout_set_text(layout.get(), valid.data(), int(valid.size()));
    return layout;
}

}  // namespace

std::string CheckTextFamily(const std::string& family) {
    if (family.empty() || IsGeneric(family)) return "";
    const ContextPtr context = NewContext();
    const DescriptionPtr asked = Description(family, 400, 12);
    const FontPtr font(pango_font_map_load_font(pango_context_get_font_map(context.get()),
                                                context.get(), asked.get()));
    if (font) {
        const DescriptionPtr got(pango_font_describe(font.get()));
        const char* chosen = pango_font_description_get_family(got.get());
        if (chosen && strcasecmp(chosen, family.c_str()) == 0) return "";
    }
    return "Die Schrift \"" + family + "\" ist nicht installiert; es wird die Standardschrift " +
           "(serifenlos) verwendet.";
}

std::string UsableTextFamily(const std::string& family) {
    return CheckTextFamily(family).empty() ? family : std::string();
}

TextExtent MeasureText(const std::string& text, const TextStyle& style) {
    const ContextPtr context = NewContext();
    const LayoutPtr layout = Layout(context.get(), text, style);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    return {double(logical.width) / PANGO_SCALE, double(logical.height) / PANGO_SCALE};
}

TextMask RasterText(const std::string& text, const TextStyle& style) {
    const ContextPtr context = NewContext();
    const LayoutPtr layout = Layout(context.get(), text, style);
    PangoRectangle ink, logical;
    pango_layout_get_extents(layout.get(), &ink, &logical);
    if (ink.width <= 0 || ink.height <= 0) return {};
    // The mask covers the ink, on whole pixels, with the logical origin on a whole pixel.
    const int left = int(std::floor(double(ink.x) / PANGO_SCALE));
    const int top = int(std::floor(double(ink.y) / PANGO_SCALE));
    const int right = int(std::ceil(double(ink.x + ink.width) / PANGO_SCALE));
    const int bottom = int(std::ceil(double(ink.y + ink.height) / PANGO_SCALE));
    const std::int64_t w = std::int64_t(right) - left + 2, h = std::int64_t(bottom) - top + 2;
    if (w > 32767 || h > 32767) return {};  // cairo's own limit
    const SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_A8, int(w), int(h)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
    const CairoPtr cr(cairo_create(surface.get()));
    cairo_move_to(cr.get(), 1 - left, 1 - top);
    pango_cairo_show_layout(cr.get(), layout.get());
    cairo_surface_flush(surface.get());

    TextMask mask;
    mask.width = int(w);
    mask.height = int(h);
    mask.originX = 1 - left;
    mask.originY = 1 - top;
    mask.coverage.resize(std::size_t(w) * std::size_t(h));
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < mask.height; ++y)
        std::copy_n(data + std::ptrdiff_t(y) * stride, mask.width,
                    mask.coverage.begin() + std::ptrdiff_t(y) * mask.width);
    return mask;
}

}  // namespace lumivane
