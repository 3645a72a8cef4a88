#include "loading/caption_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>

#include "loading/utf8.h"
#include "platform/imagelib/photo_fields.h"

namespace lumivane {

namespace {

constexpr std::size_t kMaxFieldChars = 1000;

// ---------------------------------------------------------------------------------------------
// Text

// Characters that would reorder or hide the text around them rather than show themselves.
bool Invisible(long cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

// Drops what cannot be shown (see CleanCaptionText); `collapse` also folds runs of spaces and
// trims them, which a pattern's own text keeps as typed.
std::string CleanText(std::string_view text, std::size_t maxChars, bool collapse) {
    std::string out;
    std::size_t chars = 0;
    bool space = true;
    for (std::size_t i = 0; i < text.size() && chars < maxChars;) {
        long cp = NextCodePoint(text, i);
        if (cp == '\t' || cp == '\n' || cp == '\r') cp = ' ';
        if (cp < 0 || (cp != ' ' && Invisible(cp))) continue;
        if (cp == ' ' && space && collapse) continue;
        space = cp == ' ';
        AppendUtf8(out, cp);
        ++chars;
    }
    if (collapse && !out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string TrimSpaces(std::string s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// ASCII only: makers and keys are ASCII, and a byte above it must not change.
std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t end = std::min(s.find(' ', i), s.size());
        if (end > i) words.emplace_back(s.substr(i, end - i));
        i = end + 1;
    }
    return words;
}

// ---------------------------------------------------------------------------------------------
// Numbers

// Rounded to at most `decimals` places, with a decimal comma and no trailing zeros.
std::string Decimal(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const long long scaled = std::llround(std::abs(v) * scale);
    const long long unit = std::llround(scale);
    std::string text = std::to_string(scaled / unit);
    long long fraction = scaled % unit;
    if (fraction) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, std::size_t(decimals) - digits.size(), '0');
        while (digits.back() == '0') digits.pop_back();
        text += ",";
        text += digits;
    }
    if (v < 0 && scaled) text.insert(text.begin(), '-');
    return text;
}

// "-12.5" with a point whatever the C locale says (the window sets the user's).
std::optional<double> ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && (text[0] == '-' || text[0] == '+') && text[i++] == '-';
    double v = 0, scale = 0;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && scale == 0) {
            scale = 1;
        } else if (c >= '0' && c <= '9') {
            v = v * 10 + (c - '0');
            scale *= 10;
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    if (scale > 0) v /= scale;
    return negative ? -v : v;
}

// A number as XMP writes it: "28/10", "2.8" or "200".
std::optional<double> ParseNumber(std::string_view token) {
    if (token.empty() || token.size() > 40) return std::nullopt;
    const std::size_t slash = token.find('/');
    if (slash == std::string_view::npos) return ParseDecimal(token);
    const auto n = ParseDecimal(token.substr(0, slash));
    const auto d = ParseDecimal(token.substr(slash + 1));
    if (!n || !d || *d == 0) return std::nullopt;
    return *n / *d;
}

// ---------------------------------------------------------------------------------------------
// Dates

struct Moment {
    int year = 0, month = 0, day = 0;
    bool hasTime = false;
    int hour = 0, minute = 0, second = 0;
};

bool LeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : days[m - 1];
}

// 0 = Monday.
int Weekday(int y, int m, int d) {
    // Days since 1970-01-01 (a Thursday), by the civil-from-days inverse.
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = (long long)era * 146097 + doe - 719468;
    return int(((days % 7) + 7 + 3) % 7);
}

