// Any stored settings, loaded, saved and loaded, then saved to a new file and loaded, give back the
// first load exactly. An even first byte: the rest is the file. Odd: its lines are written through
// the store as they stand, "group/key=value" as such, any other line with "=" not at all, and any
// line without one as the next world time entry (Count, unless given, is their number).
#include "FuzzSupport.h"
#include "core/base/Clock.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsText.h"

#include <QDebug>
#include <QFile>
#include <QTemporaryDir>

// A stored variant may claim a list of billions of entries; Qt asks for the memory, gets none and
// reads an empty list. The sanitizer refuses such a request before the fuzzer's own limit sees it.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=1900";
}

static QString text(const Settings& s)
{
    QString out;
    QDebug(&out) << s.position << s.showWorldTime << s.useChimes << s.lockPosition << s.onTop
                 << s.twelveHour << s.countChimes << qSetRealNumberPrecision(9) << s.speed << s.skin
                 << s.soundPack << s.scroll << s.worldTimes;
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzSupport::initQt();
    // A folder per input: QSettings keeps what it read of a path for the whole process.
    const QTemporaryDir dir(FuzzSupport::tempPath() + QStringLiteral("/XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("Quarnet.conf"));
    if (size == 0 || !dir.isValid())
        return 0;
    const QByteArray rest = FuzzSupport::bytesOf(data + 1, size - 1);
    if (QFile file(path);
        data[0] % 2 == 0 && !(file.open(QIODevice::WriteOnly) && file.write(rest) == rest.size()))
        FuzzSupport::fail("cannot write the settings file", path);
    const FixedClock clock;
    SettingsStore store(path, clock);
    int entries = 0;
    for (const QString& line : data[0] % 2 ? QString::fromUtf8(rest).split(u'\n') : QStringList()) {
        // The clock writes only plain keys, one level below a section.
        const qsizetype equals = line.indexOf(u'='), slash = line.indexOf(u'/');
        if (equals > 0 && slash > 0 && slash < equals - 1
            && !QStringView(line).sliced(slash + 1, equals - slash - 1).contains(u'/'))
            store.write(QStringView(line).left(slash),
                QStringView(line).sliced(slash + 1, equals - slash - 1), line.mid(equals + 1));
        else if (!line.isEmpty() && equals < 0)
            store.write(u"WTT", QStringLiteral("Item%1").arg(++entries), line);
    }
    if (entries > 0 && !store.read(u"WTT", u"Count"))
        store.write(u"WTT", u"Count", QString::number(entries));
    // Long lists cost seconds an input under the sanitizers; their bound is a unit test's.
    if (SettingsText::toNumber(store.read(u"WTT", u"Count", QString())) > 300)
        return -1;
    const Settings first = loadSettings(store);
    if (!(first.speed >= 0 && first.speed <= 100))
        FuzzSupport::fail("a loaded speed is out of 0 to 100", text(first));
    saveSettings(store, first);
    SettingsStore again(dir.filePath(QStringLiteral("again.conf")), clock);
    for (const SettingsStore* saved : { &store, &again }) {
        // Read from a copy: QSettings would hand this process what it wrote, not what is on disk.
        const QString copy = saved->fileName() + QStringLiteral(".copy");
        if (!QFile::copy(saved->fileName(), copy))
            FuzzSupport::fail("the saved file cannot be copied", copy);
        const Settings loaded = loadSettings(SettingsStore(copy, clock));
        if (!(loaded == first))
            FuzzSupport::fail("a setting changed on a save and load",
                text(first) + u'\n' + text(loaded) + u'\n' + saved->fileName());
        saveSettings(again, loaded);
    }
    return 0;
}
