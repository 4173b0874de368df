#include "SettingsFuzz.h"

#include "FuzzSupport.h"

#include "core/base/Clock.h"
#include "core/text/NumberReading.h"
#include "core/settings/SettingsStore.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace SettingsFuzz {

namespace {

QString text(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

// Below the smallest normal float only an absolute step is left.
bool nearSingle(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::fabs(a) + 2e-38;
}

std::unique_ptr<Loaded> load(const SettingsStore& store)
{
    auto loaded = std::make_unique<Loaded>();
    Settings::LoadInfo(store, loaded->state, loaded->window);
    return loaded;
}

QString differences(const Loaded& a, const Loaded& b, bool exact)
{
    QStringList found;
    const auto number = [&](const char* name, double x, double y) {
        if (exact ? x != y : !nearSingle(x, y))
            found
                << QStringLiteral("%1: %2 then %3").arg(name).arg(x, 0, 'g', 17).arg(y, 0, 'g', 17);
    };
    const auto flag = [&](const char* name, bool x, bool y) {
        if (x != y)
            found << QStringLiteral("%1: %2 then %3").arg(name, text(x), text(y));
    };
    const auto words = [&](const char* name, const QString& x, const QString& y) {
        if (x != y)
            found << QStringLiteral("%1: \"%2\" then \"%3\" (UTF-8 %4 then %5)")
                         .arg(name, x, y, QString::fromLatin1(x.toUtf8().toHex(' ')),
                             QString::fromLatin1(y.toUtf8().toHex(' ')));
    };
    const HorolanState& s = a.state;
    const HorolanState& t = b.state;
    number("Top", a.window.top, b.window.top);
    number("Left", a.window.left, b.window.left);
    number("Speed", s.Speed, t.Speed);
    flag("ShowWTT", a.window.wttVisible, b.window.wttVisible);
    flag("UseChimes", s.UseChimes, t.UseChimes);
    flag("UseChimesCount", s.UseChimesCount, t.UseChimesCount);
    flag("LockPos", s.LockPos, t.LockPos);
    flag("ontop", s.ontop, t.ontop);
    flag("AMPM", s.skin.AMPM, t.skin.AMPM);
    flag("SysTrayIcon", s.SysTrayIcon, t.SysTrayIcon);
    flag("Scroll", s.Scroll, t.Scroll);
    words("Skin", s.CurrentSkin, t.CurrentSkin);
    words("SoundPack", s.CurrentSP, t.CurrentSP);
    if (s.WTT.size() != t.WTT.size())
        found << QStringLiteral("WTT: %1 then %2 entries")
                     .arg(s.WTT.size() - 1)
                     .arg(t.WTT.size() - 1);
    else {
        for (qsizetype i = 0; i < s.WTT.size(); ++i)
            words(qPrintable(QStringLiteral("WTT item %1").arg(i)), s.WTT[i], t.WTT[i]);
    }
    return found.join(u'\n');
}

bool longList(const SettingsStore& store)
{
    const std::optional<QString> count = store.read(Settings::WTT, u"Count");
    return count
        && NumberReading::roundHalfEven(NumberReading::leadingNumber(*count)) > maxFuzzEntries;
}

QString freshFolder()
{
    static int number = 0;
    QDir base(FuzzSupport::tempPath());
    if (number > 0)
        QDir(base.filePath(QString::number(number))).removeRecursively();
    ++number;
    const QString name = QString::number(number);
    if (!base.mkpath(name))
        FuzzSupport::fail("cannot make a folder", base.filePath(name));
    return base.filePath(name);
}

namespace {

// Qt keeps a file it wrote in memory and does not parse it again; a copy under another name is
// read from the disk.
std::unique_ptr<Loaded> loadCopy(const QString& filePath, const Clock& clock)
{
    const QString copy = filePath + QStringLiteral(".copy");
    QFile::remove(copy);
    if (!QFile::copy(filePath, copy))
        FuzzSupport::fail("the saved settings file cannot be copied", filePath);
    const SettingsStore store(copy, clock);
    return load(store);
}

} // namespace

std::unique_ptr<Loaded> checkRoundTrip(SettingsStore& store, const QString& filePath)
{
    const FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(12, 0)));
    std::unique_ptr<Loaded> first = load(store);
    Settings::SaveInfo(store, first->state, first->window);
    const std::unique_ptr<Loaded> second = loadCopy(filePath, clock);
    if (const QString diff = differences(*first, *second, false); !diff.isEmpty())
        FuzzSupport::fail("a setting changed from load to save and load", diff);

    const QString againPath = filePath + QStringLiteral(".again");
    {
        SettingsStore again(againPath, clock);
        Settings::SaveInfo(again, second->state, second->window);
    }
    const std::unique_ptr<Loaded> third = loadCopy(againPath, clock);
    if (const QString diff = differences(*second, *third, true); !diff.isEmpty())
        FuzzSupport::fail("a saved setting changed on its second save and load", diff);
    return first;
}

} // namespace SettingsFuzz
