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

// The waiting thread's own CPU time: the helper thread that plays the card is
// no part of what a wait costs.
qint64 threadCpuNs()
{
    timespec now = {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

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
    link::Link& link = session.link();
};

// Runs one wait of the link and tells what it got.
using Wait = std::function<QString(link::Link&)>;

} // namespace

class RealTimeWaitsTest : public QObject
{
    Q_OBJECT

private slots:
    // `arrivalMs`: when a card sends "R", -1: the cards stay silent.
    void linkWaitsSleepUntilTheirMoment_data()
    {
        QTest::addColumn<Wait>("wait");
        QTest::addColumn<int>("arrivalMs");
        QTest::addColumn<int>("endMs"); // when the wait ends without an arrival
        QTest::addColumn<QString>("outcome");
        QTest::newRow("remote reply wait, silence") << Wait([](link::Link& link) {
            link.awaitTextReply(2);
            return link.replyReceived ? QStringLiteral("reply") : QStringLiteral("no reply");
        }) << -1 << 200 << "no reply";
        QTest::newRow("acknowledgement after 70 ms") << Wait([](link::Link& link) {
            return link.awaitAcknowledgement() ? QStringLiteral("ready") : QStringLiteral("no ack");
        }) << 70 << 1000 << "ready";
        QTest::newRow("pause") << Wait([](link::Link& link) {
            link.pause();
            return QString();
        }) << -1 << 100 << "";
    }

    void linkWaitsSleepUntilTheirMoment()
    {
        QFETCH(Wait, wait);
        QFETCH(int, arrivalMs);
        QFETCH(int, endMs);
        RealLink real;

        QElapsedTimer watch;
        watch.start();
        const qint64 cpuStart = threadCpuNs();
        qint64 sentAtMs = -1;
        std::thread card;
        if (arrivalMs >= 0) {
            card = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(arrivalMs));
                sentAtMs = watch.elapsed();
                if (::write(real.pty.master, "R", 1) != 1)
                    sentAtMs = -2;
            });
        }
        const QString outcome = wait(real.link);
        const qint64 endedMs = watch.elapsed();
        const double cpuShare = double(threadCpuNs() - cpuStart) / double(watch.nsecsElapsed());
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
};

QTEST_GUILESS_MAIN(RealTimeWaitsTest)
#include "tst_realtimewaits.moc"
