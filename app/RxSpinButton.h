#pragma once

#include <QTimer>
#include <QWidget>

// The spin button at the right end of a numeric field: one square split by the diagonal from
// its bottom-left to its top-right corner. The upper-left triangle steps up, the lower-right
// one steps down. Holding the left button repeats the step, first after 400 ms, then every
// 100 ms, as long as the pointer stays on the part that was pressed.
class RxSpinButton : public QWidget {
    Q_OBJECT

  public:
    enum Part { NoPart, UpPart, DownPart };

    static constexpr int kFirstRepeatMs = 400;
    static constexpr int kRepeatMs = 100;

    explicit RxSpinButton(QWidget* parent = nullptr);

    // Which part of a button of the given size lies under pos (widget coordinates).
    static Part partAt(QPointF pos, QSizeF size);

    Part pressedPart() const { return pressed_; }
    // Exposed so that tests can check and drive the repeat without waiting on the clock.
    const QTimer& repeatTimer() const { return repeat_; }

  signals:
    // Emitted for the press itself and for every repeat. The receiver takes the focus first
    // when it wants to, then steps.
    void stepRequested(RxSpinButton::Part part);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void repeatStep();
    void release();

    QTimer repeat_;
    Part pressed_ = NoPart;
    Part underPointer_ = NoPart;
};
