#include "cli/command.h"
#include "cli/portscommand.h"
#include "link/session.h"
#include "recordingprompts.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <pty.h>
#include <unistd.h>

using namespace quorlink;
using sim::SimulatedDevice;

namespace {

// The ports of a machine, simulated, with the file system's answers chosen by the row.
struct Machine
{
    sim::VirtualClock clock;
    sim::SimulatedSwitch simulatedSwitch{clock};
    sim::SimulatedDeviceProvider devices{simulatedSwitch, 1};
    test::RecordingPrompts prompts;
    link::Session session{clock, prompts, devices};
};

QByteArray portsJson(const QList<link::PortDiagnosis>& ports)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    cli::Streams streams{outStream, errStream};
    cli::printPortsJson(streams, ports);
    outStream.flush();
    return out.toUtf8();
}

QByteArray entry(int com, const char* device, const char* state, const char* reason)
{
    const QByteArray quotedReason = reason ? QByteArray("\"") + reason + "\"" : QByteArray("null");
    return QByteArray(R"({"advice":null,"com":)") + QByteArray::number(com) + R"(,"device":")" +
           device + R"(","latency":null,"reason":)" + quotedReason + R"(,"state":")" + state +
           R"("})";
}

} // namespace

// `quorlink ports`: every way a port can be unusable, with the reason the user reads.
class CliPortsTest : public QObject
{
    Q_OBJECT

private slots:
    // COM1 is the switch, COM3 is held, COM4 answers "AT", COM2 is missing or held
    // according to the row; `mayOpen` and `markSpaceKept` stand in for the machine.
    void reasons_data()
    {
        QTest::addColumn<bool>("com2Present");
        QTest::addColumn<bool>("mayOpen");
        QTest::addColumn<bool>("markSpaceKept");
        QTest::addColumn<QByteArray>("com1");
        QTest::addColumn<QByteArray>("com2");
        QTest::addColumn<QByteArray>("com3");
        const QByteArray free = entry(1, "Simulated switch", "free", nullptr);
        const QByteArray held = entry(3, "Simulated serial port", "held",
                                      "Simulated serial port is held by another program");
        QTest::newRow("missing and held")
            << false << true << true << free << entry(2, "COM2", "missing", "COM2 does not exist")
            << held;
        const char* denied =
            R"(permission denied on Simulated serial port: it belongs to the group \"uucp\"; )"
            R"(add yourself with \"sudo usermod -aG uucp $USER\" and log in again)";
        QTest::newRow("permission denied")
            << true << false << true << free
            << entry(2, "Simulated serial port", "permission denied", denied)
            << entry(3, "Simulated serial port", "permission denied", denied);
        QTest::newRow("no mark/space parity")
            << false << true << false
            << entry(1, "Simulated switch", "no mark/space parity",
                     "Simulated switch does not keep mark/space parity; the cards cannot be "
                     "addressed through it")
            << entry(2, "COM2", "missing", "COM2 does not exist") << held;
    }
    void reasons()
    {
        QFETCH(bool, com2Present);
        QFETCH(bool, mayOpen);
        QFETCH(bool, markSpaceKept);
        QFETCH(QByteArray, com1);
        QFETCH(QByteArray, com2);
        QFETCH(QByteArray, com3);
        Machine machine;
        machine.devices.setDevice(2,
                                  com2Present ? SimulatedDevice::Silent : SimulatedDevice::Missing);
        machine.devices.setHeld(2, true);
        machine.devices.setDevice(3, SimulatedDevice::Silent);
        machine.devices.setHeld(3, true);
        machine.devices.setDevice(4, SimulatedDevice::Modem);
        link::ProbeChecks checks;
        checks.access.exists = [](const QString&) { return true; };
        checks.access.mayOpen = [mayOpen](const QString&) { return mayOpen; };
        checks.access.owningGroup = [](const QString&) { return QStringLiteral("uucp"); };
        QStringList asked;
        checks.markSpaceLost = [&](const QString& device) {
            asked << device;
            return !markSpaceKept;
        };

        const QList<link::PortDiagnosis> ports = cli::diagnosePorts(machine.session.link(), checks);

        const QByteArray modem = entry(4, "Simulated modem", "answers AT",
                                       R"(something on Simulated modem answers \"AT\" (a modem?))");
        QCOMPARE(portsJson(ports),
                 "{\"ports\":[" + com1 + "," + com2 + "," + com3 + "," + modem + "]}\n");
        // Only the port that opened and stayed quiet is tried with mark/space parity.
        QCOMPARE(asked, QStringList{"Simulated switch"});
        QVERIFY(!machine.session.port().portOpen());
    }

    // Through the program, on this machine's devices: a missing one, a
    // pseudo-terminal (a serial device that opens) and, unless the tests run as
    // root, a device node this user may not open.
    void program()
    {
        int master = -1;
        int slave = -1;
        char slaveName[256] = {};
        QVERIFY(::openpty(&master, &slave, slaveName, nullptr, nullptr) == 0);
        QTemporaryDir dir;
        const QString locked = dir.filePath(QStringLiteral("ttyLOCKED"));
        QFile file(locked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(file.setPermissions({}));
        const bool root = ::geteuid() == 0;

        QProcess process;
        process.start(QStringLiteral(QUORLINK_CLI),
                      {"ports", "--json", "--com", "2=/dev/quorlink-nonexistent", "--com",
                       QStringLiteral("3=%1").arg(QString::fromLocal8Bit(slaveName)), "--com",
                       "4=" + locked});
        QVERIFY(process.waitForFinished(30000));
        ::close(master);
        ::close(slave);
        QCOMPARE(process.exitCode(), 0);
        const QJsonArray ports =
            QJsonDocument::fromJson(process.readAllStandardOutput())["ports"].toArray();
        QStringList states;
        for (const QJsonValue& port : ports)
            states << port["device"].toString() + ": " + port["state"].toString();
        // Root opens anything: the node is no serial port, which is reported.
        QCOMPARE(states.mid(1), (QStringList{"/dev/quorlink-nonexistent: missing",
                                             QString::fromLocal8Bit(slaveName) + ": free",
                                             locked + (root ? ": not a serial port"
                                                            : ": permission denied")}));
        QVERIFY(root || ports[3]["reason"].toString().contains("usermod -aG"));
    }
};

QTEST_GUILESS_MAIN(CliPortsTest)
#include "tst_cli_ports.moc"
