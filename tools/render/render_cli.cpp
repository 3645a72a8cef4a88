#include "tools/render/render_cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <ostream>
#include <sstream>
#include <utility>

#include "image/Zerlin.h"
#include "loading/batch.h"
#include "loading/caption.h"
#include "loading/caption_fields.h"
#include "loading/print_settings.h"
#include "loading/save_picture.h"
#include "loading/session.h"
#include "loading/utf8.h"
#include "platform/imagelib/codecs/encoder.h"
#include "platform/imagelib/read_image.h"
#include "platform/parallel.h"
#include "tools/render/watch_folder.h"

namespace lumivane {

namespace {

const char kProgram[] = "lumivane-render";

ReadOptions PictureReadOptions(const RenderOptions& o) {
    return ReadOptions{!o.ignoreOrientation, !o.ignoreProfile};
}

// A decimal number as the fields accept it: digits with an optional sign and fraction.
std::optional<long double> ParseNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long double v = std::strtold(begin, &end);
    if (end != begin + text.size() || errno == ERANGE) return std::nullopt;
    for (char c : text) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.'))
            return std::nullopt;  // no hex, exponents, "inf" or "nan"
    }
    return v;
}

// One row per option: the parser, the German --help and the usage line all come from here.
struct OptionRow {
    const char* shortName;  // "-b", or nullptr
    const char* longName;   // "--background"
    const char* valueName;  // what follows the option in --help; nullptr for a switch
    const char* usageName;  // for the options the usage line requires, e.g. "HINTERGRUND"
    std::string help;
    // Stores `value` (empty for a switch). False, with `error` set, when it is not acceptable.
    std::function<bool(RenderOptions& o, const std::string& option, const std::string& value,
                       std::string& error)>
        apply;
};

using Apply = decltype(OptionRow::apply);

// The message for an option given a value it does not take; `what` says what it takes.
std::string Expected(const std::string& option, const std::string& what, const std::string& value) {
    return "Bei " + option + " wird " + what + " erwartet, nicht \"" + value + "\".";
}

// Stores the word (any case) an option takes, looked up by `named`; `words` lists them.
template <typename T>
bool StoreWord(std::optional<T> (*named)(const std::string&), const char* words,
               const std::string& option, const std::string& value, T& into, std::string& error) {
    const std::optional<T> found = named(Lower(value));
    if (!found) {
        error = Expected(option, words, value);
        return false;
    }
    into = *found;
    return true;
}

bool StoreNumber(const std::string& option, const std::string& text, long double& into,
                 std::string& error) {
    const auto v = ParseNumber(text);
    if (!v) {
        error = Expected(option, "eine Zahl", text);
        return false;
    }
    into = *v;
    return true;
}

Apply Number(long double FramingTemplate::*member) {
    return [member](RenderOptions& o, const std::string& option, const std::string& value,
                    std::string& error) {
        return StoreNumber(option, value, o.design.*member, error);
    };
}

Apply OptionalNumber(std::optional<long double> FramingTemplate::*member) {
    return [member](RenderOptions& o, const std::string& option, const std::string& value,
                    std::string& error) {
        long double v = 0;
        if (!StoreNumber(option, value, v, error)) return false;
        o.design.*member = v;
        return true;
    };
}

Apply Text(std::string RenderOptions::*member) {
    return [member](RenderOptions& o, const std::string&, const std::string& value, std::string&) {
        o.*member = value;
        return true;
    };
}

// Where an option's value goes: a setting of the design, or one of the command line's own.
bool& Setting(RenderOptions& o, bool FramingTemplate::*member) {
    return o.design.*member;
}
bool& Setting(RenderOptions& o, bool RenderOptions::*member) {
    return o.*member;
}

template <typename Owner>
Apply Switch(bool Owner::*member, bool to = true) {
    return [member, to](RenderOptions& o, const std::string&, const std::string&, std::string&) {
        Setting(o, member) = to;
        return true;
    };
}

bool StoreFill(RenderOptions& o, const std::string&, const std::string& value, std::string& error) {
    const auto c = ParseHexColour(value);
    if (!c) {
        error = "Die Füllfarbe wird als #RRGGBB angegeben, nicht \"" + value + "\".";
        return false;
    }
    o.design.fillColor = *c;
    return true;
}

