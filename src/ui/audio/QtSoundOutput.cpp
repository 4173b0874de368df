#include "ui/audio/QtSoundOutput.h"

#include "core/base/Logging.h"
#include "ui/audio/WavInfo.h"

#include <QApplication>
#include <QAudioDevice>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr int paddingMs = 250;
constexpr qint64 maxCopyBytes = 32LL << 20;
// A save cut short leaves its temporary file; one this old belongs to no running save.
constexpr qint64 strayAgeSecs = 3600;

// Copies are named <40 hex digits>.wav, a save's temporary file <that name>.<anything>: the sweep
// touches nothing else in the folder.
bool isPaddedName(const QString& name, bool* complete)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{40}\\.wav(\\..+)?$"));
    const QRegularExpressionMatch match = pattern.match(name);
    *complete = match.capturedLength(1) == 0;
    return match.hasMatch();
}

// Keeps the most recently used copies within the bounds.
void sweepPadded(const QString& folder)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QFileInfoList entries
        = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Time);
    int kept = 0;
    qint64 keptBytes = 0;
    int removed = 0;
    for (const QFileInfo& entry : entries) {
        bool complete = false;
        if (!isPaddedName(entry.fileName(), &complete))
            continue;
        const qint64 ageSecs = entry.lastModified().secsTo(now);
        bool keep = ageSecs < strayAgeSecs;
        if (complete) {
            keep = ageSecs < qint64(QtSoundOutput::paddedMaxAgeDays) * 86400
                && kept < QtSoundOutput::maxPaddedFiles
                && keptBytes + entry.size() <= QtSoundOutput::maxPaddedBytes;
            if (keep) {
                ++kept;
                keptBytes += entry.size();
            }
        }
        if (!keep && QFile::remove(entry.filePath()))
            ++removed;
    }
    qCDebug(lcSound) << "padded copies in" << folder << "-" << kept << "kept," << removed
                     << "removed";
}

} // namespace

// The timing of one stroke. Qt's end signal is unreliable: it may come before the sink has played
// the last buffer, or seconds late, or never without a sound server. So a stroke lasts the file's
// own length, then up to a margin more for the signal. Both count from the moment the sound really
// starts: at once for a sound played before, after the load for a new one, which can take a while
// on a busy machine; a sound that never says it started is timed from the play.
class QtSoundOutput::Stroke : public QObject {
public:
    Stroke(QtSoundOutput& output, QSoundEffect* effect, qint64 durationMs)
        : QObject(&output)
        , m_output(output)
        , m_effect(effect)
        , m_minMs(int(std::min<qint64>(durationMs, maxWaitMs)))
        , m_maxMs(int(std::min<qint64>(durationMs + (effect ? endMarginMs : 0), maxWaitMs)))
    {
        for (QTimer* timer : { &m_length, &m_limit, &m_cap }) {
            timer->setSingleShot(true);
            timer->setTimerType(Qt::PreciseTimer);
        }
        connect(&m_length, &QTimer::timeout, this, [this] {
            m_lengthPassed = true;
            if (soundOver())
                end();
        });
        connect(&m_limit, &QTimer::timeout, this, &Stroke::end);
        // However late the sound starts, the whole stroke stays bounded.
        connect(&m_cap, &QTimer::timeout, this, &Stroke::end);
        m_startSeen = started();
        m_length.start(m_minMs);
        m_limit.start(m_maxMs);
        m_cap.start(std::min(m_maxMs + startSlackMs, maxWaitMs));
        if (m_effect) {
            connect(m_effect, &QSoundEffect::playingChanged, this, &Stroke::changed);
            connect(m_effect, &QSoundEffect::statusChanged, this, &Stroke::changed);
        }
    }

private:
    bool started() const
    {
        return m_effect && m_effect->isPlaying() && m_effect->status() == QSoundEffect::Ready;
    }
    bool soundOver() const { return !m_effect || !m_effect->isPlaying(); }
    void changed()
    {
        if (!m_startSeen && started()) {
            m_startSeen = true;
            m_length.start(m_minMs);
            m_limit.start(m_maxMs);
        } else if (m_lengthPassed && soundOver()) {
            end();
        }
    }
    void end() { m_output.strokeDone(this); }

    QtSoundOutput& m_output;
    QPointer<QSoundEffect> m_effect; // a later play may delete it meanwhile
    QTimer m_length;
    QTimer m_limit;
    QTimer m_cap;
    int m_minMs;
    int m_maxMs;
    bool m_lengthPassed = false;
    bool m_startSeen = false;
};

QtSoundOutput::QtSoundOutput(QObject* parent)
    : SoundOutput(parent)
{ }

