#pragma once

#include "core/settings/Settings.h"

class SettingsStore;

// Where the settings meet the store's keys and value forms. A stored value that breaks a rule
// gets its fallback and a line in horolan.settings; nothing here fails.

// Every key of groups "Setting" and "WTT". Booleans
// are "true" in any case, numbers their leading number; Speed is clamped to 0..100, positions to
// 0..32767 px; Count below 0 gives no entries, above 32767 that many. Entries are trimmed, and
// missing ones read "+000Now"; an entry's Zone key names its zone. U+FEFF is dropped from names and
// entries.
Settings loadSettings(const SettingsStore& store);

// Writes every key (SysTrayIcon always True), removes the item keys past the new end and the
// zone keys of entries without a zone, then
// syncs: the file gets all of it or none, and a failed save is retried by the store.
void saveSettings(SettingsStore& store, const Settings& s);
