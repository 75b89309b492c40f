#include "firmwaremaker.h"
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
namespace maker = quorlink::firmware::maker;

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

    // The address phase as the program writes it: mark writes 10 ms apart,
    // then the space-parity 0x00. Returns when the 0x00 has crossed the wire.
    std::int64_t addressPhase(const QList<QByteArray>& markWrites)
    {
        for (const QByteArray& bytes : markWrites) {
            write(protocol::AddressSettings, bytes);
            clock.sleep(10);
        }
        write(protocol::DataSettings, QByteArray(1, '\0'));
        return simSwitch.trace().pcTimes().constLast();
    }

    std::int64_t query(std::uint8_t address, std::uint8_t command)
    {
        return addressPhase({QByteArray(1, char(address)), QByteArray(1, char(command))});
    }

    // What arrives within `milliseconds` (or the first read only), reading
    // whenever a wait wakes, as the program's waits do.
    QByteArray receive(int milliseconds, bool firstReadOnly = false)
    {
        QByteArray bytes;
        const std::int64_t end = clock.nowMicroseconds() + milliseconds * 1000LL;
        clock.wakeAt(end);
        while (clock.nowMicroseconds() < end && !(firstReadOnly && !bytes.isEmpty())) {
            clock.waitForEvent();
            if (port.inBufferCount() != 0)
                bytes.append(port.input());
        }
        return bytes;
    }
};

QString hex(const QByteArray& bytes)
{
    return bytes.isEmpty() ? QStringLiteral("--") : QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Records as the program sends them: a data record, one holding the version
// text unless it is empty, then the fixed end record.
QStringList remoteImage(const QString& version)
{
    maker::Image image;
    image.place({0x1000, maker::generatedBytes(32, 5)});
    if (!version.isEmpty())
        image.place({0x2FDF, version.toLatin1() + char(0xFF)});
    QStringList records = maker::FirmwareMaker(9).remoteRecordTexts(image);
    records.last() = protocol::EndRecord;
    return records;
}

// The download as the program drives it: ready, then every record up to
// five times until accepted, stopping on an abort. The log shows the ready
// bytes, then per record the answers to its attempts ("--" for none).
QString download(Bench& bench, const QList<QByteArray>& markWrites, const QStringList& records)
{
    bench.addressPhase(markWrites);
    const QByteArray ready = bench.receive(1000, true);
    QStringList log{hex(ready)};
    for (qsizetype i = 0; ready.startsWith('R') && i < records.size(); ++i) {
        QStringList attempts;
        QByteArray answer;
        while (attempts.size() < 5 && answer != "\x06" && answer != "\x18") {
            bench.write(protocol::DataSettings, records[i].toLatin1());
            answer = bench.receive(1000, true);
            attempts.append(hex(answer));
        }
        log.append(attempts.join(QLatin1Char(' ')));
        if (answer != "\x06")
            break;
    }
    return log.join(QStringLiteral(" | "));
}

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
    // 5 (a download for the false acknowledgement): what reaches the PC, what
    // the card holds, and which answers the switch marks as doubtful.
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

    // A card that acknowledges records it did not store: the PC sees every
    // record accepted, the card holds only what it stored, and it is doubtful.
    void falseAcknowledgementsLeaveTheImageIncomplete()
    {
        Bench bench;
        FaultInjector faults(3);
        faults.setChance(Fault::FalseAcknowledgement, 0.5);
        bench.simSwitch.setFaultInjector(&faults);
        const QStringList records = remoteImage("QLREM ver1.08 DE");
        QCOMPARE(download(bench, {"\x84\x11"}, records), QStringLiteral("52 | 06 | 06 | 06"));
        const QList<QStringList> held = bench.simSwitch.card(4).images();
        QVERIFY(faults.count(Fault::FalseAcknowledgement) > 0);
        const int claimed = faults.count(Fault::FalseAcknowledgement);
        QVERIFY(held.isEmpty() || held.first().size() == records.size() - claimed);
        QVERIFY(held != QList<QStringList>{records});
        QCOMPARE(bench.simSwitch.doubtfulCards(), std::set<int>{4});
    }

    // A record sent again because its acknowledgement came late writes the
    // same addresses again: the card holds it once.
    void aRecordSentAgainAfterALateAcknowledgementIsStoredOnce()
    {
        Bench bench;
        const QStringList records = remoteImage("QLREM ver1.08 DE");
        bench.simSwitch.card(4).delayRecordAnswers(1, {1500});
        QCOMPARE(download(bench, {"\x84\x11"}, records), QStringLiteral("52 | 06 | -- 06 | 06"));
        QCOMPARE(bench.simSwitch.card(4).images(), QList<QStringList>{records});
        // The late answer was on its way while the record went again: which
        // answer the PC took for which record is open to doubt.
        QCOMPARE(bench.simSwitch.doubtfulCards(), std::set<int>{4});
    }

};

QTEST_GUILESS_MAIN(SimulatedSwitchTest)
#include "tst_simulatedswitch.moc"
