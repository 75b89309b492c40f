#include "firmwaremaker.h"
#include "link/protocol.h"
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QRegularExpression>
#include <QTest>

#include <functional>

using namespace quorlink;
using namespace quorlink::sim;
namespace protocol = quorlink::link::protocol;
namespace maker = quorlink::firmware::maker;

using CardSetup = std::function<void(SimulatedCard&)>;
using SwitchSetup = std::function<void(SimulatedSwitch&)>;
Q_DECLARE_METATYPE(quorlink::sim::Fault)
Q_DECLARE_METATYPE(CardSetup)
Q_DECLARE_METATYPE(SwitchSetup)

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

QList<std::int64_t> offsetsFrom(const QList<std::int64_t>& times, std::int64_t from)
{
    QList<std::int64_t> result;
    for (const std::int64_t time : times)
        result.append(time - from);
    return result;
}

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
    void versionQuery_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("command");
        QTest::addColumn<CardSetup>("setup");
        QTest::addColumn<QByteArray>("reply");
        // Arrival times of the reply bytes after the 0x00 has crossed, in us.
        QTest::addColumn<QList<std::int64_t>>("offsets");

        using Offsets = QList<std::int64_t>;
        QTest::newRow("firmware after the reply delay")
            << 0x85 << 0x10 << CardSetup([](SimulatedCard& card) {
                   card.setFirmwareVersion("AB").setHardwareVersion("X").setReplyDelay(4);
               })
            << QByteArray("AB\xFF") << Offsets{4573, 5146, 5719};
        QTest::newRow("absent card")
            << 0x85 << 0x10 << CardSetup([](SimulatedCard& card) { card.setPresent(false); })
            << QByteArray() << Offsets{};
        QTest::newRow("split after two bytes")
            << 0x85 << 0x10 << CardSetup([](SimulatedCard& card) {
                   card.setFirmwareVersion("ABCDE").setSplitReply(2, 7);
               })
            << QByteArray("ABCDE\xFF") << Offsets{573, 1146, 8719, 9292, 9865, 10438};
        QTest::newRow("all remote cards get no reply")
            << 0xFF << 0x10 << CardSetup([](SimulatedCard& card) { card.setFirmwareVersion("A"); })
            << QByteArray() << Offsets{};
    }

    void versionQuery()
    {
        QFETCH(int, address);
        QFETCH(int, command);
        QFETCH(CardSetup, setup);
        QFETCH(QByteArray, reply);
        QFETCH(QList<std::int64_t>, offsets);

        Bench bench;
        setup(bench.simSwitch.card(address == 0xFF ? 5 : address - 0x80));
        const std::int64_t sent = bench.query(std::uint8_t(address), std::uint8_t(command));

        QCOMPARE(bench.receive(500), reply);
        QCOMPARE(bench.simSwitch.trace().switchData(), reply);
        if (!offsets.isEmpty())
            QCOMPARE(offsetsFrom(bench.simSwitch.trace().switchTimes(), sent), offsets);
        QCOMPARE(bench.simSwitch.trace().pcText(),
                 QStringLiteral("m%1 m%2 s00")
                     .arg(QString::number(address, 16).toUpper(),
                          QString::number(command, 16).toUpper()));
    }

    // Each byte leaves with the parity set when it was written, back to back
    // with the bytes still on the wire; the cards act on that parity.
    // Without wire time a card with no reply delay answers the moment it is asked.
    void repliesAtOnceWithoutWireTime()
    {
        Bench bench;
        bench.simSwitch.setWireTimeModelled(false);
        bench.simSwitch.card(9).setFirmwareVersion(QStringLiteral("V9")).setReplyDelay(0);
        bench.clock.sleep(5);
        bench.write(protocol::AddressSettings, QByteArray("\x89\x10", 2));
        bench.write(protocol::DataSettings, QByteArray(1, '\0'));
        QCOMPARE(bench.simSwitch.takeArrived(), QByteArray("V9\xff"));
        QCOMPARE(bench.simSwitch.trace().pcTimes(), (QList<std::int64_t>{5000, 5000, 5000}));
    }

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

    void reset_data()
    {
        QTest::addColumn<QByteArray>("frames");
        QTest::addColumn<SwitchSetup>("setup");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<int>>("resetCards");

        const SwitchSetup plain = [](SimulatedSwitch&) {};
        QTest::newRow("several frames") << QByteArray("QLRESET\x83\xFBQLRESET\x85\xFB") << plain
                                        << QByteArray("R") << QList<int>{3, 5};
        QTest::newRow("all remote cards, absent ones not")
            << QByteArray("QLRESET\xFF\xFB") << SwitchSetup([](SimulatedSwitch& simSwitch) {
                   simSwitch.setRemoteCardsPresent({2, 40, 64});
               })
            << QByteArray("R") << QList<int>{2, 40, 64};
        QTest::newRow("signature missing")
            << QByteArray("\x85\xFB") << plain << QByteArray() << QList<int>{};
        QTest::newRow("signature broken")
            << QByteArray("QLRESEX\x85\xFB") << plain << QByteArray() << QList<int>{};
    }

    void reset()
    {
        QFETCH(QByteArray, frames);
        QFETCH(SwitchSetup, setup);
        QFETCH(QByteArray, reply);
        QFETCH(QList<int>, resetCards);

        Bench bench;
        setup(bench.simSwitch);
        const std::int64_t sent = bench.addressPhase({frames});

        QCOMPARE(bench.receive(1000), reply);
        if (!reply.isEmpty())
            QCOMPARE(bench.simSwitch.trace().switchTimes().constFirst() - sent, std::int64_t{573});
        for (int number = 1; number <= 64; ++number) {
            const QList<std::int64_t> expected =
                resetCards.contains(number) ? QList<std::int64_t>{sent} : QList<std::int64_t>{};
            QCOMPARE(bench.simSwitch.card(number).resetTimes(), expected);
        }
    }

    void scriptedDownloadAnswers_data()
    {
        QTest::addColumn<CardSetup>("setup");
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("completed");

        const Answer refuse = protocol::RecordRefused;
        QTest::newRow("all accepted")
            << CardSetup([](SimulatedCard&) {}) << "52 | 06 | 06 | 06" << true;
        QTest::newRow("refused five times") << CardSetup([=](SimulatedCard& card) {
            card.scriptRecordAnswers(1, {refuse, refuse, refuse, refuse, refuse});
        }) << "52 | 06 | 15 15 15 15 15" << false;
        QTest::newRow("other byte to the end record")
            << CardSetup([](SimulatedCard& card) { card.scriptRecordAnswers(2, {0x52}); })
            << "52 | 06 | 06 | 52 06" << true;
    }

    // A failed download leaves the old version; the next mark byte brings the
    // card back to the address phase whatever state the download left.
    void scriptedDownloadAnswers()
    {
        QFETCH(CardSetup, setup);
        QFETCH(QString, log);
        QFETCH(bool, completed);

        Bench bench;
        SimulatedCard& card = bench.simSwitch.card(4);
        card.setFirmwareVersion("QLREM ver1.07 US");
        setup(card);
        QCOMPARE(download(bench, {"\x84", "\x11"}, remoteImage("QLREM ver1.08 US")), log);
        QCOMPARE(card.images().size(), completed ? 1 : 0);
        bench.clock.sleep(50); // whatever the download left on its way
        bench.port.clearInBuffer();
        bench.query(0x84, 0x10);
        QCOMPARE(bench.receive(200), completed ? "QLREM ver1.08 US\xFF" : "QLREM ver1.07 US\xFF");
    }

    // A delayed answer leaves the card's decision as it was and only arrives
    // later; the delay applies to the scripted attempt alone.
    void delayedRecordAnswerArrivesLate()
    {
        Bench bench;
        SimulatedCard& card = bench.simSwitch.card(4);
        card.scriptRecordAnswers(0, {protocol::RecordRefused}).delayRecordAnswers(0, {1200});
        const QStringList records = remoteImage("QLREM ver1.08 DE");
        bench.query(0x84, 0x11);
        QCOMPARE(bench.receive(1000, true), QByteArray("R"));

        const int writes = bench.simSwitch.writeCount();
        bench.write(protocol::DataSettings, records.at(0).toLatin1());
        QCOMPARE(bench.simSwitch.writeCount(), writes + 1); // the whole record in one write
        QCOMPARE(bench.receive(1000), QByteArray());
        QCOMPARE(bench.receive(1000, true), QByteArray("\x15"));
        QCOMPARE(bench.simSwitch.trace().switchTimes().constLast() -
                     bench.simSwitch.trace().pcTimes().constLast(),
                 std::int64_t{1200573});
        for (const QString& record : records) {
            bench.write(protocol::DataSettings, record.toLatin1());
            QCOMPARE(bench.receive(1000, true), QByteArray("\x06"));
        }
        QCOMPARE(card.images(), QList<QStringList>{records});
    }

    // Several addressed cards answer as one: when the slowest is ready, and
    // with the answer of any card that does not accept.
    void groupDownloadAnswersAsOne()
    {
        Bench bench;
        bench.simSwitch.card(3).setReplyDelay(1);
        bench.simSwitch.card(5).setReplyDelay(6).scriptRecordAnswers(0, {0x15});
        const QString log =
            download(bench, {"\x83", "\x11", "\x85", "\x11"}, remoteImage("QLREM ver1.09 US"));

        QCOMPARE(log, QStringLiteral("52 | 15 06 | 06 | 06"));
        QCOMPARE(bench.simSwitch.trace().switchTimes().constFirst(),
                 bench.simSwitch.trace().pcTimes().at(4) + 6573);
        QCOMPARE(bench.simSwitch.card(3).firmwareVersion(), QStringLiteral("QLREM ver1.09 US"));
        QCOMPARE(bench.simSwitch.card(5).firmwareVersion(), QStringLiteral("QLREM ver1.09 US"));
        QVERIFY(bench.simSwitch.card(4).images().isEmpty());
    }

    // Either of the management card's two images may carry the version.
    void managementCardTakesTwoImages()
    {
        Bench bench;
        SimulatedCard& card = bench.simSwitch.card(1);
        card.setFirmwareVersion("QLMGR ver2.31 US");
        const QStringList second = remoteImage(QString());
        const QStringList first = remoteImage("QLMGR ver2.31 DE");

        QCOMPARE(download(bench, {"\x81", "\x11"}, second), QStringLiteral("52 | 06 | 06"));
        QCOMPARE(card.firmwareVersion(), QStringLiteral("QLMGR ver2.31 US"));
        QCOMPARE(download(bench, {"\x81", "\x11"}, first), QStringLiteral("52 | 06 | 06 | 06"));
        QCOMPARE(card.images(), (QList<QStringList>{second, first}));
        QCOMPARE(card.firmwareVersion(), QStringLiteral("QLMGR ver2.31 DE"));
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

    void unpluggedPortFailsUntilPluggedIn()
    {
        Bench bench;
        bench.provider.setRemoved(1, true);
        try {
            bench.port.inBufferCount();
            QFAIL("an unplugged port answered");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.code(), int(RuntimeError::DeviceUnavailable));
        }
        QVERIFY_THROWS_EXCEPTION(RuntimeError, bench.port.setPortOpen(true));
        bench.provider.setRemoved(1, false);
        bench.port.setPortOpen(true);
        QCOMPARE(bench.port.inBufferCount(), 0);
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

    // Noise on a record: the card refuses it and stores nothing of it.
    void noiseOnARecordGetsItRefused()
    {
        Bench bench;
        FaultInjector faults(4);
        bench.simSwitch.setFaultInjector(&faults);
        const QStringList records = remoteImage("QLREM ver1.08 DE");
        bench.query(0x84, 0x11);
        QCOMPARE(bench.receive(1000, true), QByteArray("R"));
        faults.setChance(Fault::Noise, 1.0);
        bench.write(protocol::DataSettings, records.at(0).toLatin1());
        QVERIFY(bench.receive(1000).contains('\x15'));
        faults.setChance(Fault::Noise, 0.0);
        for (const QString& record : records) {
            bench.write(protocol::DataSettings, record.toLatin1());
            QCOMPARE(bench.receive(1000, true), QByteArray("\x06"));
        }
        QCOMPARE(bench.simSwitch.card(4).images(), QList<QStringList>{records});
    }

    // One seed, one course of events.
    void faultsReplayFromTheirSeed()
    {
        const auto course = [](std::uint32_t seed) {
            Bench bench;
            FaultInjector faults(seed);
            for (const Fault fault :
                 {Fault::Noise, Fault::DroppedByte, Fault::SplitReply, Fault::LateReply})
                faults.setChance(fault, 0.3);
            bench.simSwitch.setFaultInjector(&faults);
            QByteArray bytes;
            for (int card = 2; card < 30; ++card) {
                bench.query(0x80 + card, 0x10);
                bytes += bench.receive(300);
            }
            return faults.summary() + QString::fromLatin1(bytes.toHex());
        };
        QCOMPARE(course(17), course(17));
        QVERIFY(course(17) != course(18));
    }

    void standardSwitchHasEveryCardWithItsLanguage()
    {
        VirtualClock clock;
        const auto simSwitch = SimulatedSwitch::standard(clock);
        for (int number = 1; number <= 64; ++number) {
            const SimulatedCard& card = simSwitch->card(number);
            const QString version = card.firmwareVersion();
            QVERIFY(card.takesPart() && card.replyDelayMilliseconds() > 0);
            QCOMPARE(version.mid(version.indexOf(QLatin1String("ver")) + 8, 2), "US");
        }
    }
};

QTEST_GUILESS_MAIN(SimulatedSwitchTest)
#include "tst_simulatedswitch.moc"
