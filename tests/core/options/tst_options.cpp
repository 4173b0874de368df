#include "core/options/PageWalk.h"
#include "core/options/SpeedSlider.h"

#include <QTest>

// The speed slider's arithmetic and the walk through the options window's pages.
class TestOptions : public QObject {
    Q_OBJECT

private slots:
    void knobPlace_data()
    {
        QTest::addColumn<float>("speed");
        QTest::addColumn<QPointF>("knob");
        QTest::newRow("100: top of the track") << 100.f << QPointF(11, 2);
        QTest::newRow("88: 12% of the travel down") << 88.f << QPointF(20.1701, 7.88);
        QTest::newRow("0: bottom, swung") << 0.f << QPointF(8.5621, 51);
        QTest::newRow("150 as 100") << 150.f << QPointF(11, 2);
    }
    void knobPlace()
    {
        QFETCH(float, speed);
        QFETCH(QPointF, knob);
        const QPointF at = SpeedSlider::knobPlace(speed);
        QVERIFY2(qAbs(at.x() - knob.x()) < 1e-3 && qAbs(at.y() - knob.y()) < 1e-3,
            qPrintable(QDebug::toString(at)));
    }

    void drag_data()
    {
        // The knob starts at the top (Speed 100); the press is 2 px into it. Moves: "buttons:y"
        // with L the left button, R the right.
        QTest::addColumn<bool>("onKnob");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<float>("speed"); // after the last move; -1: no drag
        QTest::addColumn<double>("top");
        QTest::addColumn<int>("shown");
        QTest::newRow("12.75% down: 87.25, shown 87")
            << true << "L" << QStringList { "L:10.2475" } << 87.25f << 8.2475 << 87;
        QTest::newRow("above the track: 100")
            << true << "L" << QStringList { "L:30", "L:-50" } << 100.f << 2.0 << 100;
        QTest::newRow("below the track: 0")
            << true << "L" << QStringList { "L:500" } << 0.f << 51.0 << 0;
        QTest::newRow("three decimals kept")
            << true << "L" << QStringList { "L:5.1" } << 97.755f << 3.1 << 98;
        QTest::newRow("right press: no drag")
            << true << "R" << QStringList { "L:20" } << -1.f << 2.0 << 100;
        QTest::newRow("press beside the knob")
            << false << "L" << QStringList { "L:20" } << -1.f << 2.0 << 100;
        QTest::newRow("two buttons end the drag")
            << true << "L" << QStringList { "L:10.2475", "LR:30", "L:40" } << -1.f << 8.2475 << 87;
    }
    void drag()
    {
        QFETCH(bool, onKnob);
        QFETCH(QString, press);
        QFETCH(QStringList, moves);
        QFETCH(float, speed);
        QFETCH(double, top);
        QFETCH(int, shown);
        const auto buttons = [](const QString& text) {
            return Qt::MouseButtons()
                .setFlag(Qt::LeftButton, text.contains(u'L'))
                .setFlag(Qt::RightButton, text.contains(u'R'));
        };
        SpeedSlider slider;
        slider.place(100);
        const Qt::MouseButton button = press == u"L" ? Qt::LeftButton : Qt::RightButton;
        slider.press(onKnob, button, buttons(press), 4);
        std::optional<float> last;
        float value = 100;
        for (const QString& move : moves) {
            last = slider.move(buttons(move.section(u':', 0, 0)), move.section(u':', 1).toDouble());
            value = last.value_or(value);
        }
        QCOMPARE(last.value_or(-1), speed);
        QCOMPARE(slider.knob().y(), top);
        QCOMPARE(slider.knob().x(), SpeedSlider::swing(top));
        QCOMPARE(SpeedSlider::shown(value), shown);
    }

    void keys_data()
    {
        QTest::addColumn<float>("speed");
        QTest::addColumn<int>("key");
        QTest::addColumn<float>("after"); // -1: not the slider's key
        QTest::newRow("Up from the value shown") << 87.6f << int(Qt::Key_Up) << 89.f;
        QTest::newRow("Down at 0 stays") << 0.f << int(Qt::Key_Down) << 0.f;
        QTest::newRow("Page Up stops at 100") << 95.f << int(Qt::Key_PageUp) << 100.f;
        QTest::newRow("Page Down") << 88.f << int(Qt::Key_PageDown) << 78.f;
        QTest::newRow("Home: top") << 3.f << int(Qt::Key_Home) << 100.f;
        QTest::newRow("End: bottom") << 88.f << int(Qt::Key_End) << 0.f;
        QTest::newRow("Left is not its") << 88.f << int(Qt::Key_Left) << -1.f;
    }
    void keys()
    {
        QFETCH(float, speed);
        QFETCH(int, key);
        QFETCH(float, after);
        QCOMPARE(SpeedSlider::keyed(speed, key).value_or(-1), after);
    }

    void walk_data()
    {
        // Pages chosen in turn, then where Left and Right would go.
        QTest::addColumn<QList<int>>("chosen");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("none chosen: Left 3, Right 0") << QList<int> {} << 3 << 0;
        QTest::newRow("from 0") << QList<int> { 0 } << 3 << 1;
        QTest::newRow("from 3") << QList<int> { 1, 3 } << 2 << 0;
        QTest::newRow("out of range ignored") << QList<int> { 2, 4, -1 } << 1 << 3;
    }
    void walk()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(int, left);
        QFETCH(int, right);
        PageWalk walk(4);
        for (int page : chosen)
            walk.select(page);
        QCOMPARE(walk.before(), left);
        QCOMPARE(walk.after(), right);
    }

    void choosingAgain()
    {
        PageWalk walk(4);
        const PageWalk::Change first = walk.select(2);
        QVERIFY(first.changed && !first.old);
        const PageWalk::Change again = walk.select(2);
        QVERIFY(!again.changed && !again.old);
        const PageWalk::Change next = walk.select(0);
        QVERIFY(next.changed && next.old == 2);
    }

    void slide_data()
    {
        QTest::addColumn<float>("speed");
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("step");
        QTest::newRow("0: no slide") << 0.f << 0 << 0.0;
        QTest::newRow("10") << 10.f << 16 << 280 / 15.0;
        QTest::newRow("88") << 88.f << 133 << 280 / 132.0;
        QTest::newRow("100") << 100.f << 151 << 280 / 150.0;
    }
    void slide()
    {
        QFETCH(float, speed);
        QFETCH(int, frames);
        QFETCH(double, step);
        const QList<double> offsets = PageWalk::slide(280, 281, speed);
        QCOMPARE(offsets.size(), frames);
        if (frames > 1) {
            QCOMPARE(offsets.first(), 0.0);
            QCOMPARE(offsets[1], step);
        }
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
