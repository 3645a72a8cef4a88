#include "loading/framing_template.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <type_traits>
#include <variant>
#include <vector>

#include "engine/fitting.h"
#include "image/Zerlin.h"
#include "loading/flat_json.h"
#include "loading/print_settings.h"
#include "platform/imagelib/save_image.h"

namespace lumivane {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFormat = "lumivane-template";
constexpr const char* kDerived = "derived";
// Far more than any template needs; a larger file is not read into memory.
constexpr std::uintmax_t kMaxTemplateBytes = 64 * 1024;

const char kUnreadable[] = "Die Vorlage konnte nicht gelesen werden.";
const char kForeign[] = "Die Datei ist keine Lumivane-Vorlage.";
const char kDamaged[] = "Die Vorlage ist beschädigt.";
const char kNewer[] =
    "Die Vorlage stammt aus einer neueren Version von Lumivane und kann nicht gelesen werden.";

std::string HexColour(COLORREF c) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s = "#";
    for (BYTE b : {GetRValue(c), GetGValue(c), GetBValue(c)}) {
        s += kHex[b >> 4];
        s += kHex[b & 15];
    }
    return s;
}

// Where the background is written: relative to the template's folder when it lies there or
// below, so a folder of templates and frames can be moved as a whole.
std::string StoredBackgroundName(const std::string& background, const std::string& templatePath) {
    std::error_code ec;
    const fs::path bg = fs::weakly_canonical(fs::absolute(background, ec), ec);
    if (ec) return background;
    const fs::path folder = fs::weakly_canonical(fs::absolute(templatePath, ec), ec).parent_path();
    if (ec) return bg.string();
    const fs::path relative = bg.lexically_relative(folder);
    if (!relative.empty() && *relative.begin() != "..") return relative.generic_string();
    return bg.string();
}

// Each setting's value in the file. The overload is chosen by the member's type: the only whole
// number a template holds is the background's quarter turns, the only colour the fill.
bool ReadValue(const FlatJsonValue& v, long double& into) {
    if (v.kind != FlatJsonValue::Kind::Number) return false;
    into = v.number;
    return true;
}
bool ReadValue(const FlatJsonValue& v, bool& into) {
    if (v.kind != FlatJsonValue::Kind::Bool) return false;
    into = v.flag;
    return true;
}
bool ReadValue(const FlatJsonValue& v, int& turns) {
    long double n = 0;
    if (!ReadValue(v, n) || n < 0 || n > 3 || n != std::floor(n)) return false;
    turns = int(n);
    return true;
}
bool ReadValue(const FlatJsonValue& v, COLORREF& into) {
    const auto c = v.kind == FlatJsonValue::Kind::String ? ParseHexColour(v.text) : std::nullopt;
    if (c) into = *c;
    return c.has_value();
}
bool ReadValue(const FlatJsonValue& v, std::string& into) {
    if (v.kind != FlatJsonValue::Kind::String || v.text.empty()) return false;
    into = v.text;
    return true;
}
bool ReadValue(const FlatJsonValue& v, OpeningBox& into) {
    const auto box = v.kind == FlatJsonValue::Kind::String ? ParseOpening(v.text) : std::nullopt;
    if (box) into = *box;
    return box.has_value();
}

FlatJsonValue StoredValue(long double v) {
    return JsonNumber(v);
}
FlatJsonValue StoredValue(bool v) {
    return JsonBool(v);
}
FlatJsonValue StoredValue(int turns) {
    return JsonNumber(turns);
}
FlatJsonValue StoredValue(COLORREF c) {
    return JsonString(HexColour(c));
}
FlatJsonValue StoredValue(const std::string& text) {
    return JsonString(text);
}
FlatJsonValue StoredValue(const OpeningBox& b) {
    return JsonString(OpeningText(b));
}

