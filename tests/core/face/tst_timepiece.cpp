#include "core/base/Twips.h"
#include "core/files/Companion.h"
#include "support/TestSupport.h"

#include <QTest>

#include <limits>

class TstTimepiece : public QObject {
    Q_OBJECT
private slots:
    void steps_data() { test::addRows(QStringLiteral("timepiece.rows")); }
    void steps();
    void tickInterval_data();
    void tickInterval();
};

// Steps in, the picture shown after each and the fields after the last out (timepiece.rows).
void TstTimepiece::steps()
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
        if (step.contains(u':'))
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
            last = c.timepiece.changeBackground(step.mid(bKey).toInt(), bKey);
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

void TstTimepiece::tickInterval_data()
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

void TstTimepiece::tickInterval()
{
    QFETCH(float, speed);
    QFETCH(int, shortestMs);
    QFETCH(int, intervalMs);
    QCOMPARE(Timepiece::tickIntervalMs(speed, shortestMs), intervalMs);
}

QTEST_MAIN(TstTimepiece)
#include "tst_timepiece.moc"
