#include "tools/render/render_cli.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "image/Zerlin.h"
#include "loading/save_picture.h"
#include "loading/session.h"
#include "platform/imagelib/codecs/encoder.h"

namespace lumivane {

namespace {

const char kProgram[] = "lumivane-render";
const char kLoadFailure[] = "Konnte das Bild nicht laden.";

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

std::optional<COLORREF> ParseColor(const std::string& text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return RGB(BYTE(value >> 16), BYTE(value >> 8), BYTE(value));
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Where each motif's result goes: the output itself for one motif, else a file named after the
// motif in the output folder; two motifs of the same name get distinct files.
std::vector<std::filesystem::path> OutputPaths(const RenderOptions& o) {
    std::vector<std::filesystem::path> paths;
    if (o.motifs.size() == 1) {
        paths.emplace_back(o.output);
        return paths;
    }
    std::map<std::string, int> used;
    for (const std::string& m : o.motifs) {
        const std::string stem = std::filesystem::path(m).stem().string();
        const int n = ++used[Lower(stem)];
        const std::string name = n == 1 ? stem : stem + "-" + std::to_string(n);
        paths.push_back(std::filesystem::path(o.output) / (name + "." + o.format));
    }
    return paths;
}

}  // namespace

std::string RenderUsageText() {
    return std::string("Aufruf: ") + kProgram +
           " [Optionen] -b HINTERGRUND -o AUSGABE MOTIV...\n"
           "Alle Optionen zeigt: " +
           kProgram + " --help\n";
}

std::string RenderHelpText() {
    std::ostringstream s;
    s << "Aufruf: " << kProgram << " [Optionen] -b HINTERGRUND -o AUSGABE MOTIV...\n"
      << "\n"
      << "Setzt jedes MOTIV (Foto) in den Rahmen HINTERGRUND, wie es das Programmfenster tut:\n"
      << "Der Hintergrund wird automatisch an das Motiv angepasst, das Motiv gedreht und\n"
      << "weich überblendet. Mit einem Motiv ist AUSGABE die Bilddatei (ihre Endung wählt das\n"
      << "Format), mit mehreren ein Ordner, in den jedes Ergebnis unter dem Namen seines\n"
      << "Motivs geschrieben wird.\n"
      << "\n"
      << "  -b, --background DATEI  Hintergrund (Rahmen, Passepartout, Struktur)\n"
      << "  -o, --output ZIEL       Ergebnisdatei oder, bei mehreren Motiven, Ordner\n"
      << "  --frame P               Rahmen in % des Motivs (Vorgabe 130)\n"
      << "  --motif-zoom P          Motiv in % (Vorgabe 100)\n"
      << "  --rotate GRAD           Drehung des Motivs gegen den Uhrzeigersinn (Vorgabe 5)\n"
      << "  --feather PX            Maskenbreite (Vorgabe: Motivbreite / 50)\n"
      << "  --round                 runde statt rechteckiger Maske\n"
      << "  --radius PX             Maskenradius: vergrößert oder verkleinert die runde Maske\n"
      << "  --no-background         ohne Hintergrundbild, nur Motiv und Füllfarbe\n"
      << "  --background-zoom P     Hintergrund in % (statt der automatischen Anpassung)\n"
      << "  --margin-x PX           zusätzliche Breite je Seite (negativ: beschneiden)\n"
      << "  --margin-y PX           zusätzliche Höhe je Seite (negativ: beschneiden)\n"
      << "  --fill '#RRGGBB'        Füllfarbe (Vorgabe #FFFFFF, weiß)\n"
      << "  --reduce                Motive ab 1000 Pixel Breite auf 1000 Pixel verkleinern\n"
      << "  --format ENDUNG         Format bei mehreren Motiven (Vorgabe jpg): "
      << WritableExtensionList() << "\n"
      << "  -j, --jobs N            höchstens N Bilder gleichzeitig (Vorgabe: alle Kerne)\n"
      << "  -h, --help              diese Hilfe\n"
      << "\n"
      << "Zahlen werden wie im Programmfenster auf ihren Bereich begrenzt und gerundet.\n"
      << "Rückgabewert: 0 alles geschrieben, 1 ein Bild fehlte oder ließ sich nicht schreiben,\n"
      << "2 falscher Aufruf.\n";
    return s.str();
}

std::optional<RenderOptions> ParseRenderArguments(const std::vector<std::string>& args,
                                                  std::string& error) {
    RenderOptions o;
    bool formatGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = "Bei " + a + " fehlt der Wert.";
                return false;
            }
            into = args[++i];
            return true;
        };
        auto number = [&](long double& into) {
            std::string text;
            if (!value(text)) return false;
            auto v = ParseNumber(text);
            if (!v) {
                error = "Bei " + a + " wird eine Zahl erwartet, nicht \"" + text + "\".";
                return false;
            }
            into = *v;
            return true;
        };
        auto optionalNumber = [&](std::optional<long double>& into) {
            long double v = 0;
            if (!number(v)) return false;
            into = v;
            return true;
        };