// A number may be "derived" and a flag null: worked out for each motif, or not to be used.
template <typename T>
bool ReadValue(const FlatJsonValue& v, std::optional<T>& into) {
    if (std::is_same_v<T, bool> ? v.kind == FlatJsonValue::Kind::Null
                                : v.kind == FlatJsonValue::Kind::String && v.text == kDerived) {
        into.reset();
        return true;
    }
    T value{};
    if (!ReadValue(v, value)) return false;
    into = value;
    return true;
}
template <typename T>
FlatJsonValue StoredValue(const std::optional<T>& v) {
    if (v) return StoredValue(*v);
    return std::is_same_v<T, bool> ? JsonNull() : JsonString(kDerived);
}

// A setting of the print format. Its keys are written only while a print format is on, so a
// design without one is written as by earlier builds; a file without them means "off".
struct PrintKey {
    bool (*read)(const FlatJsonValue& v, PrintFormat& into);
    FlatJsonValue (*write)(const PrintFormat& f);
};

// Lengths are kept in millimetres.
bool ReadLength(const FlatJsonValue& v, std::int64_t& um) {
    if (v.kind != FlatJsonValue::Kind::Number || !(v.number >= 0) || v.number * 1000 > kMaxPaperUm)
        return false;
    um = std::llround(v.number * 1000);
    return true;
}
FlatJsonValue StoredLength(std::int64_t um) {
    return JsonNumber(static_cast<long double>(um) / 1000);
}

// Words for the choices, as lumivane-render takes them.
template <typename E>
bool ReadWord(const FlatJsonValue& v, E& into, std::optional<E> (*named)(const std::string&)) {
    const std::optional<E> e = v.kind == FlatJsonValue::Kind::String ? named(v.text) : std::nullopt;
    if (e) into = *e;
    return e.has_value();
}

template <std::int64_t PrintFormat::*M>
constexpr PrintKey LengthKey() {
    return {[](const FlatJsonValue& v, PrintFormat& f) { return ReadLength(v, f.*M); },
            [](const PrintFormat& f) { return StoredLength(f.*M); }};
}
const PrintKey kPrintWidth = LengthKey<&PrintFormat::widthUm>();
const PrintKey kPrintHeight = LengthKey<&PrintFormat::heightUm>();
const PrintKey kPrintTop = LengthKey<&PrintFormat::borderTopUm>();
const PrintKey kPrintSides = LengthKey<&PrintFormat::borderSidesUm>();
const PrintKey kPrintBottom = LengthKey<&PrintFormat::borderBottomUm>();
const PrintKey kPrintUnit{
    [](const FlatJsonValue& v, PrintFormat& f) { return ReadWord(v, f.unit, UnitNamed); },
    [](const PrintFormat& f) { return JsonString(UnitName(f.unit)); }};
const PrintKey kPrintDpi{[](const FlatJsonValue& v, PrintFormat& f) {
                             if (v.kind != FlatJsonValue::Kind::Number || v.number < kMinPrintDpi ||
                                 v.number > kMaxPrintDpi || v.number != std::floor(v.number))
                                 return false;
                             f.dpi = int(v.number);
                             return true;
                         },
                         [](const PrintFormat& f) { return JsonNumber(f.dpi); }};
const PrintKey kPrintFill{
    [](const FlatJsonValue& v, PrintFormat& f) { return ReadValue(v, f.fill); },
    [](const PrintFormat& f) { return JsonBool(f.fill); }};
const PrintKey kPrintOrientation{
    [](const FlatJsonValue& v, PrintFormat& f) {
        return ReadWord(v, f.orientation, OrientationNamed);
    },
    [](const PrintFormat& f) { return JsonString(OrientationWord(f.orientation)); }};

// A setting of the caption, written only while there is one; a file with any of them has one.
struct CaptionKey {
    bool (*read)(const FlatJsonValue& v, Caption& into);
    FlatJsonValue (*write)(const Caption& c);
};

