#include "core/settings/SettingsFile.h"

#include "core/base/Logging.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsText.h"
#include "core/text/NumberReading.h"

#include <QTimeZone>

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

int readPixels(const SettingsStore& store, QStringView key, const QString& section = setting)
{
    double twips = readNumber(store, section, key);
    if (twips < 0) {
        qCDebug(lcSettings) << section << key << twips << "is negative; reads as 0";
        twips = 0;
    } else if (twips > maxPositionTwips) {
        qCWarning(lcSettings) << section << key << twips << "is out of reach; reads as"
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

QString zoneKey(int entry)
{
    return QStringLiteral("Zone") + QString::number(entry);
}

// The entry number of a key prefix + decimal number without leading zeros, else 0.
int entryNumber(QStringView key, QStringView prefix)
{
    const qsizetype n = prefix.size();
    if (!key.startsWith(prefix) || key.size() <= n || key[n] == u'0')
        return 0;
    bool ok = false;
    const int entry = key.sliced(n).toInt(&ok);
    return ok && key.sliced(n).size() == QString::number(entry).size() ? entry : 0;
}

// An entry the zone time cannot read from its first four characters still loads: its offset
// reads as their leading number, and it is saved back as it was.
void checkEntry(int number, const WorldTimeEntry& entry)
{
    const QString& t = entry.text;
    const bool offsetOk = t.size() >= 4 && (t[0] == u'+' || t[0] == u'-') && t[1].isDigit()
        && t[2].isDigit() && t[3].isDigit();
    if (!offsetOk)
        qCInfo(lcWorldTime) << "WTT Item" << number << t.left(40)
                            << "does not start with a sign and three digits; offset reads as"
                            << NumberReading::leadingNumber(QStringView(t).left(4));
    if (!entry.zone.isEmpty() && !QTimeZone::isTimeZoneIdAvailable(entry.zone.toUtf8()))
        qCInfo(lcWorldTime) << "WTT Zone" << number << entry.zone.left(40)
                            << "is no zone here; the entry's own offset is used";
}

QList<WorldTimeEntry> readWorldTimes(const SettingsStore& store)
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
    QList<WorldTimeEntry> list;
    list.reserve(entries);
    for (int entry = 1; entry <= entries; ++entry) {
        list.append(
            { storedText(store.read(wtt, itemKey(entry), QStringLiteral("+000Now"))).trimmed(),
                storedText(store.read(wtt, zoneKey(entry), QString())).trimmed() });
        checkEntry(entry, list.back());
    }
    qCDebug(lcSettings) << "world time list of" << entries << "entries";
    return list;
}

void writeWorldTimes(SettingsStore& store, const QList<WorldTimeEntry>& list)
{
    const int entries = static_cast<int>(std::min<qsizetype>(list.size(), maxEntries));
    if (list.size() > maxEntries)
        qCWarning(lcSettings) << "world time list of" << list.size() << "entries; saving the first"
                              << entries;
    // Every item key past the new end goes, wherever the old Count stood, and every zone key of
    // an entry that names no zone now.
    for (const QString& key : store.keys(wtt)) {
        const int zoned = entryNumber(key, u"Zone");
        if (entryNumber(key, u"Item") > entries
            || (zoned && (zoned > entries || list.at(zoned - 1).zone.isEmpty())))
            store.remove(wtt, key);
    }
    store.write(wtt, u"Count", QString::number(entries));
    for (int entry = 1; entry <= entries; ++entry) {
        const WorldTimeEntry& e = list.at(entry - 1);
        store.write(wtt, itemKey(entry), e.text);
        if (!e.zone.isEmpty())
            store.write(wtt, zoneKey(entry), e.zone);
    }
}

// Quiet hours are on only with both times readable: a damaged one never silences the clock.
QuietHours readQuietHours(const SettingsStore& store)
{
    QuietHours quiet;
    const bool on = readBool(store, setting, u"QuietHours", false);
    const QString fromText = store.read(setting, u"QuietFrom", QuietHours::timeText(quiet.from));
    const QString toText = store.read(setting, u"QuietTo", QuietHours::timeText(quiet.to));
    const std::optional<QTime> from = QuietHours::readTime(fromText);
    const std::optional<QTime> to = QuietHours::readTime(toText);
    if (!from || !to) {
        qCWarning(lcSettings) << "quiet hours" << fromText.left(20) << "to" << toText.left(20)
                              << "are not HH:MM times; quiet hours are off";
        return quiet;
    }
    return QuietHours { on, *from, *to };
}

// A damaged volume must not silence the chimes: it reads as full.
int readVolume(const SettingsStore& store)
{
    const QString text = store.read(setting, u"ChimeVolume", QStringLiteral("100"));
    if (!NumberReading::startsWithNumber(text)) {
        qCWarning(lcSettings) << "ChimeVolume" << text.left(40) << "is not a number; reads as 100";
        return 100;
    }
    const double volume = SettingsText::toNumber(text);
    if (volume < 0 || volume > 100)
        qCWarning(lcSettings) << "ChimeVolume" << volume << "is out of 0 to 100";
    return qRound(std::clamp(volume, 0.0, 100.0));
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
    s.worldTimePosition = { readPixels(store, u"Left", wtt), readPixels(store, u"Top", wtt) };
    s.quietHours = readQuietHours(store);
    s.quietWhenLocked = readBool(store, setting, u"QuietWhenLocked", true);
    s.quietWhenDoNotDisturb = readBool(store, setting, u"QuietWhenDoNotDisturb", true);
    s.quietWhenFullScreen = readBool(store, setting, u"QuietWhenFullScreen", true);
    s.chimeVolume = readVolume(store);
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
    store.write(setting, u"QuietHours", fromBool(s.quietHours.on));
    store.write(setting, u"QuietFrom", QuietHours::timeText(s.quietHours.from));
    store.write(setting, u"QuietTo", QuietHours::timeText(s.quietHours.to));
    store.write(setting, u"QuietWhenLocked", fromBool(s.quietWhenLocked));
    store.write(setting, u"QuietWhenDoNotDisturb", fromBool(s.quietWhenDoNotDisturb));
    store.write(setting, u"QuietWhenFullScreen", fromBool(s.quietWhenFullScreen));
    store.write(setting, u"ChimeVolume", QString::number(s.chimeVolume));
    store.write(wtt, u"Scroll", fromBool(s.scroll));
    writeWorldTimes(store, s.worldTimes);
    store.write(wtt, u"Top", fromNumber(double(s.worldTimePosition.y()) * twipsPerPixel));
    store.write(wtt, u"Left", fromNumber(double(s.worldTimePosition.x()) * twipsPerPixel));
    store.sync();
}
