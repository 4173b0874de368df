#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Hears the wall clock jump: set by hand or stepped by time synchronisation, the computer woken
// from suspend (the kernel counts a resume as a setting of the clock), and the local time zone
// replaced (/etc/localtime, the session's TZ unchanged). Linux only; where the kernel or the
// files offer no way to hear it, nothing is heard and the clock's next wakeup finds the new time.
class WallClockWatch final : public QObject {
    Q_OBJECT

public:
    explicit WallClockWatch(QObject* parent = nullptr);
    ~WallClockWatch() override;

    bool hearsJumps() const { return m_clockFd >= 0; }
    bool hearsZone() const { return m_zoneFd >= 0; }

signals:
    // The wall clock or the zone changed: what it shows must be read anew at once.
    void changed();

private:
    void armClock();
    void clockReady();
    void zoneReady();
    QByteArray zoneIdentity() const;

    int m_clockFd = -1;
    int m_zoneFd = -1;
    QSocketNotifier* m_clockNotifier = nullptr;
    QSocketNotifier* m_zoneNotifier = nullptr;
    QByteArray m_zone; // what /etc/localtime was when last looked at
};
