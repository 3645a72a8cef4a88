// The image libraries' own warnings (Qt's image plugins, libtiff, Exiv2, OpenJPEG, LittleCMS,
// libjpeg) are in English and say nothing a user can act on: the program gives its own reason.
// They are kept off the terminal unless LUMIVANE_DEBUG is set (to anything but 0), which lets
// them through for debugging.
#pragma once

namespace lumivane {

// Whether LUMIVANE_DEBUG asks for the libraries' messages.
bool LibraryMessagesWanted();

// Sets the routing up; done on first image I/O, safe from any thread, and again a no-op.
void RouteLibraryMessages();

// A library's message handed to one of our handlers: printed only when wanted.
void LibraryMessage(const char* library, const char* text);

// Marks the calling thread as inside Qt's image reading or writing while it lives: Qt's
// warnings meanwhile come from its image plugins and the devices they read, and count as
// library messages. Qt's other warnings are left as they are.
class QtImageIoScope {
  public:
    QtImageIoScope();
    ~QtImageIoScope();
    QtImageIoScope(const QtImageIoScope&) = delete;
    QtImageIoScope& operator=(const QtImageIoScope&) = delete;
};

}  // namespace lumivane
