#include "app/RxSpinButton.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

RxSpinButton::RxSpinButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    connect(&repeat_, &QTimer::timeout, this, &RxSpinButton::repeatStep);
}

RxSpinButton::Part RxSpinButton::partAt(QPointF pos, QSizeF size) {
    const double w = size.width();
    const double h = size.height();
    if (w <= 0 || h <= 0 || pos.x() < 0 || pos.y() < 0 || pos.x() >= w || pos.y() >= h)
        return NoPart;
    // The diagonal runs from (0, h) to (w, 0): x / w + y / h = 1. Points with a smaller sum lie
    // in the upper-left triangle; the diagonal itself belongs to the lower part.
    return pos.x() * h + pos.y() * w < w * h ? UpPart : DownPart;
}

void RxSpinButton::mousePressEvent(QMouseEvent* event) {
    // Only the left button steps; the others are swallowed so that the field does not react
    // to them either.
    event->accept();
    if (event->button() != Qt::LeftButton || pressed_ != NoPart) return;
    const Part part = partAt(event->position(), size());
    if (part == NoPart) return;
    pressed_ = part;
    underPointer_ = part;
    update();
    repeat_.start(kFirstRepeatMs);
    emit stepRequested(part);
}

void RxSpinButton::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (pressed_ == NoPart) return;
    const Part part = partAt(event->position(), size());
    if (part != underPointer_) {
        underPointer_ = part;
        update();
    }
}

void RxSpinButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) release();
}

void RxSpinButton::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void RxSpinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) release();
    QWidget::changeEvent(event);
}

void RxSpinButton::repeatStep() {
    // A modal box opened by a change handler takes the mouse; its release never reaches us.
    QWidget* modal = QApplication::activeModalWidget();
    if (pressed_ == NoPart || !isVisible() || (modal && modal != window())) {
        release();
        return;
    }
    repeat_.setInterval(kRepeatMs);
    if (underPointer_ == pressed_) emit stepRequested(pressed_);
}

void RxSpinButton::release() {
    repeat_.stop();
    if (pressed_ == NoPart) return;
    pressed_ = NoPart;
    underPointer_ = NoPart;
    update();
}

namespace {

QPolygonF arrow(QPointF centre, double size, bool up) {
    const double half = size / 2;
    const double dy = up ? -size / 4 : size / 4;
    return QPolygonF{{centre.x() - half, centre.y() - dy},
                     {centre.x() + half, centre.y() - dy},
                     {centre.x(), centre.y() + dy}};
}

}  // namespace

void RxSpinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QPalette& pal = palette();
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    p.fillRect(rect(), pal.color(group, QPalette::Button));

    // The part held down, while the pointer is on it, looks pressed.
    if (pressed_ != NoPart && underPointer_ == pressed_) {
        QPainterPath half;
        if (pressed_ == UpPart)
            half.addPolygon(QPolygonF{r.topLeft(), r.topRight(), r.bottomLeft()});
        else
            half.addPolygon(QPolygonF{r.topRight(), r.bottomRight(), r.bottomLeft()});
        half.closeSubpath();
        p.fillPath(half, pal.color(group, QPalette::Mid));
    }

    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(pal.color(group, QPalette::Dark), 1));
    p.drawRect(r);
    p.drawLine(r.bottomLeft(), r.topRight());

    // Each arrow sits at the centroid of its triangle.
    const double glyph = std::max(3.0, std::min(r.width(), r.height()) / 3);
    p.setPen(Qt::NoPen);
    p.setBrush(pal.color(group, QPalette::ButtonText));
    p.drawPolygon(arrow({r.left() + r.width() / 3, r.top() + r.height() / 3}, glyph, /*up=*/true));
    p.drawPolygon(
        arrow({r.left() + 2 * r.width() / 3, r.top() + 2 * r.height() / 3}, glyph, /*up=*/false));
}
