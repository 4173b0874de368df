#include "ui/clock/TrayIcon.h"

#include <QLoggingCategory>
#include <QTest>

class tst_TrayIcon : public QObject {
    Q_OBJECT

private slots:
    void tipText_data();
    void tipText();
    void clockIcon_data();
    void clockIcon();
    void withoutTrayHost();
};

void tst_TrayIcon::tipText_data()
{
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty: the bare name") << QString() << "Horolan";
    QTest::newRow("starting") << "Starting"
                              << "HorolanStarting";
    QTest::newRow("tick") << " - 05/12/2026, 18:07"
                          << "Horolan - 05/12/2026, 18:07";
    QTest::newRow("cut at 63") << QString(100, u'x') << QString("Horolan" + QString(56, u'x'));
}

void tst_TrayIcon::tipText()
{
    QFETCH(QString, tip);
    QFETCH(QString, expected);
    QCOMPARE(TrayIcon::tipText(tip), expected);
}

void tst_TrayIcon::clockIcon_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("16") << 16;
    QTest::newRow("32") << 32;
}

void tst_TrayIcon::clockIcon()
{
    QFETCH(int, size);
    const QImage icon = TrayIcon::drawClockIcon(size);
    QCOMPARE(icon.size(), QSize(size, size));
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // outside the round face
    QVERIFY(qGray(icon.pixel(size / 2, size / 2)) < 100); // the hands meet
    QVERIFY(qGray(icon.pixel(size / 2, size * 3 / 4)) > 200); // the face below the hands
    QCOMPARE(TrayIcon::clockIcon().availableSizes().size(), 2);
}

void tst_TrayIcon::withoutTrayHost()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("a tray host is running");
    QLoggingCategory::setFilterRules(QStringLiteral("horolan.main.info=true"));
    static int logged = 0;
    const auto previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString&) {
            logged += type == QtInfoMsg && qstrcmp(context.category, "horolan.main") == 0;
        });
    TrayIcon tray;
    tray.SetTrayIcon(TrayIcon::Action::Add, TrayIcon::clockIcon(), QStringLiteral("Starting"));
    tray.SetTrayIcon(TrayIcon::Action::Modify, TrayIcon::clockIcon(), QString());
    QCOMPARE(tray.toolTip(), QStringLiteral("Horolan"));
    tray.SetTrayIcon(TrayIcon::Action::Delete, QIcon(), QString());
    QVERIFY(!tray.isShown());
    qInstallMessageHandler(previous);
    QCOMPARE(logged, 1);
}

QTEST_MAIN(tst_TrayIcon)
#include "tst_trayicon.moc"
