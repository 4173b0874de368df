#include "ui/about/AboutWindow.h"

#include "Version.h"
#include "core/about/AboutTexts.h"
#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/face/Timepiece.h"
#include "core/settings/Settings.h"
#include "core/shape/Regions.h"
#include "ui/about/AboutPage.h"
#include "ui/about/AboutPicture.h"
#include "ui/clock/DesktopIntegration.h"
#include "ui/commands/HotKeys.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

const std::array<QString, AboutWindow::TabCount> tabTitles { QStringLiteral("Read Me"),
    QStringLiteral("Hot Keys"), QStringLiteral("Credits"), QStringLiteral("About Skin"),
    QStringLiteral("Horolan"), QStringLiteral("Done") };
const QColor tabInk(0xe9, 0xe2, 0xcc);
const QColor tabCurrentInk(0xff, 0xd8, 0x7a);
const QColor versionInk(0xe8, 0xc8, 0x72);

double hiddenTop()
{
    return AboutPicture::size.height();
}

} // namespace

AboutWindow::AboutWindow(
    const Timepiece& timepiece, const Settings& settings, Random& random, const Clock& clock)
    : m_timepiece(timepiece)
    , m_settings(settings)
    , m_random(random)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("About Horolan"));
    setWindowFlag(Qt::Dialog, true);
    setWindowModality(Qt::ApplicationModal);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(AboutPicture::size);
    setOutline(aboutEllipseRegion(AboutPicture::size, devicePixelRatioF()), devicePixelRatioF());

    for (AboutPage*& page : m_pages) {
        page = new AboutPage(this);
        page->setGeometry(
            0, int(hiddenTop()), AboutPicture::size.width(), int(AboutPicture::pageHeight));
        page->hide();
    }
    m_pages[ReadMe]->setSubPages(AboutTexts::readMeTitles, [this](int i) { chooseReadMe(i); });
    layOutTabs();

    connect(&m_slideTimer, &QTimer::timeout, this, &AboutWindow::nextFrame);
    connect(&m_ornamentTimer, &QTimer::timeout, this, &AboutWindow::tickOrnament);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::open(QWidget* over)
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    m_random.seed(m_clock.secondsSinceMidnight());
    DesktopIntegration::keepOnTop(this, m_settings.onTop);
    const auto place = std::min(std::size_t(std::floor(m_random.next() * 3)), std::size_t(2));
    m_clockPlace = AboutPicture::clockPlaces[place];
    fillPages();

    m_frames.clear();
    m_queued = -1;
    switchTo(Horolan);
    const QScreen* screen = over && over->screen() ? over->screen() : this->screen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    runOrnament();
    qCDebug(lcMain).nospace() << "about window open, toy clock at place " << place + 1;
    for (int i = 0; i < TabCount; ++i)
        qCDebug(lcMain).nospace().noquote()
            << "about tab \"" << tabTitles[i] << "\" at " << m_tabRects[i].center().toPoint().x()
            << "," << m_tabRects[i].center().toPoint().y();
}

void AboutWindow::fillPages()
{
    m_version = AboutTexts::version(QStringLiteral(HOROLAN_VERSION));
    m_pages[ReadMe]->setTexts({ tabTitles[ReadMe], AboutTexts::readMe(0), {}, {}, {} });
    m_pages[ReadMe]->setCurrentSubPage(0);
    m_pages[HotKeys]->setTexts(
        { tabTitles[HotKeys], AboutTexts::hotKeys(), AboutTexts::hotKeysMore(),
            QStringLiteral("On World Time Table"), AboutTexts::hotKeysWorldTime() });
    m_pages[Credits]->setTexts({ tabTitles[Credits], AboutTexts::credits(), {},
        QStringLiteral("Special Thanks To:"), AboutTexts::thanks() });
    const SkinInfo& info = m_timepiece.skin().info;
    m_pages[AboutSkin]->setTexts(
        { AboutTexts::skinHeading(info), AboutTexts::skinText(info), {}, {}, {} });
}

void AboutWindow::chooseReadMe(int subPage)
{
    m_pages[ReadMe]->setTexts(
        { m_pages[ReadMe]->texts().heading, AboutTexts::readMe(subPage), {}, {}, {} });
    m_pages[ReadMe]->setCurrentSubPage(subPage);
    describe();
}

void AboutWindow::describe()
{
    QStringList lines { tabTitles[m_current] };
    if (m_current < int(m_pages.size())) {
        const AboutPage::Texts& texts = m_pages[m_current]->texts();
        lines << texts.heading << texts.body << texts.side << texts.footHeading << texts.foot;
    } else
        lines << m_version;
    lines.removeAll(QString());
    lines.removeDuplicates(); // most pages' heading is the tab's title
    setAccessibleDescription(lines.join(u'\n'));
}

void AboutWindow::choose(int tab)
{
    if (tab == Done) {
        close();
        return;
    }
    if (tab < 0 || tab >= Done)
        return;
    if (!m_frames.isEmpty()) {
        m_queued = tab;
        return;
    }
    if (tab != m_current) {
        qCDebug(lcMain) << "about tab" << tabTitles[tab] << "at speed" << m_settings.speed;
        using namespace AboutPicture;
        if (m_current != Horolan)
            for (const double top :
                PageSlide::out(pageTop, hiddenTop(), pageHeight, m_settings.speed))
                m_frames.append({ m_current, top });
        m_frames.append({ tab, -1 });
        if (tab != Horolan)
            for (const double top :
                PageSlide::in(pageTop, hiddenTop(), pageHeight, m_settings.speed))
                m_frames.append({ tab, top });
        m_target = tab;
    }
    nextFrame();
}

