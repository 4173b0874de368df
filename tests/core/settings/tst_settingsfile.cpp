// The load and save rules, one case a line of tests/data/settings/MANIFEST.
#include "SettingsTesting.h"

#include "core/settings/SaveCoalescer.h"
#include "core/settings/SettingsText.h"

#include <QLocale>
#include <QRegularExpression>

using namespace std::chrono_literals;
using Expect = QMultiMap<QString, QString>;

namespace {

QMap<QString, QString> summary(const Settings& s)
{
    const auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    return { { "Top", QString::number(s.position.y()) },
        { "Left", QString::number(s.position.x()) }, { "ShowWTT", b(s.showWorldTime) },
        { "UseChimes", b(s.useChimes) }, { "LockPos", b(s.lockPosition) }, { "ontop", b(s.onTop) },
        { "AMPM", b(s.twelveHour) }, { "UseChimesCount", b(s.countChimes) },
        { "Speed", SettingsText::fromNumber(s.speed) }, { "Skin", s.skin },
        { "SoundPack", s.soundPack }, { "Scroll", b(s.scroll) },
        { "Count", QString::number(s.worldTimes.size()) }, { "Items", s.worldTimes.join(u'|') },
        { "Last", s.worldTimes.value(s.worldTimes.size() - 1) } };
}

} // namespace

class TstSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { g_print = qInstallMessageHandler(keepWarning); }
    void cleanup() { QLocale::setDefault(QLocale::c()), g_warnings.clear(); }
    void rules_data();
    void rules();
    void burstSavedOnce();
};

void TstSettingsFile::rules_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<Expect>("expect");
    QFile manifest(QFINDTESTDATA("../../data/settings/MANIFEST"));
    QVERIFY(manifest.open(QIODevice::ReadOnly));
    static const QRegularExpression token(R"re((\S+?)=("[^"]*"|\S*))re");
    for (const QByteArray& line : manifest.readAll().split('\n')) {
        const QList<QByteArray> cells = line.split('|');
        if (line.startsWith('#') || cells.size() < 3)
            continue;
        Expect expect;
        for (const auto& match :
            token.globalMatch(QString::fromUtf8(line.mid(cells[0].size() + cells[1].size() + 2))))
            expect.insert(match.captured(1), match.captured(2).remove(u'"'));
        QTest::newRow(cells[0].trimmed().constData()) << cells[1].trimmed() << expect;
    }
}

void TstSettingsFile::rules()
{
    QFETCH(QByteArray, stored);
    QFETCH(Expect, expect);
    const QByteArray bytes = stored == "-" ? QByteArray()
        : stored.startsWith('@')
        ? contents(QFINDTESTDATA(QString("../../data/") + stored.mid(1)))
        : QByteArray::fromPercentEncoding(QByteArray(stored).replace("\\n", "\n"));
    QLocale::setDefault(QLocale(expect.value("locale", "C")));
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    if (QFile file(path); stored != "-")
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    const FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(18, 7, 5)));
    Settings loaded, saved;
    {
        SettingsStore store(path, clock);
        saved = loaded = loadSettings(store);
        QCOMPARE(contents(path), bytes); // loading writes nothing
        if (expect.contains("keep"))
            saved.worldTimes.resize(expect.value("keep").toInt());
        saveSettings(store, saved);
        saveSettings(store, saved); // the second save keeps no second copy
    }
    const QStringList kept = QDir(dir.path()).entryList({ "*.damaged-*" }, QDir::Files);
    QCOMPARE(kept.size(), expect.value("damaged") == "yes" ? 1 : 0);
    QVERIFY(kept.isEmpty() || contents(dir.filePath(kept[0])) == bytes);
    const QSettings file(path, QSettings::IniFormat);
    for (const auto& [key, value] : expect.asKeyValueRange()) {
        if (key.contains(u'/'))
            QCOMPARE(file.value(key, "-").toString(), value);
        else if (!QStringList { "damaged", "keep", "locale", "warn" }.contains(key))
            QCOMPARE(summary(loaded).value(key, "(no such key)"), value);
    }
    // Loaded, saved and loaded again, nothing changes: the first load holds what a file can.
    for (const QString& next : { path, dir.filePath("again.conf") }) {
        if (SettingsStore again(next, clock); next != path)
            saveSettings(again, saved);
        const Settings reloaded = loadCopy(next);
        QCOMPARE(summary(reloaded), summary(saved));
        QVERIFY(reloaded == saved);
    }
    for (const QString& text : expect.values("warn")) // each warning listed, and no other
        QVERIFY2(g_warnings.removeIf([&](const QString& w) { return w.contains(text); }) > 0,
            qPrintable(text));
    QVERIFY2(g_warnings.isEmpty(), qPrintable(g_warnings.join('\n')));
}

// A burst of changes is saved once, a moment after its last one, or at once on flush().
void TstSettingsFile::burstSavedOnce()
{
    int saves = 0;
    SaveCoalescer coalescer([&] { ++saves; }, 10s), quick([&] { ++saves; }, 1ms);
    coalescer.requestSave();
    QTest::qWait(200);
    coalescer.requestSave(); // starts the delay again
    QVERIFY(coalescer.remainingTimeMs() > 9850);
    coalescer.flush();
    coalescer.flush();
    quick.requestSave();
    QTRY_COMPARE(saves, 2);
}

QTEST_GUILESS_MAIN(TstSettingsFile)
#include "tst_settingsfile.moc"
