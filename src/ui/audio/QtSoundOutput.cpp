#include "ui/audio/QtSoundOutput.h"

#include "core/base/Logging.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>

QtSoundOutput::QtSoundOutput(QObject* parent)
    : SoundOutput(parent)
{
    for (QTimer* timer : { &m_feeder, &m_deadline, &m_idle })
        timer->setTimerType(Qt::PreciseTimer);
    m_feeder.setInterval(feedMs);
    m_deadline.setSingleShot(true);
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleCloseMs);
    connect(&m_feeder, &QTimer::timeout, this, &QtSoundOutput::feed);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_sink)
            qCWarning(lcSound) << "the sound output never finished a sound: it is cut";
        closeSink();
        finish();
    });
    connect(&m_idle, &QTimer::timeout, this, [this] {
        closeSink();
        // Nothing sounds for a while: the decoded sounds go, and the heap they held goes back.
        m_sounds.clear();
        emit quiet();
    });
}

QtSoundOutput::~QtSoundOutput()
{
    cut();
    closeSink();
}

void QtSoundOutput::play(const QString& path)
{
    if (path.isEmpty())
        return cut();
    useDeviceFormat();
    if (const QByteArray* pcm = m_sounds.sound(path))
        start(*pcm, false);
    else
        beep();
}

void QtSoundOutput::playStroke(const QString& path)
{
    useDeviceFormat();
    if (const QByteArray* pcm = m_sounds.sound(path))
        return start(*pcm, true);
    // A file that cannot be played ends its stroke at once, and silently.
    cut();
    QMetaObject::invokeMethod(this, &SoundOutput::strokeEnded, Qt::QueuedConnection);
}

void QtSoundOutput::stop()
{
    cut();
}

void QtSoundOutput::prepare()
{
    if (playing())
        return;
    useDeviceFormat();
    // The stream, there before the chime and fed silence, keeps the server working in short
    // blocks; one left to run dry may stall (PipeWire's PulseAudio server).
    if (hasAudioOutput() && openSink())
        feed();
    // A chime that does not come after all (a busy desktop) still lets it fall quiet.
    m_idle.start(idleCloseMs + prepareMs);
}

void QtSoundOutput::setVolume(double volume)
{
    SoundOutput::setVolume(volume);
    if (m_sink)
        m_sink->setVolume(volume);
}

void QtSoundOutput::beep()
{
    if (!hasAudioOutput())
        return desktopBeep();
    useDeviceFormat();
    start(m_sounds.ding(), false);
}

void QtSoundOutput::desktopBeep()
{
    QApplication::beep();
}

bool QtSoundOutput::hasAudioOutput() const
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

void QtSoundOutput::useDeviceFormat()
{
    QAudioFormat format;
    if (hasAudioOutput())
        format = QMediaDevices::defaultAudioOutput().preferredFormat();
    if (!format.isValid()) {
        format.setSampleRate(44100);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
    }
    if (m_sounds.setFormat(format))
        qCDebug(lcSound) << "sounds are played as" << format;
}

void QtSoundOutput::start(const QByteArray& pcm, bool stroke)
{
    // The next stroke of a count goes on the stream that played the last, after as much silence
    // as the time it was asked for after that one's end.
    const bool follows = stroke && m_state == State::AfterStroke;
    const qint64 sinceStrokeUs = follows ? m_sinceStroke.nsecsElapsed() / 1000 : 0;
    if (!follows)
        cut();
    m_state = stroke ? State::Stroke : State::Sound;
    m_idle.stop();
    const qint64 durationMs = usFor(pcm.size()) / 1000;
    if (!hasAudioOutput() || !openSink()) {
        if (!m_noDeviceLogged)
            qCInfo(lcSound) << "no sound output device: chimes are beeps";
        m_noDeviceLogged = true;
        hasAudioOutput() ? desktopBeep() : beep();
        // A stroke still lasts its sound's length.
        m_deadline.start(int(durationMs));
        return;
    }
    // A fresh stream starts with silence: a server still working in long blocks plays its first
    // buffer and then may take until its next block for the rest, a split stroke otherwise.
    qint64 lead = m_streamBytes == 0 ? bytesFor(primeMs * 1000) : 0;
    if (follows)
        lead = std::max<qint64>(0, m_strokeEnd + bytesFor(sinceStrokeUs) - m_streamBytes);
    m_playing = silence(lead) + pcm;
    m_written = 0;
    m_soundEnd = m_streamBytes + m_playing.size();
    qCDebug(lcSound).nospace().noquote()
        << (stroke ? "stroke" : "sound") << " of " << durationMs << " ms "
        << (follows ? QStringLiteral("%1 ms after the last").arg(sinceStrokeUs / 1000)
                   : m_streamBytes == 0 ? QStringLiteral("on a fresh stream")
                                        : QStringLiteral("on the open stream"));
    m_deadline.start(int(usFor(m_playing.size()) / 1000) + endMarginMs);
    feed();
    m_feeder.start();
}