bool StoreFormat(RenderOptions& o, const std::string&, const std::string& value,
                 std::string& error) {
    o.format = Lower(value);
    if (!o.format.empty() && o.format[0] == '.') o.format.erase(0, 1);
    if (!FindEncoder(o.format)) {
        error = "Das Format \"" + o.format + "\" kann nicht geschrieben werden (" +
                WritableExtensionList() + ").";
        return false;
    }
    o.formatGiven = true;
    return true;
}

// A whole number from `low` to `high`; `expected` names the range in the message.
Apply WholeNumber(int RenderOptions::*member, int low, int high, const char* expected) {
    return [=](RenderOptions& o, const std::string& option, const std::string& value,
               std::string& error) {
        long double n = 0;
        if (!StoreNumber(option, value, n, error)) return false;
        if (n < low || n > high || n != static_cast<long double>(static_cast<int>(n))) {
            error = "Bei " + option + " wird " + expected + " erwartet.";
            return false;
        }
        o.*member = static_cast<int>(n);
        return true;
    };
}

// Takes over every setting of a template file; options after it override them again.
bool StoreTemplate(RenderOptions& o, const std::string&, const std::string& file,
                   std::string& error) {
    std::string why;
    std::optional<FramingTemplate> t = ReadTemplate(file, why);
    if (!t) {
        error = file + ": " + why;
        return false;
    }
    o.design = std::move(*t);
    o.backgroundFromTemplate = true;
    o.paperGiven = o.design.print.has_value();
    o.plainNoBackground = false;  // the template keeps the frame the window showed
    o.captionLinesGiven = o.captionFontsGiven = 0;
    return true;
}

bool StoreNoBackground(RenderOptions& o, const std::string&, const std::string&, std::string&) {
    o.design.backgroundCheck = false;
    o.plainNoBackground = true;
    return true;
}

// The print options fill in one format; --print names its paper.
PrintFormat& PrintOf(RenderOptions& o) {
    if (!o.design.print) o.design.print.emplace();
    return *o.design.print;
}

bool StorePaper(RenderOptions& o, const std::string&, const std::string& value,
                std::string& error) {
    if (!ParsePaper(value, PrintOf(o))) {
        error = "Das Papierformat \"" + value +
                "\" ist unbekannt; erwartet wird etwa 10x15cm, A4, 5x7in oder 200x300mm.";
        return false;
    }
    o.paperGiven = true;
    return true;
}

bool StoreDpi(RenderOptions& o, const std::string& option, const std::string& value,
              std::string& error) {
    long double n = 0;
    if (!StoreNumber(option, value, n, error)) return false;
    if (n < kMinPrintDpi || n > kMaxPrintDpi || n != std::floor(n)) {
        error = "Bei " + option + " wird eine ganze Zahl von 72 bis 1200 erwartet.";
        return false;
    }
    PrintOf(o).dpi = static_cast<int>(n);
    return true;
}

bool StoreBorder(RenderOptions& o, const std::string& option, const std::string& value,
                 std::string& error) {
    std::vector<std::int64_t> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = value.find(',', from);
        const auto mm = ParseMillimetres(value.substr(from, comma - from));
        if (!mm) break;
        parts.push_back(*mm);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    const std::size_t given =
        static_cast<std::size_t>(std::count(value.begin(), value.end(), ',')) + 1;
    if (parts.size() != given || (given != 1 && given != 3)) {
        error = "Bei " + option +
                " werden Millimeter erwartet: ein Wert oder OBEN,SEITEN,UNTEN, nicht \"" + value +
                "\".";
        return false;
    }
    PrintFormat& f = PrintOf(o);
    f.borderTopUm = parts[0];
    f.borderSidesUm = parts.size() == 3 ? parts[1] : parts[0];
    f.borderBottomUm = parts.back();
    return true;
}

bool StoreFillWindow(RenderOptions& o, const std::string&, const std::string&, std::string&) {
    PrintOf(o).fill = true;
    return true;
}

bool StorePaperOrientation(RenderOptions& o, const std::string& option, const std::string& value,
                           std::string& error) {
    return StoreWord(OrientationNamed, "hoch, quer oder wie-foto", option, value,
                     PrintOf(o).orientation, error);
}

