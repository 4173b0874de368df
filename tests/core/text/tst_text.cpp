#include "core/text/NumberReading.h"
#include "core/text/TextDecoding.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace NumberReading;

class TestText : public QObject {
    Q_OBJECT

private slots:
    void rows_data()
    {
        QTest::addColumn<QStringList>("row");
        for (QStringList row : test::rows(QStringLiteral("rows/text.rows"))) {
            for (QString& column : row)
                column = test::unescaped(column);
            QTest::newRow(qPrintable(row[0] + QStringLiteral(": ") + row[1])) << row;
        }
        QTest::newRow("number: too large")
            << QStringList { "number", "", QString(400, u'9'), "inf", "yes", "-", "-" };
        QTest::newRow("number: too small")
            << QStringList { "number", "", "0." + QString(400, u'0') + "1", "0", "yes", "0", "0" };
    }
    void rows()
    {
        QFETCH(QStringList, row);
        if (row[0] == u"number") {
            // The nearest double matters: 0.3 px at 15 twips a pixel must round to 4, not 5.
            QCOMPARE(QString::number(leadingNumber(row[2]), 'g', 17), row[3]);
            QCOMPARE(startsWithNumber(row[2]), row[4] == u"yes");
            const auto byte = toByte(leadingNumber(row[2]));
            const auto int16 = toInt16(leadingNumber(row[2]));
            QCOMPARE(byte ? QString::number(*byte) : QStringLiteral("-"), row[5]);
            QCOMPARE(int16 ? QString::number(*int16) : QStringLiteral("-"), row[6]);
        } else {
            QCOMPARE(decodeText(row[2].toLatin1()), row[3]);
        }
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "tst_text.moc"
