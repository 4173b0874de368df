#include "ui/clock/WindowShape.h"

#include "core/base/Logging.h"

#include <QWidget>

namespace WindowShape {

void prepare(QWidget* window)
{
    window->setWindowFlag(Qt::FramelessWindowHint, true);
    window->setAttribute(Qt::WA_TranslucentBackground, true);
    window->setAttribute(Qt::WA_NoSystemBackground, true);
}

void apply(QWidget* window, const QRegion& region)
{
    if (region.isEmpty()) {
        // A one-pixel mask outside the window: nothing of it is shown or takes the mouse.
        qCDebug(lcShape) << "empty outline: window" << window->objectName()
                         << "has no visible pixel";
        window->setMask(QRegion(-2, -2, 1, 1));
        return;
    }
    qCDebug(lcShape) << "outline of" << window->objectName() << region.boundingRect()
                     << region.rectCount() << "rectangles";
    window->setMask(region);
}

} // namespace WindowShape
