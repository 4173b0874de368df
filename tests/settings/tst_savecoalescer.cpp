#include "core/settings/SaveCoalescer.h"

#include <QTest>

using namespace std::chrono_literals;

class TstSaveCoalescer : public QObject {
    Q_OBJECT
private slots:
    void burstSavesOnce();
    void requestRestartsDelay();
    void flushRunsAtOnce();
};

void TstSaveCoalescer::burstSavesOnce()
{
    int saves = 0;
    SaveCoalescer coalescer([&] { ++saves; }, 50ms);
    coalescer.requestSave();
    coalescer.requestSave();
    QCOMPARE(saves, 0);
    QTRY_COMPARE(saves, 1);
    QTest::qWait(150);
    QCOMPARE(saves, 1);
    QVERIFY(!coalescer.isPending());
}

void TstSaveCoalescer::requestRestartsDelay()
{
    int saves = 0;
    SaveCoalescer coalescer([&] { ++saves; }, 10s);
    QCOMPARE(coalescer.remainingTimeMs(), -1);
    coalescer.requestSave();
    QTest::qWait(300);
    coalescer.requestSave();
    QVERIFY2(coalescer.remainingTimeMs() > 9800,
        qPrintable(QString::number(coalescer.remainingTimeMs())));
    QCOMPARE(saves, 0);
}

void TstSaveCoalescer::flushRunsAtOnce()
{
    int saves = 0;
    SaveCoalescer coalescer([&] { ++saves; }, 50ms);
    coalescer.flush();
    QCOMPARE(saves, 0); // nothing pending
    coalescer.requestSave();
    coalescer.flush();
    QCOMPARE(saves, 1);
    QTest::qWait(150);
    QCOMPARE(saves, 1); // the timer was stopped
}

QTEST_GUILESS_MAIN(TstSaveCoalescer)
#include "tst_savecoalescer.moc"
