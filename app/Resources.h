// The program's own pictures, compiled into it.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace lumivane {

// Registers the compiled resources; needed once because they live in a static library.
void InitResources();

// A button glyph from the resources with its white background made transparent.
QPixmap Glyph(const QString& name);

// The program icon in all its sizes.
QIcon ProgramIcon();

}  // namespace lumivane
