#include "link/protocol.h"
#include "link/session.h"
#include "platform/runtimeerror.h"
#include "recordingprompts.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlink;

// --trace: what support reads after a session, on the simulated switch.
class SerialTraceTest : public QObject
{
    Q_OBJECT

private slots:
    void versionExchangeIsTracedLineByLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trace.txt"));
        sim::VirtualClock clock;
        sim::SimulatedSwitch simulatedSwitch(clock);
        simulatedSwitch.card(5).setFirmwareVersion(QStringLiteral("V1")).setReplyDelay(2);
        simulatedSwitch.card(6).setSilent(true);
        sim::SimulatedDeviceProvider devices(simulatedSwitch, 1);
        {
            test::RecordingPrompts prompts;
            link::SessionSetup setup{&devices, {}, {}, path};
            link::Session session(clock, prompts, setup);
            link::Link& link = session.link();
            CommPort& port = session.port();
            session.open(1);
            QVERIFY(link.exchangeVersion(5, link::protocol::FirmwareVersionCommand).received);
            QVERIFY(!link.exchangeVersion(6, link::protocol::FirmwareVersionCommand).received);
            port.setPortOpen(false);
            port.setCommPort(3);
            QVERIFY_THROWS_EXCEPTION(RuntimeError, port.setPortOpen(true));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        // Card 5: address and command under mark parity, each written alone 10 ms
        // apart, the end of the address phase under space parity, the reply read
        // byte by byte as it arrives. Card 6 stays silent: after 200 ms the port is
        // reopened to discard what might still come. COM3 does not exist.
        const QString expected =
            QStringLiteral("    0.000000 -- open COM1 Simulated switch 19200,s,8,1\n"
                           "    0.000000 out mark  85\n"
                           "    0.010000 out mark  10\n"
                           "    0.020000 out space 00\n"
                           "    0.023146 in  space 56\n"
                           "    0.023719 in  space 31\n"
                           "    0.024292 in  space ff\n"
                           "    0.024292 out mark  86\n"
                           "    0.034292 out mark  10\n"
                           "    0.044292 out space 00\n"
                           "    0.244292 -- close Simulated switch\n"
                           "    0.244292 -- open COM1 Simulated switch 19200,s,8,1\n"
                           "    0.244292 -- close Simulated switch\n"
                           "    0.244292 -- open COM3 failed: COM3: no such device\n");
        QCOMPARE(QString::fromUtf8(file.readAll()), expected);
    }
};

QTEST_GUILESS_MAIN(SerialTraceTest)
#include "tst_serialtrace.moc"
