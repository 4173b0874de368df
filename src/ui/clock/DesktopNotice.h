#pragma once

class QString;
class QWidget;

// A short message from the clock where no tray can carry it: a desktop notification through the
// freedesktop notification service, or, where none answers, a tool tip over the given window.
namespace DesktopNotice {

void show(const QString& text, QWidget* over);

} // namespace DesktopNotice