bool StoreBackground(RenderOptions& o, const std::string&, const std::string& value, std::string&) {
    o.design.background = value;
    o.design.backgroundTurns = 0;  // turns a template gave belong to its own background
    o.backgroundFromTemplate = false;
    return true;
}

// A window given by hand is of use only with the frame over the motif: it switches that on.
bool StoreOpening(RenderOptions& o, const std::string& option, const std::string& value,
                  std::string& error) {
    const std::optional<OpeningBox> box = ParseOpening(value);
    if (!box) {
        error = "Bei " + option + " werden vier ganze Zahlen X,Y,B,H erwartet (B und H größer " +
                "als 0), nicht \"" + value + "\".";
        return false;
    }
    o.design.opening = box;
    o.design.overlay = true;
    return true;
}

bool StoreMatchOrientation(RenderOptions& o, const std::string&, const std::string&, std::string&) {
    o.design.orientationMatched = true;
    return true;
}

bool StoreList(RenderOptions& o, const std::string&, const std::string& value, std::string&) {
    o.motifLists.push_back(value);
    return true;
}

bool StoreProgress(RenderOptions& o, const std::string& option, const std::string& value,
                   std::string& error) {
    if (Lower(value) != "json") {
        error = Expected(option, "json", value);
        return false;
    }
    o.progressJson = true;
    return true;
}

// The caption options: each sets up a caption (off until one is given).
Caption& CaptionOf(RenderOptions& o) {
    if (!o.design.caption) o.design.caption.emplace();
    return *o.design.caption;
}

bool StoreCaption(RenderOptions& o, const std::string& option, const std::string& value,
                  std::string& error) {
    Caption& c = CaptionOf(o);
    if (o.captionLinesGiven == kCaptionLines) {
        error = "Bei " + option + " sind höchstens drei Zeilen möglich.";
        return false;
    }
    if (o.captionLinesGiven == 0)
        for (CaptionLine& line : c.lines) line.pattern.clear();
    c.lines[std::size_t(o.captionLinesGiven++)].pattern = value;
    return true;
}

// The first gives every line's font, each further one the font of its line and those after it.
bool StoreCaptionFont(RenderOptions& o, const std::string& option, const std::string& value,
                      std::string& error) {
    const auto font = ParseCaptionFont(value);
    if (!font || o.captionFontsGiven == kCaptionLines) {
        error = font ? "Bei " + option + " sind höchstens drei Schriften möglich."
                     : "Bei " + option + " wird FAMILIE oder FAMILIE:GEWICHT erwartet (Gewicht " +
                           "100 bis 900 oder dünn, leicht, normal, mittel, halbfett, fett, " +
                           "schwarz), nicht \"" + value + "\".";
        return false;
    }
    Caption& c = CaptionOf(o);
    const int given = o.captionFontsGiven++;
    for (int i = given; i < kCaptionLines; ++i) {
        c.lines[std::size_t(i)].family = font->first;
        c.lines[std::size_t(i)].weight = font->second;
    }
    return true;
}

bool StoreCaptionPosition(RenderOptions& o, const std::string& option, const std::string& value,
                          std::string& error) {
    return StoreWord(CaptionPlaceNamed,
                     "unten, oben, unten-links, unten-rechts, oben-links oder oben-rechts", option,
                     value, CaptionOf(o).place, error);
}

bool StoreCaptionAlign(RenderOptions& o, const std::string& option, const std::string& value,
                       std::string& error) {
    return StoreWord(CaptionAlignNamed, "links, mitte oder rechts", option, value,
                     CaptionOf(o).align, error);
}

bool StoreCaptionSize(RenderOptions& o, const std::string& option, const std::string& value,
                      std::string& error) {
    long double n = 0;
    if (!StoreNumber(option, value, n, error)) return false;
    if (!(n >= kMinCaptionSize && n <= kMaxCaptionSize)) {
        error = "Bei " + option + " wird eine Zahl von 0,1 bis 50 (Prozent) erwartet.";
        return false;
    }
    CaptionOf(o).size = n;
    return true;
}

