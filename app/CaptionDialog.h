// Extras → "Beschriftung…": up to three lines of text from the motif's facts, their fonts,
// position, alignment, size and colour. Every change is shown at once on the picture.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <optional>

#include "loading/caption.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace lumivane {

class CaptionDialog : public QDialog {
    Q_OBJECT

  public:
    // `current`: the caption in use (nothing: off). `preview` is called with the caption the
    // fields describe whenever they change and their patterns are good.
    CaptionDialog(const std::optional<Caption>& current,
                  std::function<void(const std::optional<Caption>&)> preview,
                  QWidget* parent = nullptr);

    // What the fields say: a caption, or nothing when "Beschriftung verwenden" is off.
    std::optional<Caption> Chosen() const;

    QCheckBox* useCheck;
    std::array<QLineEdit*, kCaptionLines> patternEdits;
    std::array<QComboBox*, kCaptionLines> familyCombos;  // editable; empty: the default
    std::array<QComboBox*, kCaptionLines> weightCombos;
    QListWidget* fieldList;  // double click inserts the field into the last line edited
    QComboBox* placeCombo;
    QComboBox* alignCombo;
    QDoubleSpinBox* sizeEdit;
    QCheckBox* autoColourCheck;  // black or white, whichever stands out
    QPushButton* colourButton;
    QLabel* errorLabel;  // why a pattern cannot be used, or which font is not installed
    QDialogButtonBox* buttons;

    // Sets the colour the button shows and uses (as the colour dialog would).
    void SetColour(COLORREF colour);

  private:
    void Changed();
    void InsertField(const QString& name);

    std::function<void(const std::optional<Caption>&)> preview_;
    COLORREF colour_ = RGB(0, 0, 0);
    int lastLine_ = 0;
    bool filling_ = true;  // the fields are being filled in, not edited
};

}  // namespace lumivane
