// The waits as the programs run them: Qt timers and the Qt event loop, a
// real serial device on a pseudo-terminal and the link's own waits. A wait
// must sleep until a byte, a timer tick or user input arrives; the virtual
// clock of the other tests cannot tell sleeping from spinning. Real time on
// a loaded machine only ever runs late, so the bounds are loose on that side.
#include "link/session.h"
#include "platform/qttimesource.h"
#include "platform/serialports.h"
#include "recordingprompts.h"

#include "pseudoterminal.h"

#include <QElapsedTimer>
#include <QTest>

#include <ctime>
#include <functional>
#include <thread>

using namespace quorlink;
using test::PseudoTerminal;

namespace {

// How late a wait may end after its moment on a busy machine.
constexpr qint64 LatenessMs = 100;
// A wait may use at most this share of its length on the CPU.
constexpr double MaxCpuShare = 0.05;

// The waiting thread's own CPU time: the helper thread that plays the card,
// and its creation under a sanitizer, are no part of what a wait costs.
qint64 waitingThreadCpuNanoseconds()
{
    timespec now = {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Wall time, and CPU time of the thread that made it, since it was made.
class Stopwatch
{
public:
    Stopwatch() { m_wall.start(); }
    qint64 elapsedMs() const { return m_wall.elapsed(); }
    double cpuShare() const
    {
        const double wallNs = double(m_wall.nsecsElapsed());
        return wallNs <= 0 ? 0 : double(waitingThreadCpuNanoseconds() - m_cpuStart) / wallNs;
    }

private:
    QElapsedTimer m_wall;
    qint64 m_cpuStart = waitingThreadCpuNanoseconds();
};

// The program's link on a real device: COM1 is the slave side of a
// pseudo-terminal, the test answers as the cards on the master side.
struct RealLink
{
    RealLink()
    {
        devices.mapDevice(1, pty.slavePath);
        session.open(1);
    }

    PseudoTerminal pty;
    SystemDeviceProvider devices;
    QtTimeSource time{Qt::PreciseTimer};
    quorlink::test::RecordingPrompts prompts;
    link::Session session{time, prompts, devices};
    CommPort& port = session.port();
    link::Link& link = session.link();
};

// Runs one wait of the link and tells what it got.
using Wait = std::function<QString(link::Link&)>;

} // namespace

class RealTimeWaitsTest : public QObject
{
    Q_OBJECT

private slots:
    void linkWaitsSleepUntilTheirMoment_data()
    {
        QTest::addColumn<Wait>("wait");
        QTest::addColumn<int>("arrivalMs"); // -1: the cards stay silent
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("endMs"); // when the wait ends without an arrival
        QTest::addColumn<QString>("outcome");

        const Wait textReply = [](link::Link& link) {
            link.replyText.clear();
            link.awaitTextReply(2);
            return link.replyReceived ? QStringLiteral("reply ") + link.replyText
                                      : QStringLiteral("no reply");
        };
        const Wait acknowledgement = [](link::Link& link) {
            return link.awaitAcknowledgement() ? QStringLiteral("ready") : QStringLiteral("no ack");
        };
        QTest::newRow("remote reply wait, silence")
            << textReply << -1 << QByteArray() << 200 << "no reply";
        QTest::newRow("remote reply after 70 ms")
            << textReply << 70 << QByteArray("QLREM ver1.07 US\xFF") << 200
            << "reply QLREM ver1.07 US";
        QTest::newRow("acknowledgement after 70 ms")
            << acknowledgement << 70 << QByteArray("R") << 1000 << "ready";
        QTest::newRow("pause") << Wait([](link::Link& link) {
            link.pause();
            return QString();
        }) << -1 << QByteArray()
                               << 100 << "";
    }

    void linkWaitsSleepUntilTheirMoment()
    {
        QFETCH(Wait, wait);
        QFETCH(int, arrivalMs);
        QFETCH(QByteArray, sent);
        QFETCH(int, endMs);
        RealLink real;
        QVERIFY(!real.pty.slavePath.isEmpty());

        const Stopwatch watch;
        qint64 sentAtMs = -1;
        std::thread card;
        if (arrivalMs >= 0) {
            card = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(arrivalMs));
                sentAtMs = watch.elapsedMs();
                if (::write(real.pty.master, sent.constData(), size_t(sent.size())) != sent.size())
                    sentAtMs = -2;
            });
        }
        const QString outcome = wait(real.link);
        const qint64 endedMs = watch.elapsedMs();
        const double cpuShare = watch.cpuShare();
        if (card.joinable())
            card.join();

        QTEST(outcome, "outcome");
        const qint64 moment = arrivalMs >= 0 ? sentAtMs : endMs;
        QVERIFY2(moment >= 0, "the card could not send");
        QVERIFY2(
            endedMs >= moment && endedMs <= moment + LatenessMs,
            qPrintable(QStringLiteral("ended at %1 ms, due at %2 ms").arg(endedMs).arg(moment)));
        QVERIFY2(
            cpuShare < MaxCpuShare,
            qPrintable(QStringLiteral("%1 % CPU over %2 ms").arg(cpuShare * 100).arg(endedMs)));
    }

    // A wait disables its timer and the next wait enables it again: the
    // next timeout counts from that moment, whatever ran of the last one.
    void aReEnabledTimerRunsItsWholeInterval_data()
    {
        QTest::addColumn<Qt::TimerType>("type");
        QTest::newRow("Update") << Qt::PreciseTimer;
        QTest::newRow("Tamber") << Qt::CoarseTimer;
    }

    void aReEnabledTimerRunsItsWholeInterval()
    {
        QFETCH(Qt::TimerType, type);
        constexpr int IntervalMs = 200;
        QtTimeSource time(type);
        const auto timer = time.createTimer();
        int ticks = 0;
        timer->setTickHandler([&] { ++ticks; });
        timer->setInterval(IntervalMs);
        timer->setEnabled(true);
        QElapsedTimer sinceStart;
        sinceStart.start();
        while (sinceStart.elapsed() < IntervalMs / 2)
            QTest::qWait(10);
        timer->setEnabled(false);
        timer->setEnabled(true);
        timer->setEnabled(true); // enabling an enabled timer changes nothing
        QElapsedTimer sinceReEnable;
        sinceReEnable.start();
        while (ticks == 0 && sinceReEnable.elapsed() < 5 * IntervalMs)
            time.waitForEvent();
        const qint64 tickedMs = sinceReEnable.elapsed();
        QCOMPARE(ticks, 1);
        // Our own watch started a moment after the timer: 1 ms of rounding.
        QVERIFY2(tickedMs >= IntervalMs - 1 && tickedMs <= IntervalMs + LatenessMs,
                 qPrintable(QStringLiteral("ticked %1 ms after being re-enabled").arg(tickedMs)));
    }

};

QTEST_GUILESS_MAIN(RealTimeWaitsTest)
#include "tst_realtimewaits.moc"