bool StoreCaptionColour(RenderOptions& o, const std::string&, const std::string& value,
                        std::string& error) {
    const auto c = ParseHexColour(value);
    if (!c) {
        error = "Die Schriftfarbe wird als #RRGGBB angegeben, nicht \"" + value + "\".";
        return false;
    }
    CaptionOf(o).colour = *c;
    return true;
}

const std::vector<OptionRow>& OptionTable() {
    static const std::vector<OptionRow> table{
        {"-b", "--background", "DATEI", "HINTERGRUND",
         "Hintergrund (Rahmen, Passepartout, Struktur)", StoreBackground},
        {"-o", "--output", "ZIEL", "AUSGABE", "Ergebnisdatei oder, bei mehreren Motiven, Ordner",
         Text(&RenderOptions::output)},
        {nullptr, "--frame", "P", nullptr, "Rahmen in % des Motivs (Vorgabe 130)",
         Number(&FramingTemplate::frame)},
        {nullptr, "--motif-zoom", "P", nullptr, "Motiv in % (Vorgabe 100)",
         Number(&FramingTemplate::motifZoom)},
        {nullptr, "--rotate", "GRAD", nullptr,
         "Drehung des Motivs gegen den Uhrzeigersinn (Vorgabe 5)",
         Number(&FramingTemplate::rotate)},
        {nullptr, "--feather", "PX", nullptr, "Maskenbreite (Vorgabe: Motivbreite / 50)",
         OptionalNumber(&FramingTemplate::feather)},
        {nullptr, "--round", nullptr, nullptr, "runde statt rechteckiger Maske",
         Switch(&FramingTemplate::roundMask)},
        {nullptr, "--radius", "PX", nullptr,
         "Maskenradius: vergrößert oder verkleinert die runde Maske",
         Number(&FramingTemplate::radius)},
        {nullptr, "--no-background", nullptr, nullptr,
         "ohne Hintergrundbild, nur Motiv und Füllfarbe", StoreNoBackground},
        {nullptr, "--background-zoom", "P", nullptr,
         "Hintergrund in % (statt der automatischen Anpassung)",
         OptionalNumber(&FramingTemplate::backgroundZoom)},
        {nullptr, "--margin-x", "PX", nullptr, "zusätzliche Breite je Seite (negativ: beschneiden)",
         OptionalNumber(&FramingTemplate::marginX)},
        {nullptr, "--margin-y", "PX", nullptr, "zusätzliche Höhe je Seite (negativ: beschneiden)",
         OptionalNumber(&FramingTemplate::marginY)},
        {nullptr, "--print", "PAPIER", nullptr,
         "Druckformat, z. B. 10x15cm, A4, 5x7in, 200x300mm: das Ergebnis hat genau dessen "
         "Pixel",
         StorePaper},
        {nullptr, "--dpi", "N", nullptr, "Auflösung des Druckformats, 72 bis 1200 (Vorgabe 300)",
         StoreDpi},
        {nullptr, "--border", "MM", nullptr,
         "Ränder des Druckformats in mm: ein Wert oder OBEN,SEITEN,UNTEN (Vorgabe 0)", StoreBorder},
        {nullptr, "--fill-window", nullptr, nullptr,
         "Motiv füllt das Fenster in den Rändern, an ihm beschnitten (Vorgabe: einpassen)",
         StoreFillWindow},
        {nullptr, "--paper-orientation", "LAGE", nullptr,
         "Papier hoch, quer oder wie-foto (Vorgabe: wie das Foto)", StorePaperOrientation},
        {nullptr, "--fill", "'#RRGGBB'", nullptr, "Füllfarbe (Vorgabe #FFFFFF, weiß)", StoreFill},
        {nullptr, "--reduce", nullptr, nullptr,
         "Motive ab 1000 Pixel Breite auf 1000 Pixel verkleinern",
         Switch(&FramingTemplate::reduceMotif)},
        {nullptr, "--ignore-orientation", nullptr, nullptr,
         "Bilder nicht nach ihrer EXIF-Ausrichtung drehen",
         Switch(&RenderOptions::ignoreOrientation)},
        {nullptr, "--ignore-profile", nullptr, nullptr,
         "eingebettete Farbprofile nicht nach sRGB umrechnen",
         Switch(&RenderOptions::ignoreProfile)},
        {nullptr, "--smooth", nullptr, nullptr,
         "hohe Bildqualität: glatt gedreht und skaliert, ohne Treppenstufen",
         Switch(&FramingTemplate::smooth)},
        {nullptr, "--overlay", nullptr, nullptr,
         "Rahmen über das Motiv legen: das Motiv füllt das transparente Fenster des "
         "Hintergrunds",
         Switch(&FramingTemplate::overlay)},
        {nullptr, "--opening", "X,Y,B,H", nullptr,
         "Fenster des Rahmens von Hand (Pixel im Hintergrundbild), wenn es nicht gefunden "
         "wird; schließt --overlay ein",
         StoreOpening},
        {nullptr, "--match-orientation", nullptr, nullptr,
         "Hintergrund wie das Motiv hoch oder quer stellen", StoreMatchOrientation},
        {nullptr, "--caption", "TEXT", nullptr,
         "Beschriftung, je Zeile einmal (bis zu drei), mit Feldern wie {Kamera} oder "
         "{Datum:%d. %B %Y}; siehe --list-fields",
         StoreCaption},
        {nullptr, "--caption-position", "ORT", nullptr,
         "unten, oben, unten-links, unten-rechts, oben-links oder oben-rechts (Vorgabe unten)",
         StoreCaptionPosition},
        {nullptr, "--caption-align", "AUSRICHTUNG", nullptr,
         "Zeilen links, mitte oder rechts ausrichten (Vorgabe mitte)", StoreCaptionAlign},
        {nullptr, "--caption-size", "P", nullptr,
         "Schriftgröße in % der kürzeren Bildseite (Vorgabe 2,5)", StoreCaptionSize},
        {nullptr, "--caption-color", "'#RRGGBB'", nullptr,
         "Schriftfarbe (Vorgabe: Schwarz oder Weiß, was sich vom Rand abhebt)", StoreCaptionColour},
        {nullptr, "--caption-font", "FAMILIE[:GEWICHT]", nullptr,
         "Schrift: einmal für alle Zeilen oder je Zeile (gilt auch für die folgenden); "
         "Gewicht 100 bis 900 oder dünn, leicht, normal, mittel, halbfett, fett, schwarz",
         StoreCaptionFont},
        {nullptr, "--template", "DATEI", nullptr,
         "Rahmenvorlage anwenden; Optionen danach gehen ihr vor", StoreTemplate},
        {nullptr, "--save-template", "DATEI", nullptr,
         "Optionen und -b als Rahmenvorlage speichern, dann beenden",
         Text(&RenderOptions::saveTemplate)},
        {nullptr, "--format", "ENDUNG", nullptr,
         "Format bei mehreren Motiven (Vorgabe jpg): " + WritableExtensionList(), StoreFormat},
        {nullptr, "--quality", "Q", nullptr, "Qualität für JPEG und WebP, 1 bis 100 (Vorgabe 92)",
         WholeNumber(&RenderOptions::quality, 1, 100, "eine ganze Zahl von 1 bis 100")},
        {nullptr, "--strip-metadata", nullptr, nullptr,
         "ohne EXIF, XMP und IPTC des Motivs (Aufnahmedatum, Kamera, Urheber ...)",
         Switch(&RenderOptions::stripMetadata)},
        {"-j", "--jobs", "N", nullptr, "höchstens N Bilder gleichzeitig (Vorgabe: alle Kerne)",
         WholeNumber(&RenderOptions::jobs, 1, 1024, "eine ganze Zahl ab 1")},
        {nullptr, "--skip-existing", nullptr, nullptr,
         "vorhandene Ergebnisse nicht neu rahmen (setzt einen abgebrochenen Stapel fort)",
         Switch(&RenderOptions::skipExisting)},
        {nullptr, "--files-from", "LISTE", nullptr,
         "weitere Motive aus LISTE, eines je Zeile (- liest die Standardeingabe); "
         "AUSGABE ist dann ein Ordner",
         StoreList},
        {nullptr, "--progress", "json", nullptr,
         "je Bild eine JSON-Zeile auf der Standardausgabe: file, output, status (written, "
         "skipped, failed), reason (leer außer bei failed), ms",
         StoreProgress},
        {nullptr, "--watch", "ORDNER", nullptr,
         "Ordner überwachen (ohne Unterordner): seine Fotos werden in den Ordner -o gerahmt, "
         "die vorhandenen zuerst, jedes neue, sobald es vollständig ist; Strg+C beendet",
         Text(&RenderOptions::watch)},
        {nullptr, "--list-fields", "FOTO", nullptr,
         "Felder für Beschriftungen mit ihren Werten in FOTO zeigen, dann beenden",
         [](RenderOptions& o, const std::string&, const std::string& value, std::string&) {
             o.listFields = value;
             return true;
         }},
        {"-h", "--help", nullptr, nullptr, "diese Hilfe", Switch(&RenderOptions::help)},
    };
    return table;
}

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& row : OptionTable()) {
        if (name == row.longName || (row.shortName && name == row.shortName)) return &row;
    }
    return nullptr;
}