// Reads `count` digits at `i`.
std::optional<int> Digits(std::string_view s, std::size_t& i, int count) {
    if (i + count > s.size()) return std::nullopt;
    int v = 0;
    for (int k = 0; k < count; ++k) {
        const char c = s[i + k];
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    i += count;
    return v;
}

bool Separator(std::string_view s, std::size_t& i, std::string_view allowed) {
    if (i >= s.size() || allowed.find(s[i]) == std::string_view::npos) return false;
    ++i;
    return true;
}

// "HH:MM[:SS]" at `i` into `m`; false when there is none or it is impossible.
bool ParseTime(std::string_view s, std::size_t i, Moment& m) {
    const auto h = Digits(s, i, 2);
    if (!h || !Separator(s, i, ":")) return false;
    const auto min = Digits(s, i, 2);
    if (!min) return false;
    int sec = 0;
    if (Separator(s, i, ":")) {
        const auto parsed = Digits(s, i, 2);
        if (!parsed) return false;
        sec = *parsed;
    }
    if (*h > 23 || *min > 59 || sec > 60) return false;
    m.hasTime = true, m.hour = *h, m.minute = *min, m.second = sec;
    return true;
}

// EXIF "2024:05:17 18:03:21", XMP "2024-05-17T18:03:21+02:00" or IPTC "2024-05-17"; nothing for
// an impossible date such as "0000:00:00" or "2024:13:45". A time that cannot be is left out.
std::optional<Moment> ParseMoment(std::string_view s) {
    std::size_t i = 0;
    const auto y = Digits(s, i, 4);
    if (!y || !Separator(s, i, ":-")) return std::nullopt;
    const auto mo = Digits(s, i, 2);
    if (!mo || !Separator(s, i, ":-")) return std::nullopt;
    const auto d = Digits(s, i, 2);
    if (!d || *y < 1 || *mo < 1 || *mo > 12 || *d < 1 || *d > DaysInMonth(*y, *mo))
        return std::nullopt;
    Moment m;
    m.year = *y, m.month = *mo, m.day = *d;
    if (Separator(s, i, " T")) ParseTime(s, i, m);
    return m;
}

const char* const kMonths[] = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                               "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
const char* const kShortMonths[] = {"Jan.", "Feb.", "März", "Apr.", "Mai",  "Juni",
                                    "Juli", "Aug.", "Sep.", "Okt.", "Nov.", "Dez."};
const char* const kDays[] = {"Montag",  "Dienstag", "Mittwoch", "Donnerstag",
                             "Freitag", "Samstag",  "Sonntag"};
const char* const kShortDays[] = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};

std::string TwoDigits(int v) {
    std::string text = std::to_string(v);
    if (v < 10) text.insert(text.begin(), '0');
    return text;
}

// The moment by a strftime-like format; "" when the format asks for a time the photo lacks.
std::string FormatMoment(const Moment& m, std::string_view format) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char c = format[++i];
        if ((c == 'H' || c == 'M' || c == 'S') && !m.hasTime) return {};
        switch (c) {
            case 'd':
                out += TwoDigits(m.day);
                break;
            case 'e':
                out += std::to_string(m.day);
                break;
            case 'm':
                out += TwoDigits(m.month);
                break;
            case 'Y':
                out += std::to_string(m.year);
                break;
            case 'y':
                out += TwoDigits(m.year % 100);
                break;
            case 'B':
                out += kMonths[m.month - 1];
                break;
            case 'b':
                out += kShortMonths[m.month - 1];
                break;
            case 'A':
                out += kDays[Weekday(m.year, m.month, m.day)];
                break;
            case 'a':
                out += kShortDays[Weekday(m.year, m.month, m.day)];
                break;
            case 'H':
                out += TwoDigits(m.hour);
                break;
            case 'M':
                out += TwoDigits(m.minute);
                break;
            case 'S':
                out += TwoDigits(m.second);
                break;
            case 'j': {
                int day = m.day;
                for (int k = 1; k < m.month; ++k) day += DaysInMonth(m.year, k);
                const std::string digits = std::to_string(day);
                out.append(3 - std::min<std::size_t>(3, digits.size()), '0');
                out += digits;
                break;
            }
            case '%':
                out += '%';
                break;
            default:
                out += '%', out += c;  // not a conversion: shown as written
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The named fields

enum NamedField {
    kKamera,
    kObjektiv,
    kBrennweite,
    kBrennweite35,
    kBlende,
    kBelichtung,
    kIso,
    kBelichtungskorrektur,
    kDatum,
    kUhrzeit,
    kTitel,
    kBeschreibung,
    kUrheber,
    kCopyright,
    kOrt,
    kStichwoerter,
    kDatei,
    kNamedCount
};

const char* const kNames[kNamedCount] = {
    "Kamera",  "Objektiv",   "Brennweite", "Brennweite35",
    "Blende",  "Belichtung", "ISO",        "Belichtungskorrektur",
    "Datum",   "Uhrzeit",    "Titel",      "Beschreibung",
    "Urheber", "Copyright",  "Ort",        "Stichwörter",
    "Datei"};

std::optional<int> NamedIndex(std::string_view name) {
    for (int i = 0; i < kNamedCount; ++i)
        if (name == kNames[i]) return i;
    return std::nullopt;
}

}  // namespace

