#pragma once

#include <QTimer>

#include <chrono>
#include <functional>

// Runs a save once, a moment after the last request of a burst, so that a run of changes
// reaches the store in one write. The owner calls flush() before it goes away.
class SaveCoalescer {
public:
    explicit SaveCoalescer(
        std::function<void()> save, std::chrono::milliseconds delay = std::chrono::seconds(3));

    // (Re)starts the delay.
    void requestSave();
    // Runs a pending save at once; nothing when none is pending.
    void flush();

    bool isPending() const { return m_timer.isActive(); }
    // Until the pending save runs; -1 when none is pending.
    int remainingTimeMs() const { return m_timer.remainingTime(); }

private:
    std::function<void()> m_save;
    QTimer m_timer;
};
