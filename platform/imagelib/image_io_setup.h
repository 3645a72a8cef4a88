// Start-up of the picture readers and writers for programs without a QApplication.
#pragma once

namespace lumivane {

// Call at the start of main, before any other thread reads or writes a picture.
void PrepareImageIo();

}  // namespace lumivane