struct CaptionFactsData {
    std::vector<PhotoField> fields;
    std::map<std::string, std::size_t, std::less<>> byKey;
    std::string named[kNamedCount];
    std::optional<Moment> taken;
};

namespace {

// Reads the facts a field needs, each from the first place that has it.
class Reader {
  public:
    explicit Reader(const CaptionFactsData& d) : d_(d) {}

    const PhotoField* Find(std::string_view key) const {
        const auto found = d_.byKey.find(key);
        return found == d_.byKey.end() ? nullptr : &d_.fields[found->second];
    }

    // The first key's text that is not empty once cleaned.
    std::string Text(std::initializer_list<const char*> keys) const {
        for (const char* key : keys)
            if (const PhotoField* f = Find(key))
                if (std::string text = CleanCaptionText(f->printed); !text.empty()) return text;
        return {};
    }

    // The `index`th number of a key: from EXIF's rationals, or XMP's text.
    std::optional<double> Number(const char* key, std::size_t index = 0) const {
        const PhotoField* f = Find(key);
        if (!f) return std::nullopt;
        if (!f->numbers.empty()) {
            if (index >= f->numbers.size() || f->numbers[index].second == 0) return std::nullopt;
            return double(f->numbers[index].first) / double(f->numbers[index].second);
        }
        std::vector<std::string> tokens;
        std::string token;
        for (char c : f->raw + " ") {
            if (c == ' ' || c == ',') {
                if (!token.empty()) tokens.push_back(token);
                token.clear();
            } else {
                token += c;
            }
        }
        if (index >= tokens.size()) return std::nullopt;
        return ParseNumber(tokens[index]);
    }

    // The first key with a number above zero (and below `limit`).
    std::optional<double> Positive(std::initializer_list<const char*> keys,
                                   double limit = 1e9) const {
        for (const char* key : keys)
            if (const auto v = Number(key); v && *v > 0 && *v < limit) return v;
        return std::nullopt;
    }

  private:
    const CaptionFactsData& d_;
};

// Words after which a maker's name is its legal form ("NIKON CORPORATION", "OLYMPUS IMAGING
// CORP.", "Minolta Co., Ltd.").
bool CompanyWord(const std::string& word) {
    std::string w;
    for (char c : Upper(word))
        if (c != '.' && c != ',') w += c;
    static const char* const kWords[] = {
        "CORPORATION", "CORP", "IMAGING", "COMPANY", "CO",     "COLTD",    "LTD",        "INC",
        "AG",          "GMBH", "LLC",     "OPTICAL", "CAMERA", "COMPUTER", "ELECTRONICS"};
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char* k) { return w == k; });
}

// "NIKON" -> "Nikon"; short all-capital names ("LG", "DJI") and mixed case stay.
std::string NameCase(const std::string& word) {
    const bool hasLower =
        std::any_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    if (hasLower || word.size() <= 3) return word;
    std::string out = word;
    for (std::size_t i = 1; i < out.size(); ++i)
        if (out[i] >= 'A' && out[i] <= 'Z') out[i] = char(out[i] - 'A' + 'a');
    return out;
}

std::string TidyMake(const std::string& make) {
    std::string out;
    const std::vector<std::string> words = Words(make);
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0 && CompanyWord(words[i])) break;
        std::string w = words[i];
        while (!w.empty() && (w.back() == ',' || w.back() == '.')) w.pop_back();
        if (w.empty()) continue;
        if (!out.empty()) out += ' ';
        out += NameCase(w);
    }
    return out;
}

