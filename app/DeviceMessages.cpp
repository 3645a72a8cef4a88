#include "app/DeviceMessages.h"

#include <QPointer>
#include <QWidget>

#include "app/Interaction.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

MessageIcon IconOf(UINT type) {
    switch (type & 0xF0) {  // the icon bits of the message box type
        case 0x10:
            return MessageIcon::Error;
        case 0x20:
            return MessageIcon::Question;
        case 0x30:
            return MessageIcon::Warning;
        case 0x40:
            return MessageIcon::Information;
        default:
            return MessageIcon::None;
    }
}

}  // namespace

void RouteDeviceMessages(Interaction* interaction, QWidget* owner) {
    if (!interaction) {
        SetMessageBoxHook(nullptr);
        return;
    }
    QPointer<QWidget> guardedOwner(owner);
    SetMessageBoxHook([interaction, guardedOwner](HWND, const char* text, const char* caption,
                                                  UINT type) {
        interaction->Message(guardedOwner, caption ? QString::fromUtf8(caption) : QString(),
                             QString::fromUtf8(text ? text : ""), IconOf(type), MessageButtons::Ok);
        return IDOK;
    });
}

}  // namespace lumivane
