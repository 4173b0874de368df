#include "core/settings/SaveCoalescer.h"

#include <utility>

SaveCoalescer::SaveCoalescer(std::function<void()> save, std::chrono::milliseconds delay)
    : m_save(std::move(save))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(delay);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { m_save(); });
}

void SaveCoalescer::requestSave()
{
    m_timer.start();
}

void SaveCoalescer::flush()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_save();
}