// Whether `text` begins with the words `prefix`, letter case aside.
bool StartsWithWords(const std::string& text, const std::string& prefix) {
    return !prefix.empty() && text.size() >= prefix.size() &&
           Upper(text.substr(0, prefix.size())) == Upper(prefix) &&
           (text.size() == prefix.size() || text[prefix.size()] == ' ');
}

std::string Camera(const Reader& r) {
    const std::string make = r.Text({"Exif.Image.Make", "Xmp.tiff.Make"});
    const std::string model = r.Text({"Exif.Image.Model", "Xmp.tiff.Model"});
    const std::string tidy = TidyMake(make);
    if (model.empty()) return tidy;
    if (tidy.empty()) return model;
    // The model often repeats the make, or its first word, in its own spelling.
    if (StartsWithWords(model, tidy)) return tidy + model.substr(tidy.size());
    const std::string first = Words(tidy)[0];
    if (StartsWithWords(model, first)) return first + model.substr(first.size());
    return tidy + " " + model;
}

// A lens table's answer that names a lens: not a number code, "(123)", "Unknown" or a list of
// candidates the table could not tell apart ("... or ...").
bool LensName(const std::string& text) {
    if (text.empty() || text[0] == '(' || text.find("*OR*") != std::string::npos ||
        text.find(" or ") != std::string::npos)
        return false;
    const std::string upper = Upper(text);
    if (upper.rfind("UNKNOWN", 0) == 0 || upper == "N/A" || upper == "NONE") return false;
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

// "F4" or "f/4" as the lens tables print a maximum aperture.
std::optional<double> PrintedAperture(const Reader& r, const char* key) {
    const PhotoField* f = r.Find(key);
    // A zero is "not known", whatever the table makes of it.
    if (!f || r.Number(key) == 0.0) return std::nullopt;
    // Only as an aperture: a bare number would be the table's code.
    std::string_view text = f->printed;
    if (text.empty() || (text[0] != 'F' && text[0] != 'f')) return std::nullopt;
    text.remove_prefix(text.size() > 1 && text[1] == '/' ? 2 : 1);
    const auto v = ParseNumber(text);
    return v && *v > 0 && *v < 1000 ? v : std::nullopt;
}

std::string FocalRange(double shortest, double longest, std::optional<double> wide,
                       std::optional<double> tele) {
    if (!(shortest > 0) || longest < shortest || longest > 1e5) return {};
    std::string text = Decimal(shortest, 1);
    if (const std::string far = Decimal(longest, 1); far != text) text += "-" + far;
    text += " mm";
    if (wide && *wide > 0 && *wide < 1000) {
        const std::string open = Decimal(*wide, 1);
        text += " ƒ/" + open;
        if (tele && *tele > 0 && *tele < 1000 && Decimal(*tele, 1) != open)
            text += "-" + Decimal(*tele, 1);
    }
    return text;
}

// The focal range and apertures the lens states, from the places cameras write them.
std::string LensRange(const Reader& r) {
    for (const char* key : {"Exif.Photo.LensSpecification", "Exif.Nikon3.Lens", "Xmp.aux.LensInfo",
                            "Xmp.exifEX.LensSpecification"}) {
        const auto shortest = r.Number(key, 0), longest = r.Number(key, 1);
        if (shortest && longest)
            if (std::string t = FocalRange(*shortest, *longest, r.Number(key, 2), r.Number(key, 3));
                !t.empty())
                return t;
    }
    // Canon: longest, shortest, and the unit they count in.
    if (const auto units = r.Number("Exif.CanonCs.Lens", 2); units && *units > 0) {
        const auto longest = r.Number("Exif.CanonCs.Lens", 0);
        const auto shortest = r.Number("Exif.CanonCs.Lens", 1);
        if (longest && shortest)
            if (std::string t = FocalRange(*shortest / *units, *longest / *units,
                                           PrintedAperture(r, "Exif.CanonCs.MaxAperture"), {});
                !t.empty())
                return t;
    }
    const auto shortest = r.Number("Exif.OlympusEq.MinFocalLength");
    const auto longest = r.Number("Exif.OlympusEq.MaxFocalLength");
    if (shortest && longest)
        return FocalRange(*shortest, *longest,
                          PrintedAperture(r, "Exif.OlympusEq.MaxApertureAtMinFocal"),
                          PrintedAperture(r, "Exif.OlympusEq.MaxApertureAtMaxFocal"));
    return {};
}

std::string Lens(const Reader& r) {
    // The camera's own words first, then the maker note through Exiv2's lens tables, then what
    // a photo program wrote into XMP.
    for (const char* key :
         {"Exif.Photo.LensModel", "Exif.CanonCs.LensType", "Exif.Canon.LensModel",
          "Exif.NikonLd3.LensIDNumber", "Exif.NikonLd2.LensIDNumber", "Exif.NikonLd1.LensIDNumber",
          "Exif.Sony2.LensID", "Exif.Sony1.LensID", "Exif.Minolta.LensID", "Exif.Pentax.LensType",
          "Exif.PentaxDng.LensType", "Exif.OlympusEq.LensType", "Exif.OlympusEq.LensModel",
          "Exif.Panasonic.LensType", "Exif.Samsung2.LensType", "Xmp.aux.Lens",
          "Xmp.exifEX.LensModel"}) {
        const std::string text = r.Text({key});
        if (LensName(text)) return text;
    }
    return LensRange(r);
}

std::string Exposure(double t) {
    if (t < 0.3) return "1/" + std::to_string(std::llround(1 / t)) + " s";
    if (t < 10) return Decimal(t, 1) + " s";
    return std::to_string(std::llround(t)) + " s";
}

std::string ExposureTime(const Reader& r) {
    if (const auto t = r.Positive({"Exif.Photo.ExposureTime", "Xmp.exif.ExposureTime"}, 1e6))
        return Exposure(*t);
    // APEX: t = 2^-Tv.
    for (const char* key : {"Exif.Photo.ShutterSpeedValue", "Xmp.exif.ShutterSpeedValue"})
        if (const auto tv = r.Number(key); tv && *tv > -20 && *tv < 40)
            return Exposure(std::pow(2.0, -*tv));
    return {};
}

std::string Aperture(const Reader& r) {
    if (const auto f = r.Positive({"Exif.Photo.FNumber", "Xmp.exif.FNumber"}, 1000))
        return "ƒ/" + Decimal(*f, 1);
    // APEX: N = 2^(Av/2).
    for (const char* key : {"Exif.Photo.ApertureValue", "Xmp.exif.ApertureValue"})
        if (const auto av = r.Number(key); av && *av >= 0 && *av < 30)
            return "ƒ/" + Decimal(std::pow(2.0, *av / 2), 1);
    return {};
}

std::string Iso(const Reader& r) {
    // 65535 stands for "higher than a short holds": the later tags have it then.
    for (const char* key : {"Exif.Photo.ISOSpeedRatings", "Exif.Photo.RecommendedExposureIndex",
                            "Exif.Photo.StandardOutputSensitivity", "Exif.Photo.ISOSpeed",
                            "Xmp.exif.ISOSpeedRatings", "Xmp.exifEX.RecommendedExposureIndex"})
        if (const auto v = r.Number(key); v && *v >= 1 && *v < 1e8 && *v != 65535)
            return "ISO " + std::to_string(std::llround(*v));
    return {};
}

std::string ExposureBias(const Reader& r) {
    for (const char* key : {"Exif.Photo.ExposureBiasValue", "Xmp.exif.ExposureBiasValue"}) {
        const auto v = r.Number(key);
        if (!v || std::abs(*v) > 64) continue;
        const std::string amount = Decimal(std::abs(*v), 1);
        if (amount == "0") return "±0 EV";
        return std::string(*v > 0 ? "+" : "−") + amount + " EV";
    }
    return {};
}

std::string Place(const Reader& r) {
    std::vector<std::string> parts;
    const auto add = [&](std::string part) {
        if (!part.empty() && (parts.empty() || parts.back() != part)) parts.push_back(part);
    };
    std::string city = r.Text({"Iptc.Application2.City", "Xmp.photoshop.City"});
    if (city.empty()) city = r.Text({"Iptc.Application2.SubLocation", "Xmp.iptc.Location"});
    add(city);
    add(r.Text({"Iptc.Application2.ProvinceState", "Xmp.photoshop.State"}));
    add(r.Text({"Iptc.Application2.CountryName", "Xmp.photoshop.Country"}));
    std::string joined;
    for (const std::string& p : parts) {
        if (!joined.empty()) joined += ", ";
        joined += p;
    }
    return joined;
}

std::optional<Moment> Taken(const Reader& r) {
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Xmp.exif.DateTimeOriginal",
                            "Xmp.photoshop.DateCreated", "Xmp.xmp.CreateDate"}) {
        if (const PhotoField* f = r.Find(key))
            if (auto m = ParseMoment(f->raw)) return m;
    }
    if (const PhotoField* f = r.Find("Iptc.Application2.DateCreated")) {
        if (auto m = ParseMoment(f->raw)) {
            if (const PhotoField* t = r.Find("Iptc.Application2.TimeCreated"))
                ParseTime(t->raw, 0, *m);
            return m;
        }
    }
    return std::nullopt;
}

