#include "app/SingleInstance.h"

#include "core/base/Logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>

#include <cerrno>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray forwardMessage = "forward";
const QByteArray installMessage = "install";
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

QString defaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        const QString problem = SingleInstance::notPrivate(runtime, geteuid());
        if (problem.isEmpty())
            return runtime;
        qCDebug(lcMain) << "XDG_RUNTIME_DIR" << runtime << problem << "- not used";
    }
    return QDir::tempPath() + QStringLiteral("/horolan-%1").arg(geteuid());
}

// Whether the other end of a connection runs as this user.
bool fromOwner(const QLocalSocket* socket)
{
#ifdef SO_PEERCRED
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == geteuid();
#else
    Q_UNUSED(socket);
    return true;
#endif
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder.isEmpty() ? defaultFolder() : std::move(folder))
{
    // Only the owner may ask this clock for anything.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!fromOwner(socket)) {
                qCWarning(lcMain) << "a connection from another user was refused";
                socket->abort();
                continue;
            }
            socket->setProperty("lines", 0);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        }
    });
}

SingleInstance::~SingleInstance() = default;

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

bool SingleInstance::claim(const QStringList& install, Conflict policy)
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
    if (!askRunningClock(message.isEmpty() ? forwardMessage + '\n' : message))
        qCWarning(lcMain) << "another clock holds" << m_lock->fileName() << "but did not answer";
    return false;
}

bool SingleInstance::askRunningClock(const QByteArray& message)
{
    // The other clock may have just taken the lock and not listen yet: a short retry.
    const QDeadlineTimer deadline(800);
    do {
        QLocalSocket socket;
        socket.connectToServer(m_folder + QStringLiteral("/horolan.socket"));
        if (socket.waitForConnected(200)) {
            socket.write(message);
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(300)) { }
            return socket.bytesToWrite() == 0;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

void SingleInstance::read(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const int lines = socket->property("lines").toInt() + 1;
        socket->setProperty("lines", lines);
        const QByteArray line = socket->readLine(maxLineBytes).chopped(1);
        const QList<QByteArray> words = line.split(' ');
        if (line == forwardMessage) {
            emit forwardRequested();
        } else if (words.size() == 3 && words[0] == installMessage && lines <= maxLines) {
            const Conflict policy = words[1] == "replace" ? Conflict::Replace
                : words[1] == "keep-both"                 ? Conflict::KeepBoth
                : words[1] == "cancel"                    ? Conflict::Cancel
                                                          : Conflict::Ask;
            emit installRequested({ QUrl::fromPercentEncoding(words[2]) }, policy);
        } else {
            qCWarning(lcMain) << "the channel heard what it does not know; closed";
            socket->abort();
            return;
        }
    }
    // A line longer than any the clock sends.
    if (socket->bytesAvailable() > maxLineBytes)
        socket->abort();
}

void SingleInstance::listen()
{
    const QString path = m_folder + QStringLiteral("/horolan.socket");
    // A socket file left by a killed clock would refuse the name; the lock says it is ours now.
    QLocalServer::removeServer(path);
    if (!m_server.listen(path))
        qCWarning(lcMain) << "cannot listen on" << path << "-" << m_server.errorString()
                          << "- a second start will not bring this clock forward";
}
