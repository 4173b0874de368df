#pragma once

#include <QString>

struct HorolanState;
class SettingsStore;

// What LoadInfo and SaveInfo need of the main window. Form1 implements it; tests fake it.
class InfoWindow {
public:
    virtual ~InfoWindow() = default;

    virtual double topTwips() const = 0;
    virtual double leftTwips() const = 0;
    virtual void setTopTwips(double twips) = 0;
    virtual void setLeftTwips(double twips) = 0;

    virtual bool worldTimeVisible() const = 0;
    virtual void showWorldTime() = 0; // not modal

    virtual void ActivateSkin(const QString& name) = 0;
    virtual void ActivateSP(const QString& name) = 0;
};

namespace Settings {

inline const QString Setting = QStringLiteral("Setting");
inline const QString WTT = QStringLiteral("WTT");

// The most world time entries a store gives: the list's bound is a 16-bit number.
inline constexpr int maxWttEntries = 32767;
// The largest position read: one that still fits 16-bit pixel coordinates at 15 twips a pixel.
inline constexpr double maxPositionTwips = 32767 * 15.0;

// Moves the settings from the store into the shared state and the main window, once at start:
// position, world time window, flags, Speed, skin, sound pack, the world time list, Scroll.
void LoadInfo(const SettingsStore& store, HorolanState& state, InfoWindow& window);

// Writes every setting, then syncs the store: the file gets all of them or none. A failure to
// write is logged, and the store retries it.
void SaveInfo(SettingsStore& store, const HorolanState& state, const InfoWindow& window);

struct WindowPositionTwips {
    double left = 0;
    double top = 0;
};

// The world time window's own position, in section "WTT".
WindowPositionTwips LoadWorldTimeInfo(const SettingsStore& store);
void SaveWorldTimeInfo(SettingsStore& store, WindowPositionTwips position);

} // namespace Settings