QtSoundOutput::~QtSoundOutput()
{
    cut();
    for (const Loaded& held : std::as_const(m_loaded))
        delete held.effect;
}

void QtSoundOutput::play(const QString& path)
{
    if (path.isEmpty()) {
        cut();
        return;
    }
    if (!start(path, false))
        beep();
}

void QtSoundOutput::playStroke(const QString& path)
{
    const std::optional<qint64> durationMs = start(path, true);
    // A file that cannot be played ends its stroke at once, and silently.
    m_stroke = new Stroke(*this, durationMs ? m_effect : nullptr, durationMs.value_or(0));
}

void QtSoundOutput::strokeDone(Stroke* stroke)
{
    if (stroke != m_stroke)
        return;
    m_stroke->deleteLater();
    m_stroke = nullptr;
    emit strokeEnded();
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

std::optional<qint64> QtSoundOutput::start(const QString& path, bool stroke)
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
    const QSoundEffect* loaded = load(path, *info);
    // A new player for every stroke: Qt's PulseAudio sink asks for a quarter less buffer each
    // time it starts again, and from about the fifth start its stream stalls, a silent stroke.
    // The player shares the loaded sound's decoded samples: nothing is read or decoded again.
    m_effect = new QSoundEffect(this);
    connect(m_effect, &QSoundEffect::statusChanged, this, [this, path, stroke] {
        if (!m_effect || m_effect->status() != QSoundEffect::Error)
            return;
        // A single play falls back to the beep; a stroke of a count ends silently.
        qCWarning(lcSound) << "Qt Multimedia could not play" << path;
        if (!stroke)
            beep();
        else if (m_stroke)
            strokeDone(m_stroke);
    });
    m_effect->setSource(loaded->source());
    m_effect->play();
    return info->durationMs;
}

const QSoundEffect* QtSoundOutput::loadedEffect(const QString& path) const
{
    const auto held = m_loaded.constFind(QFileInfo(path).absoluteFilePath());
    return held == m_loaded.cend() ? nullptr : held->effect;
}

const QSoundEffect* QtSoundOutput::load(const QString& path, const WavInfo& info)
{
    const QFileInfo file(path);
    const QString key = file.absoluteFilePath();
    if (const auto held = m_loaded.find(key); held != m_loaded.end()) {
        const bool changed
            = held->fileBytes != file.size() || held->modified != file.lastModified();
        const QSoundEffect::Status status = held->effect->status();
        if (!changed && status != QSoundEffect::Error && status != QSoundEffect::Null) {
            held->lastUse = ++m_uses;
            return held->effect;
        }
        qCDebug(lcSound) << "loading" << path
                         << "again:" << (changed ? "it changed on disk" : "its last load failed");
        unload(key);
    }

    qint64 heldBytes = 0;
    for (const Loaded& held : std::as_const(m_loaded))
        heldBytes += held.sampleBytes;
    while (!m_loaded.isEmpty()
        && (m_loaded.size() >= maxEffects || heldBytes + info.dataBytes > maxEffectBytes)) {
        const auto oldest = std::min_element(m_loaded.cbegin(), m_loaded.cend(),
            [](const Loaded& a, const Loaded& b) { return a.lastUse < b.lastUse; });
        heldBytes -= oldest->sampleBytes;
        qCDebug(lcSound) << "unloading" << oldest.key() << "to make room";
        unload(oldest.key());
    }

    auto* effect = new QSoundEffect(this);
    effect->setSource(QUrl::fromLocalFile(paddedCopy(file, info)));
    m_loaded.insert(
        key, Loaded { effect, file.size(), file.lastModified(), info.dataBytes, ++m_uses });
    return effect;
}

void QtSoundOutput::unload(const QString& key)
{
    // A player still sounding keeps the samples it shares.
    delete m_loaded.take(key).effect;
}

QString QtSoundOutput::makePaddedFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty()) {
        const QString folder = cache + QStringLiteral("/horolan/sounds");
        if (QDir().mkpath(folder) && QFileInfo(folder).isWritable())
            return folder;
        qCDebug(lcSound) << "cannot write" << folder;
    }
    // The same folder on every run, so a clock killed meanwhile leaves nothing new behind. In a
    // shared temporary folder it must be this user's own and no one else's to write.
    QString user = QStringLiteral("user");
#ifdef Q_OS_UNIX
    user = QString::number(::getuid());
#endif
    const QString folder = QDir::tempPath() + QStringLiteral("/horolan-%1-sounds").arg(user);
    QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QFileInfo info(folder);
    bool own = info.isDir() && !info.isSymLink() && info.isWritable()
        && !(info.permissions() & (QFile::WriteGroup | QFile::WriteOther));