std::string FileStem(std::string_view name) {
    const std::size_t slash = name.find_last_of('/');
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return CleanCaptionText(name);
}

// ---------------------------------------------------------------------------------------------
// Patterns

// A piece of the pattern quoted in a message: short, and safe to show.
std::string Quoted(std::string_view piece) {
    std::string text = CleanCaptionText(piece, 40);
    if (CleanCaptionText(piece, 41).size() > text.size()) text += "…";
    return "\"" + text + "\"";
}

bool KnownField(std::string_view name) {
    return NamedIndex(name) || IsPhotoFieldKey(name);
}

// Walks the pattern once: checks it and, with facts, fills it. Returns the error message, or
// "" with the text in `out`.
std::string Walk(std::string_view pattern, const CaptionFacts* facts, std::string& out) {
    struct Part {
        std::size_t start;
        std::string text;
        bool missing = false;
    };
    std::vector<Part> parts{{0, {}, false}};
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool doubled = i + 1 < pattern.size() && pattern[i + 1] == c;
        if ((c == '{' || c == '}' || c == '[' || c == ']') && doubled) {
            parts.back().text += c;
            ++i;
        } else if (c == '{') {
            const std::size_t close = pattern.find('}', i + 1);
            if (close == std::string_view::npos)
                return "Das Feld " + Quoted(pattern.substr(i)) + " wird nicht mit } geschlossen.";
            const std::string_view inside = pattern.substr(i + 1, close - i - 1);
            // A format follows a named field's colon; XMP keys have colons of their own
            // ("Xmp.iptc.CreatorContactInfo/Iptc4xmpCore:CiAdrCity").
            const std::size_t colon = inside.find(':');
            const bool formatted =
                colon != std::string_view::npos && NamedIndex(inside.substr(0, colon));
            const std::string_view name = formatted ? inside.substr(0, colon) : inside;
            const std::string_view format = formatted ? inside.substr(colon + 1) : "";
            if (!KnownField(name))
                return "Unbekanntes Feld " + Quoted(pattern.substr(i, close - i + 1)) + ".";
            if (formatted && name != kNames[kDatum] && name != kNames[kUhrzeit])
                return "Nur {Datum} und {Uhrzeit} haben ein Format, nicht " +
                       Quoted(pattern.substr(i, close - i + 1)) + ".";
            if (facts) {
                const std::string value = facts->Value(name, format);
                if (value.empty()) parts.back().missing = true;
                parts.back().text += value;
            }
            i = close;
        } else if (c == '[') {
            parts.push_back({i, {}, false});
        } else if (c == ']') {
            if (parts.size() == 1)
                return "Zur Klammer ] fehlt die öffnende [; als Text wird ]] geschrieben.";
            Part done = std::move(parts.back());
            parts.pop_back();
            if (!done.missing) parts.back().text += done.text;
        } else if (c == '}') {
            return "Zur Klammer } fehlt die öffnende {; als Text wird }} geschrieben.";
        } else {
            parts.back().text += c;
        }
    }
    if (parts.size() > 1)
        return "Der Teil " + Quoted(pattern.substr(parts.back().start)) +
               " wird nicht mit ] geschlossen.";
    out = std::move(parts.back().text);
    return {};
}

}  // namespace

