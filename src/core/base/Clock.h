#pragma once

#include <QDateTime>

// The one way the program reads the time. Production reads the system clock at each call, so
// faketime and TZ drive the real program; tests hand in a FixedClock.
class Clock {
public:
    virtual ~Clock() = default;

    // Local date and time, with milliseconds.
    virtual QDateTime now() const = 0;

    // Seconds since local midnight, with fraction.
    double secondsSinceMidnight() const;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
};

// A clock that stands still until told otherwise.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime time = {})
        : m_time(std::move(time))
    { }
    QDateTime now() const override { return m_time; }
    void set(const QDateTime& time) { m_time = time; }
    void set(QTime time) { m_time = QDateTime(QDate(2026, 12, 5), time); }

private:
    QDateTime m_time;
};
