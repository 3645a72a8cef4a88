// Bringing a motif or a background into the working state. The window and the batch renderer
// run the same steps; what differs between them (how fields store values and what a store
// sets off, how questions are asked, how a picture is rendered) is behind FramingHost.
#pragma once

#include <optional>
#include <string>

#include "engine/composition.h"
#include "engine/opening.h"
#include "loading/parameters.h"
#include "platform/imagelib/dib.h"
#include "platform/imagelib/photo_facts.h"
#include "platform/imagelib/read_image.h"

namespace lumivane {

// The three images the working state owns. Each always holds an image; the mask always has
// the motif's size once a motif has been installed.
struct WorkingImages {
    dib di{};     // the motif, 24 bits per pixel
    dib mask{};   // its feather mask, 24 bits per pixel
    dib bkgnd{};  // the background, at the depth it was loaded with
    PhotoFacts motifFacts;  // what the motif's file said about it, for the saved result
    // The background's coverage (8-bit, 0 transparent) when it has transparency, else empty;
    // turned with the background. And its window, found in it or given by hand.
    dib bkgndAlpha{};
    std::optional<OpeningBox> opening;
};

class FramingHost {
  public:
    virtual ~FramingHost() = default;

    virtual long double Value(Field field) const = 0;
    // Stores a value as the field stores it. In the window a changed field fires its change
    // handler inside this call (nested mask rebuilds and renders).
    virtual void SetValue(Field field, long double value) = 0;

    // The two check boxes and the fill colour; in the window a change renders (and a changed
    // mask shape rebuilds the mask) as a click or the colour dialog does.
    virtual void SetSwitches(bool backgroundCheck, bool roundMask, COLORREF fillColor) = 0;

    virtual void MakeMask() = 0;
    virtual void PaintBox1Paint() = 0;

    // "Wollen Sie die Größe des Bildes reduzieren lassen, ...?" — true for Yes.
    virtual bool AskReduceSize() = 0;
    // "Konnte das Bild nicht laden."
    virtual void ShowLoadFailure(const std::string& fname) = 0;
    // Why the load about to be reported by ShowLoadFailure failed.
    virtual void NoteLoadFailure(ReadFailure /*why*/) {}
    // A picture was loaded, but its colour profile was broken or unsupported: it is used as
    // stored.
    virtual void NoteUnusableProfile(const std::string& /*fname*/) {}
    // How pictures are read; by default upright and converted to sRGB.
    virtual ReadOptions PictureReadOptions() const { return {}; }

    // Whether the high-quality mode is on: a wide motif is then reduced by averaging.
    virtual bool Smooth() const { return false; }
    // Switches the mode; in the window the menu item follows and the picture is rendered anew.
    virtual void SetSmooth(bool) {}
    // Switches the print format on (or off, with nothing); in the window the fields it derives
    // follow and the picture is rendered anew.
    virtual void SetPrintFormat(const std::optional<PrintFormat>&) {}

    // Whether the frame is laid over the motif ("Rahmen über das Motiv legen").
    virtual bool Overlay() const { return false; }
    // Switches the mode; in the window the menu item follows, the background is refitted and
    // the picture rendered anew.
    virtual void SetOverlay(bool) {}

    // The client size of the preview area, for the preview zoom preset.
    virtual int PreviewClientWidth() const = 0;
    virtual int PreviewClientHeight() const = 0;
};

// Loads the motif: optional reduction of wide images, the preview zoom and feather width
// presets, conversion to 24 bits, a new mask, the background refit and a render. On failure
// tells the host and changes nothing. Returns whether the motif was replaced.
bool OpenMotif(WorkingImages& images, FramingHost& host, const std::string& fname);

// Reads a picture as the host wants it (ReadImageFile with its options), with its EXIF, XMP and
// IPTC when asked (a motif's go into the saved result). On failure tells the host why and that
// it failed; an unusable colour profile is noted.
// With `withCoverage`, a picture with transparency brings its coverage too.
ReadResult ReadPicture(FramingHost& host, const std::string& fname, bool withMetadata = false,
                       bool withCoverage = false);

// Loads the background at its own depth, refits it and renders. On failure tells the host and
// changes nothing.
bool OpenBackground(WorkingImages& images, FramingHost& host, const std::string& fname);

// The second half of OpenBackground for an image already loaded: frees the old background,
// stores `background` (and its coverage, when it has one) in its place, the images owning both
// from now on, looks for its window, refits and renders.
void InstallBackground(WorkingImages& images, FramingHost& host, const dib& background,
                       const dib& coverage = dib{});

// Whether the frame goes over the motif: the mode is on and the background has a window.
bool OverlayActive(const WorkingImages& images, bool overlayMode);

// The feather width derived for a motif of this width: none when the frame goes over it.
int DerivedFeatherWidth(const WorkingImages& images, bool overlayMode, int motifWidth);

// Turns the background a quarter, its coverage and window with it. False, and nothing
// changed, when a copy could not be made.
bool TurnBackground(WorkingImages& images);

// A window's box after the picture it lies in (width x height before) is turned `turns`
// quarters counter-clockwise.
OpeningBox TurnedOpening(OpeningBox box, int width, int height, int turns);

// Scales the background to a frame of RahmenEd percent around the motif and crops the result
// through the margins: writes ZoomEd, AdditionalYED and AdditionalEd, in that order. A frame
// laid over the motif keeps its own size: 100 percent, no margins.
void ResizeBackground(const WorkingImages& images, FramingHost& host);

// Composes the working state with the settings, as the window and the batch renderer both do.
CompositionParams RenderValues(const WorkingImages& images, const Parameters& settings);
bool ComposeWorkingState(const CompositionParams& params, const CompositionLayout& layout,
                         const WorkingImages& images, Surface& bit);

// The first images of a working state: a blank 320 x 200 motif with its mask and a blank
// 320 x 200 background. False (and nothing allocated) when memory is short.
bool CreatePlaceholders(WorkingImages& images);

// Frees all three images.
void FreeWorkingImages(WorkingImages& images);

}  // namespace lumivane
