#include "app/SignalWatcher.h"

#include "core/base/Logging.h"

#include <QGuiApplication>
#include <QSessionManager>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array watchedSignals { SIGTERM, SIGINT, SIGHUP };

// Read by the handler: plain ints set before the handlers go in and reset after they come out.
int g_fds[2] = { -1, -1 };
std::array<struct sigaction, watchedSignals.size()> g_previous;

extern "C" void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: if the pair is full, the loop already has a request waiting.
    [[maybe_unused]] const ssize_t written = ::write(g_fds[0], &byte, 1);
    errno = savedErrno;
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != -1
        && ::fcntl(fd, F_SETFD, FD_CLOEXEC) != -1;
}

} // namespace

SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent)
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
            qCInfo(lcMain) << "the session ends: closing";
            emit terminationRequested(0);
        });
    }

    if (g_fds[0] != -1) {
        qCWarning(lcMain) << "signals are already watched; this watcher only sees the session end";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0 || !setNonBlocking(g_fds[0])
        || !setNonBlocking(g_fds[1])) {
        qCWarning(lcMain) << "cannot watch signals:" << std::strerror(errno);
        for (int& fd : g_fds) {
            if (fd != -1)
                ::close(fd);
            fd = -1;
        }
        return;
    }

    m_notifier = std::make_unique<QSocketNotifier>(g_fds[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatcher::drain);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < watchedSignals.size(); ++i) {
        if (::sigaction(watchedSignals[i], &action, &g_previous[i]) != 0)
            qCWarning(lcMain) << "cannot watch signal" << watchedSignals[i] << std::strerror(errno);
    }
}

SignalWatcher::~SignalWatcher()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < watchedSignals.size(); ++i)
        ::sigaction(watchedSignals[i], &g_previous[i], nullptr);
    m_notifier.reset();
    for (int& fd : g_fds) {
        ::close(fd);
        fd = -1;
    }
}

void SignalWatcher::drain()
{
    unsigned char byte = 0;
    while (::read(g_fds[1], &byte, 1) == 1) {
        qCInfo(lcMain) << "signal" << byte << "received: closing";
        emit terminationRequested(byte);
    }
}