template <int I>
constexpr CaptionKey CaptionPatternKey() {
    return {[](const FlatJsonValue& v, Caption& c) {
                if (v.kind != FlatJsonValue::Kind::String) return false;
                c.lines[I].pattern = v.text;
                return true;
            },
            [](const Caption& c) { return JsonString(c.lines[I].pattern); }};
}
template <int I>
constexpr CaptionKey CaptionFontKey() {
    return {[](const FlatJsonValue& v, Caption& c) {
                const auto font =
                    v.kind == FlatJsonValue::Kind::String ? ParseCaptionFont(v.text) : std::nullopt;
                if (!font) return false;
                c.lines[I].family = font->first;
                c.lines[I].weight = font->second;
                return true;
            },
            [](const Caption& c) { return JsonString(CaptionFontText(c.lines[I])); }};
}
const CaptionKey kCaptionPosition{
    [](const FlatJsonValue& v, Caption& c) { return ReadWord(v, c.place, CaptionPlaceNamed); },
    [](const Caption& c) { return JsonString(CaptionPlaceWord(c.place)); }};
const CaptionKey kCaptionAlign{
    [](const FlatJsonValue& v, Caption& c) { return ReadWord(v, c.align, CaptionAlignNamed); },
    [](const Caption& c) { return JsonString(CaptionAlignWord(c.align)); }};
const CaptionKey kCaptionSize{[](const FlatJsonValue& v, Caption& c) {
                                  if (v.kind != FlatJsonValue::Kind::Number ||
                                      !(v.number >= kMinCaptionSize) ||
                                      !(v.number <= kMaxCaptionSize))
                                      return false;
                                  c.size = v.number;
                                  return true;
                              },
                              [](const Caption& c) { return JsonNumber(c.size); }};
// null: black or white, chosen for the border beneath.
const CaptionKey kCaptionColour{
    [](const FlatJsonValue& v, Caption& c) {
        c.colour.reset();
        if (v.kind == FlatJsonValue::Kind::Null) return true;
        COLORREF colour = 0;
        if (!ReadValue(v, colour)) return false;
        c.colour = colour;
        return true;
    },
    [](const Caption& c) { return c.colour ? StoredValue(*c.colour) : JsonNull(); }};

// One row per key, in the order they are written: reading and writing both come from here. The
// background's name is made relative on writing and absolute on reading, around the table.
struct TemplateKey {
    const char* name;
    std::variant<long double FramingTemplate::*, std::optional<long double> FramingTemplate::*,
                 bool FramingTemplate::*, std::optional<bool> FramingTemplate::*,
                 int FramingTemplate::*, COLORREF FramingTemplate::*,
                 std::string FramingTemplate::*, std::optional<OpeningBox> FramingTemplate::*,
                 PrintKey, CaptionKey>
        member;
    bool optional = false;  // missing from files of earlier builds: the default stands
    // Written only for a frame laid over the motif, so other designs are written as before.
    bool overlayOnly = false;
};

const TemplateKey kTemplateKeys[] = {
    {"background", &FramingTemplate::background},
    {"backgroundTurns", &FramingTemplate::backgroundTurns},
    {"orientationMatched", &FramingTemplate::orientationMatched},
    {"frame", &FramingTemplate::frame},
    {"motifZoom", &FramingTemplate::motifZoom},
    {"rotate", &FramingTemplate::rotate},
    {"feather", &FramingTemplate::feather},
    {"roundMask", &FramingTemplate::roundMask},
    {"radius", &FramingTemplate::radius},
    {"backgroundShown", &FramingTemplate::backgroundCheck},
    {"backgroundZoom", &FramingTemplate::backgroundZoom},
    {"marginX", &FramingTemplate::marginX},
    {"marginY", &FramingTemplate::marginY},
    {"fill", &FramingTemplate::fillColor},
    {"reduceMotif", &FramingTemplate::reduceMotif},
    {"smooth", &FramingTemplate::smooth, true},
    {"printWidth", kPrintWidth, true},
    {"printHeight", kPrintHeight, true},
    {"printUnit", kPrintUnit, true},
    {"printDpi", kPrintDpi, true},
    {"printBorderTop", kPrintTop, true},
    {"printBorderSides", kPrintSides, true},
    {"printBorderBottom", kPrintBottom, true},
    {"printFill", kPrintFill, true},
    {"printOrientation", kPrintOrientation, true},
    {"overlay", &FramingTemplate::overlay, true, true},
    {"opening", &FramingTemplate::opening, true, true},
    {"captionLine1", CaptionPatternKey<0>(), true},
    {"captionLine2", CaptionPatternKey<1>(), true},
    {"captionLine3", CaptionPatternKey<2>(), true},
    {"captionFont1", CaptionFontKey<0>(), true},
    {"captionFont2", CaptionFontKey<1>(), true},
    {"captionFont3", CaptionFontKey<2>(), true},
    {"captionPosition", kCaptionPosition, true},
    {"captionAlign", kCaptionAlign, true},
    {"captionSize", kCaptionSize, true},
    {"captionColor", kCaptionColour, true},
};
constexpr std::size_t kPrintKeyCount = 9;

