#include "ui/about/AboutPage.h"

#include "ui/about/AboutPicture.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextOption>
#include <QToolTip>

#include <algorithm>

namespace {

const QColor paper(0xf7, 0xf1, 0xe1);
const QColor ink(0x2b, 0x2b, 0x33);
const QColor headingInk(0x1a, 0x25, 0x45);
const QColor rule(0xb8, 0x86, 0x2e);
const QColor markerGreen(0, 255, 0);
const QColor markerPale(200, 255, 200);

// The text column: inside the plate's curve wherever the shown page reaches.
constexpr double columnLeft = 48;
constexpr double columnRight = 432;
constexpr double bodyIndent = 12;
constexpr double bodyTop = 40;

QFont pixelFont(int px, bool bold = false)
{
    QFont font;
    font.setPixelSize(px);
    font.setBold(bold);
    return font;
}

// Draws the text wrapped inside the box, cut at its edges; gives the height it takes there.
double drawWrapped(QPainter& p, const QRectF& box, const QString& text)
{
    p.save();
    p.setClipRect(box, Qt::IntersectClip);
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p.drawText(box, text, option);
    const double height = p.boundingRect(box, text, option).height();
    p.restore();
    return std::min(height, box.height());
}

} // namespace

AboutPage::AboutPage(QWidget* parent)
    : QWidget(parent)
{ }

void AboutPage::setTexts(Texts texts)
{
    m_texts = std::move(texts);
    update();
}

void AboutPage::setSubPages(QStringList titles, std::function<void(int)> chosen)
{
    m_subPages = std::move(titles);
    m_chosen = std::move(chosen);
}

void AboutPage::setCurrentSubPage(int index)
{
    m_currentSubPage = index;
    update();
}

QRectF AboutPage::buttonRect(int index) const
{
    const double side = 18;
    const double left = columnRight - m_subPages.size() * (side + 6) + 6;
    return { left + index * (side + 6), 8, side, side };
}

int AboutPage::buttonAt(QPointF point) const
{
    for (int i = 0; i < m_subPages.size(); ++i)
        if (buttonRect(i).contains(point))
            return i;
    return -1;
}

bool AboutPage::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int button = buttonAt(help->pos());
        if (button >= 0)
            QToolTip::showText(help->globalPos(), m_subPages[button], this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void AboutPage::mousePressEvent(QMouseEvent* event)
{
    const int button = buttonAt(event->position());
    if (event->button() == Qt::LeftButton && button >= 0 && button != m_currentSubPage && m_chosen)
        m_chosen(button);
}

void AboutPage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The paper follows the plate's curve, so the window's brass rim stays whole.
    QPainterPath plate;
    plate.addEllipse(AboutPicture::plate().translated(-pos()));
    p.setClipPath(plate);
    p.fillRect(rect(), paper);
    p.setPen(QPen(QColor(0, 0, 0, 40), 2));
    p.drawLine(QPointF(0, 1), QPointF(width(), 1));

    p.setPen(headingInk);
    p.setFont(pixelFont(16, true));
    const double headingRight = m_subPages.isEmpty() ? columnRight : buttonRect(0).left() - 8;
    drawWrapped(p, QRectF(columnLeft, 8, headingRight - columnLeft, 22), m_texts.heading);
    p.setPen(QPen(rule, 1));
    p.drawLine(QPointF(columnLeft, 32), QPointF(columnRight, 32));

    for (int i = 0; i < m_subPages.size(); ++i) {
        const QRectF box = buttonRect(i);
        p.setPen(QPen(headingInk, 1));
        p.setBrush(i == m_currentSubPage ? markerPale : markerGreen);
        p.drawRoundedRect(box, 4, 4);
        p.setFont(pixelFont(11, true));
        p.drawText(box, Qt::AlignCenter, QString::number(i + 1));
    }

    // The body takes what room it needs; the foot follows it, or sits at the page's end when
    // the body is longer than the page.
    const double footHeight
        = m_texts.foot.isEmpty() ? 0 : (m_texts.foot.count(u'\n') + 1) * 15.0 + 22;
    const double left = columnLeft + bodyIndent;
    // The main column of keys holds the longer lines.
    const double middle = columnLeft + (columnRight - columnLeft) * 0.55;
    const double bodyRight = m_texts.side.isEmpty() ? columnRight - bodyIndent : middle - 6;
    const double room = height() - 12 - footHeight - bodyTop;
    const QRectF body(left, bodyTop, bodyRight - left, room);
    const QRectF side(middle, bodyTop, columnRight - middle, room);
    p.setPen(ink);
    p.setFont(pixelFont(12));
    const double used = std::max(drawWrapped(p, body, m_texts.body),
        m_texts.side.isEmpty() ? 0.0 : drawWrapped(p, side, m_texts.side));
    if (footHeight > 0) {
        const double top = bodyTop + used + 12;
        p.setPen(headingInk);
        p.setFont(pixelFont(12, true));
        drawWrapped(p, QRectF(columnLeft, top, columnRight - columnLeft, 16), m_texts.footHeading);
        p.setPen(QPen(rule, 1));
        p.drawLine(QPointF(columnLeft, top + 17), QPointF(columnRight, top + 17));
        p.setPen(ink);
        p.setFont(pixelFont(12));
        drawWrapped(p, QRectF(left, top + 20, columnRight - left, footHeight - 20), m_texts.foot);
    }
}
