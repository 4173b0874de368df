#pragma once

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/settings/SettingsInfo.h"
#include "core/settings/SettingsStore.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <cstdint>

// Shared by the durability tests and their helper process: the two value sets a save alternates
// between, a window that holds what LoadInfo gives it, and the progress page the helper reports
// through (a file both map, readable after the helper was killed).
namespace Durability {

class Window final : public InfoWindow {
public:
    double topTwips() const override { return top; }
    double leftTwips() const override { return left; }
    void setTopTwips(double twips) override { top = twips; }
    void setLeftTwips(double twips) override { left = twips; }
    bool worldTimeVisible() const override { return wttVisible; }
    void showWorldTime() override { wttVisible = true; }
    void ActivateSkin(const QString& name) override { skin = name; }
    void ActivateSP(const QString& name) override { sp = name; }

    double top = 0, left = 0;
    bool wttVisible = false;
    QString skin, sp;
};

// Set 0 ("old") and set 1 ("new") differ in every stored value, and their world time lists in
// length, so that a file mixing them is told from either.
inline void applySet(int set, HorolanState& state, Window& window, int wttEntries = 0)
{
    const bool b = set == 1;
    window.top = b ? 4500.5 : 150;
    window.left = b ? 7200 : 300;
    window.wttVisible = b;
    state.CurrentSkin = b ? QStringLiteral("Beta, Gamma") : QStringLiteral("Alpha");
    state.CurrentSP = b ? QStringLiteral("Bells") : QStringLiteral("< skin >");
    state.UseChimes = !b;
    state.skin.AMPM = b;
    state.UseChimesCount = !b;
    state.LockPos = b;
    state.ontop = !b;
    state.Speed = b ? 42.5f : 88;
    state.Scroll = !b;
    state.WTT = QStringList { QString() };
    const int entries = wttEntries > 0 ? wttEntries : (b ? 40 : 3);
    for (int i = 1; i <= entries; ++i)
        state.WTT << QStringLiteral("+%1%2 Zone %3").arg(b ? 60 : 120).arg(set).arg(i);
}

// Every value LoadInfo gives, on one line.
inline QString summary(const HorolanState& s, const Window& w)
{
    return QStringLiteral("Top=%1 Left=%2 ShowWTT=%3 UseChimes=%4 AMPM=%5 UseChimesCount=%6 "
                          "LockPos=%7 ontop=%8 Speed=%9 Skin=%10 SoundPack=%11 Scroll=%12 WTT=%13")
        .arg(w.top)
        .arg(w.left)
        .arg(w.wttVisible)
        .arg(s.UseChimes)
        .arg(s.skin.AMPM)
        .arg(s.UseChimesCount)
        .arg(s.LockPos)
        .arg(s.ontop)
        .arg(s.Speed)
        .arg(w.skin, w.sp)
        .arg(s.Scroll)
        .arg(s.WTT.join(u'|'));
}

struct Loaded {
    QSettings::Status status = QSettings::NoError;
    QString summary;
};

// What a fresh start reads from the file.
inline Loaded load(const QString& path)
{
    const FixedClock clock;
    const SettingsStore store(path, clock);
    HorolanState state;
    Window window;
    Settings::LoadInfo(store, state, window);
    return { store.status(), summary(state, window) };
}

// What loading a saved set gives.
inline QString expectedSummary(int set, int wttEntries = 0)
{
    HorolanState state;
    Window window;
    applySet(set, state, window, wttEntries);
    state.SysTrayIcon = true;
    Window loaded;
    loaded.top = window.top, loaded.left = window.left, loaded.wttVisible = window.wttVisible;
    loaded.skin = state.CurrentSkin, loaded.sp = state.CurrentSP;
    return summary(state, loaded);
}

inline bool saveSet(const QString& path, int set, int wttEntries = 0)
{
    const FixedClock clock;
    SettingsStore store(path, clock);
    HorolanState state;
    Window window;
    applySet(set, state, window, wttEntries);
    Settings::SaveInfo(store, state, window);
    return !store.hasUnsavedChanges();
}

struct Progress {
    std::atomic<std::uint32_t> ready; // the helper is in its loop
    std::atomic<std::uint32_t> started; // number of the save under way
    std::atomic<std::uint32_t> completed; // number of the last save that returned
    std::atomic<std::uint32_t> failed; // saves whose sync failed
    std::atomic<std::uint32_t> changes; // changes made (the closing test)
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// The progress page in a file of that name, mapped shared; null when that fails.
inline Progress* mapProgress(QFile& file)
{
    if (!file.open(QIODevice::ReadWrite) || !file.resize(4096))
        return nullptr;
    uchar* page = file.map(0, 4096);
    return page ? new (page) Progress {} : nullptr;
}

} // namespace Durability
