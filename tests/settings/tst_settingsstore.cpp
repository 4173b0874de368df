#include "settings/SettingsStore.h"

#include "common/Clock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

} // namespace

class TstSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void userStoreLocation();
    void storedText_data();
    void storedText();
    void damagedFileKeptAside_data();
    void damagedFileKeptAside();
    void healthyFileNotCopied();
    void writeFailureReported();

private:
    FixedClock m_clock { QDateTime(QDate(2026, 12, 5), QTime(18, 7, 5)) };
};

void TstSettingsStore::userStoreLocation()
{
    SettingsStore store(m_clock);
    QCOMPARE(store.fileName(),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Quarnet.conf");
}

// Hand-edited or foreign values always come back as text.
void TstSettingsStore::storedText_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("Key=+060Paris") << "+060Paris";
    QTest::newRow("unquoted comma") << QByteArray("Key=+330Delhi, India") << "+330Delhi, India";
    QTest::newRow("quoted blanks") << QByteArray("Key=\"  x  \"") << "  x  ";
    QTest::newRow("empty") << QByteArray("Key=") << "";
    QTest::newRow("byte array") << QByteArray("Key=@ByteArray(87.5)") << "87.5";
    QTest::newRow("variant int") << QByteArray("Key=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)") << "5";
    QTest::newRow("variant list, huge count")
        << QByteArray("Key=@Variant(\\0\\0\\0\\v\\xff\\xff\\xff\\xff)") << "";
    QTest::newRow("variant garbage") << QByteArray("Key=@Variant(\\xff\\xff)") << "";
    QTest::newRow("invalid") << QByteArray("Key=@Invalid()") << "";
    QTest::newRow("huge") << "Key=" + QByteArray(1 << 20, '7') << QString(1 << 20, u'7');
}

void TstSettingsStore::storedText()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    writeFile(path, "[Setting]\n" + line + "\n");
    const SettingsStore store(path, m_clock);
    QCOMPARE(store.read(u"Setting", u"Key", "fallback"), text);
    QCOMPARE(store.read(u"Setting", u"Missing", "fallback"), QString("fallback"));
}

void TstSettingsStore::damagedFileKeptAside_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("speed");
    QTest::newRow("unterminated section") << "unterminated-section.conf"
                                          << "42";
    QTest::newRow("binary garbage") << "binary-garbage.conf"
                                    << "";
}

void TstSettingsStore::damagedFileKeptAside()
{
    QFETCH(QString, fixture);
    QFETCH(QString, speed);
    const QString source = QFINDTESTDATA("../data/settings/" + fixture);
    QVERIFY(!source.isEmpty());
    QCOMPARE(QSettings(source, QSettings::IniFormat).status(), QSettings::FormatError);
    const QByteArray original = contents(source);

    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    QVERIFY(QFile::copy(source, path));
    const QString kept = path + ".damaged-20261205-180705";
    {
        SettingsStore store(path, m_clock);
        QCOMPARE(store.read(u"Setting", u"Speed", {}), speed); // what could be parsed is kept
        QVERIFY(!QFile::exists(kept)); // reading alone copies nothing

        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression("could not be read completely; kept as"));
        store.write(u"Setting", u"Speed", "50");
        QCOMPARE(contents(kept), original);
        QVERIFY(store.sync());
        store.write(u"Setting", u"Speed", "60");
        QVERIFY(store.sync());
    }
    QCOMPARE(QDir(dir.path()).entryList({ "*.damaged-*" }, QDir::Files).size(), 1);
    QCOMPARE(QSettings(path, QSettings::IniFormat).status(), QSettings::NoError);
    QCOMPARE(SettingsStore(path, m_clock).read(u"Setting", u"Speed", {}), QString("60"));
}

void TstSettingsStore::healthyFileNotCopied()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarnet.conf");
    writeFile(path, "[Setting]\nSpeed=42\n");
    SettingsStore store(path, m_clock);
    store.write(u"Setting", u"Speed", "43");
    QVERIFY(store.sync());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "Quarnet.conf" });
}

void TstSettingsStore::writeFailureReported()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("file"), "not a folder");
    SettingsStore store(dir.filePath("file/Quarnet.conf"), m_clock);
    store.write(u"Setting", u"Speed", "43");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not write the settings"));
    QVERIFY(!store.sync());
}

QTEST_GUILESS_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
