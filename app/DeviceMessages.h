// The device layer's message boxes, shown through the window's dialogs like every other message.
#pragma once

class QWidget;

namespace lumivane {

class Interaction;

// Routes the device layer's MessageBox through `interaction` (null: back to its default).
void RouteDeviceMessages(Interaction* interaction, QWidget* owner);

}  // namespace lumivane
