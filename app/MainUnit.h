// The main window: tool bar, parameter panel, preview and the working state. Its methods are
// the event handlers and thin wrappers over loading/ and engine/; the parameters live in the
// controls and are read from them at every render.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "app/Interaction.h"
#include "engine/composition.h"
#include "loading/caption.h"
#include "loading/framing_template.h"
#include "loading/loader.h"
#include "platform/gdi/surface.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;

class QScrollArea;
class QStatusBar;
class TAboutBox;
class TRxSpinEdit;
namespace lumivane {
class BatchProgressDialog;
class BatchRun;
}  // namespace lumivane

// The toolkit's bitmap button: a push button with a glyph left of its caption.
using TBitBtnXP = QPushButton;

// The colour swatch: a filled rectangle with a black outline; any mouse press is reported.
class TShape : public QWidget {
    Q_OBJECT

  public:
    explicit TShape(QWidget* parent = nullptr);
    QColor BrushColor() const { return brush_; }
    void SetBrushColor(const QColor& colour);

  signals:
    void MouseDown();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QColor brush_ = Qt::white;
};

// The preview surface; its painting is done by the window.
class TPaintBox : public QWidget {
    Q_OBJECT

  public:
    explicit TPaintBox(QWidget* parent = nullptr);
    std::function<void(QPainter&, const QRect&)> OnPaint;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class TMainForm : public QMainWindow, public lumivane::FramingHost {
    Q_OBJECT

  public:
    // programFile: the program's own full path; arguments: the command line after it.
    // Without an interaction the real dialogs are used. FormCreate runs inside the constructor.
    TMainForm(const QString& programFile, const QStringList& arguments,
              std::unique_ptr<lumivane::Interaction> interaction = nullptr,
              QWidget* parent = nullptr);
    ~TMainForm() override;

    void SetAboutBox(TAboutBox* about) { aboutBox_ = about; }
    lumivane::Interaction& interaction() { return *interaction_; }

    // Tool bar.
    QWidget* Panel2;
    TBitBtnXP* OpenBtn;
    TBitBtnXP* BitBtnXP1;
    TBitBtnXP* SaveBtn;
    // Parameter panel.
    QWidget* Panel1;
    TRxSpinEdit* ZoomEd;
    TRxSpinEdit* Zoom2Ed;
    TRxSpinEdit* RotED;
    TRxSpinEdit* Maskwidth;
    TRxSpinEdit* MaskRadiusEd;
    TRxSpinEdit* AdditionalEd;
    TRxSpinEdit* AdditionalYED;
    TRxSpinEdit* RahmenEd;
    TRxSpinEdit* ZoomOutEd;
    QCheckBox* BackgroundCheck;
    QCheckBox* RoundMaskCheck;
    TShape* Shape1;
    TBitBtnXP* QuerHochBtn;
    // Preview and status bar.
    QScrollArea* ScrollBox1;
    TPaintBox* PaintBox1;
    QStatusBar* StatusBar1;
    // Menu.
    QMenu* Datei1;
    QAction* ffnen1;
    QAction* Hintergrundffnen1;
    QAction* N1;
    QAction* Ergebnisspeichernunter1;
    QAction* N2;
    QAction* Vorlageladen1;
    QAction* Vorlagespeichern1;
    QAction* Stapelverarbeitung1;  // frames many photos with the window's design
    QAction* N3;
    QAction* Beenden1;
    QMenu* Extras1;
    QAction* Beschriftung1;
    QAction* HoheBildqualitt1;         // checkable, off at every start
    QAction* Druckformat1;             // the print format dialog; the format is off at every start
    QAction* RahmenberdasMotivlegen1;  // checkable, off at every start
    QMenu* Hilfe1;
    QAction* Anleitung1;
    QAction* berdasProgramm1;

    // Handlers.
    void FormCreate();
    void FormShow();
    void ZoomEdChange();
    void MaskwidthChange();
    void RahmenEdChange();
    void BackgroundCheckClick();
    void RoundMaskCheckClick();
    void Shape1MouseDown();
    void QuerHochBtnClick();
    void ffnen1Click();
    void Hintergrundffnen1Click();
    void Ergebnisspeichernunter1Click();
    void Vorlageladen1Click();
    void Vorlagespeichern1Click();
    void Stapelverarbeitung1Click();
    void Beschriftung1Click();
    void Beenden1Click();
    void HoheBildqualitt1Click();
    void Druckformat1Click();
    void RahmenberdasMotivlegen1Click();
    void Anleitung1Click();
    void berdasProgramm1Click();

    // Engine routines.
    void MakeMask() override;
    void Resizebkgnd();
    // Renders: composes the picture into `bit` and shows it, or, when the preview has to change
    // its size, only resizes it (the paint event that follows renders).
    void PaintBox1Paint() override;
    void openfilenow(const QString& fname);
    void openbkgndfilenow(const QString& fname);
    // Applies a template file to the current motif; a bad file is reported and changes nothing.
    void opentemplatenow(const QString& fname);

    // The settings as the controls hold them now.
    lumivane::Parameters Settings() const;

    // The working state, for reading.
    const lumivane::WorkingImages& images() const { return images_; }
    const lumivane::Surface& bit() const { return bit_; }
    const QString& progpath() const { return progpath_; }
    bool first() const { return first_; }

    // Called with "MakeMask" or "PaintBox1Paint" at every run, for tracing the event wiring.
    void SetTrace(std::function<void(const char*)> trace) { trace_ = std::move(trace); }

    // FramingHost
    long double Value(lumivane::Field field) const override;
    void SetValue(lumivane::Field field, long double value) override;
    void SetSwitches(bool backgroundCheck, bool roundMask, COLORREF fillColor) override;
    bool AskReduceSize() override;
    bool Smooth() const override;
    void SetSmooth(bool on) override;
    // While a print format is on, the fields it derives show its values and cannot be typed
    // into; the values they held come back when it is switched off.
    void SetPrintFormat(const std::optional<lumivane::PrintFormat>& format) override;
    const std::optional<lumivane::PrintFormat>& printFormat() const { return print_; }
    bool Overlay() const override;
    void SetOverlay(bool on) override;
    void ShowLoadFailure(const std::string& fname) override;
    int PreviewClientWidth() const override;
    int PreviewClientHeight() const override;

    // The batch started from the window and its progress dialog, while there is one.
    lumivane::BatchRun* batch() const { return batch_.get(); }
    lumivane::BatchProgressDialog* batchProgress() const;

  protected:
    void showEvent(QShowEvent* event) override;
    // A running batch is cancelled and its photos in progress are finished before closing.
    void closeEvent(QCloseEvent* event) override;

  private:
    // The status bar's hint at a frame with a window while the frame is not laid over.
    void ShowOverlayHint();
    void BuildToolBar();
    void BuildParameterPanel();
    void BuildPreview();
    void BuildMenu();
    void SetTabOrder();
    void ConnectHandlers();

    // Brings the preview to the picture's size and composes; false when it had to resize.
    bool Compose();
    // Shows a print format's fit in the fields it derives, and its warning in the status bar.
    void ShowPrintFit(const lumivane::CompositionParams& params);
    void PaintPreview(QPainter& painter, const QRect& exposed);
    void ShowError(const QString& text);
    // The design as a template holds it: what "Vorlage speichern" writes and a batch frames with.
    lumivane::FramingTemplate CurrentDesign() const;
    void Trace(const char* what) const {
        if (trace_) trace_(what);
    }

    std::unique_ptr<lumivane::Interaction> interaction_;
    std::array<TRxSpinEdit*, lumivane::kFieldCount> fields_{};
    TAboutBox* aboutBox_ = nullptr;
    QWidget* previewContent_ = nullptr;

    lumivane::WorkingImages images_;
    lumivane::Surface bit_;
    bool first_ = false;
    QString programFile_;
    QString progpath_;
    QStringList arguments_;
    QString openFilter_;
    // The background's file (absolute) and the quarter turns given to it since it was loaded,
    // for templates. Empty while the background is the blank placeholder.
    std::string backgroundFile_;
    int backgroundTurns_ = 0;
    bool reduceAnswer_ = false;       // the last answer to the size question, for templates
    bool showingComposed_ = false;    // inside the repaint that shows a picture just composed
    bool busyUntilRendered_ = false;  // a load waits for its render
    std::function<void(const char*)> trace_;
    std::optional<lumivane::PrintFormat> print_;
    // The caption drawn on the picture (off at every start), and the motif's file it reads.
    std::optional<lumivane::Caption> caption_;
    std::string motifFile_;
    // The motif's facts, read once for all the renders of a caption being edited.
    std::optional<lumivane::CaptionFacts> captionFacts_;
    // The values of the derived fields as the user or the fit left them, kept while a print
    // format shows its own in them.
    std::array<long double, lumivane::kFieldCount> held_{};
    std::unique_ptr<lumivane::BatchRun> batch_;
    QPointer<lumivane::BatchProgressDialog> batchProgress_;  // it may close itself
};