std::string UsageLine() {
    std::string line = std::string("Aufruf: ") + kProgram + " [Optionen]";
    for (const OptionRow& row : OptionTable()) {
        if (row.usageName) line += std::string(" ") + row.shortName + " " + row.usageName;
    }
    return line + " MOTIV...\n";
}

}  // namespace

FramingTemplate DesignOf(const RenderOptions& o) {
    FramingTemplate t = o.design;
    auto store = [](Field f, long double& v) { v = StoreFieldValue(SpecOf(f), v); };
    auto storeIfSet = [&](Field f, std::optional<long double>& v) {
        if (v) store(f, *v);
    };
    store(Field::RahmenEd, t.frame);
    store(Field::Zoom2Ed, t.motifZoom);
    store(Field::RotED, t.rotate);
    store(Field::MaskRadiusEd, t.radius);
    storeIfSet(Field::Maskwidth, t.feather);
    storeIfSet(Field::ZoomEd, t.backgroundZoom);
    storeIfSet(Field::AdditionalEd, t.marginX);
    storeIfSet(Field::AdditionalYED, t.marginY);
    return t;
}

std::string RenderUsageText() {
    return UsageLine() + "Alle Optionen zeigt: " + kProgram + " --help\n";
}

std::string RenderHelpText() {
    constexpr std::size_t kHelpColumn = 22;  // where the explanations start, after two spaces
    std::ostringstream s;
    s << UsageLine() << "\n"
      << "Setzt jedes MOTIV (Foto) in den Rahmen HINTERGRUND, wie es das Programmfenster tut:\n"
      << "Der Hintergrund wird automatisch an das Motiv angepasst, das Motiv gedreht und\n"
      << "weich überblendet. Mit einem Motiv ist AUSGABE die Bilddatei (ihre Endung wählt das\n"
      << "Format), mit mehreren ein Ordner, in den jedes Ergebnis unter dem Namen seines\n"
      << "Motivs geschrieben wird.\n"
      << "\n";
    for (const OptionRow& row : OptionTable()) {
        std::string left = row.shortName ? std::string(row.shortName) + ", " : std::string();
        left += row.longName;
        if (row.valueName) left += std::string(" ") + row.valueName;
        left.resize(std::max(left.size(), kHelpColumn), ' ');
        s << "  " << left << "  " << row.help << "\n";
    }
    s << "\n"
      << "Zahlen werden wie im Programmfenster auf ihren Bereich begrenzt und gerundet.\n"
      << "Rückgabewert: 0 alles geschrieben, 1 ein Bild fehlte oder ließ sich nicht schreiben,\n"
      << "2 falscher Aufruf.\n";
    return s.str();
}

