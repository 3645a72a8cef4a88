#include "platform/imagelib/image_io_setup.h"

#include <QThread>

namespace lumivane {

void PrepareImageIo() {
    // Qt takes the first thread that asks for its thread data as the program's main thread, and
    // hands every image plugin it loads to that thread. When a reading thread came first, the
    // plugins kept the data of a thread that had ended, and their teardown at exit read freed
    // memory (now and then a heap corruption in lumivane-render). Asking here settles it on the
    // thread that outlives all others. A QApplication does the same for the window.
    QThread::currentThread();
}

}  // namespace lumivane
