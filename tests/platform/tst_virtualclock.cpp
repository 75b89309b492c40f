#include "sim/virtualclock.h"

#include <QTest>

using quorlink::sim::VirtualClock;

// The time every test of the link and the window runs on.
class VirtualClockTest : public QObject
{
    Q_OBJECT

private slots:
    void waitsJumpToTheNextTickAndSleepsDeliverNothing()
    {
        VirtualClock clock;
        auto timer = clock.createTimer();
        int ticks = 0;
        timer->setTickHandler([&] { ++ticks; });
        timer->setInterval(200);
        timer->setEnabled(true);
        clock.waitForEvent();
        QCOMPARE(ticks, 1);
        QCOMPARE(clock.nowMicroseconds(), 200'000);
        clock.sleep(500);
        QCOMPARE(ticks, 1);
        clock.yield(); // missed ticks coalesce into one
        QCOMPARE(ticks, 2);
        clock.waitForEvent();
        QCOMPARE(clock.nowMicroseconds(), 800'000);
    }

    void disabledTimersAndPostedEvents()
    {
        VirtualClock clock;
        auto timer = clock.createTimer();
        timer->setTickHandler([] { QFAIL("a disabled timer ticked"); });
        QString seen;
        clock.post(50'000, [&] { seen += QLatin1Char('a'); });
        clock.post(20'000, [&] { seen += QLatin1Char('b'); });
        clock.waitForEvent();
        clock.waitForEvent();
        QCOMPARE(seen, QStringLiteral("ba"));
        QCOMPARE(clock.nowMicroseconds(), 50'000);
        // Nothing left that could wake a wait: a test that would hang fails.
        QVERIFY_THROWS_EXCEPTION(std::logic_error, clock.waitForEvent());
    }
};

QTEST_GUILESS_MAIN(VirtualClockTest)
#include "tst_virtualclock.moc"
