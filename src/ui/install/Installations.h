#pragma once

#include "core/install/Installer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QMimeData;
class QThread;
class QWidget;
class TrayIcon;

// The installs asked of the running clock (a drop, an "Install..." button, a file handed to it
// from a terminal or the file manager), one after another. Each unpacks on a worker thread, so
// the clock ticks on; a name the user has already is asked about in a window; the report shows
// on the tray, and the progress on its tip when it takes longer than a second.
class Installations final : public QObject {
    Q_OBJECT

public:
    Installations(const Roots& roots, TrayIcon& tray, QObject* parent = nullptr);
    ~Installations() override;

    // The window a question goes over, asked when it comes.
    void setQuestionParent(std::function<QWidget*()> parent)
    {
        m_questionParent = std::move(parent);
    }
    void install(const QStringList& paths, Conflict policy);
    // The local files and folders a drag carries; none when it carries anything else.
    static QStringList droppedFiles(const QMimeData* data);

signals:
    // One file or folder is done with.
    void finished(const InstallReport& report);

private:
    enum class Step { Idle, Unpacking, Asking, Installing };

    void startNext();
    void ask();
    void showProgress();
    template <typename Work> void onWorker(Work work, void (Installations::*then)());
    void unpacked();
    void installed();

    Installer m_installer;
    TrayIcon& m_tray;
    std::function<QWidget*()> m_questionParent;
    QList<std::pair<QString, Conflict>> m_queue;
    Step m_step = Step::Idle;
    QString m_current; // the file or folder at hand
    Conflict m_policy = Conflict::Ask;
    // Shared with the worker while it runs.
    std::shared_ptr<Unpacked> m_unpacked;
    std::shared_ptr<InstallReport> m_report;
    std::shared_ptr<std::atomic<double>> m_progress;
    QList<Conflict> m_choices;
    QThread* m_worker = nullptr;
    QElapsedTimer m_since;
    QTimer m_progressTimer;
    std::optional<QString> m_tipBefore; // while the tip shows the progress
};
