#pragma once

#include <QLockFile>
#include <QObject>

#include <memory>

class QSocketNotifier;

// One clock per user: the first start holds a lock and listens on a local socket beside it; a
// later start finds the lock held, asks the running clock to come forward and ends. The lock is
// the kernel's record of a live process (QLockFile checks the holder's pid and name), so the lock
// of a killed clock never keeps a new one from starting. The socket is a plain Unix one: Qt's
// local sockets would load its network library, and with it Kerberos, for one line of text.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // The lock and socket live in `folder`; empty: the user's runtime folder, or a private
    // folder in /tmp without one.
    explicit SingleInstance(QString folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one clock. False when another holds it: that clock has
    // been asked to come forward (if it could be reached).
    bool claim();

signals:
    // A later start asked for the running clock.
    void forwardRequested();

private:
    bool askRunningClock();
    void listen();
    void accept();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    QSocketNotifier* m_listening = nullptr;
};