CaptionFacts::CaptionFacts() : data_(std::make_shared<CaptionFactsData>()) {}

CaptionFacts CaptionFacts::Of(const PhotoMetadata& metadata, std::string_view fileName) {
    auto d = std::make_shared<CaptionFactsData>();
    d->fields = ReadPhotoFields(metadata);
    for (std::size_t i = 0; i < d->fields.size(); ++i) d->byKey.emplace(d->fields[i].key, i);
    const Reader r(*d);
    d->named[kKamera] = Camera(r);
    d->named[kObjektiv] = Lens(r);
    if (const auto f = r.Positive({"Exif.Photo.FocalLength", "Xmp.exif.FocalLength"}, 1e5))
        d->named[kBrennweite] = Decimal(*f, 1) + " mm";
    if (const auto f =
            r.Positive({"Exif.Photo.FocalLengthIn35mmFilm", "Xmp.exif.FocalLengthIn35mmFilm"}, 1e5))
        d->named[kBrennweite35] = std::to_string(std::llround(*f)) + " mm";
    d->named[kBlende] = Aperture(r);
    d->named[kBelichtung] = ExposureTime(r);
    d->named[kIso] = Iso(r);
    d->named[kBelichtungskorrektur] = ExposureBias(r);
    d->named[kTitel] =
        r.Text({"Xmp.dc.title", "Iptc.Application2.ObjectName", "Exif.Image.ImageDescription"});
    d->named[kBeschreibung] =
        r.Text({"Xmp.dc.description", "Iptc.Application2.Caption", "Exif.Image.ImageDescription"});
    d->named[kUrheber] =
        r.Text({"Xmp.dc.creator", "Iptc.Application2.Byline", "Exif.Image.Artist"});
    d->named[kCopyright] =
        r.Text({"Xmp.dc.rights", "Iptc.Application2.Copyright", "Exif.Image.Copyright"});
    d->named[kOrt] = Place(r);
    d->named[kStichwoerter] = r.Text({"Xmp.dc.subject", "Iptc.Application2.Keywords"});
    d->named[kDatei] = FileStem(fileName);
    d->taken = Taken(r);
    // Fields joined from several values are held to the same length as one.
    for (std::string& value : d->named) value = CleanCaptionText(value, kMaxFieldChars);
    CaptionFacts facts;
    facts.data_ = std::move(d);
    return facts;
}

