#pragma once

#include "core/base/HourEvent.h"
#include "core/chimes/SoundPack.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class Clock;
class Random;
class Roots;
class SoundOutput;
struct Settings;

// The chime on the hour. A sound pack (a folder of WAV files under Sounds with an SP.ini), or the
// skin's own sounds ("< skin >"), says what to strike: one file at random, the file of the hour,
// or one file struck as often as the hour. A counting chime is a sequence of strokes with a tick
// of the face and a pause after each; the stop key ends it at once, a new chime replaces it.
class Chimes : public QObject {
    Q_OBJECT

public:
    static inline const QString skinChoice = QStringLiteral("< skin >");

    // The active skin's own chimes, for "< skin >".
    struct SkinChimes {
        QString name;
        QString folder; // empty for the built-in skin or a skin without a folder
        ChimeKind kind = ChimeKind::Random;
    };

    // output is asked for only when a chime really plays or beeps, so a clock that never chimes
    // never makes the audio stack.
    Chimes(const Clock& clock, Random& random, const Roots& roots, const Settings& settings,
        std::function<SoundOutput&()> output, QObject* parent = nullptr);

    // Why the user would not want an hourly chime now (the screen is locked, say), or empty;
    // asked at the hour, so it must answer at once from what it already knows.
    void setBusyCheck(std::function<QString()> busyReason) { m_busyReason = std::move(busyReason); }

    // Makes a pack the active one and reads its SP.ini; the active one is not read again.
    void activatePack(const QString& name);
    // The next activation reads the pack's SP.ini afresh: its folder was replaced.
    void forgetPack() { m_packName.clear(); }
    const QString& packName() const { return m_packName; }
    const SoundPackInfo& pack() const { return m_pack; }

    // Strikes the chime of an hour (0 to 12). On the hour: once for each hour and only while
    // chimes are on.
    void playChime(int hour, HourEvent event, const SkinChimes& skin);
    // Asked at every tick: in the last seconds before an hour that will chime, the output gets
    // ready, so the first stroke sounds on the hour.
    void approachHour();
    static constexpr int prepareSeconds = 3;
    // The silence between two strokes of a count, from the end of one to the next: without it a
    // short or steady stroke runs into the next and nobody can count them.
    static constexpr int strokePauseMs = 200;
    // The stop key: the running sound is cut and a counting chime strikes no more.
    void stop();
    bool isCounting() const { return m_strokesLeft >= 0; }

signals:
    // A stroke of a counting chime has sounded; the face ticks before the next one.
    void strokeEnded();
    // An hour that will chime comes in a few seconds, once for each: time to ask the desktop
    // whether its user is busy.
    void hourApproaching();

private:
    SoundOutput& output();
    void playOnce(const QString& folder, const QString& pattern, const QString& why);
    void startCount(int hour, const QString& folder, const QString& why);
    void nextStroke();
    void onStrokeEnded();
    void endCount()
    {
        m_strokesLeft = -1;
        ++m_sequence;
        m_pause.stop();
    }

    const Clock& m_clock;
    Random& m_random;
    const Roots& m_roots;
    const Settings& m_settings;
    std::function<SoundOutput&()> m_makeOutput;
    std::function<QString()> m_busyReason;
    SoundOutput* m_output = nullptr;

    QString m_packName;
    SoundPackInfo m_pack;
    // No hour yet: a clock started before midnight chimes at its first midnight.
    int m_lastChimeHour = -1;
    qint64 m_approachedHour = -1; // counted from the epoch's day
    QString m_strokePath;
    int m_strokesLeft = -1; // -1: no counting chime runs
    int m_sequence = 0; // which counting chime, so a stroke's end finds the one it belongs to
    QTimer m_pause; // after a stroke, until the next is asked for
};