std::optional<RenderOptions> ParseRenderArguments(const std::vector<std::string>& args,
                                                  std::string& error) {
    RenderOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            o.motifs.push_back(a);
            continue;
        }
        const OptionRow* row = FindOption(a);
        if (!row) {
            error = "Unbekannte Option: " + a;
            return std::nullopt;
        }
        std::string value;
        if (row->valueName) {
            if (i + 1 >= args.size()) {
                error = "Bei " + a + " fehlt der Wert.";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!row->apply(o, a, value, error)) return std::nullopt;
        if (o.design.caption) {  // a pattern that cannot be filled renders nothing
            error = CheckCaption(*o.design.caption);
            if (!error.empty()) return std::nullopt;
        }
    }
    if (o.help || o.listFields) return o;
    if (o.design.print && !o.paperGiven) {
        error = "--dpi, --border, --fill-window und --paper-orientation gelten nur mit --print.";
        return std::nullopt;
    }
    if (o.design.print && !BordersFit(*o.design.print)) {
        error = "Die Ränder sind zu breit für das Papier.";
        return std::nullopt;
    }
    const bool needsFile = !o.plainNoBackground || !o.saveTemplate.empty();
    if (o.design.background.empty() && needsFile)
        error = "Der Hintergrund fehlt (-b DATEI).";
    else if (!o.saveTemplate.empty())
        return o;  // no motif or output needed
    else if (o.output.empty())
        error = "Das Ziel fehlt (-o DATEI oder ORDNER).";
    else if (o.motifs.empty() && o.motifLists.empty() && o.watch.empty())
        error = "Es fehlt mindestens ein Motiv.";
    if (!error.empty()) return std::nullopt;
    if (!o.watch.empty()) {
        if (!o.motifs.empty() || !o.motifLists.empty())
            error = "Mit --watch werden keine Motive angegeben; sie kommen aus dem Ordner.";
        else if (SameFolder(o.watch, o.output))
            error =
                "Der Ausgabeordner darf nicht der überwachte Ordner sein, sonst würden die "
                "Ergebnisse wieder gerahmt.";
        if (!error.empty()) return std::nullopt;
        return o;
    }
    if (!o.OutputIsFolder() && !EncoderForFileName(o.output)) {
        error = "Die Endung von \"" + o.output +
                "\" nennt kein Format, das geschrieben werden kann (" + WritableExtensionList() +
                ").";
        return std::nullopt;
    }
    if (!o.OutputIsFolder() && o.formatGiven) {
        error =
            "--format gilt nur für mehrere Motive; bei einem Motiv wählt die Endung des "
            "Ziels das Format.";
        return std::nullopt;
    }
    return o;
}