        bool ok = true;
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "-b" || a == "--background") {
            ok = value(o.background);
        } else if (a == "-o" || a == "--output") {
            ok = value(o.output);
        } else if (a == "--frame") {
            ok = number(o.frame);
        } else if (a == "--motif-zoom") {
            ok = number(o.motifZoom);
        } else if (a == "--rotate") {
            ok = number(o.rotate);
        } else if (a == "--feather") {
            ok = optionalNumber(o.feather);
        } else if (a == "--radius") {
            ok = optionalNumber(o.radius);
        } else if (a == "--background-zoom") {
            ok = optionalNumber(o.backgroundZoom);
        } else if (a == "--margin-x") {
            ok = optionalNumber(o.marginX);
        } else if (a == "--margin-y") {
            ok = optionalNumber(o.marginY);
        } else if (a == "--round") {
            o.round = true;
        } else if (a == "--no-background") {
            o.noBackground = true;
        } else if (a == "--reduce") {
            o.reduce = true;
        } else if (a == "--fill") {
            std::string text;
            ok = value(text);
            if (ok) {
                auto c = ParseColor(text);
                if (!c) {
                    error = "Die Füllfarbe wird als #RRGGBB angegeben, nicht \"" + text + "\".";
                    ok = false;
                } else {
                    o.fill = *c;
                }
            }
        } else if (a == "--format") {
            ok = value(o.format);
            if (ok) {
                o.format = Lower(o.format);
                if (!o.format.empty() && o.format[0] == '.') o.format.erase(0, 1);
                if (!FindEncoder(o.format)) {
                    error = "Das Format \"" + o.format + "\" kann nicht geschrieben werden (" +
                            WritableExtensionList() + ").";
                    ok = false;
                }
                formatGiven = true;
            }
        } else if (a == "-j" || a == "--jobs") {
            long double n = 0;
            ok = number(n);
            if (ok && (n < 1 || n > 1024 || n != static_cast<long double>(static_cast<int>(n)))) {
                error = "Bei " + a + " wird eine ganze Zahl ab 1 erwartet.";
                ok = false;
            }
            if (ok) o.jobs = static_cast<int>(n);
        } else if (a.size() > 1 && a[0] == '-') {
            error = "Unbekannte Option: " + a;
            ok = false;
        } else {
            o.motifs.push_back(a);
        }
        if (!ok) return std::nullopt;
    }
    if (o.help) return o;
    if (o.background.empty())
        error = "Der Hintergrund fehlt (-b DATEI).";
    else if (o.output.empty())
        error = "Das Ziel fehlt (-o DATEI oder ORDNER).";
    else if (o.motifs.empty())
        error = "Es fehlt mindestens ein Motiv.";
    if (!error.empty()) return std::nullopt;
    if (o.motifs.size() == 1 && !EncoderForFileName(o.output)) {
        error = "Die Endung von \"" + o.output +
                "\" nennt kein Format, das geschrieben werden kann (" + WritableExtensionList() +
                ").";
        return std::nullopt;
    }
    if (o.motifs.size() == 1 && formatGiven) {
        error =
            "--format gilt nur für mehrere Motive; bei einem Motiv wählt die Endung des "
            "Ziels das Format.";
        return std::nullopt;
    }
    return o;
}

