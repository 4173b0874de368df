#include "app/SingleInstance.h"

#include "core/base/Logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray forwardMessage = "forward\n";

// The socket's address; nothing for a path too long for one.
std::optional<sockaddr_un> address(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return std::nullopt;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return address;
}

QString defaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime;
    return QDir::tempPath() + QStringLiteral("/horolan-%1").arg(getuid());
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder.isEmpty() ? defaultFolder() : std::move(folder))
{ }

SingleInstance::~SingleInstance()
{
    delete m_listening;
    if (m_listener >= 0)
        ::close(m_listener);
}

bool SingleInstance::claim()
{
    if (!QDir().mkpath(m_folder)) {
        // Better two clocks than none.
        qCWarning(lcMain) << "cannot make" << m_folder << "- not checking for a running clock";
        return true;
    }
    m_lock = std::make_unique<QLockFile>(m_folder + QStringLiteral("/horolan.lock"));
    // Stale only when its holder is gone, however old.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return true;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        qCWarning(lcMain) << "cannot write the lock in" << m_folder
                          << "- not checking for a running clock";
        return true;
    }
    if (!askRunningClock())
        qCWarning(lcMain) << "another clock holds" << m_lock->fileName() << "but did not answer";
    return false;
}

bool SingleInstance::askRunningClock()
{
    // The other clock may have just taken the lock and not listen yet: a short retry.
    const std::optional<sockaddr_un> to = address(m_folder + QStringLiteral("/horolan.socket"));
    if (!to)
        return false;
    const QDeadlineTimer deadline(800);
    do {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&*to), sizeof *to) == 0) {
            const bool sent = ::send(fd, forwardMessage.constData(), size_t(forwardMessage.size()),
                                  MSG_NOSIGNAL)
                == forwardMessage.size();
            ::close(fd);
            return sent;
        }
        if (fd >= 0)
            ::close(fd);
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

void SingleInstance::listen()
{
    const QString path = m_folder + QStringLiteral("/horolan.socket");
    const std::optional<sockaddr_un> at = address(path);
    // A socket file left by a killed clock would refuse the name; the lock says it is ours now.
    QFile::remove(path);
    m_listener = at ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
    // Only the owner may ask this clock for anything.
    const mode_t mask = ::umask(0077);
    const bool bound = m_listener >= 0
        && ::bind(m_listener, reinterpret_cast<const sockaddr*>(&*at), sizeof *at) == 0;
    ::umask(mask);
    if (!bound || ::listen(m_listener, 4) != 0) {
        qCWarning(lcMain) << "cannot listen on" << path << "-" << std::strerror(errno)
                          << "- a second start will not bring this clock forward";
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
        return;
    }
    m_listening = new QSocketNotifier(m_listener, QSocketNotifier::Read, this);
    connect(m_listening, &QSocketNotifier::activated, this, &SingleInstance::accept);
}

void SingleInstance::accept()
{
    for (int fd;
         (fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
        // The message follows the connection at once; read when it is there, then closed.
        auto* reading = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(reading, &QSocketNotifier::activated, this, [this, reading, fd] {
            char line[64];
            const ssize_t n = ::recv(fd, line, sizeof line, 0);
            if (n < 0 && errno == EAGAIN)
                return;
            if (n > 0 && QByteArray(line, n).startsWith(forwardMessage))
                emit forwardRequested();
            reading->setEnabled(false);
            reading->deleteLater();
            ::close(fd);
        });
    }
}
