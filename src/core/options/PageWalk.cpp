#include "core/options/PageWalk.h"

int PageWalk::before() const
{
    return !m_selected || *m_selected == 0 ? m_count - 1 : *m_selected - 1;
}

int PageWalk::after() const
{
    return !m_selected || *m_selected == m_count - 1 ? 0 : *m_selected + 1;
}

PageWalk::Change PageWalk::select(int page)
{
    if (page < 0 || page >= m_count || m_selected == page)
        return {};
    const Change change { true, m_selected };
    m_selected = page;
    return change;
}

QList<double> PageWalk::slide(double windowWidth, double areaWidth, float speed)
{
    QList<double> offsets;
    if (!(speed > 0) || windowWidth <= 0)
        return offsets;
    const double step = windowWidth / (double(speed) * 150 / 100);
    for (double x = 0; x <= areaWidth && offsets.size() < 1000; x += step)
        offsets << x;
    return offsets;
}
