#include "core/face/Tick.h"

#include "core/base/Clock.h"
#include "core/face/HorolanState.h"
#include "core/face/ClockWindow.h"

#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <limits>

namespace {

class FakeWindow final : public ClockWindow {
public:
    FakeWindow()
    {
        buffer.fill(Qt::white);
        back.fill(Qt::blue);
    }

    int timerInterval() const override { return interval; }
    void setTimerInterval(int ms) override
    {
        interval = ms;
        ++intervalSets;
    }
    QString timerTag() const override { return tag; }
    QImage& faceBuffer() override { return buffer; }
    void faceDrawn() override { ++drawn; }
    const QImage& tempBack() const override { return back; }
    void SetTrayTip(const QString& tip) override { tips << tip; }
    void ChangeBack(std::uint8_t hur, bool anyWay) override
    {
        calls << QStringLiteral("ChangeBack(%1,%2)").arg(hur).arg(anyWay ? "true" : "false");
    }
    void PlayChime(std::uint8_t hur, bool playAnyWay) override
    {
        calls << QStringLiteral("PlayChime(%1,%2)").arg(hur).arg(playAnyWay ? "true" : "false");
        if (onChime)
            onChime();
    }

    int interval = 100;
    int intervalSets = 0;
    int drawn = 0;
    QString tag;
    QImage buffer { 40, 40, QImage::Format_ARGB32_Premultiplied };
    QImage back { 40, 40, QImage::Format_ARGB32_Premultiplied };
    QStringList calls;
    QStringList tips;
    std::function<void()> onChime;
};

} // namespace

Q_DECLARE_METATYPE(std::function<void(HorolanState&, FakeWindow&, FixedClock&)>)

class tst_Tick : public QObject {
    Q_OBJECT

private slots:
    void interval_data();
    void interval();
    void intervalSetOnlyWhenDifferent();
    void hourEvents_data();
    void hourEvents();
    void background_data();
    void background();
    void nestedTickDuringChime();
    void redrawOnlyWhenFaceChanges_data();
    void redrawOnlyWhenFaceChanges();
    void trayTip_data();
    void trayTip();
};

void tst_Tick::interval_data()
{
    QTest::addColumn<float>("speed");
    QTest::addColumn<int>("expected");
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("0") << 0.0f << 450;
    QTest::newRow("88") << 88.0f << 54;
    QTest::newRow("100") << 100.0f << 1;
    QTest::newRow("50.5") << 50.5f << 223;
    QTest::newRow("-5") << -5.0f << 450;
    QTest::newRow("150") << 150.0f << 1;
    QTest::newRow("NaN gets the default speed") << std::numeric_limits<float>::quiet_NaN() << 54;
    QTest::newRow("inf") << inf << 1;
    QTest::newRow("-inf") << -inf << 450;
}

void tst_Tick::interval()
{
    QFETCH(float, speed);
    QFETCH(int, expected);
    QCOMPARE(Tick::intervalForSpeed(speed), expected);

    HorolanState state;
    state.Speed = speed;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 15)));
    FakeWindow window;
    Tick(state, clock, window).Timer1_Timer();
    QCOMPARE(window.interval, expected);
}

void tst_Tick::intervalSetOnlyWhenDifferent()
{
    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 15)));
    FakeWindow window;
    window.interval = 54;
    Tick tick(state, clock, window);
    tick.Timer1_Timer();
    QCOMPARE(window.intervalSets, 0);
    state.Speed = 0;
    tick.Timer1_Timer();
    tick.Timer1_Timer();
    QCOMPARE(window.intervalSets, 1);
    QCOMPARE(window.interval, 450);
}

void tst_Tick::trayTip_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("ampm");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("second 0") << QTime(18, 7, 0) << false << QStringList { " - 05/12/2026, 18:07" };
    QTest::newRow("second 20, twelve-hour")
        << QTime(18, 7, 20) << true << QStringList { " - 05/12/2026, 06:07 PM" };
    QTest::newRow("second 40 after midnight")
        << QTime(0, 30, 40, 500) << true << QStringList { " - 05/12/2026, 12:30 AM" };
    QTest::newRow("second 5: no tip") << QTime(18, 7, 5) << false << QStringList();
    QTest::newRow("second 21: no tip") << QTime(18, 7, 21) << true << QStringList();
}

void tst_Tick::trayTip()
{
    QFETCH(QTime, time);
    QFETCH(bool, ampm);
    QFETCH(QStringList, expected);
    HorolanState state;
    state.skin.AMPM = ampm;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), time));
    FakeWindow window;
    Tick(state, clock, window, QLocale::c()).Timer1_Timer();
    QCOMPARE(window.tips, expected);
}

void tst_Tick::hourEvents_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("backtype");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("expected");

    const QStringList midnight { "PlayChime(0,false)", "ChangeBack(0,false)" };
    QTest::newRow("00:00:00") << QTime(0, 0, 0) << "random"
                              << "" << midnight;
    QTest::newRow("00:00:01") << QTime(0, 0, 1, 999) << "random"
                              << "" << midnight;
    QTest::newRow("00:00:02") << QTime(0, 0, 2) << "random"
                              << "" << QStringList();
    QTest::newRow("12:00") << QTime(12, 0) << "order "
                           << "" << QStringList { "PlayChime(12,false)", "ChangeBack(12,false)" };
    QTest::newRow("13:00") << QTime(13, 0) << "random"
                           << "" << QStringList { "PlayChime(1,false)", "ChangeBack(1,false)" };
    QTest::newRow("13:00 bgcall") << QTime(13, 0) << "random"
                                  << "bgcall"
                                  << QStringList { "PlayChime(1,false)", "ChangeBack(1,false)" };
    QTest::newRow("13:01:00") << QTime(13, 1) << "random"
                              << "" << QStringList();
    QTest::newRow("animat midnight, no chime") << QTime(0, 0) << "animat"
                                               << "" << QStringList { "ChangeBack(0,true)" };
    QTest::newRow("animat any tick") << QTime(23, 25, 40) << "Animat"
                                     << "" << QStringList { "ChangeBack(11,true)" };
    QTest::newRow("animat bgcall") << QTime(13, 0) << "animat"
                                   << "bgcall" << QStringList();
}

