#include "sim/virtualclock.h"

#include <QTest>

using quorlink::sim::VirtualClock;

class VirtualClockTest : public QObject
{
    Q_OBJECT

private slots:
    void waitJumpsToTheNextTickAndTimesAreExact()
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
        clock.waitForEvent();
        QCOMPARE(clock.nowMicroseconds(), 400'000);
    }

    void yieldDeliversOnlyWhatIsDueAndSleepDeliversNothing()
    {
        VirtualClock clock;
        auto timer = clock.createTimer();
        int ticks = 0;
        timer->setTickHandler([&] { ++ticks; });
        timer->setEnabled(true);  // resting interval 1000 ms
        clock.yield();
        QCOMPARE(ticks, 0);
        clock.sleep(2500);
        QCOMPARE(ticks, 0);
        clock.yield();  // missed ticks coalesce into one
        QCOMPARE(ticks, 1);
        clock.waitForEvent();
        QCOMPARE(clock.nowMicroseconds(), 3'000'000);
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
        QVERIFY_THROWS_EXCEPTION(std::logic_error, clock.waitForEvent());
    }
};

QTEST_GUILESS_MAIN(VirtualClockTest)
#include "tst_virtualclock.moc"
