#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGTERM, SIGINT and SIGHUP, and the session's end, into one Qt signal on the event loop,
// so that a kill or a logout runs the closing sequence (and saves the settings) like a close.
// The handler only writes the signal number into a socket pair (async-signal-safe); the notifier
// reads it on the event loop. One watcher owns the handlers at a time.
class SignalWatcher final : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override; // puts the previous handlers back

    bool isActive() const { return m_notifier != nullptr; }

signals:
    // The signal's number; 0 for the session's end (the session manager's commitDataRequest).
    void terminationRequested(int signalNumber);

private:
    void drain();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
