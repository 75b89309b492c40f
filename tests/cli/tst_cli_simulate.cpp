#include "firmwaremaker.h"
#include "link/link.h"
#include "link/protocol.h"
#include "platform/commport.h"
#include "platform/qttimesource.h"
#include "platform/serialports.h"
#include "recordingprompts.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlink;
namespace protocol = quorlink::link::protocol;
namespace maker = quorlink::firmware::maker;

namespace {

constexpr int StartTimeoutMs = 10000;

// `quorlink simulate --pty` in the background, and the PC's side on its
// device: the real serial device class, port and link, in real time.
class PtySimulator
{
public:
    QTemporaryDir dir;
    QProcess process;
    QString path;
    QtTimeSource time{Qt::PreciseTimer};
    SystemDeviceProvider devices;
    CommPort port{devices};
    std::unique_ptr<LinkTimer> timer1 = time.createTimer();
    std::unique_ptr<LinkTimer> timer2 = time.createTimer();
    test::RecordingPrompts prompts;
    link::Link link{port, *timer1, *timer2, time, prompts};

    QString recordFile() const { return dir.filePath(QStringLiteral("received.json")); }

    bool start(const QStringList& switchOptions)
    {
        process.start(QStringLiteral(QUORLINK_CLI),
                      QStringList{"simulate", "--pty", "--record", recordFile()} + switchOptions);
        const QDeadlineTimer deadline(StartTimeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(100);
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        if (!path.startsWith(u'/'))
            return false;
        devices.mapDevice(1, path);
        port.setCommPort(1);
        port.setSettings(protocol::DataSettings);
        port.setPortOpen(true);
        return true;
    }

    // Ends the simulator as an interrupted user would and returns what the
    // cards received.
    QJsonArray stop()
    {
        port.setPortOpen(false);
        process.terminate();
        if (!process.waitForFinished(StartTimeoutMs) || process.exitCode() != 0)
            return {};
        QFile file(recordFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll())["cards"].toArray();
    }

    // Bytes that arrive within `ms` after the last write.
    QByteArray readFor(int ms)
    {
        QByteArray read;
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            QTest::qWait(2);
            if (port.inBufferCount() > 0)
                read += port.input();
        }
        return read;
    }

    void addressPhase(const QByteArray& markBytes)
    {
        link.setAddressSettings();
        for (const char byte : markBytes) {
            link.writeByte(static_cast<std::uint8_t>(byte));
            link.sleepPacing();
        }
        link.setDataSettings();
        link.writeByte(protocol::EndOfAddressPhase);
    }
};

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

    void wrongArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("no --pty") << QStringList{"simulate"} << QByteArray("--pty");
        QTest::newRow("management card with remote cards")
            << QStringList{"simulate", "--pty", "--cards", "1,2"}
            << QByteArray("management card (1) cannot be taken together");
        QTest::newRow("bad delay") << QStringList{"simulate", "--pty", "--delay", "soon"}
                                   << QByteArray("--delay \"soon\"");
        QTest::newRow("stray argument")
            << QStringList{"simulate", "--pty", "now"} << QByteArray("unexpected argument");
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
