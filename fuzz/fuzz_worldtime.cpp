// The world time list as the store gives it: LoadInfo reads section "WTT" alone, SaveInfo writes
// it back over the same store. Each input line is either "key=value" in "WTT" ("Count=3",
// "Item2=+060Paris", "Scroll=False") or a bare entry, stored as the next "Item<n>"; without a
// Count line, Count is the number of bare entries.

#include "FuzzSupport.h"
#include "SettingsFuzz.h"

#include "core/base/Clock.h"
#include "core/settings/SettingsStore.h"

namespace {

using Settings::WTT;

void writeLines(SettingsStore& store, const QByteArray& bytes)
{
    int entries = 0;
    bool counted = false;
    for (const QString& line : QString::fromUtf8(bytes).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0) {
            const QStringView key = QStringView(line).left(equals);
            counted = counted || key == u"Count";
            store.write(WTT, key, line.mid(equals + 1));
        } else {
            store.write(WTT, QStringLiteral("Item%1").arg(++entries), line);
        }
    }
    if (!counted)
        store.write(WTT, u"Count", QString::number(entries));
}

// The number of a key "Item<n>" as the list writes it (no leading zero), else 0.
int itemNumber(const QString& key)
{
    if (!key.startsWith(u"Item") || key.size() < 5 || key[4] == u'0')
        return 0;
    bool ok = false;
    const int n = key.mid(4).toInt(&ok);
    return ok && QString::number(n) == key.mid(4) ? n : 0;
}

void checkList(const SettingsStore& store, const QStringList& wtt)
{
    if (wtt.isEmpty() || !wtt[0].isEmpty())
        FuzzSupport::fail("slot 0 of the list holds an entry", wtt.value(0));
    if (wtt.size() - 1 > Settings::maxWttEntries)
        FuzzSupport::fail("more entries than the list's bound", QString::number(wtt.size() - 1));
    for (int i = 1; i < wtt.size(); ++i) {
        const std::optional<QString> stored = store.read(WTT, QStringLiteral("Item%1").arg(i));
        // Blanks around an entry and byte-order marks anywhere are not part of it.
        const QString expected
            = stored ? QString(*stored).remove(QChar(0xfeff)).trimmed() : QStringLiteral("+000Now");
        if (wtt[i] != expected)
            FuzzSupport::fail("an entry is not what the store holds",
                QStringLiteral("Item%1: \"%2\" read as \"%3\"").arg(i).arg(expected, wtt[i]));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = SettingsFuzz::freshFolder() + QStringLiteral("/Quarnet.conf");
    const FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(12, 0)));
    SettingsStore store(path, clock);
    writeLines(store, FuzzSupport::bytesOf(data, size));
    if (SettingsFuzz::longList(store))
        return -1;

    const Settings::WindowPositionTwips position = Settings::LoadWorldTimeInfo(store);
    checkList(store, SettingsFuzz::load(store)->state.WTT);
    const auto loaded = SettingsFuzz::checkRoundTrip(store, path);

    // After the save no entry key is left past the list's end, whatever Count said before.
    const int entries = int(loaded->state.WTT.size()) - 1;
    for (const QString& key : store.keys(WTT)) {
        if (itemNumber(key) > entries)
            FuzzSupport::fail("an entry past the end survived the save",
                QStringLiteral("%1 with %2 entries").arg(key).arg(entries));
    }

    // The window's own position goes through the same number forms: rounded on its first save
    // only.
    Settings::SaveWorldTimeInfo(store, position);
    const Settings::WindowPositionTwips second = Settings::LoadWorldTimeInfo(store);
    Settings::SaveWorldTimeInfo(store, second);
    const Settings::WindowPositionTwips third = Settings::LoadWorldTimeInfo(store);
    if (!SettingsFuzz::nearSingle(position.left, second.left)
        || !SettingsFuzz::nearSingle(position.top, second.top) || second.left != third.left
        || second.top != third.top)
        FuzzSupport::fail("the world time window moved on save",
            QStringLiteral("%1,%2 then %3,%4 then %5,%6")
                .arg(position.left)
                .arg(position.top)
                .arg(second.left)
                .arg(second.top)
                .arg(third.left)
                .arg(third.top));
    return 0;
}
