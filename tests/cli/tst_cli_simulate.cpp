#include "ptysimulator.h"

#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace quorlink;
namespace protocol = quorlink::link::protocol;

using test::PtySimulator;
using test::StartTimeoutMs;

// What `quorlink simulate` adds to the switch commands' runs over its device
// (tested with them): the fault count in its record, and argument checks.
class CliSimulateTest : public QObject
{
    Q_OBJECT

private slots:
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
