#pragma once

#include <QLineEdit>
#include <functional>
#include <optional>

#include "app/RxSpinButton.h"

// A one-line numeric field with a spin button at its right end. The text is the only state:
// reading Value parses it, writing Value replaces it. OnChange fires once for every change of
// the shown text (typing, cut, paste, writes from code, write-back on leaving), synchronously
// inside the write.
class TRxSpinEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE setValue)
    Q_PROPERTY(double MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(double Increment READ Increment WRITE setIncrement)
    Q_PROPERTY(bool CheckMinValue READ CheckMinValue WRITE setCheckMinValue)
    Q_PROPERTY(bool CheckMaxValue READ CheckMaxValue WRITE setCheckMaxValue)

  public:
    enum TValueType { vtInteger };
    Q_ENUM(TValueType)

    // What the window's layout sets on a field, applied in the order of the members. A bound
    // set to anything but 0 here makes both bounds enforced. Building fires no OnChange.
    struct Layout {
        std::optional<double> Increment = std::nullopt;
        std::optional<double> MaxValue = std::nullopt;
        std::optional<double> MinValue = std::nullopt;
        std::optional<double> Value = std::nullopt;
    };

    explicit TRxSpinEdit(QWidget* parent = nullptr);
    explicit TRxSpinEdit(const Layout& layout, QWidget* parent = nullptr);

    // The text as a whole number; a text that is none (empty, a lone sign, a fraction, out of
    // the 32-bit range) reads as MinValue rounded. Not clamped: typing may exceed the bounds.
    double Value() const;
    // Clamps to the enforced bounds, rounds half to even and replaces the text if it differs.
    void setValue(double value);

    double MinValue() const { return minValue_; }
    void setMinValue(double value);
    double MaxValue() const { return maxValue_; }
    void setMaxValue(double value);
    double Increment() const { return increment_; }
    void setIncrement(double value) { increment_ = value; }
    bool CheckMinValue() const { return checkMin_; }
    void setCheckMinValue(bool on) { checkMin_ = on; }
    bool CheckMaxValue() const { return checkMax_; }
    void setCheckMaxValue(bool on) { checkMax_ = on; }
    TValueType ValueType() const { return vtInteger; }

    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

    // Called for every keystroke the field refuses; QApplication::beep by default.
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    RxSpinButton* spinButton() const { return button_; }

  signals:
    void OnChange();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void step(int direction);
    void onButtonStep(RxSpinButton::Part part);
    void onTextChanged();
    // Runs an operation that inserts foreign text; a result that is not a number is undone by
    // writing back the value held before.
    void guardedPaste(const std::function<void()>& paste);
    void placeButton();

    double minValue_ = 0;
    double maxValue_ = 0;
    double increment_ = 1;
    bool checkMin_ = false;
    bool checkMax_ = false;
    bool building_ = false;
    bool silent_ = false;
    std::function<void()> beep_;
    RxSpinButton* button_;
};
