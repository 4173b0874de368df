#include "core/settings/SettingsInfo.h"

#include "core/face/HorolanState.h"
#include "core/base/Logging.h"
#include "core/text/NumberReading.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsText.h"

#include <algorithm>

namespace Settings {

namespace {

bool readBool(const SettingsStore& store, const QString& section, QStringView key, bool fallback)
{
    const std::optional<QString> text = store.read(section, key);
    if (!text)
        return fallback;
    const bool value = SettingsText::toBool(*text);
    if (!value && text->compare(u"false", Qt::CaseInsensitive) != 0)
        qCWarning(lcSettings) << section << key << *text << "is not a boolean; reads as false";
    return value;
}

double readNumber(const SettingsStore& store, const QString& section, QStringView key,
    const QString& fallback = QStringLiteral("0"))
{
    const QString text = store.read(section, key, fallback);
    if (!NumberReading::startsWithNumber(text))
        qCWarning(lcSettings) << section << key << text.left(40) << "is not a number; reads as 0";
    return SettingsText::toNumber(text);
}

double readPosition(const SettingsStore& store, const QString& section, QStringView key)
{
    const double twips = readNumber(store, section, key);
    if (twips < 0) {
        qCDebug(lcSettings) << section << key << twips << "is negative; reads as 0";
        return 0;
    }
    if (twips > maxPositionTwips) {
        qCWarning(lcSettings) << section << key << twips << "is out of reach; reads as"
                              << maxPositionTwips;
        return maxPositionTwips;
    }
    return twips + 0.0; // no -0
}

float readSpeed(const SettingsStore& store)
{
    const double speed = readNumber(store, Setting, u"Speed", QStringLiteral("88"));
    if (speed > 100 || speed < 0)
        qCWarning(lcSettings) << "Speed" << speed << "is out of 0 to 100";
    return static_cast<float>(std::clamp(speed, 0.0, 100.0));
}

// QSettings drops U+FEFF where it starts a value, follows a quote or an escape, so a text holding
// one could change on every save: none is kept.
QString storedText(QString text)
{
    return text.remove(QChar(0xfeff));
}

QString itemKey(int entry)
{
    return QStringLiteral("Item") + QString::number(entry);
}

// The entry number of a key "Item" + decimal number without leading zeros, else 0.
int itemNumber(QStringView key)
{
    if (!key.startsWith(u"Item") || key.size() < 5 || key[4] == u'0')
        return 0;
    bool ok = false;
    const int entry = key.sliced(4).toInt(&ok);
    return ok && key.sliced(4).size() == QString::number(entry).size() ? entry : 0;
}

QStringList readWtt(const SettingsStore& store)
{
    const double stored = readNumber(store, WTT, u"Count");
    double count = NumberReading::roundHalfEven(stored);
    if (!(count >= 0)) {
        qCWarning(lcSettings) << "WTT Count" << stored << "is below 0; no entries";
        count = 0;
    } else if (count > maxWttEntries) {
        qCWarning(lcSettings) << "WTT Count" << stored << "is above" << maxWttEntries
                              << "; reading that many entries";
        count = maxWttEntries;
    }
    const int entries = static_cast<int>(count);
    QStringList wtt { QString() };
    wtt.reserve(entries + 1);
    for (int entry = 1; entry <= entries; ++entry) {
        wtt << storedText(store.read(WTT, itemKey(entry), QStringLiteral("+000Now"))).trimmed();
    }
    qCDebug(lcSettings) << "world time list of" << entries << "entries";
    return wtt;
}

void writeWtt(SettingsStore& store, const QStringList& wtt)
{
    const int bound = static_cast<int>(wtt.size()) - 1;
    const int entries = std::clamp(bound, 0, maxWttEntries);
    if (bound > maxWttEntries)
        qCWarning(lcSettings) << "world time list of" << bound << "entries; saving the first"
                              << entries;
    // Every item key past the new end goes, wherever the old Count stood.
    for (const QString& key : store.keys(WTT)) {
        if (itemNumber(key) > entries)
            store.remove(WTT, key);
    }
    store.write(WTT, u"Count", QString::number(entries));
    for (int entry = 1; entry <= entries; ++entry)
        store.write(WTT, itemKey(entry), wtt.at(entry));
}

} // namespace

void LoadInfo(const SettingsStore& store, HorolanState& state, InfoWindow& window)
{
    window.setTopTwips(readPosition(store, Setting, u"Top"));
    window.setLeftTwips(readPosition(store, Setting, u"Left"));
    const bool showWtt = readBool(store, Setting, u"ShowWTT", false);
    state.UseChimes = readBool(store, Setting, u"UseChimes", true);
    state.LockPos = readBool(store, Setting, u"LockPos", false);
    state.ontop = readBool(store, Setting, u"ontop", true);
    state.skin.AMPM = readBool(store, Setting, u"AMPM", false);
    state.UseChimesCount = readBool(store, Setting, u"UseChimesCount", true);
    // Shown after the flags, so that a world time window opened at start is on top as stored.
    if (showWtt)
        window.showWorldTime();
    state.Speed = readSpeed(store);
    state.SysTrayIcon = true; // whatever was stored
    window.ActivateSkin(storedText(store.read(Setting, u"Skin", QStringLiteral("< none >"))));
    window.ActivateSP(storedText(store.read(Setting, u"SoundPack", QStringLiteral("< skin >"))));
    state.WTT = readWtt(store);
    state.Scroll = readBool(store, WTT, u"Scroll", true);
}

void SaveInfo(SettingsStore& store, const HorolanState& state, const InfoWindow& window)
{
    using SettingsText::fromBool;
    using SettingsText::fromNumber;
    store.write(Setting, u"Top", fromNumber(window.topTwips()));
    store.write(Setting, u"Left", fromNumber(window.leftTwips()));
    store.write(Setting, u"Skin", state.CurrentSkin);
    store.write(Setting, u"SoundPack", state.CurrentSP);
    store.write(Setting, u"UseChimes", fromBool(state.UseChimes));
    store.write(Setting, u"AMPM", fromBool(state.skin.AMPM));
    store.write(Setting, u"UseChimesCount", fromBool(state.UseChimesCount));
    store.write(Setting, u"SysTrayIcon", fromBool(state.SysTrayIcon));
    store.write(Setting, u"LockPos", fromBool(state.LockPos));
    store.write(Setting, u"ontop", fromBool(state.ontop));
    store.write(Setting, u"Speed", fromNumber(state.Speed));
    store.write(Setting, u"ShowWTT", fromBool(window.worldTimeVisible()));
    store.write(WTT, u"Scroll", fromBool(state.Scroll));
    writeWtt(store, state.WTT);
    store.sync();
}

WindowPositionTwips LoadWorldTimeInfo(const SettingsStore& store)
{
    WindowPositionTwips position;
    position.left = readPosition(store, WTT, u"Left");
    position.top = readPosition(store, WTT, u"Top");
    return position;
}

void SaveWorldTimeInfo(SettingsStore& store, WindowPositionTwips position)
{
    store.write(WTT, u"Top", SettingsText::fromNumber(position.top));
    store.write(WTT, u"Left", SettingsText::fromNumber(position.left));
    store.sync();
}

} // namespace Settings