std::string CaptionFacts::Value(std::string_view field, std::string_view format) const {
    const std::optional<int> named = NamedIndex(field);
    if (named == kDatum || named == kUhrzeit) {
        if (!data_->taken) return {};
        if (format.empty()) format = named == kDatum ? "%d.%m.%Y" : "%H:%M";
        return CleanCaptionText(FormatMoment(*data_->taken, format), kMaxFieldChars);
    }
    if (named) return data_->named[*named];
    return Reader(*data_).Text({std::string(field).c_str()});
}

std::string CheckCaptionPattern(std::string_view pattern) {
    std::string unused;
    return Walk(pattern, nullptr, unused);
}

std::string CheckCaptionPattern(std::string_view pattern, int line) {
    const std::string message = CheckCaptionPattern(pattern);
    return message.empty() ? message : "Zeile " + std::to_string(line) + ": " + message;
}

std::string FillCaptionPattern(std::string_view pattern, const CaptionFacts& facts) {
    std::string text;
    if (!Walk(pattern, &facts, text).empty()) return {};
    // The pattern may come from a damaged template: it is shown as far as it is valid text.
    return TrimSpaces(CleanText(text, std::string::npos, false));
}

std::vector<std::pair<std::string, std::string>> CaptionFieldValues(const CaptionFacts& facts) {
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& name : CaptionFieldNames())
        values.emplace_back(name, facts.Value(name));
    for (const PhotoField& f : facts.data_->fields)
        values.emplace_back(f.key, CleanCaptionText(f.printed));
    return values;
}

const std::vector<std::string>& CaptionFieldNames() {
    static const std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    return names;
}

std::string CleanCaptionText(std::string_view text, std::size_t maxChars) {
    return CleanText(text, maxChars, true);
}

}  // namespace lumivane
