// MessageBox through a hook the program installs.
#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/gdi/gdi.h"

namespace {

std::mutex hookMutex;
MessageBoxHook currentHook;

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(hookMutex);
    return std::exchange(currentHook, std::move(hook));
}

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    MessageBoxHook hook;
    {
        std::lock_guard lock(hookMutex);
        hook = currentHook;
    }
    if (hook) return hook(owner, text ? text : "", caption, type);
    // Without a window there is nobody to ask: report and answer as if OK was pressed.
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "Error", text ? text : "");
    return IDOK;
}
