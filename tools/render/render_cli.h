// lumivane-render: frames photos from the command line with the window's loading and engine.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "loading/framing_template.h"
#include "platform/imagelib/codecs/encoder.h"

namespace lumivane {

struct RenderOptions {
    // What a template holds, from --template and the options that set the same (the later
    // wins), kept as given; DesignOf stores the values as the fields do.
    FramingTemplate design;
    bool backgroundFromTemplate = false;  // design.background is a template's: name it in messages
    bool paperGiven = false;              // by --print or the template: the print options apply
    // --no-background given after any template: a plain frame of the fill colour, no -b needed.
    bool plainNoBackground = false;

    std::string output;
    std::vector<std::string> motifs;
    bool ignoreOrientation = false;  // keep pictures as stored, not turned by their EXIF
    bool ignoreProfile = false;      // keep the numbers, not converted from their ICC profile
    std::string saveTemplate;        // write this template instead of framing

    int quality = kDefaultQuality;  // JPEG and WebP, 1 to 100
    bool stripMetadata = false;     // the results carry none of the motif's EXIF, XMP and IPTC

    std::string format = "jpg";  // for several motifs
    bool formatGiven = false;
    int jobs = 0;  // 0: all cores
    // A hot folder: its photos are framed into `output` as they come.
    std::string watch;
    bool help = false;

    bool skipExisting = false;            // a result that exists is finished: not framed again
    std::vector<std::string> motifLists;  // --files-from: more motifs, "-" for standard input
    bool progressJson = false;            // one JSON object a line per photo on standard output

    // One result for one motif given on its own; a folder for several, or for lists whose
    // length the command cannot know.
    bool OutputIsFolder() const { return motifs.size() != 1 || !motifLists.empty(); }
    // Caption lines and fonts given since the last template: the first replaces the template's.
    int captionLinesGiven = 0;
    int captionFontsGiven = 0;
    // --list-fields: the caption fields of this photo with their values, instead of framing.
    std::optional<std::string> listFields;
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

// Frames every motif (the lists already read into `motifs`) and writes the results. Messages go
// to `err`; `progress` enables the "n/N name" lines, --progress json the lines on `out`. Returns
// the exit status: 0 when everything was written or skipped, 1 otherwise.
int RunRender(const RenderOptions& options, std::ostream& out, std::ostream& err, bool progress);

// The whole program: parse, help, read the lists (`in` for "-"), run. Exit status 0, 1 or 2
// (bad arguments, or a list that cannot be read).
int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress, std::istream& in);
// The same with the program's standard input.
int RenderMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress);

}  // namespace lumivane
