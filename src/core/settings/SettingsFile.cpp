#include "core/settings/SettingsFile.h"

#include "core/base/Twips.h"
#include "core/base/Logging.h"
#include "core/text/NumberReading.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsText.h"

#include <algorithm>
#include <cmath>

using namespace SettingsKeys;

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
    QStringList wtt;
    wtt.reserve(entries + 1);
    for (int entry = 1; entry <= entries; ++entry) {
        wtt << storedText(store.read(WTT, itemKey(entry), QStringLiteral("+000Now"))).trimmed();
    }
    qCDebug(lcSettings) << "world time list of" << entries << "entries";
    return wtt;
}

void writeWtt(SettingsStore& store, const QStringList& wtt)
{
    const int bound = static_cast<int>(wtt.size());
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
        store.write(WTT, itemKey(entry), wtt.at(entry - 1));
}

} // namespace

Settings loadSettings(const SettingsStore& store)
{
    Settings s;
    const auto pixels = [](double twips) { return int(std::lround(Twips::toPixels(twips))); };
    s.position.setY(pixels(readPosition(store, Setting, u"Top")));
    s.position.setX(pixels(readPosition(store, Setting, u"Left")));
    s.showWorldTime = readBool(store, Setting, u"ShowWTT", false);
    s.useChimes = readBool(store, Setting, u"UseChimes", true);
    s.lockPosition = readBool(store, Setting, u"LockPos", false);
    s.onTop = readBool(store, Setting, u"ontop", true);
    s.twelveHour = readBool(store, Setting, u"AMPM", false);
    s.countChimes = readBool(store, Setting, u"UseChimesCount", true);
    s.speed = readSpeed(store);
    s.skin = storedText(store.read(Setting, u"Skin", QStringLiteral("< none >")));
    s.soundPack = storedText(store.read(Setting, u"SoundPack", QStringLiteral("< skin >")));
    s.worldTimes = readWtt(store);
    s.scroll = readBool(store, WTT, u"Scroll", true);
    return s;
}

void saveSettings(SettingsStore& store, const Settings& s)
{
    using SettingsText::fromBool;
    using SettingsText::fromNumber;
    store.write(Setting, u"Top", fromNumber(Twips::fromPixels(s.position.y())));
    store.write(Setting, u"Left", fromNumber(Twips::fromPixels(s.position.x())));
    store.write(Setting, u"Skin", s.skin);
    store.write(Setting, u"SoundPack", s.soundPack);
    store.write(Setting, u"UseChimes", fromBool(s.useChimes));
    store.write(Setting, u"AMPM", fromBool(s.twelveHour));
    store.write(Setting, u"UseChimesCount", fromBool(s.countChimes));
    store.write(Setting, u"SysTrayIcon", fromBool(true));
    store.write(Setting, u"LockPos", fromBool(s.lockPosition));
    store.write(Setting, u"ontop", fromBool(s.onTop));
    store.write(Setting, u"Speed", fromNumber(s.speed));
    store.write(Setting, u"ShowWTT", fromBool(s.showWorldTime));
    store.write(WTT, u"Scroll", fromBool(s.scroll));
    writeWtt(store, s.worldTimes);
    store.sync();
}
