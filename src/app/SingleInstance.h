#pragma once

#include "core/install/Installer.h"

#include <QLockFile>
#include <QObject>

#include <memory>

class QSocketNotifier;

#include <sys/types.h>

// One clock per user: the first start holds a lock and listens on a local socket beside it; a
// later start finds the lock held, hands the running clock the files it was given to install (or
// asks it to come forward) and ends. The lock is the kernel's record of a live process (QLockFile
// checks the holder's pid and name), so the lock of a killed clock never keeps a new one from
// starting. As the socket carries file paths, both live in a folder that is the user's alone,
// and the socket answers its owner only. The socket is a plain Unix one: Qt's local sockets would
// load its network library, and with it Kerberos, for a few lines of text.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // The lock and socket live in `folder`; empty: the user's runtime folder, or a folder of the
    // user's own in /tmp without one.
    explicit SingleInstance(QString folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one clock, or runs without the channel (a folder that is
    // not the user's alone). False when another holds it: that clock has been handed the files
    // to install, asked to open its options, or asked to come forward (if it could be reached).
    bool claim(
        const QStringList& install = {}, Conflict policy = Conflict::Ask, bool options = false);

    // Why a folder is not owner's alone (not a folder, a link, another's, open to others), or
    // empty. A folder of owner's that others cannot write to is made 0700.
    static QString notPrivate(const QString& folder, uid_t owner);

signals:
    // A later start asked for the running clock.
    void forwardRequested();
    // A later start asked for the options window.
    void optionsRequested();
    // A later start was given a file or folder to install.
    void installRequested(const QStringList& paths, Conflict policy);

private:
    bool askRunningClock(const QByteArray& message);
    void listen();
    void accept();
    // Reads what a connection has sent; false once it is done with (closed, or refused).
    bool read(int fd, QByteArray& pending, int& lines);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    QSocketNotifier* m_listening = nullptr;
};
