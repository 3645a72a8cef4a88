// Extras → "Druckformat…": paper, resolution, borders, fit and orientation, with the result's
// pixel size shown before anything is rendered.
#pragma once

#include <QDialog>
#include <optional>

#include "engine/print_format.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace lumivane {

class PrintFormatDialog : public QDialog {
    Q_OBJECT

  public:
    // `current`: the format in use (nothing: off). The motif's size and turn decide which way
    // the paper turns for the pixel size shown.
    PrintFormatDialog(const std::optional<PrintFormat>& current, int motifWidth, int motifHeight,
                      long double angle, QWidget* parent = nullptr);

    // What the fields say: a format, or nothing when "Druckformat verwenden" is off.
    std::optional<PrintFormat> Chosen() const;
    // "5315 × 3543 Pixel", or why there is no picture.
    QString PixelSizeText() const;

    QCheckBox* useCheck;
    QComboBox* paperCombo;  // the presets, then "Eigenes Format"
    QDoubleSpinBox* widthEdit;
    QDoubleSpinBox* heightEdit;
    QComboBox* unitCombo;  // mm, cm, in
    QSpinBox* dpiEdit;
    QDoubleSpinBox* topEdit;
    QDoubleSpinBox* sidesEdit;
    QDoubleSpinBox* bottomEdit;
    QRadioButton* fitRadio;
    QRadioButton* fillRadio;
    QComboBox* orientationCombo;  // wie das Foto, hoch, quer
    QLabel* pixelLabel;
    QDialogButtonBox* buttons;

  private:
    PrintFormat FromFields() const;
    void PresetChosen(int index);
    void SizeEdited();
    void UnitChosen(int index);
    void Update();

    int motifWidth_, motifHeight_;
    long double angle_;
    PaperUnit unit_ = PaperUnit::Cm;  // the unit the size fields show
    bool filling_ = false;            // the fields are being filled in, not edited
};

}  // namespace lumivane
