#include "core/settings/SettingsFile.h"

#include "core/base/Logging.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsText.h"
#include "core/text/NumberReading.h"

#include <algorithm>

namespace {

const QString setting = QStringLiteral("Setting");
const QString wtt = QStringLiteral("WTT");

constexpr int twipsPerPixel = 15;
// The list's bound is a 16-bit number.
constexpr int maxEntries = 32767;
// The largest position read: one that still fits 16-bit pixel coordinates.
constexpr double maxPositionTwips = 32767.0 * twipsPerPixel;

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

int readPixels(const SettingsStore& store, QStringView key)
{
    double twips = readNumber(store, setting, key);
    if (twips < 0) {
        qCDebug(lcSettings) << setting << key << twips << "is negative; reads as 0";
        twips = 0;
    } else if (twips > maxPositionTwips) {
        qCWarning(lcSettings) << setting << key << twips << "is out of reach; reads as"
                              << maxPositionTwips;
        twips = maxPositionTwips;
    }
    return qRound(twips / twipsPerPixel);
}

float readSpeed(const SettingsStore& store)
{
    const double speed = readNumber(store, setting, u"Speed", QStringLiteral("88"));
    if (speed > 100 || speed < 0)
        qCWarning(lcSettings) << "Speed" << speed << "is out of 0 to 100";
    // As the file will hold it, so that a save and a load give the same value back.
    const QString stored = SettingsText::fromNumber(std::clamp(speed, 0.0, 100.0));
    return static_cast<float>(SettingsText::toNumber(stored));
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

QStringList readWorldTimes(const SettingsStore& store)
{
    const double stored = readNumber(store, wtt, u"Count");
    double count = NumberReading::roundHalfEven(stored);
    if (!(count >= 0)) {
        qCWarning(lcSettings) << "WTT Count" << stored << "is below 0; no entries";
        count = 0;
    } else if (count > maxEntries) {
        qCWarning(lcSettings) << "WTT Count" << stored << "is above" << maxEntries
                              << "; reading that many entries";
        count = maxEntries;
    }
    const int entries = static_cast<int>(count);
    QStringList list;
    list.reserve(entries);
    for (int entry = 1; entry <= entries; ++entry)
        list << storedText(store.read(wtt, itemKey(entry), QStringLiteral("+000Now"))).trimmed();
    qCDebug(lcSettings) << "world time list of" << entries << "entries";
    return list;
}

void writeWorldTimes(SettingsStore& store, const QStringList& list)
{
    const int entries = static_cast<int>(std::min<qsizetype>(list.size(), maxEntries));
    if (list.size() > maxEntries)
        qCWarning(lcSettings) << "world time list of" << list.size() << "entries; saving the first"
                              << entries;
    // Every item key past the new end goes, wherever the old Count stood.
    for (const QString& key : store.keys(wtt)) {
        if (itemNumber(key) > entries)
            store.remove(wtt, key);
    }
    store.write(wtt, u"Count", QString::number(entries));
    for (int entry = 1; entry <= entries; ++entry)
        store.write(wtt, itemKey(entry), list.at(entry - 1));
}

} // namespace

Settings loadSettings(const SettingsStore& store)
{
    Settings s;
    s.position.setY(readPixels(store, u"Top"));
    s.position.setX(readPixels(store, u"Left"));
    s.showWorldTime = readBool(store, setting, u"ShowWTT", false);
    s.useChimes = readBool(store, setting, u"UseChimes", true);
    s.lockPosition = readBool(store, setting, u"LockPos", false);
    s.onTop = readBool(store, setting, u"ontop", true);
    s.twelveHour = readBool(store, setting, u"AMPM", false);
    s.countChimes = readBool(store, setting, u"UseChimesCount", true);
    s.randomSkin = readBool(store, setting, u"RandomSkin", false);
    s.speed = readSpeed(store);
    s.skin = storedText(store.read(setting, u"Skin", s.skin));
    s.soundPack = storedText(store.read(setting, u"SoundPack", s.soundPack));
    s.worldTimes = readWorldTimes(store);
    s.scroll = readBool(store, wtt, u"Scroll", true);
    return s;
}

void saveSettings(SettingsStore& store, const Settings& s)
{
    using SettingsText::fromBool;
    using SettingsText::fromNumber;
    store.write(setting, u"Top", fromNumber(double(s.position.y()) * twipsPerPixel));
    store.write(setting, u"Left", fromNumber(double(s.position.x()) * twipsPerPixel));
    store.write(setting, u"Skin", s.skin);
    store.write(setting, u"SoundPack", s.soundPack);
    store.write(setting, u"UseChimes", fromBool(s.useChimes));
    store.write(setting, u"AMPM", fromBool(s.twelveHour));
    store.write(setting, u"UseChimesCount", fromBool(s.countChimes));
    store.write(setting, u"SysTrayIcon", fromBool(true)); // the tray icon is always shown
    store.write(setting, u"LockPos", fromBool(s.lockPosition));
    store.write(setting, u"ontop", fromBool(s.onTop));
    store.write(setting, u"Speed", fromNumber(s.speed));
    store.write(setting, u"RandomSkin", fromBool(s.randomSkin));
    store.write(setting, u"ShowWTT", fromBool(s.showWorldTime));
    store.write(wtt, u"Scroll", fromBool(s.scroll));
    writeWorldTimes(store, s.worldTimes);
    store.sync();
}
