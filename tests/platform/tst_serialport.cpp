// The real serial path, driven against the slave side of a pseudo-terminal
// pair; the test plays the cards on the master side.
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "platform/serialports.h"

#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <functional>

using namespace quorlink;
using test::PatienceMs;
using test::PseudoTerminal;

namespace {

// The code of the RuntimeError `action` throws; 0 when it throws none.
int errorCode(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.code();
    }
    return 0;
}

using PortUse = std::function<void(CommPort&)>;

} // namespace

class SerialPortTest : public QObject
{
    Q_OBJECT

private slots:
    // A pseudo-terminal carries no parity. By default it is not warned
    // about; with the exemption off it stands for an adapter that drops
    // mark and space, and the user is told once however often the port is
    // reopened.
    void bytesLeaveInOrderAndLostParityIsReportedOnce()
    {
        PseudoTerminal pty;
        QVERIFY(!pty.slavePath.isEmpty());
        QStringList warned;
        SystemDeviceProvider provider([&](const QString& device) { warned << device; });
        provider.mapDevice(1, pty.slavePath);
        CommPort port(provider);
        port.setSettings(QStringLiteral("19200,m,8,1"));
        port.setPortOpen(true);
        QVERIFY(warned.isEmpty());
        port.setPortOpen(false);

        provider.setPseudoTerminalsExempt(false);
        port.setSettings(QStringLiteral("9600,n,8,1")); // nothing to address yet
        port.setPortOpen(true);
        QVERIFY(warned.isEmpty());
        // Frames as the link sends them, with no pause before a parity
        // change, and a record holding bytes a terminal would interpret.
        const QByteArray record(":10\r\n\x11\x13\x03\x04\x7F\xFF\x0D\x0A", 14);
        port.setSettings(QStringLiteral("19200,m,8,1"));
        port.output(QByteArray("\x81\x10", 2));
        port.setSettings(QStringLiteral("19200,s,8,1"));
        port.output(QByteArray("\x00", 1));
        port.setSettings(QStringLiteral("19200,m,8,1"));
        port.output(QByteArray("\xFF\x11", 2));
        port.setSettings(QStringLiteral("19200,s,8,1"));
        port.output(record);
        QCOMPARE(pty.receive(19), QByteArray("\x81\x10\x00\xFF\x11", 5) + record);
        port.setPortOpen(false);
        port.setPortOpen(true);
        QCOMPARE(warned, QStringList{pty.slavePath});
    }

