#include "core/face/Timepiece.h"

#include "core/base/Clock.h"
#include "core/base/Logging.h"
#include "core/base/Random.h"
#include "core/face/TimeText.h"
#include "core/face/Wakeups.h"
#include "core/files/FileList.h"
#include "core/files/Roots.h"
#include "core/settings/Settings.h"
#include "core/skin/BuiltInSkin.h"
#include "core/skin/SkinReader.h"

#include <algorithm>
#include <cmath>

void FaceUpdate::merge(const FaceUpdate& later)
{
    redrawn = redrawn || later.redrawn;
    if (later.background)
        background = later.background;
    if (later.chimeHour)
        chimeHour = later.chimeHour;
    if (later.trayTip)
        trayTip = later.trayTip;
    if (later.spokenTime)
        spokenTime = later.spokenTime;
    skinChanged = skinChanged || later.skinChanged;
}

Timepiece::Timepiece(const Clock& clock, Random& random, const Roots& roots,
    const Settings& settings, const QLocale& locale)
    : m_clock(clock)
    , m_random(random)
    , m_roots(roots)
    , m_settings(settings)
    , m_locale(locale)
    , m_backgrounds(random)
    , m_face(locale)
{
    m_face.setBackground(builtInBackground(QStringLiteral("nothing shown yet")));
}

Chimes::SkinChimes Timepiece::skinChimes() const
{
    return { m_name, m_folder, m_skin.chimes };
}

int Timepiece::tickIntervalMs(float speed, int shortestMs)
{
    if (std::isnan(speed))
        speed = 88;
    const double wanted = std::trunc((100 - double(speed)) * 449 / 100) + 1;
    return std::max(int(std::clamp(wanted, 1.0, 450.0)), shortestMs);
}

int Timepiece::msToNextTick(bool shown, int refreshPeriodMs) const
{
    Wakeups::Needs needs;
    needs.shown = shown;
    needs.moving
        = (m_skin.smooth && m_skin.analog) || m_skin.background == BackgroundKind::Animated;
    needs.motionMs = tickIntervalMs(m_settings.speed, refreshPeriodMs);
    needs.approachSeconds = Chimes::prepareSeconds;
    return Wakeups::msToNext(m_clock.now().time(), needs);
}

int Timepiece::hourNow12() const
{
    return TimeText::twelveHour(m_clock.now().time().hour());
}

FaceUpdate Timepiece::activateSkin(const QString& requested)
{
    // An empty name can name no folder: it is the built-in skin.
    const QString name = requested.isEmpty() ? builtInSkinName : requested;
    if (name == m_name) {
        qCDebug(lcSkin) << "skin" << name << "is already active";
        return {};
    }
    const bool builtIn = name == builtInSkinName;
    if (!builtIn && !Roots::isSafeName(name))
        qCWarning(lcSkin) << "skin name" << name << "is not a plain folder name: built-in skin";
    const QString folder = builtIn ? QString() : m_roots.resolve(QStringLiteral("Skins"), name);
    const QString ini = FileList::findFile(folder, QStringLiteral("Skin.ini"));

    bool failed = false;
    if (builtIn || ini.isEmpty()) {
        if (!builtIn)
            qCDebug(lcSkin) << "skin" << name
                            << (folder.isEmpty() ? "has no folder" : "has no Skin.ini")
                            << "- built-in skin";
        BuiltInSkin::applyValues(m_skin, m_worldTime, true);
        // A folder of pictures without Skin.ini still shows the built-in picture.
        failed = !builtIn;
        // Nothing is read, so nothing can make this a Tyme skin.
        m_skin.tyme = false;
    }
    BuiltInSkin::applyValues(m_skin, m_worldTime, false);
    m_name = name;
    m_folder = folder;
    m_shownForSkin = false;

    if (!ini.isEmpty()) {
        SkinReport report;
        if (!SkinReader::readFile(ini, m_skin, m_worldTime, &report)) {
            qCWarning(lcSkin) << "skin" << name << "- Skin.ini could not be read";
            failed = true;
        } else if (report.stopLine != 0) {
            qCWarning(lcSkin).noquote() << "skin" << name << "- Skin.ini stopped at line"
                                        << report.stopLine << ":" << report.stopReason;
            failed = true;
        }
        qCDebug(lcSkin).noquote() << "skin" << m_skin.info.name << "by" << m_skin.info.madeBy << "-"
                                  << m_skin.info.comment;
    }
    if (m_skin.tyme)
        m_skin.background = BackgroundKind::Tyme;
    m_backgrounds.prepare(folder, m_skin);

    FaceUpdate update = changeBackground(hourNow12(), HourEvent::OnTheHour, true, failed);
    update.skinChanged = true;
    if (m_skin.tyme) {
        // The time text is placed within the width of the Tyme picture, then drawn again.
        layOutTyme(m_skin, m_face.size().width(), m_settings.twelveHour, m_textWidth);
        update.redrawn
            = m_face.draw(m_skin, m_settings.twelveHour, m_clock.now(), false) || update.redrawn;
    }
    return update;
}

