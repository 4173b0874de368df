#include "core/face/TymeLayout.h"

#include "core/base/Logging.h"
#include "core/base/Twips.h"
#include "core/face/FacePainter.h"
#include "core/text/NumberReading.h"

#include <QFontMetricsF>

#include <algorithm>
#include <limits>

namespace {

// Rounded into the 16-bit twips of the am/pm text, clamped where it would not fit.
double wholeTwips(double twips)
{
    return std::clamp(NumberReading::roundHalfEven(twips),
        double(std::numeric_limits<std::int16_t>::min()),
        double(std::numeric_limits<std::int16_t>::max()));
}

} // namespace

double digitalTextWidth(const QFont& skinFont, const QString& text)
{
    return QFontMetricsF(FaceGeometry::windowFont(skinFont)).horizontalAdvance(text);
}

void layOutTyme(Skin& skin, double widthPx, bool twelveHour, const TextWidth& textWidth)
{
    skin.info.date = QStringLiteral("Made for 'Tyme'");
    skin.analog = false;
    skin.digital = true;
    skin.separateTexts = false;
    placeTymeTime(skin, widthPx, twelveHour, textWidth);
    skin.colons = ColonBlink::Shown;
    skin.showSeconds = true;
}

void placeTymeTime(Skin& skin, double widthPx, bool twelveHour, const TextWidth& textWidth)
{
    // In twips, where the rounding of stored skins is defined.
    using Twips::fromPixels;
    const double window = fromPixels(widthPx);
    const double offset = fromPixels(skin.analogBox.left());
    const double time = fromPixels(textWidth(skin.hours.font, QStringLiteral("88:88:88")));
    const double amPm
        = twelveHour ? fromPixels(textWidth(skin.hours.font, QStringLiteral(" am"))) : 0;
    double left = fromPixels(skin.hours.position.x());
    switch (skin.alignment) {
    case TymeAlignment::Left:
        left = float(offset);
        break;
    case TymeAlignment::Center:
        left = float((window - time) / 2 - amPm / 2);
        break;
    case TymeAlignment::Right:
        left = float(window - offset - time - amPm);
        break;
    case TymeAlignment::AsRead:
        break;
    }
    skin.hours.position.setX(Twips::toPixels(left));
    skin.amPm.position = QPointF(
        Twips::toPixels(
            wholeTwips(left + fromPixels(textWidth(skin.hours.font, QStringLiteral("88:88:88 "))))),
        Twips::toPixels(wholeTwips(fromPixels(skin.hours.position.y()))));
    qCDebug(lcSkin) << "Tyme layout: a window" << widthPx << "px wide, the time at"
                    << skin.hours.position.x() << "px";
}
