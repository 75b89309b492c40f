#include "link/protocol.h"
#include "sim/ptyswitch.h"
#include "sim/simulatedswitch.h"

#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace quorlink;
using namespace quorlink::sim;
namespace protocol = quorlink::link::protocol;

namespace {

// The simulator on a loaded machine: preempted between any two looks at the
// clock, it finds the time moved on by `step` each time it looks. Replies
// then arrive in the middle of a delivery, between taking what has arrived
// and deciding when to look again.
class StarvedClock final : public TimeSource
{
public:
    explicit StarvedClock(std::int64_t stepMicroseconds) : m_step(stepMicroseconds) {}

    // The switch needs no timers and no waits; the pseudo-terminal keeps its own.
    std::unique_ptr<LinkTimer> createTimer() override { return {}; }
    void yield() override {}
    void waitForEvent() override {}
    void sleep(int) override {}
    void wakeAt(std::int64_t) override {}
    std::int64_t nowMicroseconds() const override { return m_now += m_step; }

private:
    std::int64_t m_step;
    mutable std::int64_t m_now = 0;
};

} // namespace

class PtySwitchTest : public QObject
{
    Q_OBJECT

private slots:
    // However late the simulator looks, every byte of a reply reaches the
    // PC's side, the terminator too, without the PC writing again.
    void aWholeReplyReachesThePcHoweverLateTheSimulatorLooks_data()
    {
        QTest::addColumn<int>("stepMicroseconds");
        QTest::newRow("a fraction of a character") << 100;
        QTest::newRow("about two characters") << 1'200;
        QTest::newRow("most of a reply") << 8'000;
    }
    void aWholeReplyReachesThePcHoweverLateTheSimulatorLooks()
    {
        QFETCH(int, stepMicroseconds);
        StarvedClock clock(stepMicroseconds);
        const auto simulatedSwitch = SimulatedSwitch::standard(clock);
        PtySwitch pty(*simulatedSwitch);
        const int pc = ::open(pty.slavePath().toLocal8Bit().constData(),
                              O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(pc >= 0);
        const auto closePc = qScopeGuard([pc] { ::close(pc); });
        const char query[] = {char(protocol::addressByte(2)),
                              char(protocol::FirmwareVersionCommand), 0};
        QCOMPARE(::write(pc, query, sizeof query), ssize_t(sizeof query));

        QByteArray received;
        const auto readMore = [&] {
            char buffer[64];
            for (ssize_t count; (count = ::read(pc, buffer, sizeof buffer)) > 0;)
                received.append(buffer, count);
            return received;
        };
        QTRY_COMPARE_WITH_TIMEOUT(readMore(), QByteArray("QLREM ver1.07 US\xff"), 2000);
    }
};

QTEST_GUILESS_MAIN(PtySwitchTest)
#include "tst_ptyswitch.moc"
