#include "core/base/WallClockWatch.h"

#include "core/base/Logging.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <ctime>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <climits>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace {
const char zoneFolder[] = "/etc";
const char zoneFile[] = "/etc/localtime";
} // namespace

WallClockWatch::WallClockWatch(QObject* parent)
    : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_clockFd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_clockFd >= 0) {
        armClock();
        m_clockNotifier = new QSocketNotifier(m_clockFd, QSocketNotifier::Read, this);
        connect(m_clockNotifier, &QSocketNotifier::activated, this, &WallClockWatch::clockReady);
    }
    // The file only tells the zone while TZ names none, or names the file itself.
    const QByteArray tz = qgetenv("TZ");
    const bool fromFile
        = !qEnvironmentVariableIsSet("TZ") || tz == ":/etc/localtime" || tz == "/etc/localtime";
    if (fromFile && QFileInfo::exists(QString::fromLatin1(zoneFile))) {
        m_zoneFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // The file is replaced, not written: its folder tells.
        if (m_zoneFd >= 0
            && ::inotify_add_watch(m_zoneFd, zoneFolder,
                   IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_ATTRIB)
                < 0) {
            ::close(m_zoneFd);
            m_zoneFd = -1;
        }
        if (m_zoneFd >= 0) {
            m_zone = zoneIdentity();
            m_zoneNotifier = new QSocketNotifier(m_zoneFd, QSocketNotifier::Read, this);
            connect(m_zoneNotifier, &QSocketNotifier::activated, this, &WallClockWatch::zoneReady);
        }
    }
    qCDebug(lcMain).nospace()
        << "wall clock: "
        << (m_clockFd >= 0 ? "a setting of it or a resume is heard at once"
                           : "its setting is not heard (no timerfd): the next wakeup finds it")
        << "; the zone: "
        << (m_zoneFd >= 0     ? "a new /etc/localtime is heard at once"
                   : fromFile ? "no /etc/localtime to hear"
                              : "TZ names it");
#else
    qCDebug(lcMain) << "wall clock: its setting is not heard here; the next wakeup finds it";
#endif
}

WallClockWatch::~WallClockWatch()
{
#ifdef Q_OS_LINUX
    delete m_clockNotifier;
    delete m_zoneNotifier;
    if (m_clockFd >= 0)
        ::close(m_clockFd);
    if (m_zoneFd >= 0)
        ::close(m_zoneFd);
#endif
}

void WallClockWatch::armClock()
{
#ifdef Q_OS_LINUX
    // An expiry that never comes; only a setting of the clock ends the wait.
    itimerspec far {};
    far.it_value.tv_sec = sizeof(time_t) > 4 ? time_t(1) << 40 : time_t(INT_MAX);
    if (::timerfd_settime(m_clockFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr)
        < 0) {
        qCDebug(lcMain) << "wall clock: its setting cannot be heard here";
        delete m_clockNotifier;
        m_clockNotifier = nullptr;
        ::close(m_clockFd);
        m_clockFd = -1;
    }
#endif
}

void WallClockWatch::clockReady()
{
#ifdef Q_OS_LINUX
    quint64 expired = 0;
    // ECANCELED: the clock was set. Armed again either way.
    if (::read(m_clockFd, &expired, sizeof expired) < 0 && errno == EAGAIN)
        return;
    armClock();
    qCDebug(lcMain) << "the wall clock was set, or the computer woke";
    emit changed();
#endif
}

void WallClockWatch::zoneReady()
{
#ifdef Q_OS_LINUX
    char events[4096];
    bool zoneTouched = false;
    for (ssize_t n; (n = ::read(m_zoneFd, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->len > 0 && qstrcmp(event->name, "localtime") == 0)
                zoneTouched = true;
            at += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
        }
    }
    if (!zoneTouched)
        return;
    const QByteArray now = zoneIdentity();
    if (now == m_zone || now.isEmpty())
        return; // touched but the same, or gone for a moment while it is replaced
    m_zone = now;
    // The C library reads the zone's file again only when TZ changes: it is changed and back.
    const bool had = qEnvironmentVariableIsSet("TZ");
    const QByteArray tz = qgetenv("TZ");
    qputenv("TZ", "UTC0");
    ::tzset();
    if (had)
        qputenv("TZ", tz);
    else
        qunsetenv("TZ");
    ::tzset();
    qCDebug(lcMain) << "the time zone changed";
    emit changed();
#endif
}

QByteArray WallClockWatch::zoneIdentity() const
{
#ifdef Q_OS_LINUX
    struct stat file { };
    if (::stat(zoneFile, &file) != 0)
        return {};
    return QFileInfo(QString::fromLatin1(zoneFile)).symLinkTarget().toUtf8() + '|'
        + QByteArray::number(qulonglong(file.st_ino)) + '|'
        + QByteArray::number(qlonglong(file.st_size)) + '|'
        + QByteArray::number(qlonglong(file.st_mtim.tv_sec)) + '.'
        + QByteArray::number(qlonglong(file.st_mtim.tv_nsec));
#else
    return {};
#endif
}