namespace {

// Whether the background has been read and the output folder made, set once by the thread that
// does both while the first motifs are being read.
struct Preparation {
    dib background{};
    std::shared_future<bool> ready;
};

// Frames one motif and writes it, once the background is ready. Returns the message for a
// failure, or "" (also when the background failed: that is reported once, elsewhere).
std::string FrameOne(const RenderOptions& o, const Preparation& prep, const std::string& motif,
                     const std::filesystem::path& target) {
    FramingSession session;
    if (!session.Ready()) return "Zu wenig Arbeitsspeicher.";
    Parameters& p = session.params();
    p.Set(Field::RahmenEd, o.frame);
    p.Set(Field::Zoom2Ed, o.motifZoom);
    p.Set(Field::RotED, o.rotate);
    session.SetReduceAnswer(o.reduce);

    bool loadFailed = false;
    session.SetLoadFailureHandler([&](const std::string&) { loadFailed = true; });
    const bool loaded = session.OpenMotif(motif) && !loadFailed;
    // Decoding the motif overlaps decoding the background; from here on it is needed.
    if (!prep.ready.get()) return "";
    if (!loaded) return kLoadFailure;
    session.UseSharedBackground(prep.background);

    if (o.feather) session.SetValue(Field::Maskwidth, *o.feather);
    if (o.round) {
        p.roundMask = true;
        session.MakeMask();
    }
    if (o.radius) session.SetValue(Field::MaskRadiusEd, *o.radius);
    if (o.noBackground) p.backgroundCheck = false;
    if (o.backgroundZoom) session.SetValue(Field::ZoomEd, *o.backgroundZoom);
    if (o.marginX) session.SetValue(Field::AdditionalEd, *o.marginX);
    if (o.marginY) session.SetValue(Field::AdditionalYED, *o.marginY);
    p.fillColor = o.fill;

    if (!session.Render()) return "Das Ergebnis ist leer oder zu groß.";
    const SaveResult saved = SavePicture(session.picture(), target.string());
    return saved.Ok() ? "" : SaveErrorMessage(saved.error);
}

}  // namespace

int RunRender(const RenderOptions& o, std::ostream& err, bool progress) {
    std::mutex errLock;
    auto report = [&](const std::string& name, const std::string& message) {
        std::lock_guard<std::mutex> lock(errLock);
        err << kProgram << ": " << name << ": " << message << "\n";
    };

    // The background is read on a thread of its own while the workers read their first motifs;
    // nothing is reported for a motif, and nothing written, until it has been read.
    Preparation prep;
    std::promise<bool> readiness;
    prep.ready = readiness.get_future().share();
    std::thread preparing([&] {
        prep.background = OpenDib(o.background.c_str(), 0, nullptr);
        // The decoder's working memory was taken from this thread's own heap, which keeps it
        // mapped after it is freed; handing it back keeps the peak where it was before.
        malloc_trim(0);
        if (!prep.background.poi) {
            report(o.background, kLoadFailure);
            readiness.set_value(false);
            return;
        }
        if (o.motifs.size() > 1) {
            std::error_code ec;
            std::filesystem::create_directories(o.output, ec);
            if (!std::filesystem::is_directory(o.output)) {
                report(o.output, "Der Ausgabeordner fehlt und lässt sich nicht anlegen.");
                readiness.set_value(false);
                return;
            }
        }
        readiness.set_value(true);
    });

    const std::vector<std::filesystem::path> targets = OutputPaths(o);
    const int total = static_cast<int>(o.motifs.size());
    int jobs =
        o.jobs > 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    jobs = std::min(jobs, total);

    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> anyFailed{false};
    auto worker = [&] {
        for (int i = next++; i < total; i = next++) {
            const std::string& motif = o.motifs[std::size_t(i)];
            const std::string message = FrameOne(o, prep, motif, targets[std::size_t(i)]);
            if (!prep.ready.get()) return;
            if (!message.empty()) {
                anyFailed = true;
                report(message == kLoadFailure ? motif : targets[std::size_t(i)].string(), message);
            }
            const int n = ++done;
            if (progress) {
                std::lock_guard<std::mutex> lock(errLock);
                err << n << "/" << total << " " << std::filesystem::path(motif).filename().string()
                    << "\n";
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < jobs; ++t) threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads) t.join();
    preparing.join();

    if (prep.background.poi) FreeDib(prep.background);
    return prep.ready.get() && !anyFailed ? 0 : 1;
}

int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress) {
    std::string error;
    const std::optional<RenderOptions> options = ParseRenderArguments(args, error);
    if (!options) {
        err << kProgram << ": " << error << "\n" << RenderUsageText();
        return 2;
    }
    if (options->help) {
        out << RenderHelpText();
        return 0;
    }
    return RunRender(*options, err, progress);
}

}  // namespace lumivane