void AboutWindow::nextFrame()
{
    // A change of tab is no frame of its own: it goes with the move that follows it.
    while (!m_frames.isEmpty()) {
        const Frame frame = m_frames.takeFirst();
        if (frame.top < 0) {
            switchTo(frame.page);
            continue;
        }
        m_pages[frame.page]->move(0, int(std::lround(frame.top)));
        if (!m_frames.isEmpty()) {
            if (!m_slideTimer.isActive())
                m_slideTimer.start(frameIntervalMs());
            return;
        }
    }
    m_slideTimer.stop();
    runOrnament();
    if (m_queued >= 0)
        choose(std::exchange(m_queued, -1));
}

void AboutWindow::switchTo(int tab)
{
    m_current = m_target = tab;
    for (int i = 0; i < int(m_pages.size()); ++i) {
        if (i == tab && !m_pages[i]->isVisible()) {
            m_pages[i]->move(0, int(hiddenTop()));
            m_pages[i]->show();
        } else if (i != tab) {
            m_pages[i]->hide();
        }
    }
    update(AboutPicture::tabStrip.toAlignedRect());
    describe();
}

void AboutWindow::runOrnament()
{
    const bool wanted = m_current == Horolan && isVisible();
    if (wanted && !m_ornamentTimer.isActive())
        m_ornamentTimer.start(frameIntervalMs());
    else if (!wanted)
        m_ornamentTimer.stop();
}

void AboutWindow::tickOrnament()
{
    if (!m_ornament.isSet())
        m_random.seed(m_clock.secondsSinceMidnight());
    m_ornament.step(m_random);
    update(m_clockPlace.toAlignedRect().adjusted(-2, -2, 2, 2));
}

int AboutWindow::frameIntervalMs() const
{
    // The toy clock and the slides ask for every millisecond; the screen shows no more than its
    // refresh rate.
    return DesktopIntegration::refreshPeriodMs(this);
}

void AboutWindow::layOutTabs()
{
    // Each tab as wide as its bold caption, the strip's room shared out evenly; a smaller font
    // where a platform's font is too wide for the strip.
    const QRectF strip = AboutPicture::tabStrip;
    m_tabFont.setPixelSize(13);
    std::array<double, TabCount> widths {};
    double total = 0;
    for (;;) {
        QFont bold = m_tabFont;
        bold.setBold(true);
        const QFontMetricsF metrics(bold);
        total = 0;
        for (int i = 0; i < TabCount; ++i)
            total += widths[i] = metrics.horizontalAdvance(tabTitles[i]);
        if (total <= strip.width() - 6 * TabCount || m_tabFont.pixelSize() <= 8)
            break;
        m_tabFont.setPixelSize(m_tabFont.pixelSize() - 1);
    }
    const double gap = std::max(0.0, (strip.width() - total) / int(TabCount));
    double left = strip.left();
    for (int i = 0; i < TabCount; ++i) {
        m_tabRects[i] = QRectF(left, strip.top(), widths[i] + gap, strip.height());
        left += widths[i] + gap;
    }
}

void AboutWindow::paintEvent(QPaintEvent* event)
{
    if (m_picture.isNull() || m_picture.devicePixelRatio() != devicePixelRatioF())
        m_picture = AboutPicture::draw(devicePixelRatioF());
    QPainter p(this);
    clipToOutline(p, event);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPointF(0, 0), m_picture);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::Antialiasing);

    QFont font = m_tabFont;
    for (int i = 0; i < TabCount; ++i) {
        font.setBold(i == m_current);
        p.setFont(font);
        p.setPen(i == m_current ? tabCurrentInk : tabInk);
        p.drawText(m_tabRects[i], Qt::AlignCenter, tabTitles[i]);
    }
    QFont small;
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(versionInk);
    p.drawText(QRectF(AboutPicture::versionAt, QSizeF(120, 16)), Qt::AlignLeft | Qt::AlignTop,
        QStringLiteral("Version ") + m_version);

    if (m_ornament.isSet()) {
        const OrnamentClock::Hands hands = m_ornament.hands(m_clockPlace.size());
        p.translate(m_clockPlace.topLeft());
        p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(hands.hour);
        p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(hands.minute);
        p.setPen(QPen(QColor(255, 0, 0), 1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(hands.second);
    }
}

void AboutWindow::keyPressEvent(QKeyEvent* event)
{
    const int base = m_queued >= 0 ? m_queued : m_target;
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Q:
    case Qt::Key_X:
        close();
        return;
    case Qt::Key_F4:
        if (HotKeys::only(event->modifiers(), Qt::AltModifier))
            close();
        return;
    case Qt::Key_Left:
        choose((base + Done - 1) % Done);
        return;
    case Qt::Key_Right:
        choose((base + 1) % Done);
        return;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // The Read Me's sub-pages, whose buttons only a mouse reaches.
        const int subPage
            = m_pages[ReadMe]->currentSubPage() + (event->key() == Qt::Key_Up ? -1 : 1);
        if (m_current == ReadMe && subPage >= 0 && subPage < AboutTexts::readMeTitles.size())
            chooseReadMe(subPage);
        return;
    }
    default:
        QWidget::keyPressEvent(event);
    }
}

void AboutWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    for (int i = 0; i < TabCount; ++i)
        if (m_tabRects[i].contains(event->position()))
            choose(i);
}

void AboutWindow::hideEvent(QHideEvent* event)
{
    m_slideTimer.stop();
    m_ornamentTimer.stop();
    m_frames.clear();
    m_queued = -1;
    QWidget::hideEvent(event);
}
