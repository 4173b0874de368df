#pragma once

#include <QByteArray>
#include <QImage>

// The program's own icon: a plain face at four o'clock, for the tray, the windows and the
// desktop's launchers. One drawing, as pixels at any size and as scalable SVG.
namespace ClockIcon {

QImage draw(int sizePx);
QByteArray svg();

} // namespace ClockIcon
