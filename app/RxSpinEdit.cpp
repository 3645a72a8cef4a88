#include "app/RxSpinEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A decimal whole number with an optional leading sign, nothing else (no blanks, no hex).
bool isWholeNumberText(QStringView text) {
    if (text.startsWith(u'+') || text.startsWith(u'-')) text = text.mid(1);
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isAsciiDigit);
}

bool isDecimalNumberText(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

// What may be typed: digits, signs and control characters such as backspace.
bool isTypable(QChar c) {
    return isAsciiDigit(c) || c == u'+' || c == u'-' || c.category() == QChar::Other_Control;
}

// Newer Qt names the standard menu's actions; older versions are recognised by the caption,
// looked up through the same translation as the menu's own.
QAction* findPasteAction(const QMenu& menu) {
    const QString caption = QLineEdit::tr("&Paste");
    for (QAction* action : menu.actions())
        if (action->objectName() == QLatin1String("edit-paste") ||
            (action->objectName().isEmpty() && action->text().startsWith(caption)))
            return action;
    return nullptr;
}

}  // namespace

TRxSpinEdit::TRxSpinEdit(QWidget* parent)
    : QLineEdit(QStringLiteral("0"), parent),
      beep_([] { QApplication::beep(); }),
      button_(new RxSpinButton(this)) {
    setAlignment(Qt::AlignRight);
    connect(this, &QLineEdit::textChanged, this, &TRxSpinEdit::onTextChanged);
    connect(button_, &RxSpinButton::stepRequested, this, &TRxSpinEdit::onButtonStep);
    placeButton();
}

TRxSpinEdit::TRxSpinEdit(const Layout& layout, QWidget* parent) : TRxSpinEdit(parent) {
    QScopedValueRollback building(building_, true);
    if (layout.Increment) setIncrement(*layout.Increment);
    if (layout.MaxValue) setMaxValue(*layout.MaxValue);
    if (layout.MinValue) setMinValue(*layout.MinValue);
    if (layout.Value) setValue(*layout.Value);
}

double TRxSpinEdit::Value() const {
    const QString shown = text();
    if (isWholeNumberText(shown)) {
        bool ok = false;
        const qlonglong number = shown.toLongLong(&ok);
        if (ok && number >= std::numeric_limits<qint32>::min() &&
            number <= std::numeric_limits<qint32>::max())
            return double(number);
    }
    return std::nearbyint(minValue_);
}

void TRxSpinEdit::setValue(double value) {
    if (checkMin_ && value < minValue_) value = minValue_;
    if (checkMax_ && value > maxValue_) value = maxValue_;
    // Nothing sensible to show for NaN or an unbounded infinity; keep the text.
    if (!std::isfinite(value)) return;
    double whole = std::nearbyint(value);  // the default rounding mode sends halves to even
    if (whole == 0) whole = 0;             // no "-0"
    const QString formatted = QString::number(whole, 'f', 0);
    if (formatted != text()) setText(formatted);
}

void TRxSpinEdit::setMinValue(double value) {
    minValue_ = value;
    if (building_ && value != 0) checkMin_ = checkMax_ = true;
}

void TRxSpinEdit::setMaxValue(double value) {
    maxValue_ = value;
    if (building_ && value != 0) checkMin_ = checkMax_ = true;
}

void TRxSpinEdit::step(int direction) {
    if (isReadOnly()) return;
    const QString before = text();
    {
        // The step reports once, below, rather than from inside its own write.
        QScopedValueRollback silent(silent_, true);
        setValue(Value() + direction * increment_);
    }
    if (text().compare(before, Qt::CaseInsensitive) != 0) {
        setModified(true);
        if (!silent_ && !building_) emit OnChange();
    }
}

void TRxSpinEdit::onButtonStep(RxSpinButton::Part part) {
    if (!hasFocus() && (focusPolicy() & Qt::ClickFocus)) setFocus(Qt::MouseFocusReason);
    if (part == RxSpinButton::UpPart)
        stepUp();
    else
        stepDown();
}

void TRxSpinEdit::onTextChanged() {
    if (!silent_ && !building_) emit OnChange();
}

void TRxSpinEdit::guardedPaste(const std::function<void()>& paste) {
    const double before = Value();
    paste();
    if (!isDecimalNumberText(text())) setValue(before);
}

void TRxSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        guardedPaste([&] { QLineEdit::keyPressEvent(event); });
        return;
    }
    switch (event->key()) {
        case Qt::Key_Up:
            stepUp();
            event->accept();
            return;
        case Qt::Key_Down:
            stepDown();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            // Dialog keys belong to the window.
            event->ignore();
            return;
        default:
            break;
    }
    const QString typed = event->text();
    if (!std::all_of(typed.begin(), typed.end(), isTypable)) {
        beep_();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TRxSpinEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    QString kept;
    std::copy_if(commit.begin(), commit.end(), std::back_inserter(kept), isTypable);
    if (kept.size() == commit.size()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    beep_();
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}

void TRxSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu or another window taking over does not mean the user has left the field.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    setValue(Value());
}

void TRxSpinEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the selection on systems that have one.
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection())
        guardedPaste([&] { QLineEdit::mouseReleaseEvent(event); });
    else
        QLineEdit::mouseReleaseEvent(event);
}

void TRxSpinEdit::dropEvent(QDropEvent* event) {
    guardedPaste([&] { QLineEdit::dropEvent(event); });
}

void TRxSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction* pasteAction = findPasteAction(*menu)) {
        disconnect(pasteAction, &QAction::triggered, nullptr, nullptr);
        connect(pasteAction, &QAction::triggered, this,
                [this] { guardedPaste([this] { paste(); }); });
    }
    menu->popup(event->globalPos());
}

void TRxSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    placeButton();
}

void TRxSpinEdit::placeButton() {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int frame =
        hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this) : 0;
    const int side = std::max(0, std::min(height(), width()) - 2 * frame);
    button_->setGeometry(width() - frame - side, frame, side, side);
    if (textMargins().right() != side) setTextMargins(0, 0, side, 0);
}