FaceUpdate Timepiece::activateRandomSkin(const QStringList& candidates)
{
    m_random.seed(m_clock.secondsSinceMidnight());
    const int n = int(candidates.size());
    if (n == 0)
        return {};
    const int index = std::clamp(int(std::floor(m_random.next() * n)), 0, n - 1);
    qCDebug(lcSkin) << "random skin" << index + 1 << "of" << n << ":" << candidates.at(index);
    return activateSkin(candidates.at(index));
}

QStringList Timepiece::skinChoices() const
{
    return QStringList { builtInSkinName } + m_roots.list(QStringLiteral("Skins"));
}

FaceUpdate Timepiece::placeTymeTime()
{
    if (!m_skin.tyme)
        return {};
    ::placeTymeTime(m_skin, m_face.size().width(), m_settings.twelveHour, m_textWidth);
    FaceUpdate update;
    update.redrawn = m_face.draw(m_skin, m_settings.twelveHour, m_clock.now(), false);
    return update;
}

FaceUpdate Timepiece::changeBackground(int hour, HourEvent event)
{
    return changeBackground(hour, event, false, false);
}

FaceUpdate Timepiece::changeBackground(
    int hour, HourEvent event, bool activating, bool activationFailed)
{
    if (m_skin.background != BackgroundKind::Animated && event == HourEvent::OnTheHour) {
        const int minute = m_clock.now().time().minute();
        // Every tick of an hour's first two seconds asks. An activation always shows its skin.
        if (!activating && hour == m_lastHour && m_name == m_lastSkin && minute == m_lastMinute)
            return {};
        m_lastHour = hour;
        m_lastMinute = minute;
        m_lastSkin = m_name;
    }
    m_random.seed(m_clock.secondsSinceMidnight());

    std::optional<Background> chosen;
    if (m_name == builtInSkinName)
        chosen = builtInBackground(QStringLiteral("the built-in skin"));
    else if (activationFailed)
        chosen = builtInBackground(QStringLiteral("the skin's activation failed"));
    else
        chosen = m_backgrounds.choose(m_folder, m_skin, hour);
    if (!chosen) {
        // A picture that cannot be loaded keeps what is on show: the built-in picture only where
        // this skin shows nothing yet.
        if (m_shownForSkin)
            return {};
        chosen = builtInBackground(QStringLiteral("the skin's picture could not be loaded"));
    }
    qCDebug(lcSkin).noquote() << "background:"
                              << (chosen->isBuiltIn() ? QStringLiteral("built-in picture")
                                                      : chosen->path)
                              << "(" + chosen->reason + ")";
    return show(*chosen);
}

FaceUpdate Timepiece::show(const Background& background)
{
    m_face.setBackground(background);
    m_shownForSkin = true;
    FaceUpdate update;
    update.background = background;
    update.merge(tick(true, true));
    return update;
}

FaceUpdate Timepiece::tick(bool shown)
{
    return tick(false, shown);
}

bool Timepiece::hourMayStrike(qint64 hourStamp)
{
    if (!m_struckHours.isEmpty() && m_struckHours.last() == hourStamp)
        return true; // its second tick, or a step back within its first two seconds
    if (m_struckHours.contains(hourStamp)) {
        qCDebug(lcMain) << "the wall clock came back to an hour already struck: nothing again";
        return false;
    }
    m_struckHours.append(hourStamp);
    if (m_struckHours.size() > 24)
        m_struckHours.removeFirst();
    return true;
}

FaceUpdate Timepiece::tick(bool afterBackground, bool shown)
{
    // One reading of the clock serves every part of the tick.
    const QDateTime now = m_clock.now();
    FaceUpdate update;
    if (now.isValid() && now.time().second() % 20 == 0) {
        const QString pattern = m_settings.twelveHour ? QStringLiteral("DD/MM/YYYY, HH:NN AMPM")
                                                      : QStringLiteral("DD/MM/YYYY, HH:NN");
        update.trayTip = QStringLiteral(" - ") + TimeText::format(pattern, now, m_locale);
    }
    const bool animated = m_skin.background == BackgroundKind::Animated;
    update.redrawn = shown && m_face.draw(m_skin, m_settings.twelveHour, now, animated);
    if (!now.isValid()) {
        qCDebug(lcMain) << "tick: the clock gave no valid time";
        return update;
    }
    // A screen reader hears of the time when the minute turns, not at every tick.
    const qint64 minute
        = now.date().toJulianDay() * 24 * 60 + now.time().hour() * 60 + now.time().minute();
    if (minute != m_spokenMinute) {
        m_spokenMinute = minute;
        update.spokenTime = TimeText::spoken(now.time(), m_locale);
    }
    const int hour = now.time().hour() > 12 ? now.time().hour() - 12 : now.time().hour();
    if (animated) {
        if (!afterBackground)
            update.merge(changeBackground(hour, HourEvent::Forced));
    } else if (now.time().second() < 2 && now.time().minute() == 0
        && hourMayStrike(now.date().toJulianDay() * 24 + now.time().hour())) {
        const qint64 hourStamp = now.date().toJulianDay() * 24 + now.time().hour();
        if (m_settings.randomSkin && hourStamp != m_randomHour) {
            m_randomHour = hourStamp;
            update.merge(activateRandomSkin(skinChoices()));
        }
        update.chimeHour = hour;
        update.merge(changeBackground(hour, HourEvent::OnTheHour));
    }
    return update;
}
