#include "core/base/Clock.h"
#include "core/base/Twips.h"
#include "core/face/Timepiece.h"
#include "core/settings/Settings.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTest>

#include <limits>

namespace {

// A root of skins, a clock standing at 07:30 on 5 December 2026 and random numbers of the row's
// choosing.
struct Clockwork {
    explicit Clockwork(QList<double> numbers)
        : random(std::move(numbers))
    { }
    // Pictures in the skin's folder; a name starting with "!" is a text file instead.
    void skin(const QString& name, const QByteArray& ini, const QStringList& pictures,
        QSize size = { 20, 20 })
    {
        if (!ini.isEmpty())
            folders.write(QStringLiteral("Skins/%1/Skin.ini").arg(name), ini);
        for (const QString& picture : pictures) {
            const QString path = QStringLiteral("Skins/%1/%2").arg(name, picture);
            if (picture.startsWith(u'!'))
                folders.write(QString(path).remove(u'!'), "not a picture");
            else
                folders.picture(path, size, Qt::darkCyan, Qt::magenta);
        }
    }
    QString shown() const
    {
        const Background& shown = timepiece.face().background();
        return shown.isBuiltIn() ? QStringLiteral("builtin") : QFileInfo(shown.path).fileName();
    }

    test::Folders folders;
    FixedClock clock { QDateTime(QDate(2026, 12, 5), QTime(7, 30)) };
    test::SequenceRandom random;
    Roots roots = folders.roots();
    Settings settings;
    Timepiece timepiece { clock, random, roots, settings, QLocale::c() };
};

} // namespace

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
    Clockwork c(numbers);
    c.skin(QStringLiteral("Plain"), "[info]\nname=Plain\n[setting]\nsecwidth=3", { "back1.bmp" });
    c.skin(QStringLiteral("NoInfo"), "[setting]\nsecwidth=4", { "back1.bmp" });
    c.skin(QStringLiteral("Stops"), "[info]\nname=Stops\n[setting]\nsecwidth=300", { "back1.bmp" });
    c.skin(QStringLiteral("Bare"), {}, { "back1.bmp" });
    c.skin(QStringLiteral("Order"), "[setting]\nbacktype=order",
        { "back0.bmp", "back7.bmp", "back7.jpg", "!back8.bmp", "back12.bmp" });
    c.skin(QStringLiteral("Four"), "[info]\nname=Four",
        { "back1.bmp", "back2.bmp", "back3.bmp", "back4.bmp" });
    c.skin(QStringLiteral("Half"), "[info]\nname=Half", { "back1.bmp", "!back2.bmp" });
    c.skin(QStringLiteral("Broken"), "[info]\nname=Broken", { "!back1.bmp" });
    c.skin(QStringLiteral("Anim"), "[setting]\nbacktype=Animated",
        { "Back1.BMP", "Back2.BMP", "Back3.BMP" });
    c.skin(QStringLiteral("NoFrames"), "[setting]\nbacktype=Animated", { "frame1.bmp" });
    for (const char* alignment :
        { "center", "left", "left\noffset=4", "right\noffset=4", "middle" })
        c.skin(QStringLiteral("Tyme-") + QString::fromLatin1(alignment).remove("\noffset="),
            QByteArray("[font]\ntopoffset=7\nalignment=") + alignment, { "main1.bmp" },
            { 100, 40 });
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
        else if (step == u"edit")
            c.skin(QStringLiteral("Plain"), "[setting]\nsecwidth=5", {});
        else if (bKey || step[0].isDigit())
            last = c.timepiece.changeBackground(step.mid(bKey).toInt(), bKey);
        else
            last = step == u"tick" ? c.timepiece.tick()
                                   : c.timepiece.activateSkin(step == u"none" ? builtInSkinName
                                           : step == u"''"                    ? QString()
                                                                              : step);
        if (!step.contains(u':') && step != u"12h" && step != u"edit")
            seen << c.shown();
    }
    QCOMPARE(seen.join(u' '), row[3]);
    auto values = test::skinFields(c.timepiece.skin(), c.timepiece.worldTimeSkin());
    values[QStringLiteral("name")] = c.timepiece.skinName();
    values[QStringLiteral("chime")] = QString::number(last.chimeHour.value_or(-1));
    values[QStringLiteral("tip")] = last.trayTip.value_or(QStringLiteral("none"));
    values[QStringLiteral("changed")] = last.background ? "true" : "false";
    for (const QString& field : row.mid(4))
        QCOMPARE(values.value(field.section(u'=', 0, 0)), field.section(u'=', 1));
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
    QTest::newRow("100 on a 60 Hz screen") << 100.f << 16 << 16;
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
