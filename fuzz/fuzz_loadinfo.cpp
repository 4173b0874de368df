// LoadInfo over arbitrary stored values, then SaveInfo and LoadInfo again: nothing may crash and
// nothing saved may read back differently. The first byte says how the rest becomes a store:
//   even: the rest is the settings file itself, as QSettings parses it;
//   odd:  the rest is "key=value" lines (a "[name]" line changes the section, "Setting" at
//         first), written as text, so any value reaches LoadInfo's conversions as it stands.

#include "FuzzSupport.h"
#include "SettingsFuzz.h"

#include "core/base/Clock.h"
#include "core/settings/SettingsStore.h"

#include <QFile>

namespace {

void writeLines(SettingsStore& store, const QByteArray& bytes)
{
    QString section = Settings::Setting;
    for (const QString& line : QString::fromUtf8(bytes).split(u'\n')) {
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            store.write(section, QStringView(line).left(equals), line.mid(equals + 1));
    }
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
    if (size == 0)
        return 0;
    const QByteArray rest = FuzzSupport::bytesOf(data + 1, size - 1);
    const QString path = SettingsFuzz::freshFolder() + QStringLiteral("/Quarnet.conf");
    const FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(12, 0)));
    if (data[0] % 2 == 0) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(rest) != rest.size())
            FuzzSupport::fail("cannot write the settings file", path);
        file.close();
        SettingsStore store(path, clock);
        if (SettingsFuzz::longList(store))
            return -1;
        SettingsFuzz::checkRoundTrip(store, path);
    } else {
        SettingsStore store(path, clock);
        writeLines(store, rest);
        if (SettingsFuzz::longList(store))
            return -1;
        SettingsFuzz::checkRoundTrip(store, path);
    }
    return 0;
}
