#pragma once

#include "core/base/HourEvent.h"
#include "core/chimes/Chimes.h"
#include "core/face/ClockFace.h"
#include "core/face/TymeLayout.h"
#include "core/skin/Backgrounds.h"
#include "core/skin/Skin.h"

#include <QLocale>
#include <QString>

#include <optional>

class Clock;
class Random;
class Roots;
struct Settings;

// What an operation of the timepiece changed, for the window to apply: a new picture (its
// outline and size, with the face already drawn on it), a face to paint, the chime that is due,
// the tray's tip.
struct FaceUpdate {
    bool redrawn = false;
    std::optional<Background> background;
    std::optional<int> chimeHour; // the automatic chime of this hour (0 to 12) is due
    std::optional<QString> trayTip; // after the product name
    std::optional<QString> spokenTime; // the locale's short time, once a minute, for screen readers
    bool skinChanged = false; // another skin is active

    // Adds what a later step changed.
    void merge(const FaceUpdate& later);
};

// The clock as it keeps time: the active skin, its backgrounds and the face, and what each tick
// does. Each tick draws the face when what it shows has changed, asks for the chime in the first
// two seconds of an hour and changes the background then, or on every tick for an animation.
class Timepiece {
public:
    Timepiece(const Clock& clock, Random& random, const Roots& roots, const Settings& settings,
        const QLocale& locale = QLocale());

    const Skin& skin() const { return m_skin; }
    const WorldTimeSkin& worldTimeSkin() const { return m_worldTime; }
    const QString& skinName() const { return m_name; }
    // The active skin's folder; empty for the built-in skin or a name found under no root.
    const QString& skinFolder() const { return m_folder; }
    Chimes::SkinChimes skinChimes() const;
    ClockFace& face() { return m_face; }
    const ClockFace& face() const { return m_face; }

    // Makes a skin folder the look of the clock: the built-in values, then its Skin.ini over
    // them, then the background for the hour. "< none >", or a folder without Skin.ini, is the
    // built-in skin. The skin already active is not read again.
    FaceUpdate activateSkin(const QString& requested);
    // The next activation reads the skin afresh, though its name is the active one's: its folder
    // was replaced.
    void forgetSkin() { m_name.clear(); }
    // One of the candidates at random; the active one or "< none >" may come up.
    FaceUpdate activateRandomSkin(const QStringList& candidates);
    // The skins to choose from: the built-in one first, then every skin folder of every root.
    QStringList skinChoices() const;
    // Twelve-hour display was switched: a Tyme skin's time is placed again and drawn.
    FaceUpdate placeTymeTime();
    // A new background for the hour (0 to 12). On the hour: at most one change for an hour and
    // minute of a skin. A picture that cannot be loaded changes nothing.
    FaceUpdate changeBackground(int hour, HourEvent event);
    // With RandomSkin set, the first tick of an hour activates a skin at random before the
    // chime it asks for. A hidden clock (shown false) draws nothing but keeps the hour's events.
    FaceUpdate tick(bool shown = true);

    // The tick's interval for a Speed from 0 to 100: 450 ms down to 1 ms, never below shortestMs
    // (the screen's refresh period: a faster tick draws frames no one sees).
    static int tickIntervalMs(float speed, int shortestMs);
    // Milliseconds from now to the next tick: just after the next second of the wall clock for a
    // face that steps, Speed's interval where a hand sweeps or the background is animated; for a
    // hidden clock the next tray tip or the hour's approach.
    int msToNextTick(bool shown, int refreshPeriodMs) const;

    // Tests hand in exact text widths for the Tyme layout.
    void setTextWidth(TextWidth textWidth) { m_textWidth = std::move(textWidth); }

private:
    FaceUpdate changeBackground(int hour, HourEvent event, bool activating, bool activationFailed);
    FaceUpdate show(const Background& background);
    FaceUpdate tick(bool afterBackground, bool shown);
    // Whether the hour's events may come: not for an hour struck before another one was, which
    // a wall clock set back would otherwise strike twice.
    bool hourMayStrike(qint64 hourStamp);
    int hourNow12() const;

    const Clock& m_clock;
    Random& m_random;
    const Roots& m_roots;
    const Settings& m_settings;
    QLocale m_locale;
    TextWidth m_textWidth = digitalTextWidth;

    QString m_name; // empty until the first activation
    QString m_folder; // of the active skin; empty for the built-in skin or a missing folder
    Skin m_skin;
    WorldTimeSkin m_worldTime;
    Backgrounds m_backgrounds;
    ClockFace m_face;
    bool m_shownForSkin = false; // a picture of the active skin is on show
    // The last guarded change of background: once an hour and minute of a skin.
    int m_lastHour = 0;
    int m_lastMinute = 0;
    QString m_lastSkin;
    qint64 m_randomHour = -1; // the hour, counted from the epoch's day, of the last random skin
    qint64 m_spokenMinute = -1; // the minute, counted from the epoch's day, last given as spoken
    QList<qint64> m_struckHours; // the last day's hours whose events came, the latest last
};
