#include "sound/QtSoundOutput.h"

#include "common/Logging.h"
#include "sound/WavInfo.h"

#include <QApplication>
#include <QAudioDevice>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <algorithm>

struct QtSoundOutput::Wait {
    QEventLoop loop;
    bool ended = false;

    // Safe before exec(): exec() would forget a quit() that came first.
    void end()
    {
        ended = true;
        loop.quit();
    }
};

QtSoundOutput::QtSoundOutput(QObject* parent)
    : QObject(parent)
{ }

QtSoundOutput::~QtSoundOutput()
{
    cut();
}

void QtSoundOutput::playAsync(const QString& path)
{
    if (path.isEmpty()) {
        cut();
        return;
    }
    if (!start(path))
        beep();
}

bool QtSoundOutput::playSync(const QString& path)
{
    const std::optional<qint64> durationMs = start(path);
    if (!durationMs)
        return false;

    // Qt's end signal is unreliable: it may come before the sink has played the last buffer, or
    // seconds late, or never without a sound server. So the wait lasts the file's own length,
    // then up to a margin more for the signal. Both count from the moment the sound really
    // starts, which can be well after play() while Qt loads the file; a sound that never says it
    // started is timed from here.
    const int minMs = int(std::min<qint64>(*durationMs, maxWaitMs));
    const int maxMs = int(std::min<qint64>(*durationMs + endMarginMs, maxWaitMs));
    Wait wait;
    m_wait = &wait;
    // A later play or stop() may delete the effect while this waits.
    const QPointer<QSoundEffect> effect = m_effect;
    bool lengthPassed = false;
    bool startSeen = false;
    const auto soundOver = [&] { return !effect || !effect->isPlaying(); };
    QTimer lengthTimer;
    lengthTimer.setSingleShot(true);
    lengthTimer.setTimerType(Qt::PreciseTimer);
    connect(&lengthTimer, &QTimer::timeout, &wait.loop, [&] {
        lengthPassed = true;
        if (soundOver())
            wait.end();
    });
    QTimer limitTimer;
    limitTimer.setSingleShot(true);
    limitTimer.setTimerType(Qt::PreciseTimer);
    connect(&limitTimer, &QTimer::timeout, &wait.loop, [&wait] { wait.end(); });
    lengthTimer.start(minMs);
    limitTimer.start(maxMs);
    // However late the sound starts, the whole wait stays bounded.
    QTimer::singleShot(std::min(maxMs + startSlackMs, maxWaitMs), Qt::PreciseTimer, &wait.loop,
        [&wait] { wait.end(); });
    if (effect) {
        connect(effect, &QSoundEffect::playingChanged, &wait.loop, [&] {
            if (effect && effect->isPlaying() && !startSeen) {
                startSeen = true;
                lengthTimer.start(minMs);
                limitTimer.start(maxMs);
            } else if (lengthPassed && soundOver()) {
                wait.end();
            }
        });
    }
    if (!wait.ended)
        wait.loop.exec();
    if (m_wait == &wait)
        m_wait = nullptr;
    return true;
}

void QtSoundOutput::stop()
{
    cut();
}

void QtSoundOutput::beep()
{
    QApplication::beep();
}

bool QtSoundOutput::hasAudioOutput() const
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

std::optional<qint64> QtSoundOutput::start(const QString& path)
{
    cut();
    QString whyNot;
    const std::optional<WavInfo> info = WavInfo::readFile(path, &whyNot);
    if (!info) {
        qCWarning(lcSound) << "not playing" << path << "-" << whyNot;
        return std::nullopt;
    }
    if (!hasAudioOutput()) {
        if (!m_noDeviceLogged)
            qCInfo(lcSound) << "no sound output device: chimes are beeps";
        m_noDeviceLogged = true;
        beep();
        return info->durationMs;
    }
    if (!info->dataComplete) {
        // Qt's sample loader would wait for the missing bytes for ever, and every later sound
        // effect would then hang when it is released.
        qCWarning(lcSound) << "not playing" << path << "- its header claims"
                           << info->declaredDataBytes << "bytes of sound, the file holds"
                           << info->dataBytes;
        beep();
        return info->durationMs;
    }

    qCDebug(lcSound) << "playing" << path << info->durationMs << "ms";
    m_effect = new QSoundEffect(this);
    connect(m_effect, &QSoundEffect::statusChanged, this, [this, path] {
        if (m_effect && m_effect->status() == QSoundEffect::Error) {
            qCWarning(lcSound) << "Qt Multimedia could not play" << path << "- beeping instead";
            beep();
        }
    });
    m_effect->setSource(QUrl::fromLocalFile(paddedCopy(path, *info)));
    m_effect->play();
    return info->durationMs;
}

QString QtSoundOutput::paddedCopy(const QString& path, const WavInfo& info)
{
    constexpr int paddingMs = 250;
    constexpr qint64 maxCopyBytes = 32LL << 20;
    if (const auto known = m_paddedPaths.constFind(path); known != m_paddedPaths.cend())
        return *known;
    QString result = path;
    QFile file(path);
    const qint64 padBytes = qint64(info.sampleRate) * paddingMs / 1000 * info.frameBytes();
    if (info.dataBytes + padBytes < maxCopyBytes && file.open(QIODevice::ReadOnly)
        && file.seek(info.dataOffset)) {
        if (!m_padded)
            m_padded = std::make_unique<QTemporaryDir>();
        const QByteArray samples = file.read(info.dataBytes);
        QFile copy(m_padded->filePath(QStringLiteral("%1.wav").arg(m_paddedPaths.size())));
        if (m_padded->isValid() && samples.size() == info.dataBytes
            && copy.open(QIODevice::WriteOnly)) {
            // A plain PCM header; 8-bit samples are unsigned, so their silence is 0x80.
            const auto le = [](quint32 value, int bytes) {
                QByteArray out;
                for (int i = 0; i < bytes; ++i)
                    out += char((value >> (8 * i)) & 0xff);
                return out;
            };
            const quint32 dataSize = quint32(samples.size() + padBytes);
            QByteArray header = "RIFF" + le(36 + dataSize, 4) + "WAVEfmt " + le(16, 4)
                + le(WavInfo::formatPcm, 2) + le(quint32(info.channels), 2)
                + le(quint32(info.sampleRate), 4)
                + le(quint32(info.sampleRate * info.frameBytes()), 4)
                + le(quint32(info.frameBytes()), 2) + le(quint32(info.bitsPerSample), 2) + "data"
                + le(dataSize, 4);
            const char silence = info.bitsPerSample == 8 ? char(0x80) : char(0);
            if (copy.write(header) == header.size() && copy.write(samples) == samples.size()
                && copy.write(QByteArray(padBytes, silence)) == padBytes && copy.flush())
                result = copy.fileName();
        }
    }
    if (result == path)
        qCDebug(lcSound) << "playing" << path << "as it is: no padded copy";
    m_paddedPaths.insert(path, result);
    return result;
}

void QtSoundOutput::cut()
{
    if (m_effect) {
        m_effect->disconnect(this);
        m_effect->stop();
        m_effect->deleteLater();
        m_effect = nullptr;
    }
    if (m_wait) {
        m_wait->end();
        m_wait = nullptr;
    }
}
