#include "core/base/Twips.h"
#include "core/files/Companion.h"
#include "support/TestSupport.h"

#include <QTest>

#include <limits>

class TestTimepiece : public QObject {
    Q_OBJECT
private slots:
    void steps_data() { test::addRows(QStringLiteral("timepiece.rows")); }
    void steps();
    void tickInterval_data();
    void tickInterval();
    void nextTick_data();
    void nextTick();
};

// Steps in, the picture shown after each and the fields after the last out (timepiece.rows).
void TestTimepiece::steps()
{
    QFETCH(QStringList, row);
    QList<double> numbers;
    for (const QString& number : row[1].split(u' '))
        numbers << number.toDouble();
    test::Clockwork c(numbers);
    for (const QStringList& skin : test::rows(QStringLiteral("timepieceskins.rows"))) {
        if (!skin[1].isEmpty())
            c.folders.write(QStringLiteral("Skins/%1/Skin.ini").arg(skin[0]), skin[1].toUtf8());
        for (const QString& picture : skin[2].split(u' ')) {
            const QString name = QString(picture).remove(u'!').remove(u'~');
            const QString path = QStringLiteral("Skins/%1/%2").arg(skin[0], name);
            const int scale = Companion::isCompanion(name) && !picture.startsWith(u'~') ? 2 : 1;
            if (picture.startsWith(u'!'))
                c.folders.write(path, "not a picture");
            else
                c.folders.picture(path,
                    QSize(skin[3].section(u' ', 0, 0).toInt(), skin[3].section(u' ', 1).toInt())
                        * scale,
                    Qt::darkCyan, QColor(skin.value(4, QStringLiteral("#ff00ff"))));
        }
    }
    // "88:88:88" is 900 twips wide, " am" 200, "88:88:88 " 950.
    c.timepiece.setTextWidth([](const QFont&, const QString& text) {
        return Twips::toPixels(text == u" am" ? 200 : text == u"88:88:88" ? 900 : 950);
    });
    QStringList seen;
    FaceUpdate last;
    for (const QString& step : row[2].split(u' ')) {
        const bool bKey = step.size() > 1 && step[0] == u'B' && step[1].isDigit();
        if (step.contains(u':') && step.contains(u'-'))
            c.clock.set(QDateTime::fromString(step, Qt::ISODateWithMs));
        else if (step.contains(u':'))
            c.clock.set(QTime::fromString(step, Qt::ISODateWithMs));
        else if (step == u"12h")
            c.settings.twelveHour = true;
        else if (step == u"random")
            c.settings.randomSkin = true;
        else if (step == u"edit")
            c.folders.write(QStringLiteral("Skins/Plain/Skin.ini"), "[setting]\nsecwidth=5");
        else if (step == u"delete")
            QDir(c.folders.path(QStringLiteral("Skins"))).removeRecursively();
        else if (step == u"AMPM")
            c.settings.twelveHour = true, last = c.timepiece.placeTymeTime();
        else if (bKey || step[0].isDigit())
            last = c.timepiece.changeBackground(
                step.mid(bKey).toInt(), bKey ? HourEvent::Forced : HourEvent::OnTheHour);
        else
            last = step == u"tick" ? c.timepiece.tick()
                                   : c.timepiece.activateSkin(step == u"none" ? builtInSkinName
                                           : step == u"''"                    ? QString()
                                                                              : step);
        if (!step.contains(u':')
            && !QStringList { "12h", "random", "edit", "delete" }.contains(step))
            seen << c.shown();
    }
    QCOMPARE(seen.join(u' '), row[3]);
    auto values = test::skinFields(c.timepiece.skin(), c.timepiece.worldTimeSkin());
    values[QStringLiteral("name")] = c.timepiece.skinName();
    values[QStringLiteral("chime")] = QString::number(last.chimeHour.value_or(-1));
    values[QStringLiteral("tip")] = last.trayTip.value_or(QStringLiteral("none"));
    values[QStringLiteral("spoken")] = last.spokenTime.value_or(QStringLiteral("none"));
    values[QStringLiteral("changed")] = last.background ? "true" : "false";
    // The window's outline: the colour it is cut by and how many pixels it keeps.
    const Background& shown = c.timepiece.face().background();
    values[QStringLiteral("key")] = QStringLiteral("%1,%2,%3")
                                        .arg(qRed(shown.key))
                                        .arg(qGreen(shown.key))
                                        .arg(qBlue(shown.key));
    qint64 area = 0;
    for (const QRect& rect : shown.outline)
        area += qint64(rect.width()) * rect.height();
    values[QStringLiteral("area")] = QString::number(area);
    values[QStringLiteral("companion")] = shown.companion.isNull()
        ? QStringLiteral("none")
        : QStringLiteral("%1x%2").arg(shown.companion.width()).arg(shown.companion.height());
    for (const QString& field : row.mid(4))
        QCOMPARE(values.value(field.section(u'=', 0, 0), "<none>"), field.section(u'=', 1));
}

