#include "core/about/AboutTexts.h"
#include "core/about/Ornament.h"
#include "support/TestSupport.h"

#include <QTest>

#include <limits>

// The About window's arithmetic and texts: the toy clock, the slides, the version, the skin page.
class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void counters_data()
    {
        QTest::addColumn<QList<int>>("start"); // S M H; none: the first step picks them
        QTest::addColumn<int>("steps");
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("seconds by four") << QList { 0, 0, 0 } << 3 << QList { 12, 0, 0 };
        QTest::newRow("58: restarts at 0, not 2")
            << QList { 58, 10, 20 } << 1 << QList { 0, 14, 20 };
        QTest::newRow("a turn of S is a step of M") << QList { 0, 0, 0 } << 15 << QList { 0, 4, 0 };
        QTest::newRow("M passes 59") << QList { 59, 58, 3 } << 1 << QList { 0, 0, 7 };
        QTest::newRow("all three restart") << QList { 56, 56, 56 } << 1 << QList { 0, 0, 0 };
        // 0.5, 0.999 and 0 times 60, whole parts: 30, 59, 0; then one step.
        QTest::newRow("random start") << QList<int>() << 1 << QList { 34, 59, 0 };
    }
    void counters()
    {
        QFETCH(QList<int>, start);
        QFETCH(int, steps);
        QFETCH(QList<int>, after);
        test::SequenceRandom random({ 0.5, 0.999, 0 });
        OrnamentClock clock;
        if (!start.isEmpty())
            clock.set(start[0], start[1], start[2]);
        for (int i = 0; i < steps; ++i)
            clock.step(random);
        QCOMPARE((QList { clock.seconds(), clock.minutes(), clock.hours() }), after);
    }

    void hands_data()
    {
        QTest::addColumn<QList<int>>("counters"); // S M H
        QTest::addColumn<QSizeF>("face");
        QTest::addColumn<QList<QPointF>>("ends"); // hour, minute, second
        QTest::newRow("all at 0: up, the hour hand 70%") << QList { 0, 0,
            0 } << QSizeF(22, 30) << QList { QPointF(11, 4.5), QPointF(11, 0), QPointF(11, 0) };
        // Hour 6 x 45 + 24 x 30 / 60 - 90 = 192 degrees, minute 180 + 6 - 90 = 96, second 0.
        QTest::newRow("S 15 M 30 H 45")
            << QList { 15, 30, 45 } << QSizeF(20, 20)
            << QList { QPointF(3.1530, 8.5446), QPointF(8.9547, 19.9452), QPointF(20, 10) };
        QTest::newRow("an oval face: an elliptic path")
            << QList { 15, 0, 0 } << QSizeF(20, 40)
            << QList { QPointF(10, 6), QPointF(11.0453, 0.1096), QPointF(20, 20) };
    }
    void hands()
    {
        QFETCH(QList<int>, counters);
        QFETCH(QSizeF, face);
        QFETCH(QList<QPointF>, ends);
        OrnamentClock clock;
        clock.set(counters[0], counters[1], counters[2]);
        const OrnamentClock::Hands hands = clock.hands(face);
        const QList<QLineF> lines { hands.hour, hands.minute, hands.second };
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lines[i].p1(), QPointF(face.width() / 2, face.height() / 2));
            QVERIFY2((lines[i].p2() - ends[i]).manhattanLength() < 0.001,
                qPrintable(QDebug::toString(lines[i].p2())));
        }
    }

    void slide_data()
    {
        QTest::addColumn<float>("speed");
        QTest::addColumn<int>("outFrames");
        QTest::addColumn<int>("inFrames"); // the last at the shown top
        // Page 249 px, shown at 152, hidden at 520: a step of 249 / (Speed x 0.22).
        QTest::newRow("0: no slide") << 0.0f << 0 << 1;
        QTest::newRow("not a number: no slide")
            << std::numeric_limits<float>::quiet_NaN() << 0 << 1;
        QTest::newRow("88") << 88.0f << 29 << 30;
        QTest::newRow("100") << 100.0f << 33 << 34;
        QTest::newRow("above 100 as 100") << 250.0f << 33 << 34;
        QTest::newRow("1: one step past the end") << 1.0f << 1 << 2;
    }
    void slide()
    {
        QFETCH(float, speed);
        QFETCH(int, outFrames);
        QFETCH(int, inFrames);
        const QList<double> out = PageSlide::out(152, 520, 249, speed);
        const QList<double> in = PageSlide::in(152, 520, 249, speed);
        QCOMPARE(out.size(), outFrames);
        QCOMPARE(in.size(), inFrames);
        QCOMPARE(in.last(), 152.0);
        if (outFrames > 0)
            QCOMPARE(out.first(), 152.0);
        for (const double top : out + in)
            QVERIFY(top >= 152 && top <= 520);
    }

    void version_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("shown");
        QTest::newRow("as the project states it") << "0.1.0"
                                                  << "0.1.0";
        QTest::newRow("minor of two digits") << "1.70.0"
                                             << "1.70.0";
        QTest::newRow("one number") << "2"
                                    << "2";
        QTest::newRow("empty") << ""
                               << "unknown";
        QTest::newRow("a suffix") << "1.2-beta"
                                  << "unknown";
    }
    void version()
    {
        QFETCH(QString, project);
        QFETCH(QString, shown);
        QCOMPARE(AboutTexts::version(project), shown);
    }

    void skinPage_data()
    {
        QTest::addColumn<QString>("ini"); // none: the built-in skin
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("logged"); // in horolan.skin
        QTest::newRow("built-in") << QString() << "About Skin: Normal"
                                  << "Made By:   Ardel\nDate:   14/8/1999\nEMail:   "
                                     "horolan@example.org\nHome Page:   \nComments:   The "
                                     "original skin"
                                  << QString();
        QTest::newRow("file") << "[Info]\nName=Brass\nAuthor=Ann\nDate=1/2/2003\nEmail=a@b.c\n"
                                 "Homepage=http://b.example\nComment=Warm"
                              << "About Skin: Brass"
                              << "Made By:   Ann\nDate:   1/2/2003\nEMail:   a@b.c\nHome Page:   "
                                 "http://b.example\nComments:   Warm"
                              << QString();
        QTest::newRow("odd texts: control characters blank, a long one cut")
            << "[Info]\nName=Tab\tbed\nComment=" + QString(200, u'x') << "About Skin: Tab bed"
            << "Made By:   \nDate:   \nEMail:   \nHome Page:   \nComments:   " + QString(119, u'x')
                + QChar(0x2026)
            << "comment";
        QTest::newRow("a text as long as a page shows, whole")
            << "[Info]\nName=Full\nComment=" + QString(120, u'y') << "About Skin: Full"
            << "Made By:   \nDate:   \nEMail:   \nHome Page:   \nComments:   " + QString(120, u'y')
            << QString();
    }
    void skinPage()
    {
        QFETCH(QString, ini);
        QFETCH(QString, heading);
        QFETCH(QString, text);
        QFETCH(QString, logged);
        test::Clockwork c;
        if (!ini.isNull()) {
            c.folders.write(QStringLiteral("Skins/Mine/Skin.ini"), ini.toUtf8());
            c.folders.picture(QStringLiteral("Skins/Mine/back1.bmp"), { 40, 40 }, Qt::gray);
        }
        c.timepiece.activateSkin(ini.isNull() ? builtInSkinName : QStringLiteral("Mine"));
        const test::LogCapture log;
        QCOMPARE(AboutTexts::skinHeading(c.timepiece.skin().info), heading);
        QCOMPARE(AboutTexts::skinText(c.timepiece.skin().info), text);
        QCOMPARE(log.lines.size(), logged.isEmpty() ? 0 : 2);
        QVERIFY(
            logged.isEmpty() || log.has(QStringLiteral("skin"), QStringLiteral("debug"), logged));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
