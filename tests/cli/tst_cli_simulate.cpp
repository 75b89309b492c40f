#include "firmwaremaker.h"
#include "ptysimulator.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace quorlink;
namespace protocol = quorlink::link::protocol;
namespace maker = quorlink::firmware::maker;

namespace {

using test::PtySimulator;
using test::StartTimeoutMs;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (const int value : values)
        result.append(static_cast<char>(value));
    return result;
}

} // namespace

// The simulated switch on a real serial device path, from start to the
// report of what its cards received.
class CliSimulateTest : public QObject
{
    Q_OBJECT

private slots:
    void versionQueriesOverThePseudoTerminal()
    {
        PtySimulator simulator;
        QVERIFY(simulator.start(
            {"--cards", "2-5", "--silent", "4", "--remote-version", "QLREM ver1.09 DE"}));
        QVERIFY(simulator.path.startsWith(QLatin1String("/dev/pts/")));

        const auto present = simulator.link.exchangeVersion(3, protocol::FirmwareVersionCommand);
        QVERIFY(present.received);
        QCOMPARE(present.text, QStringLiteral("QLREM ver1.09 DE"));
        const auto manager = simulator.link.exchangeVersion(1, protocol::HardwareVersionCommand);
        QCOMPARE(manager.text, QStringLiteral("HW rev C"));
        QVERIFY(simulator.prompts.entries().empty());
        // A silent card and one not in the switch stay quiet: the communication error.
        QVERIFY(!simulator.link.exchangeVersion(4, protocol::FirmwareVersionCommand).received);
        QVERIFY(!simulator.link.exchangeVersion(7, protocol::FirmwareVersionCommand).received);
        QCOMPARE(simulator.prompts.messageCount(), 2);
        QCOMPARE(simulator.stop(), QJsonArray());
        QVERIFY(simulator.process.readAllStandardOutput().isEmpty());
    }

    // Reset and download need the parity told apart without a parity bit:
    // the signature under mark, records as data.
    void resetAndDownloadReachTheCards()
    {
        PtySimulator simulator;
        QVERIFY(simulator.start({"--cards", "2-6"}));

        simulator.addressPhase(QByteArray(protocol::ResetSignature.data()) + bytes({0x83, 0xFB}) +
                               QByteArray(protocol::ResetSignature.data()) + bytes({0x85, 0xFB}));
        QCOMPARE(simulator.readFor(150), QByteArray("R"));

        maker::FirmwareMaker firmwareMaker(3);
        const QStringList records = firmwareMaker.remoteRecordTexts(
            maker::makeImage(0x2000, 100, QStringLiteral("QLREM ver1.10 US"), 4));
        simulator.addressPhase(bytes({0x82, 0x11, 0x86, 0x11}));
        QCOMPARE(simulator.readFor(150), QByteArray("R"));
        QStringList sent;
        for (const QString& record : records) {
            const QString text = record == records.last() ? QString(protocol::EndRecord) : record;
            simulator.link.write(text.toLatin1());
            sent << text;
            QCOMPARE(simulator.readFor(120), bytes({protocol::RecordAccepted}));
        }
        // The read-back: the card took the version of its new image.
        QCOMPARE(simulator.link.exchangeVersion(6, protocol::FirmwareVersionCommand).text,
                 QStringLiteral("QLREM ver1.10 US"));

        const QJsonArray cards = simulator.stop();
        QCOMPARE(cards.size(), 4);
        const QJsonArray image{QJsonArray::fromStringList(sent)};
        QCOMPARE(cards[0]["card"].toInt(), 2);
        QCOMPARE(cards[0]["images"].toArray(), image);
        QCOMPARE(cards[1]["card"].toInt(), 3);
        QCOMPARE(cards[1]["resets"].toInt(), 1);
        QCOMPARE(cards[1]["images"].toArray(), QJsonArray());
        QCOMPARE(cards[2]["card"].toInt(), 5);
        QCOMPARE(cards[3]["card"].toInt(), 6);
        QCOMPARE(cards[3]["images"].toArray(), image);
        QCOMPARE(cards[3]["version"].toString(), QStringLiteral("QLREM ver1.10 US"));
        QVERIFY(simulator.process.readAllStandardOutput().contains(
            "card 6: 1 image(s), 0 reset(s), version \"QLREM ver1.10 US\""));
    }