// The value a row reads or writes: a member of the design, or of its print format.
bool ReadKey(const TemplateKey& key, const FlatJsonValue& v, FramingTemplate& t) {
    if (const PrintKey* p = std::get_if<PrintKey>(&key.member)) {
        if (!t.print) t.print.emplace();
        return p->read(v, *t.print);
    }
    if (const CaptionKey* c = std::get_if<CaptionKey>(&key.member)) {
        if (!t.caption) t.caption.emplace();
        return c->read(v, *t.caption);
    }
    return std::visit(
        [&](auto m) {
            if constexpr (std::is_same_v<decltype(m), PrintKey> ||
                          std::is_same_v<decltype(m), CaptionKey>)
                return false;
            else
                return ReadValue(v, t.*m);
        },
        key.member);
}
std::optional<FlatJsonValue> StoredKey(const TemplateKey& key, const FramingTemplate& t) {
    if (const PrintKey* p = std::get_if<PrintKey>(&key.member)) {
        if (!t.print) return std::nullopt;
        return p->write(*t.print);
    }
    if (const CaptionKey* c = std::get_if<CaptionKey>(&key.member)) {
        if (!t.caption) return std::nullopt;
        return c->write(*t.caption);
    }
    return std::visit(
        [&](auto m) -> FlatJsonValue {
            if constexpr (std::is_same_v<decltype(m), PrintKey> ||
                          std::is_same_v<decltype(m), CaptionKey>)
                return JsonNull();
            else
                return StoredValue(t.*m);
        },
        key.member);
}

bool IsPortrait(int width, int height) {
    return height > width;
}

// A fit value the field shows: derived when it is what the fit gives now.
std::optional<long double> UnlessDerived(Field field, long double shown, long double derived) {
    if (shown == StoreFieldValue(SpecOf(field), derived)) return std::nullopt;
    return shown;
}

}  // namespace

std::optional<COLORREF> ParseHexColour(const std::string& s) {
    if (s.size() != 7 || s[0] != '#') return std::nullopt;
    unsigned v = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            return std::nullopt;
        v = v * 16 + d;
    }
    return RGB(BYTE(v >> 16), BYTE(v >> 8), BYTE(v));
}