bool QtSoundOutput::openSink()
{
    if (m_sink && m_sink->format() == m_sounds.format() && m_sink->error() == QAudio::NoError
        && m_sink->state() != QAudio::StoppedState)
        return true;
    closeSink();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    m_sink = new QAudioSink(device, m_sounds.format(), this);
    m_sink->setBufferSize(m_sounds.format().bytesForDuration(bufferMs * 1000));
    m_sink->setVolume(m_volume);
    m_io = m_sink->start();
    if (!m_io || m_sink->error() != QAudio::NoError) {
        qCWarning(lcSound) << "cannot open the sound output" << device.description() << "- error"
                           << m_sink->error();
        closeSink();
        return false;
    }
    qCDebug(lcSound) << "sound output" << device.description() << "opened with"
                     << m_sink->bufferSize() << "bytes of buffer";
    m_feeder.start();
    return true;
}

qint64 QtSoundOutput::bytesFor(qint64 us) const
{
    return us * m_sounds.format().sampleRate() / 1000000 * m_sounds.format().bytesPerFrame();
}

qint64 QtSoundOutput::usFor(qint64 bytes) const
{
    const qint64 frameBytes = m_sounds.format().bytesPerFrame();
    return frameBytes && m_sounds.format().sampleRate()
        ? bytes / frameBytes * 1000000 / m_sounds.format().sampleRate()
        : 0;
}

void QtSoundOutput::write(const QByteArray& bytes)
{
    m_streamBytes += std::max<qint64>(0, m_io->write(bytes));
}

void QtSoundOutput::feed()
{
    if (!m_sink)
        return;
    if (m_sink->error() == QAudio::OpenError || m_sink->error() == QAudio::FatalError) {
        qCWarning(lcSound) << "the sound output failed - error" << m_sink->error();
        closeSink();
        return finish();
    }
    const qint64 frameBytes = m_sounds.format().bytesPerFrame();
    qint64 room = m_sink->bytesFree();
    if (playing()) {
        room = std::min(room, m_playing.size() - m_written);
        room -= room % frameBytes;
        if (room > 0) {
            const qint64 before = m_streamBytes;
            write(QByteArray::fromRawData(m_playing.constData() + m_written, room));
            m_written += m_streamBytes - before;
        }
        if (m_written >= m_playing.size())
            finish();
        return;
    }
    // After a stroke, no more silence than the time since its end: the next one starts after
    // just that.
    if (m_state == State::AfterStroke)
        room = std::min(
            room, m_strokeEnd + bytesFor(m_sinceStroke.nsecsElapsed() / 1000) - m_streamBytes);
    room -= room % frameBytes;
    if (room > 0)
        write(silence(room));
}

QByteArray QtSoundOutput::silence(qint64 bytes) const
{
    return QByteArray(std::max<qint64>(bytes, 0),
        m_sounds.format().sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : char(0));
}

void QtSoundOutput::finish()
{
    m_deadline.stop();
    m_playing.clear();
    m_written = 0;
    if (!playing())
        return;
    const bool stroke = m_state == State::Stroke;
    m_state = State::Silence;
    m_idle.start(idleCloseMs);
    if (!stroke)
        return;
    if (m_sink) {
        m_state = State::AfterStroke;
        m_strokeEnd = m_streamBytes;
        m_sinceStroke.start();
    }
    emit strokeEnded();
}

void QtSoundOutput::cut()
{
    m_deadline.stop();
    m_playing.clear();
    m_written = 0;
    // What the server still holds of a sound goes too; silence plays on.
    const bool audible = playing() || (m_sink && m_sink->processedUSecs() < usFor(m_soundEnd));
    m_state = State::Silence;
    if (audible)
        closeSink();
    m_idle.start(idleCloseMs);
}

void QtSoundOutput::closeSink()
{
    m_idle.stop();
    m_feeder.stop();
    if (m_state == State::AfterStroke)
        m_state = State::Silence;
    m_streamBytes = 0;
    m_soundEnd = 0;
    if (!m_sink)
        return;
    m_sink->disconnect(this);
    m_sink->reset();
    m_sink->deleteLater();
    m_sink = nullptr;
    m_io = nullptr;
}