    void receivedBytesAreSeenWithoutTheEventLoop()
    {
        PseudoTerminal pty;
        QtSerialDevice device(pty.slavePath);
        device.apply(*LineSettings::parse(QStringLiteral("19200,s,8,1")));

        QVERIFY(pty.deliver(QByteArray("R\x00\xFF", 3)));
        QCOMPARE(device.bytesWaiting(), 3);
        QCOMPARE(device.readAll(), QByteArray("R\x00\xFF", 3));

        // Some bytes taken in by the event loop, more still in the driver.
        QVERIFY(pty.deliver("12"));
        const QDeadlineTimer deadline(PatienceMs);
        while (PseudoTerminal::queued(pty.slave) != 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QVERIFY(pty.deliver("345"));
        QCOMPARE(device.bytesWaiting(), 5);

        // Discarding empties both buffers.
        QVERIFY(pty.deliver("678"));
        device.discardInput();
        QCOMPARE(PseudoTerminal::queued(pty.slave), 0);
        QCOMPARE(device.bytesWaiting(), 0);
    }

    // The wait for the transmit side before a parity change ends: in time
    // when the queue empties, with the port's run-time error when a wedged
    // adapter keeps its bytes. The port stays usable either way.
    void settingsChangeDrainsWithinTheBytesWireTime_data()
    {
        QTest::addColumn<QList<qint64>>("queue"); // successive counts; the last one repeats
        QTest::addColumn<int>("error");
        QTest::newRow("empties") << QList<qint64>{40, 20, 3, 0} << 0;
        QTest::newRow("wedged") << QList<qint64>{40, 39} << int(RuntimeError::DeviceIo);
    }

    void settingsChangeDrainsWithinTheBytesWireTime()
    {
        QFETCH(QList<qint64>, queue);
        QFETCH(int, error);
        PseudoTerminal pty;
        QtSerialDevice device(pty.slavePath);
        const LineSettings data = *LineSettings::parse(QStringLiteral("19200,s,8,1"));
        device.apply(data);
        qsizetype looks = 0;
        device.setTransmitQueueProbe([&] { return queue.at(std::min(looks++, queue.size() - 1)); });

        QElapsedTimer watch;
        watch.start();
        QCOMPARE(
            errorCode([&] { device.apply(*LineSettings::parse(QStringLiteral("19200,m,8,1"))); }),
            error);
        if (error != 0) {
            QVERIFY(watch.elapsed() >= drainLimitMs(queue.first(), data));
            QVERIFY(watch.elapsed() < drainLimitMs(queue.first(), data) + PatienceMs);
            QVERIFY2(looks < 200, "the drain looks at the queue only now and then");
        }
        device.setTransmitQueueProbe([] { return qint64(0); });
        // The drain gives up only on bytes that have had their time on the
        // wire (11 bits a byte with parity, 10 without), and a window never
        // freezes long over a frame.
        QVERIFY(drainLimitMs(3, data) <= 500);
        const qint64 fullBuffer = drainLimitMs(4096, *LineSettings::parse("9600,n,8,1"));
        QVERIFY2(fullBuffer >= 4267 && fullBuffer <= 5000, qPrintable(QString::number(fullBuffer)));
        device.apply(data);
        device.write("A");
        QCOMPARE(pty.receive(1), QByteArray("A"));
    }

    void vanishedDeviceThrowsRuntimeError_data()
    {
        QTest::addColumn<PortUse>("use");
        QTest::newRow("read") << PortUse([](CommPort& port) { port.input(); });
        QTest::newRow("write") << PortUse([](CommPort& port) { port.output("A"); });
        QTest::newRow("settings") << PortUse(
            [](CommPort& port) { port.setSettings(QStringLiteral("19200,m,8,1")); });
        QTest::newRow("idle, then count") << PortUse([](CommPort& port) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50); // meets it first
            port.inBufferCount();
        });
    }

    void vanishedDeviceThrowsRuntimeError()
    {
        QFETCH(PortUse, use);
        PseudoTerminal pty;
        SystemDeviceProvider provider;
        provider.mapDevice(1, pty.slavePath);
        CommPort port(provider);
        port.setPortOpen(true);
        pty.closeMaster(); // the adapter is unplugged
        QCOMPARE(errorCode([&] { use(port); }), int(RuntimeError::DeviceUnavailable));
        QVERIFY2(!port.portOpen(), "a vanished device leaves the port closed");
    }

    // A device held by another program (here: this one, by another COM
    // number) does not open until it is let go.
    void aHeldDeviceDoesNotOpen()
    {
        PseudoTerminal pty;
        SystemDeviceProvider provider;
        provider.mapDevice(1, pty.slavePath);
        provider.mapDevice(3, pty.slavePath);
        const LineSettings plain = *LineSettings::parse(QStringLiteral("9600,n,8,1"));
        auto first = provider.open(1, plain);
        QCOMPARE(errorCode([&] { provider.open(3, plain); }), int(RuntimeError::PortAlreadyOpen));
        first.reset();
        QVERIFY(provider.open(3, plain));
    }

    void comMappingValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("comNumber"); // 0: rejected
        QTest::addColumn<QString>("device");
        QTest::newRow("usb adapter") << "1=/dev/ttyUSB0" << 1 << "/dev/ttyUSB0";
        QTest::newRow("spaces, '=' in the device") << " 4 = /dev/a=b " << 4 << "/dev/a=b";
        QTest::newRow("no device") << "3=" << 0 << "";
        QTest::newRow("COM5") << "5=/dev/ttyS4" << 0 << "";
        QTest::newRow("not a number") << "COM1=/dev/ttyS0" << 0 << "";
    }

    void comMappingValues()
    {
        QFETCH(QString, value);
        const ComMapping mapping = parseComMapping(value);
        QTEST(mapping.comNumber, "comNumber");
        QTEST(mapping.device, "device");
        QCOMPARE(mapping.isValid(), mapping.comNumber != 0);
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "tst_serialport.moc"
