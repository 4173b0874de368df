#include "app/SignalWatcher.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

class tst_SignalWatcher : public QObject {
    Q_OBJECT

private slots:
    void raised_data();
    void raised();
    void oneOwnerAtATime();
    void handlersRestored();
};

void tst_SignalWatcher::raised_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void tst_SignalWatcher::raised()
{
    QFETCH(int, signalNumber);
    SignalWatcher watcher;
    QVERIFY(watcher.isActive());
    QSignalSpy spy(&watcher, &SignalWatcher::terminationRequested);
    QCOMPARE(std::raise(signalNumber), 0);
    // Nothing happens inside the handler: the request arrives on the event loop.
    QCOMPARE(spy.size(), 0);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), signalNumber);
}

void tst_SignalWatcher::oneOwnerAtATime()
{
    SignalWatcher first;
    {
        SignalWatcher second;
        QVERIFY(!second.isActive());
    }
    // The inert second watcher must not have torn down the first one's handlers.
    QSignalSpy spy(&first, &SignalWatcher::terminationRequested);
    std::raise(SIGTERM);
    QVERIFY(spy.wait(2000));
}

void tst_SignalWatcher::handlersRestored()
{
    struct sigaction before = {};
    sigaction(SIGTERM, nullptr, &before);
    {
        SignalWatcher watcher;
    }
    struct sigaction after = {};
    sigaction(SIGTERM, nullptr, &after);
    QVERIFY(after.sa_handler == before.sa_handler);

    // A new watcher after the first is gone works again.
    SignalWatcher again;
    QSignalSpy spy(&again, &SignalWatcher::terminationRequested);
    std::raise(SIGHUP);
    QVERIFY(spy.wait(2000));
}

QTEST_GUILESS_MAIN(tst_SignalWatcher)
#include "tst_signalwatcher.moc"
