// Framing templates: a design made in the window (or on the command line) kept in a small file
// and applied to other motifs. Values the program derived for the design's motif are kept as
// "derived" and worked out anew for each motif; values set by hand are kept as set.
#pragma once

#include <optional>
#include <string>

#include "loading/caption.h"
#include "loading/loader.h"
#include "loading/parameters.h"

namespace lumivane {

constexpr const char* kTemplateExtension = "lumivane";
constexpr int kTemplateVersion = 1;

struct FramingTemplate {
    long double frame = 130;      // RahmenEd
    long double motifZoom = 100;  // Zoom2Ed
    long double rotate = 5;       // RotED
    long double radius = 0;       // MaskRadiusEd
    // Unset: derived for each motif (the feather preset, the fit's scale and margins).
    std::optional<long double> feather;
    std::optional<long double> backgroundZoom;
    std::optional<long double> marginX;
    std::optional<long double> marginY;
    bool roundMask = false;
    bool backgroundCheck = true;
    COLORREF fillColor = RGB(255, 255, 255);
    // The high-quality mode ("Hohe Bildqualität").
    bool smooth = false;
    // Motifs 1000 pixels wide or more are reduced on loading, as when the size question is
    // answered Yes.
    bool reduceMotif = false;
    // The print format ("Druckformat"); unset: off, the percentage fit frames the motif.
    std::optional<PrintFormat> print;
    // The frame laid over the motif ("Rahmen über das Motiv legen"), and its window given by
    // hand in the background file's pixels (unset: found in the frame). Written only when on.
    bool overlay = false;
    std::optional<OpeningBox> opening;
    // Text drawn on the border ("Beschriftung"). Written only when set.
    std::optional<Caption> caption;

    // The background file: absolute once read (a relative name is resolved against the
    // template's folder).
    std::string background;
    int backgroundTurns = 0;  // quarter turns applied to the background file, 0 to 3
    // Whether the background's orientation (landscape or portrait) matched the motif's when the
    // design was made. A motif that breaks this gets the background one more quarter turn.
    // Unset: the background is never turned for the motif.
    std::optional<bool> orientationMatched;

    bool operator==(const FramingTemplate&) const = default;
};

// Reads a template. Empty, with a German message in `error`, when the file cannot be read, is
// damaged, is no template or comes from a newer version. Does not look at the background.
std::optional<FramingTemplate> ReadTemplate(const std::string& path, std::string& error);

// Writes the template safely (an existing file is only replaced by a complete one). The
// background is stored relative to the template's folder when it lies in it or below it.
// Returns "" or a German message.
std::string WriteTemplate(const FramingTemplate& design, const std::string& path);

// How reading a design's background went, for callers that report more than `error`.
struct BackgroundRead {
    ReadFailure failure = ReadFailure::None;
    ProfileUse profile = ProfileUse::NotNeeded;
    OwnedDib coverage;  // with options.keepAlpha, when the picture has transparency
};

// Reads a design's background file as it lies on disk, upright and in sRGB unless `options`
// say otherwise. No image, and a German message in `error`, when the file is missing or cannot
// be read; `read`, when given, learns why and what became of its colour profile.
dib OpenTemplateBackground(const std::string& file, std::string& error,
                           const ReadOptions& options = {}, BackgroundRead* read = nullptr);

// Gives `image` the quarter turns; false when a copy could not be made (it is then still a
// whole image, to be freed by the caller).
bool TurnQuarters(dib& image, int turns);

// The design the working state shows. `settings` are the values as the fields hold them; a fit
// value or the feather width equal to what the program derives for the installed motif and
// background is kept as derived.
// `reduceMotif`: the last answer to the size question.
FramingTemplate CaptureTemplate(const WorkingImages& images, const Parameters& settings,
                                const std::string& background, int backgroundTurns,
                                bool reduceMotif);

// A colour written "#RRGGBB" (hex digits in either case), as templates and the batch renderer's
// --fill give it; nothing for any other text.
std::optional<COLORREF> ParseHexColour(const std::string& text);

// A window written "X,Y,B,H": four whole numbers, the width and height above 0, the corner not
// negative; nothing for any other text.
std::optional<OpeningBox> ParseOpening(const std::string& text);
// The window as ParseOpening reads it.
std::string OpeningText(const OpeningBox& box);

// The quarter turns the background file needs for a motif of the given size.
int BackgroundTurnsFor(const FramingTemplate& design, int backgroundWidth, int backgroundHeight,
                       int motifWidth, int motifHeight);

// The settings that come before a fit: frame, motif zoom and rotation.
void ApplyFitInputs(FramingHost& host, const FramingTemplate& design);

// Everything after the motif and the background are installed and fitted: the feather width
// (derived from the motif or as set), the switches, the radius and any hand-set scale and
// margins.
void ApplyTemplateSettings(const WorkingImages& images, FramingHost& host,
                           const FramingTemplate& design);

// Applies a design to the installed motif: the fit inputs, then `background` (read from the
// design's file and already turned; the images own it, and its coverage, from now on) with its
// fit, then the rest.
void ApplyTemplate(WorkingImages& images, FramingHost& host, const FramingTemplate& design,
                   const dib& background, const dib& coverage = dib{});

// The design's hand-given window on its background turned `turns` quarters (the file being
// fileWidth x fileHeight), put in place of the found one with the background refitted. Nothing
// happens when the design gives none or one that does not lie in the file.
void UseDesignOpening(WorkingImages& images, FramingHost& host, const FramingTemplate& design,
                      int fileWidth, int fileHeight, int turns);

}  // namespace lumivane
