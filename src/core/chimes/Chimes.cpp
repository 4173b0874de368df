#include "core/chimes/Chimes.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/chimes/SoundOutput.h"
#include "core/files/FileList.h"
#include "core/files/Roots.h"
#include "core/settings/Settings.h"

#include <algorithm>

namespace {
const QString anyWav = QStringLiteral("*.wav");
} // namespace

Chimes::Chimes(const Clock& clock, Random& random, const Roots& roots, const Settings& settings,
    std::function<SoundOutput&()> output, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_random(random)
    , m_roots(roots)
    , m_settings(settings)
    , m_makeOutput(std::move(output))
{
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    m_pause.setInterval(strokePauseMs);
    connect(&m_pause, &QTimer::timeout, this, &Chimes::nextStroke);
}

void Chimes::activatePack(const QString& name)
{
    if (name == m_packName) {
        qCDebug(lcSound) << "sound pack" << name << "is already active: SP.ini not read again";
        return;
    }
    m_packName = name;
    m_pack = SoundPackInfo {};
    QString folder;
    if (name.toLower() == skinChoice)
        qCDebug(lcSound) << "sound pack" << name << ": chimes come from the skin's folder";
    else if (!Roots::isSafeName(name))
        qCWarning(lcSound) << "sound pack name" << name << "is not a plain folder name: no folder";
    else
        folder = m_roots.resolve(QStringLiteral("Sounds"), name);
    const QString ini = FileList::findFile(folder, QStringLiteral("SP.ini"));
    if (ini.isEmpty() || !SoundPack::readFile(ini, m_pack))
        qCDebug(lcSound) << "sound pack" << name << "has no SP.ini: a random pack";
    qCDebug(lcSound) << "sound pack" << name << "active, type" << m_pack.type;
}

void Chimes::playChime(int hour, HourEvent event, const SkinChimes& skin)
{
    m_random.seed(m_clock.secondsSinceMidnight());
    if (event == HourEvent::OnTheHour) {
        if (hour == m_lastChimeHour)
            return; // every tick of the hour's first two seconds asks
        if (!m_settings.useChimes) {
            qCDebug(lcSound) << "no chime for hour" << hour << ": chimes are off";
            return;
        }
        m_lastChimeHour = hour;
        if (m_settings.quietHours.contains(m_clock.now().time())) {
            qCInfo(lcSound) << "no chime for hour" << hour << ": quiet hours";
            return;
        }
        if (const QString busy = m_busyReason ? m_busyReason() : QString(); !busy.isEmpty()) {
            qCInfo(lcSound).noquote() << "no chime for hour" << hour << ":" << busy;
            return;
        }
    }
    endCount();

    const bool fromSkin = m_packName.toLower() == skinChoice;
    const QString folder
        = fromSkin ? skin.folder : m_roots.resolve(QStringLiteral("Sounds"), m_packName);
    const ChimeKind kind = fromSkin ? skin.kind : m_pack.kind();
    const QString why = fromSkin
        ? QStringLiteral("the skin %1's own chimes").arg(skin.name)
        : QStringLiteral("sound pack %1, type \"%2\"").arg(m_packName, m_pack.type);
    switch (kind) {
    case ChimeKind::Random:
        return playOnce(folder, anyWav, why);
    case ChimeKind::Order:
    case ChimeKind::Index: {
        // Midnight is hour 0 of the dial: a pack without a Chime0.wav strikes its twelve.
        QString pattern = QStringLiteral("Chime%1.wav").arg(hour);
        if (hour == 0 && FileList::findFile(folder, pattern).isEmpty())
            pattern = QStringLiteral("Chime12.wav");
        return playOnce(folder, pattern, why);
    }
    case ChimeKind::Count:
        // A striking clock strikes twelve at midnight.
        return startCount(hour == 0 ? 12 : hour, folder, why);
    case ChimeKind::Silent:
        qCDebug(lcSound).noquote() << "hour" << hour << "is silent:" << why;
        return;
    }
}

void Chimes::approachHour()
{
    const QDateTime at = m_clock.now();
    const QTime now = at.time();
    const int secondsLeft = 3600 - (now.minute() * 60 + now.second());
    if (secondsLeft > prepareSeconds || !m_settings.useChimes || m_pack.kind() == ChimeKind::Silent)
        return;
    // Nothing opens the sound server for an hour that stays quiet.
    if (m_settings.quietHours.contains(now.addSecs(secondsLeft)))
        return;
    if (const qint64 hour = at.date().toJulianDay() * 24 + now.hour(); hour != m_approachedHour) {
        m_approachedHour = hour;
        emit hourApproaching();
    }
    output().prepare();
}

void Chimes::stop()
{
    endCount();
    if (m_output)
        m_output->stop();
    qCDebug(lcSound) << "chime stopped";
}

SoundOutput& Chimes::output()
{
    if (!m_output) {
        m_output = &m_makeOutput();
        connect(m_output, &SoundOutput::strokeEnded, this, &Chimes::onStrokeEnded);
    }
    // Asked for just before each sound: the volume the user set last.
    m_output->setVolume(std::clamp(m_settings.chimeVolume, 0, 100) / 100.0);
    return *m_output;
}

void Chimes::playOnce(const QString& folder, const QString& pattern, const QString& why)
{
    FileList files;
    files.set(folder, pattern);
    if (files.count() == 0) {
        qCDebug(lcSound).noquote() << "beep: no file matches" << pattern << "(" + why + ")";
        return output().beep();
    }
    // floor(r x count), kept within the list should the generator give 1; of several spellings
    // of one chime's name, the exact one.
    const qsizetype exact = files.names().indexOf(pattern);
    const int index = pattern == anyWav
        ? std::clamp(int(files.count() * m_random.next()), 0, files.count() - 1)
        : int(std::max<qsizetype>(exact, 0));
    qCDebug(lcSound).noquote() << "chime" << files.path(index) << "(" + why + ")";
    output().play(files.path(index));
}

void Chimes::startCount(int hour, const QString& folder, const QString& why)
{
    FileList files;
    files.set(folder, anyWav);
    if (files.count() == 0) {
        qCDebug(lcSound).noquote() << "beep: no file matches *.wav (" + why + ")";
        return output().beep();
    }
    m_strokePath
        = files.path(std::clamp(int(files.count() * m_random.next()), 0, files.count() - 1));
    m_strokesLeft = hour;
    qCDebug(lcSound).noquote() << "counting chime" << m_strokePath << "up to" << hour
                               << "strokes (" + why + ")";
    nextStroke();
}

void Chimes::nextStroke()
{
    if (m_strokesLeft <= 0)
        return endCount();
    --m_strokesLeft;
    output().playStroke(m_strokePath);
}

void Chimes::onStrokeEnded()
{
    if (!isCounting())
        return;
    // Timed from the stroke's end, however long the tick takes.
    m_pause.start();
    const int sequence = m_sequence;
    emit strokeEnded();
    // The tick may have struck a new chime, which replaced this one.
    if (sequence != m_sequence)
        return;
    // Read after the tick: switched off during a count, it strikes once.
    if (!m_settings.countChimes || m_strokesLeft == 0)
        return endCount();
}