#ifdef Q_OS_UNIX
    own = own && info.ownerId() == ::getuid();
#endif
    if (own)
        return folder;
    qCDebug(lcSound) << "cannot use" << folder;
    return {};
}

QString QtSoundOutput::paddedFolder()
{
    // Swept again after many new copies, for a clock that runs for months.
    if (m_paddedFolder && m_copiesWritten >= maxPaddedFiles / 2 && !m_paddedFolder->isEmpty()) {
        m_copiesWritten = 0;
        sweepPadded(*m_paddedFolder);
    }
    if (!m_paddedFolder) {
        m_paddedFolder = makePaddedFolder();
        if (m_paddedFolder->isEmpty())
            qCWarning(lcSound) << "no folder for padded copies of the sounds: they play as they "
                                  "are and may click at their end";
        else
            sweepPadded(*m_paddedFolder);
    }
    return *m_paddedFolder;
}

QString QtSoundOutput::paddedCopy(const QFileInfo& source, const WavInfo& info)
{
    const QString path = source.filePath();
    const qint64 padBytes = qint64(info.sampleRate) * paddingMs / 1000 * info.frameBytes();
    const qint64 dataBytes = info.dataBytes + padBytes;
    const QString folder = dataBytes < maxCopyBytes ? paddedFolder() : QString();
    if (folder.isEmpty()) {
        qCDebug(lcSound) << "playing" << path << "as it is: no padded copy";
        return path;
    }
    // A changed file gets a new name; the old copy ages out.
    const QByteArray identity = QStringLiteral("padded %1 ms\n%2\n%3\n%4")
                                    .arg(paddingMs)
                                    .arg(source.absoluteFilePath())
                                    .arg(source.size())
                                    .arg(source.lastModified().toMSecsSinceEpoch())
                                    .toUtf8();
    const QString target = folder + u'/'
        + QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha1).toHex())
        + QStringLiteral(".wav");

    const QFileInfo existing(target);
    if (existing.isFile() && !existing.isSymLink()) {
        // Checked like any sound: a damaged copy must not reach Qt's loader.
        const std::optional<WavInfo> copy = WavInfo::readFile(target);
        if (copy && copy->dataComplete && copy->dataBytes == dataBytes
            && copy->channels == info.channels && copy->sampleRate == info.sampleRate
            && copy->bitsPerSample == info.bitsPerSample) {
            QFile used(target);
            if (used.open(QIODevice::ReadWrite))
                used.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
            qCDebug(lcSound) << "playing" << path << "from its padded copy" << target;
            return target;
        }
        qCDebug(lcSound) << "replacing the damaged padded copy" << target;
    }

    QFile file(path);
    QByteArray samples;
    if (file.open(QIODevice::ReadOnly) && file.seek(info.dataOffset))
        samples = file.read(info.dataBytes);
    QSaveFile copy(target);
    if (samples.size() == info.dataBytes && copy.open(QIODevice::WriteOnly)) {
        // A plain PCM header; 8-bit samples are unsigned, so their silence is 0x80.
        const auto le = [](quint32 value, int bytes) {
            QByteArray out;
            for (int i = 0; i < bytes; ++i)
                out += char((value >> (8 * i)) & 0xff);
            return out;
        };
        const quint32 dataSize = quint32(dataBytes);
        const QByteArray header = "RIFF" + le(36 + dataSize, 4) + "WAVEfmt " + le(16, 4)
            + le(WavInfo::formatPcm, 2) + le(quint32(info.channels), 2)
            + le(quint32(info.sampleRate), 4) + le(quint32(info.sampleRate * info.frameBytes()), 4)
            + le(quint32(info.frameBytes()), 2) + le(quint32(info.bitsPerSample), 2) + "data"
            + le(dataSize, 4);
        const char silence = info.bitsPerSample == 8 ? char(0x80) : char(0);
        copy.write(header);
        copy.write(samples);
        copy.write(QByteArray(padBytes, silence));
        if (copy.commit()) {
            ++m_copiesWritten;
            qCDebug(lcSound) << "playing" << path << "from its new padded copy" << target;
            return target;
        }
    }
    qCWarning(lcSound) << "cannot make a padded copy of" << path << "in" << folder << "-"
                       << (samples.size() == info.dataBytes ? copy.errorString()
                                                            : file.errorString());
    return path;
}

void QtSoundOutput::cut()
{
    if (m_effect) {
        m_effect->disconnect(this);
        m_effect->stop();
        m_effect->deleteLater();
        m_effect = nullptr;
    }
    if (m_stroke) {
        m_stroke->deleteLater();
        m_stroke = nullptr;
    }
}
