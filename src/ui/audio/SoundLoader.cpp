#include "ui/audio/SoundLoader.h"

#include "core/base/Logging.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {

// Without horolan-sound every sound is the desktop's beep, and a stroke lasts a moment.
class BeepOutput final : public SoundOutput {
public:
    void play(const QString& path) override
    {
        if (!path.isEmpty())
            QApplication::beep();
    }
    void playStroke(const QString&) override
    {
        QApplication::beep();
        QTimer::singleShot(250, this, &SoundOutput::strokeEnded);
    }
    void stop() override { }
    void beep() override { QApplication::beep(); }
};

} // namespace

std::unique_ptr<SoundOutput> SoundLoader::load()
{
    const QString home = QCoreApplication::applicationDirPath();
    for (const QString& path : { home + QStringLiteral("/horolan-sound"),
             home + QStringLiteral("/../lib/horolan/horolan-sound") }) {
        const QFileInfo program(path);
        if (program.isFile() && program.isExecutable()) {
            qCDebug(lcSound) << "sounds are played by" << program.absoluteFilePath();
            return std::make_unique<SoundProcess>(program.absoluteFilePath());
        }
    }
    qCWarning(lcSound) << "no horolan-sound beside" << home << "- chimes are the desktop's beep";
    return std::make_unique<BeepOutput>();
}

SoundProcess::SoundProcess(QString program, QObject* parent)
    : SoundOutput(parent)
    , m_program(std::move(program))
{ }

SoundProcess::~SoundProcess()
{
    // Its input closed, it ends by itself; a sound still playing is cut with the clock.
    if (m_process) {
        m_process->disconnect(this);
        m_process->closeWriteChannel();
        m_process->waitForFinished(1000);
    }
}

void SoundProcess::play(const QString& path)
{
    m_stroking = false;
    if (!path.isEmpty() || running())
        send("play", path);
}

void SoundProcess::playStroke(const QString& path)
{
    m_stroking = true;
    ++m_stroke;
    send("stroke", path);
}

void SoundProcess::stop()
{
    m_stroking = false;
    if (running())
        send("stop");
}

void SoundProcess::beep()
{
    send("beep");
}

void SoundProcess::prepare()
{
    send("prepare");
}

void SoundProcess::setVolume(double volume)
{
    SoundOutput::setVolume(volume);
    if (running())
        send("volume", QString::number(volume));
}

qint64 SoundProcess::processId() const
{
    return m_process ? m_process->processId() : 0;
}

void SoundProcess::send(const QByteArray& command, const QString& path)
{
    if (!m_process) {
        m_process = new QProcess(this);
        // Its log lines go where the clock's go.
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(m_process, &QProcess::readyReadStandardOutput, this, &SoundProcess::read);
        connect(m_process, &QProcess::finished, this, &SoundProcess::ended);
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                ended();
        });
        m_sent = 0;
        m_process->start(m_program, {});
        if (!m_process)
            return; // it could not start: beeped
        qCDebug(lcSound) << "sound process started";
        if (command != "volume")
            send("volume", QString::number(m_volume));
    }
    QByteArray line = command;
    if (!path.isEmpty())
        line += ' ' + path.toUtf8().toPercentEncoding("/");
    m_process->write(line + '\n');
    ++m_sent;
}

void SoundProcess::read()
{
    QProcess* process = qobject_cast<QProcess*>(sender());
    while (process && process->canReadLine()) {
        const QByteArray line = process->readLine().trimmed();
        if (line == "ended") {
            if (process == m_process && m_stroking) {
                m_stroking = false;
                emit strokeEnded();
            }
        } else if (line == "beep") {
            QApplication::beep();
        } else if (line.startsWith("quiet ") && process == m_process
            && line.mid(6).toLongLong() == m_sent) {
            // Nothing asked since it fell quiet: told to end, and the next sound starts anew.
            qCDebug(lcSound) << "sound process closing after its last sound";
            m_process->closeWriteChannel();
            m_process = nullptr;
            connect(process, &QProcess::finished, process, &QObject::deleteLater);
            connect(process, &QProcess::errorOccurred, process, &QObject::deleteLater);
        }
    }
}

void SoundProcess::ended()
{
    auto* process = qobject_cast<QProcess*>(sender());
    if (!process || process != m_process)
        return;
    if (process->error() == QProcess::FailedToStart) {
        if (!m_failedLogged)
            qCWarning(lcSound) << "cannot start" << m_program << "-" << process->errorString()
                               << "- chimes are the desktop's beep";
        m_failedLogged = true;
        QApplication::beep();
    } else {
        qCWarning(lcSound) << "the sound process ended while in use"
                           << (process->exitStatus() == QProcess::CrashExit
                                      ? QStringLiteral("(it crashed)")
                                      : QStringLiteral("(exit code %1)").arg(process->exitCode()));
    }
    m_process = nullptr;
    process->deleteLater();
    endStroke();
}

void SoundProcess::endStroke()
{
    if (!m_stroking)
        return;
    // Said once this event is done, unless the stroke is cut or another asked for meanwhile.
    QTimer::singleShot(0, this, [this, stroke = m_stroke] {
        if (m_stroking && stroke == m_stroke) {
            m_stroking = false;
            emit strokeEnded();
        }
    });
}
