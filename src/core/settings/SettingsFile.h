#pragma once

#include <QString>

#include "core/settings/Settings.h"

class SettingsStore;

namespace SettingsKeys {

inline const QString Setting = QStringLiteral("Setting");
inline const QString WTT = QStringLiteral("WTT");

// The most world time entries a store gives: the list's bound is a 16-bit number.
inline constexpr int maxWttEntries = 32767;
// The largest position read: one that still fits 16-bit pixel coordinates at 15 twips a pixel.
inline constexpr double maxPositionTwips = 32767 * 15.0;

} // namespace SettingsKeys

// The settings as the store holds them, by every rule of their keys.
Settings loadSettings(const SettingsStore& store);
// Writes every setting, then syncs the store: the file gets all of them or none.
void saveSettings(SettingsStore& store, const Settings& settings);
