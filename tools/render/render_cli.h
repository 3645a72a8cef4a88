// lumivane-render: frames photos from the command line with the window's loading and engine.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "loading/framing_template.h"
#include "platform/wintypes.h"

namespace lumivane {

struct RenderOptions {
    std::string background;
    std::string output;
    std::vector<std::string> motifs;

    // Applied before the motif is loaded, so the fit uses them.
    long double frame = 130;
    long double motifZoom = 100;
    long double rotate = 5;
    // Applied after the fit; unset means "as the fit or the presets left it".
    std::optional<long double> feather;
    std::optional<long double> radius;
    std::optional<long double> backgroundZoom;
    std::optional<long double> marginX;
    std::optional<long double> marginY;
    bool round = false;
    bool noBackground = false;
    COLORREF fill = RGB(255, 255, 255);
    bool reduce = false;
    bool ignoreOrientation = false;  // keep pictures as stored, not turned by their EXIF
    bool ignoreProfile = false;      // keep the numbers, not converted from their ICC profile
    // Quarter turns for the background file, and whether its orientation has to match the
    // motif's (unset: never turned for the motif). Both come from a template or options.
    int backgroundTurns = 0;
    std::optional<bool> orientationMatched;
    bool backgroundFromTemplate = false;
    bool smooth = false;       // high quality; from --smooth or a template
    std::string saveTemplate;  // write this template instead of framing

    std::string format = "jpg";  // for several motifs
    bool formatGiven = false;
    int jobs = 0;                // 0: all cores
    bool help = false;
};

// Parses the arguments (without the program name). On a bad option returns nothing and puts a
// German explanation into `error`.
std::optional<RenderOptions> ParseRenderArguments(const std::vector<std::string>& args,
                                                  std::string& error);

// The German help text.
std::string RenderHelpText();
// The short German usage lines shown after a bad option.
std::string RenderUsageText();

// The design the options describe, values stored as the fields store them.
FramingTemplate DesignOf(const RenderOptions& options);

// Frames every motif and writes the results. Messages go to `err`; `progress` enables the
// "n/N name" lines. Returns the exit status: 0 when everything was written, 1 otherwise.
int RunRender(const RenderOptions& options, std::ostream& err, bool progress);

// The whole program: parse, help, run. Exit status 0, 1 or 2 (bad arguments).
int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress);

}  // namespace lumivane
