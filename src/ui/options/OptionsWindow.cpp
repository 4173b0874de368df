#include "ui/options/OptionsWindow.h"

#include "core/settings/UserSettings.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/clock/TrayIcon.h"
#include "ui/options/ChimesPage.h"
#include "ui/options/FreaksPage.h"
#include "ui/options/OptionsSlide.h"
#include "ui/options/SkinPage.h"
#include "ui/options/WorldTimePage.h"

#include <QAbstractButton>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>

#include <functional>

namespace {

const QColor stripColour(206, 206, 206);
const QColor stripLineColour(163, 163, 163);
const QColor chosenTabColour = Qt::black;
const QColor otherTabColour(128, 128, 128);
const QColor okBackdropColour(224, 224, 224);

struct Tab {
    QString caption;
    QString tip;
};
const Tab tabs[] = { { QStringLiteral("Skin"), {} },
    { QStringLiteral("Chimes"), QStringLiteral("Chimes Options") },
    { QStringLiteral("Freaks"), QStringLiteral("Misc. Options") },
    { QStringLiteral("WTT"), QStringLiteral("World Time Table Editor") } };

// The tab strip: each caption black when its page is the chosen one, grey otherwise.
class TabStrip final : public QWidget {
public:
    TabStrip(std::function<std::optional<int>()> chosen, std::function<void(int)> choose,
        QWidget* parent)
        : QWidget(parent)
        , m_chosen(std::move(chosen))
        , m_choose(std::move(choose))
    {
        setFixedHeight(fontMetrics().height() + 6);
    }

    QRect tabRect(int index) const
    {
        int left = 8;
        for (int i = 0; i < index; ++i)
            left += fontMetrics().horizontalAdvance(tabs[i].caption) + 14;
        return { left, 0, fontMetrics().horizontalAdvance(tabs[index].caption) + 14, height() };
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), stripColour);
        painter.setPen(stripLineColour);
        painter.drawLine(0, height() - 1, width(), height() - 1);
        const std::optional<int> chosen = m_chosen();
        for (int i = 0; i < OptionsWindow::PageCount; ++i) {
            const QRect at = tabRect(i);
            if (chosen == i) {
                // The chosen tab opens onto its page.
                painter.fillRect(at.adjusted(0, 2, 0, 0), pageColour);
                painter.setPen(stripLineColour);
                painter.drawLine(at.topLeft() + QPoint(0, 2), at.bottomLeft());
                painter.drawLine(at.topLeft() + QPoint(0, 2), at.topRight() + QPoint(0, 2));
                painter.drawLine(at.topRight() + QPoint(0, 2), at.bottomRight());
            }
            painter.setPen(chosen == i ? chosenTabColour : otherTabColour);
            painter.drawText(at.adjusted(0, 2, 0, 0), Qt::AlignCenter, tabs[i].caption);
        }
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        for (int i = 0; i < OptionsWindow::PageCount; ++i) {
            if (event->button() == Qt::LeftButton && tabRect(i).contains(event->pos()))
                m_choose(i);
        }
    }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            QString tip;
            for (int i = 0; i < OptionsWindow::PageCount; ++i) {
                if (tabRect(i).contains(help->pos()))
                    tip = tabs[i].tip;
            }
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, this);
            return true;
        }
        return QWidget::event(event);
    }

private:
    std::function<std::optional<int>()> m_chosen;
    std::function<void(int)> m_choose;
};

// Where the pages slide; with none chosen yet it shows a picture of its own.
class PageArea final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), pageColour);
        const QIcon icon = TrayIcon::clockIcon();
        const int side = 32;
        const QRect iconAt((width() - side) / 2, height() / 2 - side, side, side);
        icon.paint(&painter, iconAt);
        painter.setPen(otherTabColour);
        painter.drawText(QRect(0, iconAt.bottom() + 4, width(), fontMetrics().height()),
            Qt::AlignHCenter, QStringLiteral("Choose a tab above"));
    }
};

// The bar along the bottom with its "OK": a button to the keyboard and to screen readers, Tab
// reaching it after the page's controls and Space pressing it.
class OkBar final : public QAbstractButton {
public:
    OkBar(std::function<void()> ok, QWidget* parent)
        : QAbstractButton(parent)
    {
        setText(QStringLiteral("OK"));
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        setFocusPolicy(Qt::TabFocus);
        setFixedHeight(fontMetrics().height() + 12);
        setCursor(Qt::PointingHandCursor);
        connect(this, &QAbstractButton::clicked, this, std::move(ok));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), stripColour);
        painter.setPen(stripLineColour);
        painter.drawLine(0, 0, width(), 0);
        const QString caption = text();
        const QSize text(fontMetrics().horizontalAdvance(caption), fontMetrics().height());
        const QRect backdrop((width() - text.width() - 36) / 2, (height() - text.height() - 6) / 2,
            text.width() + 36, text.height() + 6);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(okBackdropColour);
        painter.setPen(stripLineColour);
        painter.drawRoundedRect(QRectF(backdrop).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        // Black, as white on the light backdrop would hardly read and look switched off.
        painter.setPen(chosenTabColour);
        painter.drawText(backdrop, Qt::AlignCenter, caption);
        if (hasFocus()) {
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(chosenTabColour, 1, Qt::DotLine));
            painter.drawRect(backdrop.adjusted(3, 2, -4, -3));
        }
    }
    // Space presses it; the window's keys (Left and Right too, which a button would take to move
    // the focus) go on to the window.
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Space)
            QAbstractButton::keyPressEvent(event);
        else
            event->ignore();
    }
};

} // namespace

