#include "link/protocol.h"
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QRegularExpression>
#include <QTest>

using namespace quorlink;
using namespace quorlink::sim;
namespace protocol = quorlink::link::protocol;

Q_DECLARE_METATYPE(quorlink::sim::Fault)

namespace {

// A PC side for the switch: a CommPort on COM1 of the simulated provider, all
// on a virtual clock, with the link's pacing where it matters.
class Bench
{
public:
    VirtualClock clock;
    SimulatedSwitch simSwitch{clock};
    SimulatedDeviceProvider provider{simSwitch};
    CommPort port{provider};

    Bench()
    {
        port.setPortOpen(true);
        port.setSettings(protocol::DataSettings);
    }

    void write(QLatin1String settings, const QByteArray& bytes)
    {
        port.setSettings(settings);
        port.output(bytes);
    }

    // A query as the program writes it: address and command under mark
    // parity 10 ms apart, then the space-parity 0x00. Returns when the 0x00
    // has crossed the wire.
    std::int64_t query(std::uint8_t address, std::uint8_t command)
    {
        for (const std::uint8_t byte : {address, command}) {
            write(protocol::AddressSettings, QByteArray(1, char(byte)));
            clock.sleep(10);
        }
        write(protocol::DataSettings, QByteArray(1, '\0'));
        return simSwitch.trace().pcTimes().constLast();
    }

    // What arrives within `milliseconds`, reading whenever a wait wakes, as
    // the program's waits do.
    QByteArray receive(int milliseconds)
    {
        QByteArray bytes;
        const std::int64_t end = clock.nowMicroseconds() + milliseconds * 1000LL;
        clock.wakeAt(end);
        while (clock.nowMicroseconds() < end) {
            clock.waitForEvent();
            if (port.inBufferCount() != 0)
                bytes.append(port.input());
        }
        return bytes;
    }
};

} // namespace

class SimulatedSwitchTest : public QObject
{
    Q_OBJECT

private slots:
    // Each byte leaves with the parity set when it was written, back to back
    // with the bytes still on the wire; the cards act on that parity.
    void pcBytesKeepTheirParityAndQueueOnTheWire()
    {
        Bench bench;
        bench.simSwitch.card(1).setFirmwareVersion("M");
        bench.write(protocol::AddressSettings, "\x81");
        bench.port.output(QByteArray(1, 0x10));
        bench.port.output(QByteArray(1, '\0')); // still mark: not the end of the phase
        bench.write(protocol::DataSettings, "\x07");
        QVERIFY(bench.receive(100).isEmpty());
        bench.port.output(QByteArray(1, '\0'));

        const std::vector<PcByte> expected{{0x81, Parity::Mark, 573},
                                           {0x10, Parity::Mark, 1146},
                                           {0x00, Parity::Mark, 1719},
                                           {0x07, Parity::Space, 2292},
                                           {0x00, Parity::Space, 100573}};
        QVERIFY(bench.simSwitch.trace().pcBytes() == expected);
        QCOMPARE(bench.receive(100), QByteArray("M\xFF"));
        QCOMPARE(bench.simSwitch.trace().switchTimes(), (QList<std::int64_t>{101146, 101719}));
    }

    // Reopening drops what has arrived; bytes still on their way arrive later.
    void reopenDiscardsWhatHasArrived()
    {
        Bench bench;
        bench.simSwitch.card(2).setFirmwareVersion("ABCD").setSplitReply(2, 50);
        bench.query(0x82, 0x10);
        bench.clock.sleep(5);
        QCOMPARE(bench.port.inBufferCount(), 2);
        bench.port.setPortOpen(false);
        bench.port.setPortOpen(true);
        QCOMPARE(bench.port.inBufferCount(), 0);
        QCOMPARE(bench.receive(100), QByteArray("CD\xFF"));
    }

    // Each kind of fault at certain chance, against a firmware query of card
    // 5: what reaches the PC, and whether the switch marks the answer as
    // doubtful. (What the soak does with the doubtful cards shows the faults
    // of a download.)
    void faultsStrikeByKind_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("received"); // what arrived within 2 s
        QTest::addColumn<bool>("doubtful");
        QTest::newRow("dropped byte") << Fault::DroppedByte << "5 (2 bytes)" << true;
        QTest::newRow("duplicated byte") << Fault::DuplicatedByte << "VV5 (4 bytes)" << true;
        QTest::newRow("noise") << Fault::Noise << "V5 (4 bytes)" << true;
        QTest::newRow("split reply") << Fault::SplitReply << "V5 (3 bytes) with a pause" << false;
        QTest::newRow("late reply") << Fault::LateReply << "V5 (3 bytes) after 200 ms" << false;
        QTest::newRow("another card answers") << Fault::AnswerForAnother << "V14 (4 bytes)" << true;
        QTest::newRow("device vanishes") << Fault::DeviceVanished << "gone" << false;
    }
    void faultsStrikeByKind()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, received);
        QFETCH(bool, doubtful);
        Bench bench;
        for (int number = 1; number <= 64; ++number)
            bench.simSwitch.card(number).setFirmwareVersion(QStringLiteral("V%1").arg(number));
        FaultInjector faults(5);
        faults.setChance(fault, 1.0);
        faults.setVanishHandler([&bench] { bench.provider.setRemoved(1, true); });
        bench.simSwitch.setFaultInjector(&faults);
        QString seen;
        try {
            const std::int64_t asked = bench.query(0x85, 0x10);
            const QByteArray bytes = bench.receive(2000);
            const QList<std::int64_t> times = bench.simSwitch.trace().switchTimes();
            bool paused = false;
            for (qsizetype i = 1; i < times.size(); ++i)
                paused = paused || times[i] - times[i - 1] > 1000;
            seen = QStringLiteral("%1 (%2 bytes)%3%4")
                       .arg(QString::fromLatin1(bytes).remove(QRegularExpression("[^A-Z0-9]")))
                       .arg(bytes.size())
                       .arg(paused ? QStringLiteral(" with a pause") : QString())
                       .arg(times.first() - asked > 200'000 ? QStringLiteral(" after 200 ms")
                                                            : QString());
        } catch (const RuntimeError&) {
            seen = QStringLiteral("gone");
        }
        // Noise bytes that happen to be letters or digits join the text.
        if (fault == Fault::Noise)
            seen.replace(QRegularExpression("^\\w*V5\\w* "), QStringLiteral("V5 "));
        QCOMPARE(seen, received);
        QCOMPARE(faults.count(fault), 1);
        QCOMPARE(faults.totalCount(), 1);
        QCOMPARE(bench.simSwitch.doubtfulCards().contains(5), doubtful);
    }

};

QTEST_GUILESS_MAIN(SimulatedSwitchTest)
#include "tst_simulatedswitch.moc"
