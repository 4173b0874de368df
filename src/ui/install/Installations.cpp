#include "ui/install/Installations.h"

#include "core/base/Logging.h"
#include "ui/clock/TrayIcon.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QThread>
#include <QUrl>

namespace {
// The tip shows the progress only of an install that takes longer than this.
constexpr int quietMs = 1000;
} // namespace

Installations::Installations(const Roots& roots, TrayIcon& tray, QObject* parent)
    : QObject(parent)
    , m_installer(roots)
    , m_tray(tray)
{
    m_progressTimer.setInterval(250);
    connect(&m_progressTimer, &QTimer::timeout, this, &Installations::showProgress);
}

Installations::~Installations()
{
    // A closing clock lets the file at hand finish: half of it must not stay behind.
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

QStringList Installations::droppedFiles(const QMimeData* data)
{
    QStringList files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        files << url.toLocalFile();
    }
    return files;
}

void Installations::install(const QStringList& paths, Conflict policy)
{
    for (const QString& path : paths)
        m_queue.append({ path, policy });
    startNext();
}

template <typename Work> void Installations::onWorker(Work work, void (Installations::*then)())
{
    m_worker = QThread::create(std::move(work));
    connect(m_worker, &QThread::finished, this, [this, then] {
        m_worker->deleteLater();
        m_worker = nullptr;
        (this->*then)();
    });
    m_worker->start();
}

void Installations::startNext()
{
    if (m_step != Step::Idle || m_queue.isEmpty())
        return;
    // Not a structured binding: clang cannot capture one.
    const std::pair<QString, Conflict> next = m_queue.takeFirst();
    const QString path = next.first;
    m_policy = next.second;
    m_current = path;
    m_step = Step::Unpacking;
    m_unpacked = std::make_shared<Unpacked>();
    m_progress = std::make_shared<std::atomic<double>>(0);
    qCInfo(lcInstall) << "installing from" << path;
    m_since.start();
    m_progressTimer.start();
    onWorker(
        [installer = m_installer, path, unpacked = m_unpacked, progress = m_progress] {
            *unpacked = installer.unpack(path, [&progress](double share) { *progress = share; });
        },
        &Installations::unpacked);
}

void Installations::unpacked()
{
    m_choices.clear();
    for (const Unpacked::Item& item : std::as_const(m_unpacked->items))
        m_choices << (item.taken ? m_policy : Conflict::Replace);
    m_step = Step::Asking;
    ask();
}

void Installations::ask()
{
    const qsizetype open = m_choices.indexOf(Conflict::Ask);
    if (open < 0) {
        m_step = Step::Installing;
        m_report = std::make_shared<InstallReport>();
        onWorker([installer = m_installer, unpacked = m_unpacked, report = m_report,
                     choices = m_choices] { *report = installer.finish(*unpacked, choices); },
            &Installations::installed);
        return;
    }
    const Unpacked::Item& item = m_unpacked->items[open];
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Horolan"),
        QStringLiteral("You have a %1 named \"%2\" already.")
            .arg(Installer::kindText(item.kind), item.name),
        QMessageBox::NoButton, m_questionParent ? m_questionParent() : nullptr);
    box->setObjectName(QStringLiteral("nameTaken"));
    box->setInformativeText(QStringLiteral("Replace it with the one from \"%1\", or keep both?")
                                .arg(QFileInfo(m_unpacked->source).fileName()));
    QPushButton* replace = box->addButton(QStringLiteral("Replace"), QMessageBox::DestructiveRole);
    QPushButton* keepBoth = box->addButton(QStringLiteral("Keep both"), QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(keepBoth);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, open, replace, keepBoth] {
        const QAbstractButton* answer = box->clickedButton();
        m_choices[open] = answer == replace ? Conflict::Replace
            : answer == keepBoth            ? Conflict::KeepBoth
                                            : Conflict::Cancel;
        ask();
    });
    box->open();
}

void Installations::installed()
{
    m_progressTimer.stop();
    if (m_tipBefore) {
        m_tray.setTip(*m_tipBefore);
        m_tipBefore.reset();
    }
    m_tray.showMessage(m_report->lines.join(u'\n'));
    const InstallReport report = *m_report;
    m_unpacked.reset();
    m_report.reset();
    m_step = Step::Idle;
    emit finished(report);
    startNext();
}

void Installations::showProgress()
{
    if (m_step != Step::Unpacking || m_since.elapsed() < quietMs)
        return;
    if (!m_tipBefore)
        m_tipBefore = m_tray.tip();
    const double share = *m_progress;
    const QString name = Installer::baseName(m_current);
    m_tray.setTip(share < 0
            ? QStringLiteral(" - installing %1").arg(name)
            : QStringLiteral(" - installing %1: %2%").arg(name).arg(int(share * 100)));
}