OptionsWindow::OptionsWindow(UserSettings& settings, const Timepiece& timepiece, const Roots& roots,
    const Clock& time, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("options"));
    setWindowTitle(QStringLiteral("The Options"));
    setWindowIcon(TrayIcon::clockIcon());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_tabs = new TabStrip(
        [this] { return m_walk.selected(); }, [this](int page) { selectPage(page); }, this);
    m_area = new PageArea(this);
    // The area itself holds the focus when no control has it, so that the keys walk the pages.
    m_area->setFocusPolicy(Qt::StrongFocus);
    // Its name says which page is chosen (selectPage()), its description how to choose one.
    m_area->setAccessibleDescription(
        QStringLiteral("Left and Right choose the page: Skin, Chimes, Freaks, WTT"));
    layout->addWidget(m_tabs);
    layout->addWidget(m_area);

    // Made in this order, the pages keep the order Tab walks their controls in.
    auto* worldTimes = new ::WorldTimePage(settings, time, m_area);
    m_skinPage = new ::SkinPage(settings, timepiece, roots, m_area);
    m_chimesPage = new ::ChimesPage(settings, roots, m_area);
    m_pages = { m_skinPage, m_chimesPage, new ::FreaksPage(settings, m_area), worldTimes };
    // Made after the pages, the OK comes after their controls when Tab walks the window.
    layout->addWidget(new OkBar([this] { close(); }, this));
    // A screen reader names each page, and the area with the focus says which one is chosen.
    m_tabs->setAccessibleName(QStringLiteral("Skin, Chimes, Freaks, WTT"));
    for (int i = 0; i < PageCount; ++i) {
        m_pages[i]->setAccessibleName(tabs[i].caption);
        m_pages[i]->setAccessibleDescription(tabs[i].tip);
    }
    // Wide enough for the title "The Options" beside the window manager's buttons.
    QSize size(280, 77);
    for (QWidget* page : m_pages)
        size = size.expandedTo(page->sizeHint());
    size = size.expandedTo(QSize(static_cast<TabStrip*>(m_tabs)->tabRect(3).right() + 8, 0));
    m_area->setFixedSize(size);
    for (QWidget* page : m_pages)
        page->setGeometry(QRect(QPoint(size.width(), 0), size));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (OptionsPage* page : m_pages)
        connect(page, &OptionsPage::windowKey, this, &OptionsWindow::handleWindowKey);
    connect(m_skinPage, &InstallPage::installRequested, this, &OptionsWindow::installRequested);
    connect(m_chimesPage, &InstallPage::installRequested, this, &OptionsWindow::installRequested);
    connect(worldTimes, &WorldTimePage::dingRequested, this, &OptionsWindow::dingRequested);
    m_slide = new OptionsSlide(this, m_area);
}

void OptionsWindow::open()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    DesktopIntegration::keepOnTop(this, m_settings->onTop);
    for (OptionsPage* page : m_pages)
        page->fill();
    // Closed and opened again, it starts afresh: no page chosen.
    m_slide->reset({ m_pages.begin(), m_pages.end() });
    m_walk = PageWalk(PageCount);
    m_tabs->update();
    m_area->setAccessibleName(QStringLiteral("Choose a tab above"));
    show();
    raise();
    activateWindow();
    m_area->setFocus();
}

void OptionsWindow::showLists()
{
    m_skinPage->showList();
    m_chimesPage->showList();
}

void OptionsWindow::selectPage(int page)
{
    const PageWalk::Change change = m_walk.select(page);
    m_tabs->update();
    m_area->setAccessibleName(tabs[page].caption);
    if (change.changed)
        m_slide->start(
            m_pages[page], change.old ? m_pages[*change.old] : nullptr, m_settings->speed);
}

void OptionsWindow::handleWindowKey(OptionsPage::WindowKey key)
{
    switch (key) {
    case OptionsPage::WindowKey::Close:
        close();
        break;
    case OptionsPage::WindowKey::Before:
        selectPage(m_walk.before());
        break;
    case OptionsPage::WindowKey::After:
        selectPage(m_walk.after());
        break;
    case OptionsPage::WindowKey::None:
        break;
    }
}

// The keys of the page area and the window itself; each page passes on its own.
void OptionsWindow::keyPressEvent(QKeyEvent* event)
{
    const OptionsPage::WindowKey key = OptionsPage::windowKeyFor(event, focusWidget());
    if (key == OptionsPage::WindowKey::None)
        QWidget::keyPressEvent(event);
    else
        handleWindowKey(key);
}