void tst_Tick::hourEvents()
{
    QFETCH(QTime, time);
    QFETCH(QString, backtype);
    QFETCH(QString, tag);
    QFETCH(QStringList, expected);

    HorolanState state;
    state.skin.backtype = fixedWidth(backtype, 6);
    FixedClock clock;
    clock.set(time);
    FakeWindow window;
    window.tag = tag;
    Tick(state, clock, window).Timer1_Timer();
    QCOMPARE(window.calls, expected);
}

void tst_Tick::background_data()
{
    QTest::addColumn<QString>("backtype");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("random") << "random" << 1.0 << QColor(Qt::blue);
    QTest::newRow("random, dpr 2") << "random" << 2.0 << QColor(Qt::blue);
    QTest::newRow("animat") << "animat" << 1.0 << QColor(Qt::white);
}

void tst_Tick::background()
{
    QFETCH(QString, backtype);
    QFETCH(qreal, dpr);
    QFETCH(QColor, expected);

    HorolanState state;
    state.skin.backtype = backtype;
    state.skin.useanalog = false;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 15)));
    FakeWindow window;
    window.tag = QStringLiteral("bgcall");
    window.buffer = QImage(QSize(40, 40) * dpr, QImage::Format_ARGB32_Premultiplied);
    window.buffer.setDevicePixelRatio(dpr);
    window.buffer.fill(Qt::white);
    Tick tick(state, clock, window);
    for (int i = 0; i < 2; ++i) {
        tick.Timer1_Timer();
        QCOMPARE(window.buffer.pixelColor(window.buffer.width() - 1, 0), expected);
        window.back.fill(Qt::green); // a changed picture is not served from a stale copy
        expected = expected == Qt::blue ? QColor(Qt::green) : expected;
    }
    // An animated skin's tick does not draw the background: at the same second it has nothing new.
    QCOMPARE(window.drawn, backtype == u"animat" ? 1 : 2);
}

void tst_Tick::nestedTickDuringChime()
{
    // A chime runs ticks of its own while the outer tick is between its drawing and its end.
    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(15, 0)));
    FakeWindow window;
    Tick tick(state, clock, window);
    int nested = 0;
    window.onChime = [&] {
        if (nested++ == 0)
            tick.Timer1_Timer();
    };
    QTest::failOnWarning(QRegularExpression("QPainter"));
    tick.Timer1_Timer();
    QCOMPARE(window.drawn, 1); // the nested tick falls in the second already drawn
    QCOMPARE(window.calls.size(), 4);
}

void tst_Tick::redrawOnlyWhenFaceChanges_data()
{
    using Change = std::function<void(HorolanState&, FakeWindow&, FixedClock&)>;
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("drawn");
    const QDateTime start(QDate(2026, 12, 5), QTime(10, 15, 30, 100));
    QTest::newRow("same second") << Change([start](auto&, auto&, FixedClock& c) {
        c.set(start.addMSecs(850));
    }) << false;
    QTest::newRow("next second") << Change([start](auto&, auto&, FixedClock& c) {
        c.set(start.addMSecs(900));
    }) << true;
    QTest::newRow("smooth hands, same second") << Change(
        [start](HorolanState& s, auto&, FixedClock& c) {
            s.skin.smooth = true;
            c.set(start.addMSecs(1));
        }) << true;
    QTest::newRow("skin changed") << Change([](HorolanState& s, auto&, auto&) {
        s.skin.hurcolor = 0x123456;
    }) << true;
    QTest::newRow("new background") << Change([](auto&, FakeWindow& w, auto&) {
        w.back = QImage(40, 40, QImage::Format_ARGB32_Premultiplied);
        w.back.fill(Qt::red);
    }) << true;
    QTest::newRow("buffer remade") << Change([](auto&, FakeWindow& w, auto&) {
        w.buffer = QImage(40, 40, QImage::Format_ARGB32_Premultiplied);
        w.buffer.fill(Qt::white);
    }) << true;
    QTest::newRow("buffer drawn on by others")
        << Change([](auto&, FakeWindow& w, auto&) { w.buffer.setPixel(0, 0, 0xff000000); }) << true;
    QTest::newRow("time zone changed")
        << Change([start](auto&, auto&, FixedClock& c) { c.set(start.toOffsetFromUtc(3600 * 5)); })
        << true;
}

void tst_Tick::redrawOnlyWhenFaceChanges()
{
    using Change = std::function<void(HorolanState&, FakeWindow&, FixedClock&)>;
    QFETCH(Change, change);
    QFETCH(bool, drawn);

    HorolanState state;
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 15, 30, 100)));
    FakeWindow window;
    Tick tick(state, clock, window);
    tick.Timer1_Timer();
    tick.Timer1_Timer();
    QCOMPARE(window.drawn, 1);
    change(state, window, clock);
    tick.Timer1_Timer();
    QCOMPARE(window.drawn, drawn ? 2 : 1);
}

QTEST_MAIN(tst_Tick)
#include "tst_tick.moc"
