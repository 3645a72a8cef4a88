#include "loading/print_settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace lumivane {

namespace {

// Lower case, without spaces, "×" as "x", a decimal comma as a point.
std::string Normalised(const std::string& text) {
    std::string s;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (text.compare(i, 2, "\xC3\x97") == 0) {  // ×
            s += 'x';
            ++i;
        } else if (c == ',') {
            s += '.';
        } else if (!std::isspace(c)) {
            s += static_cast<char>(std::tolower(c));
        }
    }
    return s;
}

// A decimal length in `unit` as whole micrometres, rounded half up; nothing when malformed or
// beyond kMaxPaperUm.
std::optional<std::int64_t> ParseLength(const std::string& s, std::int64_t umPerUnit) {
    std::int64_t whole = 0, fraction = 0, scale = 1;
    bool point = false, digits = false;
    for (char c : s) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (!point) {
                whole = whole * 10 + (c - '0');
                if (whole * umPerUnit > kMaxPaperUm) return std::nullopt;
            } else if (scale < 1000000) {  // finer than a micrometre does not matter
                fraction = fraction * 10 + (c - '0');
                scale *= 10;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    const std::int64_t um = whole * umPerUnit + (fraction * umPerUnit * 2 + scale) / (2 * scale);
    if (um > kMaxPaperUm) return std::nullopt;
    return um;
}

}  // namespace

std::int64_t MicrometresPer(PaperUnit unit) {
    switch (unit) {
        case PaperUnit::Mm:
            return 1000;
        case PaperUnit::In:
            return 25400;
        case PaperUnit::Cm:
            break;
    }
    return 10000;
}

const char* UnitName(PaperUnit unit) {
    switch (unit) {
        case PaperUnit::Mm:
            return "mm";
        case PaperUnit::In:
            return "in";
        case PaperUnit::Cm:
            break;
    }
    return "cm";
}

std::optional<PaperUnit> UnitNamed(const std::string& name) {
    for (PaperUnit unit : {PaperUnit::Cm, PaperUnit::Mm, PaperUnit::In})
        if (name == UnitName(unit)) return unit;
    return std::nullopt;
}

const char* OrientationWord(PaperOrientation orientation) {
    switch (orientation) {
        case PaperOrientation::Portrait:
            return "hoch";
        case PaperOrientation::Landscape:
            return "quer";
        case PaperOrientation::AsPhoto:
            break;
    }
    return "wie-foto";
}

std::optional<PaperOrientation> OrientationNamed(const std::string& word) {
    for (PaperOrientation o :
         {PaperOrientation::AsPhoto, PaperOrientation::Portrait, PaperOrientation::Landscape})
        if (word == OrientationWord(o)) return o;
    return std::nullopt;
}

bool ParsePaper(const std::string& text, PrintFormat& format) {
    const std::string s = Normalised(text);
    for (const PaperPreset& p : PaperPresets()) {
        if (s == Normalised(p.name)) {
            format.widthUm = p.widthUm;
            format.heightUm = p.heightUm;
            format.unit = p.unit;
            return true;
        }
    }
    for (PaperUnit unit : {PaperUnit::Mm, PaperUnit::Cm, PaperUnit::In}) {
        const std::string name = UnitName(unit);
        if (s.size() <= name.size() || s.compare(s.size() - name.size(), name.size(), name) != 0)
            continue;
        const std::string size = s.substr(0, s.size() - name.size());
        const std::size_t x = size.find('x');
        if (x == std::string::npos) return false;
        const auto w = ParseLength(size.substr(0, x), MicrometresPer(unit));
        const auto h = ParseLength(size.substr(x + 1), MicrometresPer(unit));
        if (!w || !h || *w == 0 || *h == 0) return false;
        format.widthUm = *w;
        format.heightUm = *h;
        format.unit = unit;
        return true;
    }
    return false;
}

std::optional<std::int64_t> ParseMillimetres(const std::string& text) {
    return ParseLength(Normalised(text), 1000);
}

std::string LengthInUnit(std::int64_t um, PaperUnit unit) {
    // To a hundredth of the unit, the finest anyone types.
    const std::int64_t per = MicrometresPer(unit);
    const std::int64_t hundredths = (um * 100 * 2 + per) / (2 * per);
    std::string s = std::to_string(hundredths / 100);
    const int rest = static_cast<int>(hundredths % 100);
    if (rest) {
        s += ',';
        s += char('0' + rest / 10);
        if (rest % 10) s += char('0' + rest % 10);
    }
    return s;
}

std::string PaperName(const PrintFormat& f) {
    if (const PaperPreset* p = FindPreset(f.widthUm, f.heightUm, f.unit)) return p->name;
    return LengthInUnit(f.widthUm, f.unit) + " × " + LengthInUnit(f.heightUm, f.unit) + " " +
           UnitName(f.unit);
}

bool BordersFit(const PrintFormat& f) {
    const std::int64_t shorter = std::min(f.widthUm, f.heightUm);
    return 2 * f.borderSidesUm < shorter && f.borderTopUm + f.borderBottomUm < shorter;
}

std::string LowResolutionWarning(const PrintFormat& f, long double motifZoom) {
    const long double dpi = EffectiveDpi(f, motifZoom);
    if (dpi >= kLowPrintDpi) return "";
    return "Das Foto hat für " + PaperName(f) + " nur " +
           std::to_string(static_cast<long long>(std::floor(dpi))) + " dpi.";
}

}  // namespace lumivane