namespace {

// Appends `text` as a JSON string. Control characters are escaped; bytes that are not UTF-8 (a
// file name can hold any) become U+FFFD, so that the line stays valid JSON.
void AppendJsonString(std::string& json, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    json += '"';
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                json += '\\';
                json += char(c);
            } else if (c < 0x20 || c == 0x7F) {
                json += "\\u00";
                json += kHex[c >> 4];
                json += kHex[c & 15];
            } else {
                json += char(c);
            }
            ++i;
            continue;
        }
        const std::size_t start = i;
        if (NextCodePoint(text, i) < 0)
            json += "\\ufffd";
        else
            json.append(text, start, i - start);
    }
    json += '"';
}

// One line of --progress json.
std::string ProgressJson(const BatchResult& r) {
    static const char* const kStatus[] = {"written", "skipped", "failed"};
    std::string json = "{\"file\":";
    AppendJsonString(json, r.file);
    json += ",\"output\":";
    AppendJsonString(json, r.output);
    json += ",\"status\":\"";
    json += kStatus[static_cast<int>(r.status)];
    json += "\",\"reason\":";
    AppendJsonString(json, r.reason);
    // Not printf: a locale's decimal comma would make it invalid JSON.
    char ms[32];
    const auto written = std::to_chars(ms, ms + sizeof ms, r.ms, std::chars_format::fixed, 1);
    return json + ",\"ms\":" + std::string(ms, written.ptr) + "}";
}

// Adds the paths of a list file, one a line ("-": `in`); empty lines are left out, and the
// carriage return of a list written on Windows. False when the list cannot be read.
bool ReadMotifList(const std::string& list, std::istream& in, std::vector<std::string>& motifs) {
    std::ifstream file;
    if (list != "-") {
        std::error_code ec;
        if (std::filesystem::is_directory(list, ec)) return false;
        file.open(list, std::ios::binary);
        if (!file) return false;
    }
    std::istream& from = list == "-" ? in : file;
    for (std::string line; std::getline(from, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) motifs.push_back(line);
    }
    return !from.bad();
}

