#include "app/SingleInstance.h"

#include "core/base/Logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray forwardMessage = "forward";
const QByteArray installMessage = "install";
const QByteArray optionsMessage = "options";
// A line of the channel, and the lines of one start, at most.
constexpr qint64 maxLineBytes = 16 * 1024;
constexpr int maxLines = 256;

const char* policyWord(Conflict policy)
{
    switch (policy) {
    case Conflict::Replace:
        return "replace";
    case Conflict::KeepBoth:
        return "keep-both";
    case Conflict::Cancel:
        return "cancel";
    case Conflict::Ask:
        break;
    }
    return "ask";
}

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
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        const QString problem = SingleInstance::notPrivate(runtime, geteuid());
        if (problem.isEmpty())
            return runtime;
        qCDebug(lcMain) << "XDG_RUNTIME_DIR" << runtime << problem << "- not used";
    }
    return QDir::tempPath() + QStringLiteral("/horolan-%1").arg(geteuid());
}

// Whether the other end of a connection runs as this user.
bool fromOwner(int fd)
{
#ifdef SO_PEERCRED
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
#else
    Q_UNUSED(fd);
    return true;
#endif
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

QString SingleInstance::notPrivate(const QString& folder, uid_t owner)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat info { };
    if (::lstat(path.constData(), &info) != 0)
        return QStringLiteral("cannot be looked at: %1").arg(qt_error_string(errno));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("is a link");
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("is not a folder");
    if (info.st_uid != owner)
        return QStringLiteral("belongs to user %1").arg(info.st_uid);
    const mode_t mode = info.st_mode & 07777;
    if (mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("is open to others (mode %1)").arg(mode, 4, 8, QChar(u'0'));
    // Made by an earlier version with the default mode: nobody else could write to it.
    if (mode != S_IRWXU && ::chmod(path.constData(), S_IRWXU) != 0)
        return QStringLiteral("cannot be made private: %1").arg(qt_error_string(errno));
    return {};
}

bool SingleInstance::claim(const QStringList& install, Conflict policy, bool options)
{
    ::mkdir(QFile::encodeName(m_folder).constData(), S_IRWXU);
    if (const QString problem = notPrivate(m_folder, geteuid()); !problem.isEmpty()) {
        // Better two clocks than none; but a folder others can reach carries nothing.
        qCWarning(lcMain).noquote()
            << "the folder" << m_folder << problem << "- running without one clock at a time";
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
    QByteArray message;
    for (const QString& path : install)
        message += installMessage + ' ' + policyWord(policy) + ' ' + QUrl::toPercentEncoding(path)
            + '\n';
    if (options)
        message += optionsMessage + '\n';
    if (!askRunningClock(message.isEmpty() ? forwardMessage + '\n' : message))
        qCWarning(lcMain) << "another clock holds" << m_lock->fileName() << "but did not answer";
    return false;
}

bool SingleInstance::askRunningClock(const QByteArray& message)
{
    // The other clock may have just taken the lock and not listen yet: a short retry.
    const std::optional<sockaddr_un> to = address(m_folder + QStringLiteral("/horolan.socket"));
    if (!to)
        return false;
    const QDeadlineTimer deadline(800);
    do {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&*to), sizeof *to) == 0) {
            qsizetype sent = 0;
            for (ssize_t n = 0; sent < message.size(); sent += n) {
                n = ::send(
                    fd, message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
                if (n < 0 && errno == EINTR)
                    n = 0;
                else if (n <= 0)
                    break;
            }
            ::close(fd);
            return sent == message.size();
        }
        if (fd >= 0)
            ::close(fd);
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

bool SingleInstance::read(int fd, QByteArray& pending, int& lines)
{
    char chunk[4096];
    ssize_t n;
    while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
        pending.append(chunk, n);
    for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
        const QByteArray line = pending.left(end);
        pending.remove(0, end + 1);
        const QList<QByteArray> words = line.split(' ');
        if (line == forwardMessage) {
            emit forwardRequested();
        } else if (line == optionsMessage) {
            emit optionsRequested();
        } else if (words.size() == 3 && words[0] == installMessage && ++lines <= maxLines) {
            const Conflict policy = words[1] == "replace" ? Conflict::Replace
                : words[1] == "keep-both"                 ? Conflict::KeepBoth
                : words[1] == "cancel"                    ? Conflict::Cancel
                                                          : Conflict::Ask;
            emit installRequested({ QUrl::fromPercentEncoding(words[2]) }, policy);
        } else {
            qCWarning(lcMain) << "the channel heard what it does not know; closed";
            return false;
        }
    }
    // A line longer than any the clock sends.
    if (pending.size() > maxLineBytes)
        return false;
    // Closed by the other end, or broken; more is still to come after EAGAIN.
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
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
        if (!fromOwner(fd)) {
            qCWarning(lcMain) << "a connection from another user was refused";
            ::close(fd);
            continue;
        }
        // Read as the lines come, until the other end closes.
        struct Connection {
            QByteArray pending;
            int lines = 0;
        };
        auto connection = std::make_shared<Connection>();
        auto* reading = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(reading, &QSocketNotifier::activated, this, [this, reading, fd, connection] {
            if (read(fd, connection->pending, connection->lines))
                return;
            reading->setEnabled(false);
            reading->deleteLater();
            ::close(fd);
        });
    }
}
