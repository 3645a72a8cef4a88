// The busy cursor while a picture loads, renders or is written. Guards nest: the cursor comes
// back when the outermost one ends, even when the work throws.
#pragma once

#include <QApplication>

namespace lumivane {

class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A question asked in the middle of busy work (the size question, a failed load) shows the
// ordinary arrow while it waits for the answer.
class ArrowWhileAsking {
  public:
    ArrowWhileAsking() : busy_(QApplication::overrideCursor() != nullptr) {
        if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileAsking() {
        if (busy_) QApplication::restoreOverrideCursor();
    }
    ArrowWhileAsking(const ArrowWhileAsking&) = delete;
    ArrowWhileAsking& operator=(const ArrowWhileAsking&) = delete;

  private:
    bool busy_;
};

}  // namespace lumivane
