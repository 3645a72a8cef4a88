#include "platform/imagelib/library_messages.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <QString>
#include <QtGlobal>
#include <exiv2/error.hpp>

namespace lumivane {
namespace {

std::atomic<QtMessageHandler> previousQtHandler{nullptr};
thread_local int qtImageIoDepth = 0;

// Qt's image plugins warn through qWarning, uncategorised, so only the thread they run on tells
// their warnings apart. Critical and fatal messages always reach the previous handler.
void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool chatter = type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg;
    if (chatter && qtImageIoDepth > 0 && !LibraryMessagesWanted()) return;
    if (const QtMessageHandler previous = previousQtHandler.load())
        previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// libtiff prints to stderr unless given handlers. Qt's TIFF plugin brings it in, so it is
// reached through the dynamic loader: the program does not link it itself.
using TiffHandler = void (*)(const char* module, const char* format, va_list);
using SetTiffHandler = TiffHandler (*)(TiffHandler);

void OnTiffMessage(const char* module, const char* format, va_list arguments) {
    if (!LibraryMessagesWanted()) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::fprintf(stderr, "libtiff: %s: %s\n", module ? module : "", text);
}

void RouteTiffMessages() {
    for (const char* name : {"libtiff.so.6", "libtiff.so.5"}) {
        void* tiff = ::dlopen(name, RTLD_LAZY | RTLD_LOCAL);  // kept loaded for the handlers
        if (!tiff) continue;
        for (const char* setter : {"TIFFSetWarningHandler", "TIFFSetErrorHandler"})
            if (auto set = reinterpret_cast<SetTiffHandler>(::dlsym(tiff, setter)))
                set(OnTiffMessage);
        return;
    }
}

}  // namespace

bool LibraryMessagesWanted() {
    static const bool wanted = [] {
        const char* value = std::getenv("LUMIVANE_DEBUG");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    return wanted;
}

void RouteLibraryMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        previousQtHandler = qInstallMessageHandler(OnQtMessage);
        Exiv2::LogMsg::setLevel(LibraryMessagesWanted() ? Exiv2::LogMsg::warn
                                                        : Exiv2::LogMsg::mute);
        RouteTiffMessages();
    });
}

QtImageIoScope::QtImageIoScope() {
    RouteLibraryMessages();
    ++qtImageIoDepth;
}

QtImageIoScope::~QtImageIoScope() {
    --qtImageIoDepth;
}

void LibraryMessage(const char* library, const char* text) {
    if (!LibraryMessagesWanted() || !text) return;
    const std::size_t length = std::strlen(text);
    const bool newline = length > 0 && text[length - 1] == '\n';
    std::fprintf(stderr, "%s: %s%s", library, text, newline ? "" : "\n");
}

}  // namespace lumivane
