#pragma once

#include "core/files/FileList.h"
#include "core/chimes/SoundPack.h"

#include <QString>

#include <cstdint>
#include <functional>

class Clock;
class Random;
class Roots;
class SoundOutput;
struct HorolanState;

// What the chimes need of the main window. Form1 implements it; tests fake it.
class ChimeHost {
public:
    virtual ~ChimeHost() = default;

    // Lets pending window events run (where the stop key is seen during a count chime).
    virtual void processEvents() = 0;
    // One tick of the clock, run directly between strokes so the hands move on.
    virtual void runTick() = 0;
    // True once the program is closing: a running count chime ends at once.
    virtual bool closing() const = 0;
    // The busy pointer while a sound pack is read.
    virtual void setBusy(bool busy) { Q_UNUSED(busy); }
};

// The sound packs and the hourly chime: ActivateSP makes a pack the active one, PlayChime
// strikes the chime of an hour from the pack or from the skin's own folder ("< skin >").
class ChimeEngine {
public:
    // What the last PlayChime that got past its guard chose, and why.
    struct Choice {
        QString folder; // the chime folder; empty when the name resolved to nothing
        QString pattern; // the listing asked for; empty for a silent type
        QString path; // the file played; empty for a beep or silence
        bool beep = false;
        QString reason;
    };

    static inline const QString skinChoice = QStringLiteral("< skin >");

    // output is called only when a chime really plays or beeps, so a clock that never chimes
    // never makes the audio stack.
    ChimeEngine(HorolanState& state, const Clock& clock, const Roots& roots, Random& random,
        std::function<SoundOutput&()> output, ChimeHost& host);

    void ActivateSP(const QString& SP);
    // PlayAnyWay false: the automatic chime of the hour, once per hour and only with UseChimes.
    void PlayChime(std::uint8_t HurC, bool PlayAnyWay);
    // The stop key: a running count chime ends before its next stroke and the sound is cut.
    void stopChime();

    bool StopChime() const { return m_StopChime; }
    const SoundPackInfo& info() const { return m_info; }
    // The hour of the last automatic chime; 255 (no hour) until the first one.
    std::uint8_t LastChimeHour() const { return m_LastChimeHour; }
    const Choice& lastChoice() const { return m_lastChoice; }

    static constexpr std::uint8_t noHour = 255;

private:
    enum class Kind { Random, Count, Order, Index, Silent };

    Kind chimeKind(QString& folder, QString& why) const;
    SoundOutput& output();
    void choose(const QString& folder, const QString& pattern);
    int pickIndex(int count);
    void playOnce(const QString& folder, const QString& pattern, const QString& why);
    void playCount(std::uint8_t HurC, const QString& folder, const QString& why);
    void beep(const QString& reason);

    HorolanState& m_state;
    const Clock& m_clock;
    const Roots& m_roots;
    Random& m_random;
    std::function<SoundOutput&()> m_makeOutput;
    SoundOutput* m_output = nullptr;
    ChimeHost& m_host;

    SoundPackInfo m_info;
    FileList m_File1;
    bool m_StopChime = false;
    // No hour: a clock started before midnight chimes at its first midnight.
    std::uint8_t m_LastChimeHour = noHour;
    Choice m_lastChoice;
};
