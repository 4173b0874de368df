#include "core/settings/SettingsFile.h"

#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsTable.h"

Settings loadSettings(const SettingsStore& store)
{
    Settings settings;
    SettingsTable::load(store, settings);
    return settings;
}

void saveSettings(SettingsStore& store, const Settings& settings)
{
    SettingsTable::save(store, settings);
    store.sync();
}
