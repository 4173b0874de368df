#include "core/settings/SettingsTable.h"

#include "core/base/Logging.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsText.h"
#include "core/text/NumberReading.h"

#include <QTimeZone>

#include <algorithm>

namespace SettingsTable {

namespace {

constexpr QStringView setting = u"Setting";
constexpr QStringView wtt = u"WTT";

const Row table[] = {
    { Setting::Position, setting, u"Top", Twips { &Settings::position, Qt::Vertical } },
    { Setting::Position, setting, u"Left", Twips { &Settings::position, Qt::Horizontal } },
    { Setting::Skin, setting, u"Skin", Name { &Settings::skin, u"< none >", true } },
    { Setting::SoundPack, setting, u"SoundPack",
        Name { &Settings::soundPack, u"< skin >", false } },
    { Setting::UseChimes, setting, u"UseChimes", Flag { &Settings::useChimes, true } },
    { Setting::TwelveHour, setting, u"AMPM", Flag { &Settings::twelveHour, false } },
    { Setting::CountChimes, setting, u"UseChimesCount", Flag { &Settings::countChimes, true } },
    { std::nullopt, setting, u"SysTrayIcon", Constant { u"True" } },
    { Setting::LockPosition, setting, u"LockPos", Flag { &Settings::lockPosition, false } },
    { Setting::OnTop, setting, u"ontop", Flag { &Settings::onTop, true } },
    { Setting::Speed, setting, u"Speed", Fraction { &Settings::speed, 88, 0, 100 } },
    { Setting::RandomSkin, setting, u"RandomSkin", Flag { &Settings::randomSkin, false } },
    { Setting::ShowWorldTime, setting, u"ShowWTT", Flag { &Settings::showWorldTime, false } },
    { Setting::QuietHours, setting, u"QuietHours",
        QuietSpan { &Settings::quietHours, u"QuietFrom", u"QuietTo" } },
    { Setting::QuietWhenLocked, setting, u"QuietWhenLocked",
        Flag { &Settings::quietWhenLocked, true } },
    { Setting::QuietWhenDoNotDisturb, setting, u"QuietWhenDoNotDisturb",
        Flag { &Settings::quietWhenDoNotDisturb, true } },
    { Setting::QuietWhenFullScreen, setting, u"QuietWhenFullScreen",
        Flag { &Settings::quietWhenFullScreen, true } },
    { Setting::ChimeVolume, setting, u"ChimeVolume", Percent { &Settings::chimeVolume, 100 } },
    { Setting::ClickThrough, setting, u"ClickThrough", Flag { &Settings::clickThrough, false } },
    // Below a fifth the clock is as good as lost.
    { Setting::Opacity, setting, u"Opacity", Percent { &Settings::opacity, 100, 20 } },
    { Setting::Scroll, wtt, u"Scroll", Flag { &Settings::scroll, true } },
    { Setting::WorldTimes, wtt, u"Count",
        WorldTimeList { &Settings::worldTimes, u"Item", u"Zone" } },
    { Setting::WorldTimePosition, wtt, u"Top",
        Twips { &Settings::worldTimePosition, Qt::Vertical } },
    { Setting::WorldTimePosition, wtt, u"Left",
        Twips { &Settings::worldTimePosition, Qt::Horizontal } },
};

constexpr int twipsPerPixel = 15;
// The list's bound is a 16-bit number.
constexpr int maxEntries = 32767;
// The largest position read: one that still fits 16-bit pixel coordinates.
constexpr double maxPositionTwips = 32767.0 * twipsPerPixel;

using SettingsText::fromBool;
using SettingsText::fromNumber;

QString noBom(QString text)
{
    return text.remove(QChar(0xfeff));
}

// The leading number of a stored value; text that starts with none reads as 0, with a warning.
std::optional<double> number(const SettingsStore& store, const Row& row)
{
    const std::optional<QString> text = store.read(row.section, row.key);
    if (!text)
        return std::nullopt;
    if (!NumberReading::startsWithNumber(*text))
        qCWarning(lcSettings) << row.section << row.key << text->left(40)
                              << "is not a number; reads as 0";
    return SettingsText::toNumber(*text);
}

std::optional<bool> flag(const SettingsStore& store, QStringView section, QStringView key)
{
    const std::optional<QString> text = store.read(section, key);
    if (!text)
        return std::nullopt;
    const bool value = SettingsText::toBool(*text);
    if (!value && text->compare(u"false", Qt::CaseInsensitive) != 0)
        qCWarning(lcSettings) << section << key << *text << "is not a boolean; reads as false";
    return value;
}

int& coordinate(QPoint& point, Qt::Orientation axis)
{
    return axis == Qt::Horizontal ? point.rx() : point.ry();
}

int coordinateOf(QPoint point, Qt::Orientation axis)
{
    return axis == Qt::Horizontal ? point.x() : point.y();
}

QString entryKey(QStringView prefix, int entry)
{
    return prefix.toString() + QString::number(entry);
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

// Each form: its default into the member, the member from the store, the member to the store.
struct Reset {
    Settings& s;
    void operator()(const Flag& f) const { s.*f.member = f.fallback; }
    void operator()(const Fraction& f) const { s.*f.member = f.fallback; }
    void operator()(const Percent& f) const { s.*f.member = f.fallback; }
    void operator()(const Twips& f) const { coordinate(s.*f.member, f.axis) = 0; }
    void operator()(const Name& f) const { s.*f.member = f.fallback.toString(); }
    void operator()(const QuietSpan& f) const { s.*f.member = QuietHours {}; }
    void operator()(const WorldTimeList& f) const { (s.*f.member).clear(); }
    void operator()(const Constant&) const { }
};

struct Load {
    const SettingsStore& store;
    const Row& row;
    Settings& s;

    void operator()(const Flag& f) const
    {
        if (const std::optional<bool> value = flag(store, row.section, row.key))
            s.*f.member = *value;
    }
    void operator()(const Fraction& f) const
    {
        const std::optional<double> value = number(store, row);
        if (!value)
            return;
        if (*value > f.high || *value < f.low)
            qCWarning(lcSettings) << row.key << *value << "is out of" << f.low << "to" << f.high;
        // As the file will hold it, so that a save and a load give the same value back.
        const QString stored = fromNumber(std::clamp(*value, f.low, f.high));
        s.*f.member = static_cast<float>(SettingsText::toNumber(stored));
    }
    void operator()(const Percent& f) const
    {
        const std::optional<QString> text = store.read(row.section, row.key);
        if (!text)
            return;
        if (!NumberReading::startsWithNumber(*text)) {
            qCWarning(lcSettings) << row.key << text->left(40) << "is not a number; reads as"
                                  << f.fallback;
            s.*f.member = f.fallback;
            return;
        }
        const double value = SettingsText::toNumber(*text);
        if (value < f.low || value > 100)
            qCWarning(lcSettings) << row.key << value << "is out of" << f.low << "to 100";
        s.*f.member = qRound(std::clamp(value, double(f.low), 100.0));
    }
    void operator()(const Twips& f) const
    {
        double twips = number(store, row).value_or(0);
        if (twips < 0) {
            qCDebug(lcSettings) << row.section << row.key << twips << "is negative; reads as 0";
            twips = 0;
        } else if (twips > maxPositionTwips) {
            qCWarning(lcSettings) << row.section << row.key << twips << "is out of reach; reads as"
                                  << maxPositionTwips;
            twips = maxPositionTwips;
        }
        coordinate(s.*f.member, f.axis) = qRound(twips / twipsPerPixel);
    }
    void operator()(const Name& f) const
    {
        if (const std::optional<QString> text = store.read(row.section, row.key))
            s.*f.member
                = text->isEmpty() && f.emptyIsDefault ? f.fallback.toString() : noBom(*text);
    }
    void operator()(const QuietSpan& f) const
    {
        const QuietHours fallback;
        const bool on = flag(store, row.section, row.key).value_or(fallback.on);
        const QString fromText
            = store.read(row.section, f.fromKey, QuietHours::timeText(fallback.from));
        const QString toText = store.read(row.section, f.toKey, QuietHours::timeText(fallback.to));
        const std::optional<QTime> from = QuietHours::readTime(fromText);
        const std::optional<QTime> to = QuietHours::readTime(toText);
        if (!from || !to) {
            qCWarning(lcSettings) << "quiet hours" << fromText.left(20) << "to" << toText.left(20)
                                  << "are not HH:MM times; quiet hours are off";
            s.*f.member = fallback;
            return;
        }
        s.*f.member = QuietHours { on, *from, *to };
    }
    void operator()(const WorldTimeList& f) const
    {
        const double stored = number(store, row).value_or(0);
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
        QList<WorldTimeEntry>& list = s.*f.member;
        list.clear();
        list.reserve(entries);
        for (int entry = 1; entry <= entries; ++entry) {
            list.append({ noBom(store.read(row.section, entryKey(f.itemKey, entry),
                                    QStringLiteral("+000Now")))
                              .trimmed(),
                noBom(store.read(row.section, entryKey(f.zoneKey, entry), QString())).trimmed() });
            checkEntry(entry, list.back());
        }
        qCDebug(lcSettings) << "world time list of" << entries << "entries";
    }
    void operator()(const Constant&) const { }
};

struct Save {
    SettingsStore& store;
    const Row& row;
    const Settings& s;

    void write(const QString& text) const { store.write(row.section, row.key, text); }
    void operator()(const Flag& f) const { write(fromBool(s.*f.member)); }
    void operator()(const Fraction& f) const { write(fromNumber(s.*f.member)); }
    void operator()(const Percent& f) const { write(QString::number(s.*f.member)); }
    void operator()(const Twips& f) const
    {
        write(fromNumber(double(coordinateOf(s.*f.member, f.axis)) * twipsPerPixel));
    }
    void operator()(const Name& f) const { write(s.*f.member); }
    void operator()(const QuietSpan& f) const
    {
        const QuietHours& quiet = s.*f.member;
        write(fromBool(quiet.on));
        store.write(row.section, f.fromKey, QuietHours::timeText(quiet.from));
        store.write(row.section, f.toKey, QuietHours::timeText(quiet.to));
    }
    void operator()(const WorldTimeList& f) const
    {
        const QList<WorldTimeEntry>& list = s.*f.member;
        const int entries = static_cast<int>(std::min<qsizetype>(list.size(), maxEntries));
        if (list.size() > maxEntries)
            qCWarning(lcSettings) << "world time list of" << list.size()
                                  << "entries; saving the first" << entries;
        // Every item key past the new end goes, wherever the old count stood, and every zone key
        // of an entry that names no zone now.
        for (const QString& key : store.keys(row.section)) {
            const int zoned = entryNumber(key, f.zoneKey);
            if (entryNumber(key, f.itemKey) > entries
                || (zoned && (zoned > entries || list.at(zoned - 1).zone.isEmpty())))
                store.remove(row.section, key);
        }
        write(QString::number(entries));
        for (int entry = 1; entry <= entries; ++entry) {
            const WorldTimeEntry& e = list.at(entry - 1);
            store.write(row.section, entryKey(f.itemKey, entry), e.text);
            if (!e.zone.isEmpty())
                store.write(row.section, entryKey(f.zoneKey, entry), e.zone);
        }
    }
    void operator()(const Constant& f) const { write(f.text.toString()); }
};

// The address of the member a form fills in a Settings, or null.
struct MemberAt {
    const Settings& s;
    template <typename Form> const void* operator()(const Form& f) const
    {
        if constexpr (requires { f.member; })
            return &(s.*f.member);
        else
            return nullptr;
    }
};

} // namespace

std::span<const Row> rows()
{
    return table;
}

void reset(Settings& settings)
{
    for (const Row& row : table)
        std::visit(Reset { settings }, row.form);
}

void load(const SettingsStore& store, Settings& settings)
{
    for (const Row& row : table)
        std::visit(Load { store, row, settings }, row.form);
}

void save(SettingsStore& store, const Settings& settings)
{
    for (const Row& row : table)
        std::visit(Save { store, row, settings }, row.form);
}

const Settings& probe()
{
    static const Settings settings;
    return settings;
}

Setting settingAt(const void* memberOfProbe)
{
    for (const Row& row : table)
        if (std::visit(MemberAt { probe() }, row.form) == memberOfProbe)
            return *row.setting;
    qFatal("a member of Settings without a row in SettingsTable");
}

} // namespace SettingsTable

Settings::Settings()
{
    SettingsTable::reset(*this);
}