std::optional<FramingTemplate> ReadTemplate(const std::string& path, std::string& error) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status)) {
        error = kUnreadable;
        return std::nullopt;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxTemplateBytes) {
        error = ec ? kUnreadable : kForeign;
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = kUnreadable;
        return std::nullopt;
    }

    const std::optional<FlatJsonObject> object = ParseFlatJson(text);
    if (!object) {
        // A file that says it is a template but does not parse is damaged; anything else foreign.
        error = text.find(kFormat) != std::string::npos ? kDamaged : kForeign;
        return std::nullopt;
    }
    auto member = [&](const char* key) -> const FlatJsonValue* {
        const auto it = object->find(key);
        return it == object->end() ? nullptr : &it->second;
    };
    const FlatJsonValue* format = member("format");
    if (!format || format->kind != FlatJsonValue::Kind::String || format->text != kFormat) {
        error = kForeign;
        return std::nullopt;
    }
    const FlatJsonValue* version = member("version");
    if (!version || version->kind != FlatJsonValue::Kind::Number || version->number < 1 ||
        version->number != std::floor(version->number)) {
        error = kDamaged;
        return std::nullopt;
    }
    if (version->number > kTemplateVersion) {
        error = kNewer;
        return std::nullopt;
    }

    FramingTemplate t;
    std::size_t known = 2;  // format and version
    std::size_t printKeys = 0;
    for (const TemplateKey& key : kTemplateKeys) {
        const FlatJsonValue* v = member(key.name);
        if (!v && key.optional) continue;
        if (!v || !ReadKey(key, *v, t)) {
            error = kDamaged;
            return std::nullopt;
        }
        ++known;
        if (std::holds_alternative<PrintKey>(key.member)) ++printKeys;
    }
    // A print format comes whole, on paper that leaves a window inside its borders.
    const bool printWhole =
        printKeys == 0 || (printKeys == kPrintKeyCount && t.print->widthUm > 0 &&
                           t.print->heightUm > 0 && BordersFit(*t.print));
    if (known != object->size() || !printWhole) {  // a key not ours, or a print format in part
        error = kDamaged;
        return std::nullopt;
    }
    fs::path background(t.background);  // a relative name lies in the template's folder
    if (background.is_relative()) background = fs::absolute(path, ec).parent_path() / background;
    t.background = background.lexically_normal().string();
    return t;
}

std::string WriteTemplate(const FramingTemplate& t, const std::string& path) {
    FramingTemplate stored = t;
    stored.background = StoredBackgroundName(t.background, path);
    std::vector<std::pair<std::string, FlatJsonValue>> members = {
        {"format", JsonString(kFormat)}, {"version", JsonNumber(kTemplateVersion)}};
    for (const TemplateKey& key : kTemplateKeys) {
        if (key.overlayOnly && !stored.overlay) continue;
        if (auto value = StoredKey(key, stored)) members.emplace_back(key.name, std::move(*value));
    }
    const std::string text = WriteFlatJson(members);
    const SaveResult saved = SaveBytes(path, text);
    if (saved.Ok()) return "";
    return "Die Vorlage konnte nicht gespeichert werden: " +
           std::string(SaveErrorReason(saved.error)) + ".";
}

dib OpenTemplateBackground(const std::string& file, std::string& error,
                           const ReadOptions& options, BackgroundRead* read) {
    BackgroundRead ignored;
    if (!read) read = &ignored;
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        error = "Das Hintergrundbild der Vorlage fehlt: " + file;
        read->failure = ReadFailure::NotReadable;
        return dib{};
    }
    ReadResult result = ReadImageFile(file.c_str(), options);
    read->failure = result.failure;
    read->profile = result.profile;
    read->coverage = std::move(result.alpha);
    if (!result.image) error = "Konnte das Bild nicht laden.";
    return result.image.release();
}

bool TurnQuarters(dib& image, int turns) {
    for (int i = 0; i < turns; ++i) {
        if (!TurnBackgroundQuarter(image)) return false;
    }
    return true;
}

FramingTemplate CaptureTemplate(const WorkingImages& images, const Parameters& p,
                                const std::string& background, int backgroundTurns,
                                bool reduceMotif) {
    FramingTemplate t;
    t.reduceMotif = reduceMotif;
    t.frame = p[Field::RahmenEd];
    t.motifZoom = p[Field::Zoom2Ed];
    t.rotate = p[Field::RotED];
    t.radius = p[Field::MaskRadiusEd];
    t.roundMask = p.roundMask;
    t.backgroundCheck = p.backgroundCheck;
    t.fillColor = p.fillColor;
    t.smooth = p.smooth;
    t.print = p.print;
    t.overlay = p.overlay;

    const int mw = DibWidth(images.di), mh = DibHeight(images.di);
    const int bw = DibWidth(images.bkgnd), bh = DibHeight(images.bkgnd);
    BackgroundFit fit = FitBackground(p[Field::Zoom2Ed], p[Field::RahmenEd], mw, mh, bw, bh);
    if (OverlayActive(images, p.overlay)) fit = {100, 0, 0, false};  // the frame keeps its size
    t.backgroundZoom = UnlessDerived(Field::ZoomEd, p[Field::ZoomEd], fit.zoomEd);
    t.marginX = UnlessDerived(Field::AdditionalEd, p[Field::AdditionalEd], fit.additionalEd);
    t.marginY = UnlessDerived(Field::AdditionalYED, p[Field::AdditionalYED], fit.additionalYED);
    t.feather = UnlessDerived(Field::Maskwidth, p[Field::Maskwidth],
                              DerivedFeatherWidth(images, p.overlay, mw));

    t.background = background;
    t.backgroundTurns = ((backgroundTurns % 4) + 4) % 4;
    t.orientationMatched = IsPortrait(bw, bh) == IsPortrait(mw, mh);
    return t;
}