// Writes the template the options describe.
int SaveTemplateOnly(const RenderOptions& o, std::ostream& err) {
    std::string error;
    dib background = OpenTemplateBackground(o.design.background, error);
    if (!background.poi) {
        err << kProgram << ": " << o.design.background << ": " << error << "\n";
        return 1;
    }
    FreeDib(background);  // only checked: a template never names a picture that cannot be read
    error = WriteTemplate(DesignOf(o), o.saveTemplate);
    if (error.empty()) return 0;
    err << kProgram << ": " << o.saveTemplate << ": " << error << "\n";
    return 1;
}

}  // namespace

int RunRender(const RenderOptions& o, std::ostream& out, std::ostream& err, bool progress) {
    if (!o.saveTemplate.empty()) return SaveTemplateOnly(o, err);

    BatchSettings settings;
    settings.design = DesignOf(o);
    settings.read = PictureReadOptions(o);
    settings.quality = o.quality;
    settings.stripMetadata = o.stripMetadata;
    settings.plainNoBackground = o.plainNoBackground;
    settings.jobs = o.jobs;
    settings.skipExisting = o.skipExisting;
    settings.backgroundFromTemplate = o.backgroundFromTemplate;
    std::vector<BatchItem> items;
    if (!o.OutputIsFolder()) {
        items.push_back({o.motifs[0], o.output});
    } else {
        settings.outputFolder = o.output;
        items = BatchItemsIn(o.motifs, o.output, o.format);
    }

    auto say = [&](const std::string& name, const std::string& message) {
        err << kProgram << ": ";
        if (!name.empty()) err << name << ": ";
        err << message << "\n";
    };
    if (settings.design.caption) {  // said once for the run, not for every motif
        for (const std::string& notice : CaptionFontNotices(*settings.design.caption))
            say("", notice);
    }
    bool captionOverMotif = false;  // the callbacks never run two at once
    BatchCallbacks callbacks;
    callbacks.message = say;
    callbacks.finished = [&](const BatchResult& r, int done, int total) {
        for (const std::string& w : r.warnings) say(r.file, w);
        if (r.captionOverMotif && !std::exchange(captionOverMotif, true))
            say(r.file, "Die Beschriftung passt nicht in den Rand und liegt teils über dem Motiv.");
        if (r.status == BatchStatus::Failed) say(r.reasonSubject, r.reason);
        if (o.progressJson)
            out << ProgressJson(r) << std::endl;  // at once: another program is waiting for it
        else if (progress)
            err << done << "/" << total << " " << std::filesystem::path(r.file).filename().string()
                << "\n";
    };
    if (!o.watch.empty()) return WatchFolder(o.watch, o.format, settings, callbacks);
    return RunBatch(settings, items, callbacks) == BatchEnd::AllWritten ? 0 : 1;
}

namespace {

// Reads the photo as a motif is read (the metadata too) and prints "Name: Wert" per field.
int ListFields(const RenderOptions& o, std::ostream& out, std::ostream& err) {
    ReadOptions options = PictureReadOptions(o);
    options.readMetadata = true;
    const std::string& photo = *o.listFields;
    const ReadResult read = ReadImageFile(photo.c_str(), options);
    if (!read.image) {
        err << kProgram << ": " << photo << ": " << LoadFailureMessage(read.failure) << "\n";
        return 1;
    }
    for (const auto& [name, value] :
         CaptionFieldValues(CaptionFacts::Of(read.facts.metadata, photo)))
        out << name << ":" << (value.empty() ? "" : " ") << value << "\n";
    return 0;
}

}  // namespace

int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress, std::istream& in) {
    std::string error;
    std::optional<RenderOptions> options = ParseRenderArguments(args, error);
    if (!options) {
        err << kProgram << ": " << error << "\n" << RenderUsageText();
        return 2;
    }
    if (options->help) {
        out << RenderHelpText();
        return 0;
    }
    for (const std::string& list : options->motifLists) {
        if (!ReadMotifList(list, in, options->motifs)) {
            err << kProgram << ": " << list << ": Die Liste der Motive lässt sich nicht lesen.\n";
            return 2;
        }
    }
    if (options->listFields) return ListFields(*options, out, err);
    return RunRender(*options, out, err, progress);
}

int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress) {
    return RenderMain(args, out, err, progress, std::cin);
}

}  // namespace lumivane
