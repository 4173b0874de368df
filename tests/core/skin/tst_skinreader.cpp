#include "core/skin/SkinReader.h"
#include "core/skin/TymeColor.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

// A column as a rows file holds it: "\r" is a CR, "\xHH" a byte, $MIB a run of "é" past the
// 1 MiB cap.
static QByteArray bytes(QString text)
{
    text.replace(QStringLiteral("$MIB"), QString((1 << 19) + 1, u'\u00e9'));
    const QStringList parts
        = text.replace(QStringLiteral("\\r"), QStringLiteral("\r")).split(QStringLiteral("\\x"));
    QByteArray out = parts.first().toUtf8();
    for (const QString& part : parts.mid(1))
        out += char(part.left(2).toInt(nullptr, 16)) + part.mid(2).toUtf8();
    return out;
}

class TestSkinReader : public QObject {
    Q_OBJECT
private slots:
    void read_data() { test::addRows(QStringLiteral("skinreader.rows")); }
    void read();
    void tymeColor_data() { test::addRows(QStringLiteral("tymecolor.rows")); }
    void tymeColor();
};

// Skin.ini in ($NEXT starts another reading into the same records); where the reading stopped
// and the named fields out.
void TestSkinReader::read()
{
    QFETCH(QStringList, row);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Skin.ini")));
    Skin skin;
    WorldTimeSkin worldTime;
    SkinReport report;
    for (const QString& text : row[1].split(QStringLiteral("$NEXT"))) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes(text));
        file.close();
        QVERIFY(SkinReader::readFile(file.fileName(), skin, worldTime, &report));
    }
    QCOMPARE(report.stopLine, row[2].toInt());
    QCOMPARE(report.stopReason.isEmpty(), report.stopLine == 0);
    QMap<QString, QString> fields = test::skinFields(skin, worldTime);
    fields[QStringLiteral("truncated")] = report.truncated ? "true" : "false";
    for (const QString& expected : row.mid(3)) {
        const QString name = expected.section(u'=', 0, 0);
        QVERIFY2(fields.contains(name), qPrintable(name));
        QCOMPARE(fields[name], expected.section(u'=', 1));
    }
}

void TestSkinReader::tymeColor()
{
    QFETCH(QStringList, row);
    const QString text = QString::fromUtf8(bytes(row[1]));
    QCOMPARE(hexByte(text), row[2].toInt());
    QCOMPARE(::tymeColor(text), QColor(row[3]));
}

QTEST_GUILESS_MAIN(TestSkinReader)
#include "tst_skinreader.moc"