int BackgroundTurnsFor(const FramingTemplate& t, int backgroundWidth, int backgroundHeight,
                       int motifWidth, int motifHeight) {
    int turns = t.backgroundTurns;
    if (turns % 2) std::swap(backgroundWidth, backgroundHeight);
    if (t.orientationMatched && (IsPortrait(backgroundWidth, backgroundHeight) ==
                                 IsPortrait(motifWidth, motifHeight)) != *t.orientationMatched)
        ++turns;
    return turns % 4;
}

void ApplyFitInputs(FramingHost& host, const FramingTemplate& t) {
    host.SetOverlay(t.overlay);  // a frame over the motif is not fitted around it
    host.SetValue(Field::RahmenEd, t.frame);
    host.SetValue(Field::Zoom2Ed, t.motifZoom);
    host.SetValue(Field::RotED, t.rotate);
}

void ApplyTemplateSettings(const WorkingImages& images, FramingHost& host,
                           const FramingTemplate& t) {
    host.SetValue(
        Field::Maskwidth,
        t.feather ? *t.feather : DerivedFeatherWidth(images, host.Overlay(), DibWidth(images.di)));
    host.SetSwitches(t.backgroundCheck, t.roundMask, t.fillColor);
    host.SetSmooth(t.smooth);
    host.SetPrintFormat(t.print);
    host.SetValue(Field::MaskRadiusEd, t.radius);
    if (t.backgroundZoom) host.SetValue(Field::ZoomEd, *t.backgroundZoom);
    if (t.marginX) host.SetValue(Field::AdditionalEd, *t.marginX);
    if (t.marginY) host.SetValue(Field::AdditionalYED, *t.marginY);
}

void ApplyTemplate(WorkingImages& images, FramingHost& host, const FramingTemplate& t,
                   const dib& background, const dib& coverage) {
    ApplyFitInputs(host, t);
    InstallBackground(images, host, background, coverage);
    ApplyTemplateSettings(images, host, t);
}

void UseDesignOpening(WorkingImages& images, FramingHost& host, const FramingTemplate& t,
                      int fileWidth, int fileHeight, int turns) {
    const std::optional<OpeningBox>& o = t.opening;
    // A window that does not lie in the frame (a template edited by hand) is not used.
    if (!o || std::int64_t(o->x) + o->width > fileWidth ||
        std::int64_t(o->y) + o->height > fileHeight)
        return;
    images.opening = TurnedOpening(*o, fileWidth, fileHeight, turns);
    ResizeBackground(images, host);
}

std::string OpeningText(const OpeningBox& b) {
    return std::to_string(b.x) + "," + std::to_string(b.y) + "," + std::to_string(b.width) + "," +
           std::to_string(b.height);
}

std::optional<OpeningBox> ParseOpening(const std::string& text) {
    int v[4];
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = at;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        if (end == at || end - at > 9) return std::nullopt;  // no sign, and no overflow
        v[i] = std::stoi(text.substr(at, end - at));
        if (i < 3 && (end >= text.size() || text[end] != ',')) return std::nullopt;
        at = end + 1;
        if (i == 3 && end != text.size()) return std::nullopt;
    }
    if (v[2] < 1 || v[3] < 1) return std::nullopt;
    return OpeningBox{v[0], v[1], v[2], v[3]};
}

}  // namespace lumivane
