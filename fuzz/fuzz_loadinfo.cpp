// The settings over any stored text: load, save, load, save, load give back the first load
// exactly. An even first byte: the rest is the file. Odd: its lines are written through the store
// as they stand, "key=value" in the group of the last "[name]" line ("Setting" at first) and any
// other line the next world time entry (Count, unless given, is their number).

#include "FuzzSupport.h"
#include "core/base/Clock.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsText.h"

#include <QDebug>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeLines(SettingsStore& store, const QByteArray& bytes)
{
    QString group = QStringLiteral("Setting");
    int entries = 0;
    for (const QString& line : QString::fromUtf8(bytes).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (line.startsWith(u'[') && line.endsWith(u']'))
            group = line.mid(1, line.size() - 2);
        else if (equals > 0)
            store.write(group, QStringView(line).left(equals), line.mid(equals + 1));
        else if (!line.isEmpty())
            store.write(u"WTT", QStringLiteral("Item%1").arg(++entries), line);
    }
    if (!store.read(u"WTT", u"Count"))
        store.write(u"WTT", u"Count", QString::number(entries));
}

QString text(const Settings& s)
{
    QString out;
    QDebug(&out) << s.position << s.showWorldTime << s.useChimes << s.lockPosition << s.onTop
                 << s.twelveHour << s.countChimes << qSetRealNumberPrecision(9) << s.speed << s.skin
                 << s.soundPack << s.scroll << s.worldTimes;
    return out;
}

// From a copy: QSettings would hand this process what it wrote, not what the disk holds.
Settings loadFromDisk(const QString& path)
{
    if (!QFile::copy(path, path + QStringLiteral(".copy")))
        FuzzSupport::fail("the saved file cannot be copied", path);
    const FixedClock clock;
    return loadSettings(SettingsStore(path + QStringLiteral(".copy"), clock));
}

} // namespace

// A stored variant may claim a list of billions of entries; Qt asks for the memory, gets none and
// reads an empty list. The sanitizer refuses such a request before the fuzzer's own limit sees it.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=1900";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A folder per input: QSettings keeps what it read of a path for the whole process.
    const QTemporaryDir dir(FuzzSupport::tempPath() + QStringLiteral("/XXXXXX"));
    const QString folder = dir.path(), path = folder + QStringLiteral("/Quarnet.conf");
    if (size == 0 || !dir.isValid())
        return 0;
    const QByteArray rest = FuzzSupport::bytesOf(data + 1, size - 1);
    if (QFile file(path);
        data[0] % 2 == 0 && !(file.open(QIODevice::WriteOnly) && file.write(rest) == rest.size()))
        FuzzSupport::fail("cannot write the settings file", path);
    const FixedClock clock;
    SettingsStore store(path, clock);
    if (data[0] % 2 == 1)
        writeLines(store, rest);
    // Long lists cost seconds an input under the sanitizers; their bound is a unit test's.
    if (SettingsText::toNumber(store.read(u"WTT", u"Count", QString())) > 300)
        return -1;
    const Settings first = loadSettings(store);
    if (!(first.speed >= 0 && first.speed <= 100)
        || (first.skin + first.soundPack + first.worldTimes.join(u'|')).contains(QChar(0xfeff)))
        FuzzSupport::fail("a loaded value breaks its rule", text(first));
    const std::optional<QString> windowLeft = store.read(u"WTT", u"Left");
    saveSettings(store, first);
    if (store.read(u"WTT", u"Left") != windowLeft)
        FuzzSupport::fail("the world time window's own Left changed", text(first));
    for (const QString& key : store.keys(QStringLiteral("WTT"))) {
        bool number = false;
        const int entry = key.sliced(std::min<qsizetype>(4, key.size())).toInt(&number);
        if (number && key == QStringLiteral("Item%1").arg(entry) && entry > first.worldTimes.size())
            FuzzSupport::fail("an entry past the list's end survived the save", key);
    }
    const Settings second = loadFromDisk(path);
    {
        SettingsStore again(folder + QStringLiteral("/again.conf"), clock);
        saveSettings(again, second);
    }
    const Settings third = loadFromDisk(folder + QStringLiteral("/again.conf"));
    if (!(second == first) || !(third == first))
        FuzzSupport::fail("a setting changed on a save and load",
            text(first) + u'\n' + text(second) + u'\n' + text(third));
    return 0;
}
