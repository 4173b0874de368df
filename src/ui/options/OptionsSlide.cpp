#include "ui/options/OptionsSlide.h"

#include "core/base/Logging.h"
#include "core/options/PageWalk.h"
#include "ui/clock/DesktopIntegration.h"

#include <QWidget>

namespace {

// Two milliseconds of the slide a frame: a fast Speed slides in many small steps, and takes
// longer (Speed 88, some 130 steps, about a quarter of a second).
constexpr int frameMs = 2;

} // namespace

OptionsSlide::OptionsSlide(QWidget* window, QWidget* area)
    : QObject(window)
    , m_window(window)
    , m_area(area)
{
    m_timer.setInterval(DesktopIntegration::refreshPeriodMs(window));
    connect(&m_timer, &QTimer::timeout, this, &OptionsSlide::step);
}

void OptionsSlide::start(QWidget* in, QWidget* out, float speed)
{
    if (m_timer.isActive()) {
        m_timer.stop();
        m_frames.clear();
        step();
    }
    m_out = out;
    m_in = in;
    m_in->show();
    m_frames = PageWalk::slide(m_window->width(), m_area->width(), speed);
    qCDebug(lcMain) << "options page slides in" << m_frames.size() << "steps";
    m_clock.start();
    if (m_frames.isEmpty())
        step();
    else
        m_timer.start();
}

void OptionsSlide::reset(const QList<QWidget*>& pages)
{
    m_timer.stop();
    for (QWidget* page : pages) {
        page->hide();
        page->move(m_area->width(), 0);
    }
}

void OptionsSlide::step()
{
    const qsizetype frame = m_clock.elapsed() / frameMs;
    if (frame < m_frames.size()) {
        const int x = int(m_frames[frame]);
        if (m_out)
            m_out->move(x, 0);
        m_in->move(x - m_window->width(), 0);
        return;
    }
    m_timer.stop();
    if (m_out) {
        m_out->move(m_area->width(), 0);
        m_out->hide();
    }
    if (m_in)
        m_in->move(0, 0);
    m_out = m_in = nullptr;
}
