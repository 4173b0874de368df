#pragma once

#include "core/settings/Settings.h"

class SettingsStore;

// The settings to and from the store, by the rows of SettingsTable: a missing key reads as its
// default, a damaged one as its form's rule says (with a line in horolan.settings).
Settings loadSettings(const SettingsStore& store);

// Writes every row (SysTrayIcon always True), then syncs: the file gets all of it or none, and a
// failed save is retried by the store.
void saveSettings(SettingsStore& store, const Settings& settings);