void TestTimepiece::tickInterval_data()
{
    QTest::addColumn<float>("speed");
    QTest::addColumn<int>("shortestMs");
    QTest::addColumn<int>("intervalMs");
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("0") << 0.f << 1 << 450;
    QTest::newRow("88") << 88.f << 1 << 54;
    QTest::newRow("100") << 100.f << 1 << 1;
    QTest::newRow("50.5") << 50.5f << 1 << 223;
    QTest::newRow("0 on a 60 Hz screen") << 0.f << 16 << 450;
    QTest::newRow("NaN reads as 88") << std::numeric_limits<float>::quiet_NaN() << 1 << 54;
    QTest::newRow("below 0, -inf") << -inf << 1 << 450;
    QTest::newRow("above 100, inf") << inf << 1 << 1;
}

void TestTimepiece::tickInterval()
{
    QFETCH(float, speed);
    QFETCH(int, shortestMs);
    QFETCH(int, intervalMs);
    QCOMPARE(Timepiece::tickIntervalMs(speed, shortestMs), intervalMs);
}

void TestTimepiece::nextTick_data()
{
    QTest::addColumn<QString>("ini"); // Skin.ini of the active skin; empty: the built-in one
    QTest::addColumn<float>("speed");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("now");
    QTest::addColumn<int>("ms");
    const QString smooth = QStringLiteral("[setting]\nsmooth=yes");
    const QString digital = QStringLiteral("[setting]\nsmooth=yes\nuseanalog=no");
    const QString animated = QStringLiteral("[setting]\nbacktype=Animated");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // A face that steps: just after the next second, at any Speed.
    QTest::newRow("steps, Speed 88") << QString() << 88.f << true << "10:00:00.000" << 1002;
    QTest::newRow("steps, Speed 0, late in a second")
        << QString() << 0.f << true << "10:00:00.990" << 12;
    QTest::newRow("steps, Speed 100") << QString() << 100.f << true << "23:59:59.500" << 502;
    QTest::newRow("woke early: the turn again") << QString() << 88.f << true << "10:00:00.999" << 3;
    QTest::newRow("a sweep, Speed 88: 54 ms") << smooth << 88.f << true << "10:00:00.000" << 54;
    QTest::newRow("a sweep meets the second's turn")
        << smooth << 88.f << true << "10:00:00.980" << 22;
    QTest::newRow("a sweep, Speed 0: 450 ms") << smooth << 0.f << true << "10:00:00.460" << 440;
    QTest::newRow("a sweep, Speed NaN reads 88") << smooth << nan << true << "10:00:00.100" << 8;
    QTest::newRow("Speed 100: the screen's refresh")
        << smooth << 100.f << true << "10:00:00.000" << 17;
    QTest::newRow("Speed above 100: as 100") << smooth << 1000.f << true << "10:00:00.000" << 17;
    QTest::newRow("no hands to sweep: steps") << digital << 88.f << true << "10:00:00.000" << 1002;
    QTest::newRow("an animation, Speed 88") << animated << 88.f << true << "10:00:00.300" << 24;
    // Hidden: the tray's tip at seconds 0, 20 and 40, and 3 s before the hour.
    QTest::newRow("hidden: the next tray tip")
        << QString() << 88.f << false << "10:00:00.001" << 20001;
    QTest::newRow("hidden sweep: the tray tip")
        << smooth << 100.f << false << "10:20:41.500" << 18502;
    QTest::newRow("hidden: the hour's approach")
        << QString() << 88.f << false << "10:59:50.000" << 7002;
    QTest::newRow("hidden: from the approach, the hour")
        << QString() << 88.f << false << "10:59:57.002" << 3000;
}

void TestTimepiece::nextTick()
{
    QFETCH(QString, ini);
    QFETCH(float, speed);
    QFETCH(bool, shown);
    QFETCH(QString, now);
    QFETCH(int, ms);
    test::Clockwork c;
    if (!ini.isEmpty()) {
        c.folders.write(QStringLiteral("Skins/S/Skin.ini"), ini.toUtf8());
        c.folders.picture(
            QStringLiteral("Skins/S/back1.bmp"), { 20, 20 }, Qt::darkCyan, Qt::magenta);
    }
    c.timepiece.activateSkin(ini.isEmpty() ? builtInSkinName : QStringLiteral("S"));
    c.settings.speed = speed;
    c.clock.set(QTime::fromString(now, Qt::ISODateWithMs));
    QCOMPARE(c.timepiece.msToNextTick(shown, 17), ms);
}

QTEST_MAIN(TestTimepiece)
#include "tst_timepiece.moc"
