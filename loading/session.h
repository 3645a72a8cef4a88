// A working state without a window: the three images, the parameters in plain fields and the
// off-screen picture. The batch renderer frames each photo in one of these, through the same
// loading and engine code as the window; tests use it to check whole scenes.
#pragma once

#include <functional>
#include <string>

#include "engine/composition.h"
#include "loading/caption.h"
#include "loading/loader.h"
#include "loading/parameters.h"
#include "platform/gdi/surface.h"

namespace lumivane {

class FramingSession final : public FramingHost {
  public:
    // The preview area of the window at its designed size, for the preview zoom preset.
    static constexpr int kDesignedPreviewWidth = 660;
    static constexpr int kDesignedPreviewHeight = 386;

    FramingSession();
    ~FramingSession() override;
    FramingSession(const FramingSession&) = delete;
    FramingSession& operator=(const FramingSession&) = delete;

    // False when even the placeholder images could not be made.
    bool Ready() const { return ready_; }

    Parameters& params() { return params_; }
    const Parameters& params() const { return params_; }
    WorkingImages& images() { return images_; }
    const Surface& picture() const { return bit_; }

    // How the size question is answered (default: No).
    void SetReduceAnswer(bool yes) { reduceAnswer_ = yes; }
    // Called with the file name when a load fails (default: nothing).
    void SetLoadFailureHandler(std::function<void(const std::string&)> handler) {
        onLoadFailure_ = std::move(handler);
    }
    // Called with the file name when a picture's colour profile could not be used.
    void SetProfileWarningHandler(std::function<void(const std::string&)> handler) {
        onUnusableProfile_ = std::move(handler);
    }
    // How pictures are read (default: upright and in sRGB).
    void SetReadOptions(const ReadOptions& options) { readOptions_ = options; }
    // Why the last failed load failed.
    ReadFailure LastLoadFailure() const { return lastFailure_; }

    bool OpenMotif(const std::string& fname);
    bool OpenBackground(const std::string& fname);
    // Uses an image that someone else owns and keeps alive as the background (read only), with
    // its coverage when it has one.
    void UseSharedBackground(const dib& background, const dib& coverage = dib{});

    // Composes the picture at full size. False when the result is empty or too large.
    bool Render();

    CompositionParams CompositionValues() const;

    // Draws the caption onto the rendered picture, filled from the motif read from `motifFile`.
    CaptionResult DrawCaption(const Caption& caption, const std::string& motifFile);

    // FramingHost
    long double Value(Field field) const override { return params_[field]; }
    void SetValue(Field field, long double value) override;
    void SetSwitches(bool backgroundCheck, bool roundMask, COLORREF fillColor) override;
    void MakeMask() override;
    void PaintBox1Paint() override {}  // renders only on request: nothing is shown
    bool AskReduceSize() override { return reduceAnswer_; }
    bool Smooth() const override { return params_.smooth; }
    void SetSmooth(bool on) override { params_.smooth = on; }
    void SetPrintFormat(const std::optional<PrintFormat>& print) override { params_.print = print; }

    // Without a print format and without the background, a frame of RahmenEd percent of the
    // scaled motif as a plain border of the fill colour, on the sides whose margin was not set
    // (lumivane-render --no-background).
    void SetPlainFrame(bool acrossX, bool acrossY) {
        plainFrameX_ = acrossX;
        plainFrameY_ = acrossY;
    }
    bool Overlay() const override { return params_.overlay; }
    void SetOverlay(bool on) override;
    void ShowLoadFailure(const std::string& fname) override;
    void NoteLoadFailure(ReadFailure why) override { lastFailure_ = why; }
    void NoteUnusableProfile(const std::string& fname) override;
    ReadOptions PictureReadOptions() const override { return readOptions_; }
    int PreviewClientWidth() const override { return kDesignedPreviewWidth; }
    int PreviewClientHeight() const override { return kDesignedPreviewHeight; }

  private:
    // Frees the background if it is ours, forgets it if borrowed; leaves an empty record.
    void ReleaseBackground();

    Parameters params_;
    WorkingImages images_;
    Surface bit_;
    bool ready_ = false;
    bool ownsBackground_ = true;
    bool reduceAnswer_ = false;
    bool plainFrameX_ = false, plainFrameY_ = false;
    std::function<void(const std::string&)> onLoadFailure_;
    std::function<void(const std::string&)> onUnusableProfile_;
    ReadOptions readOptions_;
    ReadFailure lastFailure_ = ReadFailure::None;
};

}  // namespace lumivane
