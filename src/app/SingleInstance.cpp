#include "app/SingleInstance.h"

#include "core/base/Logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {

const QByteArray forwardMessage = "forward\n";

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
{
    // Only the owner may ask this clock for anything.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->canReadLine() && socket->readLine(64) == forwardMessage)
                    emit forwardRequested();
                socket->disconnectFromServer();
            });
        }
    });
}

SingleInstance::~SingleInstance() = default;

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
    const QDeadlineTimer deadline(800);
    do {
        QLocalSocket socket;
        socket.connectToServer(m_folder + QStringLiteral("/horolan.socket"));
        if (socket.waitForConnected(200)) {
            socket.write(forwardMessage);
            return socket.waitForBytesWritten(300);
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
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