    void refusedRecord()
    {
        PtySimulator simulator;
        QVERIFY(simulator.start({"--cards", "2", "--refuse-record", "1"}));
        simulator.addressPhase(bytes({0x82, 0x11}));
        QCOMPARE(simulator.readFor(150), QByteArray("R"));
        maker::FirmwareMaker firmwareMaker(5);
        const QStringList records = firmwareMaker.remoteRecordTexts(
            maker::makeImage(0x2000, 100, QStringLiteral("QLREM ver1.10 US"), 4));
        simulator.link.write(records[0].toLatin1());
        QCOMPARE(simulator.readFor(120), bytes({protocol::RecordAccepted}));
        simulator.link.write(records[1].toLatin1());
        QCOMPARE(simulator.readFor(120), bytes({protocol::RecordRefused}));
        simulator.link.write(records[1].toLatin1());
        QCOMPARE(simulator.readFor(120), bytes({protocol::RecordRefused}));
        QCOMPARE(simulator.stop(), QJsonArray());
    }

    // With --faults the record also counts the faults by kind and names the
    // cards whose answers they may have changed.
    void faultsAreCountedInTheRecord()
    {
        PtySimulator simulator;
        QVERIFY(simulator.start({"--cards", "2", "--faults", "5"}));
        for (int query = 0; query < 10; ++query)
            simulator.link.exchangeVersion(2, protocol::FirmwareVersionCommand);
        simulator.stop();
        QFile file(simulator.recordFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonDocument record = QJsonDocument::fromJson(file.readAll());
        QCOMPARE(record["faults"].toObject().size(), 8);
        QCOMPARE(record["faults"]["device vanished"].toInt(-1), 0);
        QVERIFY(record["doubtful"].isArray());
    }

    void wrongArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("no --pty") << QStringList{"simulate"} << QByteArray("--pty");
        QTest::newRow("management card with remote cards")
            << QStringList{"simulate", "--pty", "--cards", "1,2"}
            << QByteArray("management card (1) cannot be taken together");
        QTest::newRow("bad fault seed") << QStringList{"simulate", "--pty", "--faults", "x"}
                                        << QByteArray("--faults");
        QTest::newRow("bad delay") << QStringList{"simulate", "--pty", "--delay", "soon"}
                                   << QByteArray("--delay \"soon\"");
        QTest::newRow("stray argument")
            << QStringList{"simulate", "--pty", "now"} << QByteArray("unexpected argument");
        // The switch commands check their arguments before any port is opened.
        QTest::newRow("versions without cards")
            << QStringList{"versions", "--simulate"} << QByteArray("which cards?");
        QTest::newRow("reset of the management card with remote cards")
            << QStringList{"reset", "--simulate", "--cards", "1,3"}
            << QByteArray("management card (1) cannot be taken together");
        QTest::newRow("versions on COM9")
            << QStringList{"versions", "--port", "9", "--cards", "2"}
            << QByteArray("COM number must be 1 to 4");
        QTest::newRow("reset with a stray argument")
            << QStringList{"reset", "--cards", "2", "now"} << QByteArray("unexpected argument");
        QTest::newRow("unknown option") << QStringList{"versions", "--cards", "2", "--fast"}
                                        << QByteArray("Unknown option 'fast'");
    }
    void wrongArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, reason);
        QProcess process;
        process.start(QStringLiteral(QUORLINK_CLI), arguments);
        QVERIFY(process.waitForFinished(StartTimeoutMs));
        QCOMPARE(process.exitCode(), 2);
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(err.contains(reason), err.constData());
        QCOMPARE(err.count('\n'), 1);
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliSimulateTest)
#include "tst_cli_simulate.moc"
